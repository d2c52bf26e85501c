// 按关键字同步行: the lines of the first ticked file (the source) that hold a
// keyword replace the lines of the same number in the second (the target).
#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "textops/keywords.h"
#include "textops/line_sync.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildLineSyncPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(
        page::Note(page, "注意：根据关键字同步源文件行内容到目标文件中，替换目标文件同一行内容，"),
        0, 0, 1, 4);
    grid->addWidget(page::Note(page, "常用于翻译内容的提取。"), 1, 0, 1, 4);
    grid->addWidget(page::Label(page, "关键字："), 2, 0);
    grid->addWidget(page::Edit(page, "edtLineKeys"), 2, 1, 1, 2);
    grid->addWidget(page::Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(page::BackupBox(page, "chkKeysSyn"), 3, 1);
    auto* btnLineSyn = page::StartButton(page, "btnLineSyn", "开始同步");
    grid->addWidget(btnLineSyn, 3, 3, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);
    ConnectClick(btnLineSyn, &TForm1::btnLineSynClick);
}

void TForm1::btnLineSynClick() {
    if (!CheckSelection()) return;
    const std::string keys = FieldText("edtLineKeys");
    if (keys.empty()) {
        ShowError(QStringLiteral("关键字为空,请输入后再试!"));
        Find<QLineEdit>("edtLineKeys")->setFocus();
        return;
    }
    int first = 0, second = 0;
    if (!FindFirstTwoChecked(first, second)) {
        ShowError(QStringLiteral("请选择需要按关键字进行同步的两个文件！"));
        return;
    }
    const bool backup = Find<QCheckBox>("chkKeysSyn")->isChecked();
    const std::string sourcePath = files_.Path(first);
    const std::string targetPath = files_.Path(second);
    int copied = 0;
    bool declined = false;  // the user chose not to run without undo
    const bool ok = RunCommand(Find<QPushButton>("btnLineSyn"), [&] {
        const std::vector<std::string> keywords = SplitKeywords(keys);
        bool withoutUndo = false;
        declined = !CheckJournalRoom({{second, targetPath}}, withoutUndo);
        if (declined) return;
        WindowRunHost host(*this, nullptr);
        if (withoutUndo) host.RecordNothing();
        copied = SyncLineFiles(keywords, sourcePath, targetPath,
                               {backup, CurrentTextMode(), host.recorder()});
    });
    if (ok && !declined) ShowInfo(QStringLiteral("成功处理完成,共处理 %1 条记录!").arg(copied));
}

}  // namespace ferro
