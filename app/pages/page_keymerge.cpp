// 合并关键字内容: the values of the keys the first ticked file (the source)
// shares with the second (the target) are merged into the target.
#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "textops/key_merge.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildKeyMergePage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(
        page::Note(page, "注意：把源文件中与目标文件中有相同关键字的内容,合并到目标文件中,"), 0, 0,
        1, 2);
    grid->addWidget(page::Note(page, "内容格式: KeyName=Value,常用于INI文件处理."), 1, 0, 1, 2);
    grid->addWidget(page::BackupBox(page, "chkSynBak"), 2, 0);
    auto* btnSyn = page::StartButton(page, "btnSyn", "开始合并(&S)");
    grid->addWidget(btnSyn, 2, 1, Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(3, 1);
    ConnectClick(btnSyn, &TForm1::btnSynClick);
}

void TForm1::btnSynClick() {
    if (!CheckSelection()) return;
    int first = 0, second = 0;
    if (!FindFirstTwoChecked(first, second)) {
        ShowError(QStringLiteral("请选择需要按关键字进行合并的两个文件！"));
        return;
    }
    const bool backup = Find<QCheckBox>("chkSynBak")->isChecked();
    const std::string sourcePath = files_.Path(first);
    const std::string targetPath = files_.Path(second);
    int merged = 0;
    bool declined = false;  // the user chose not to run without undo
    const bool ok = RunCommand(Find<QPushButton>("btnSyn"), [&] {
        bool withoutUndo = false;
        declined = !CheckJournalRoom({{second, targetPath}}, withoutUndo);
        if (declined) return;
        WindowRunHost host(*this, nullptr);
        if (withoutUndo) host.RecordNothing();
        merged = MergeKeyFiles(sourcePath, targetPath, {backup, CurrentTextMode(), host.recorder()});
    });
    if (ok && !declined) ShowInfo(QStringLiteral("成功处理完成,共处理 %1 条记录!").arg(merged));
}

}  // namespace ferro
