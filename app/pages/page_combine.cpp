// 文件内容合并: the ticked files, in display order, are joined into the
// last ticked one.
#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "fileops/ticked_rows.h"
#include "app/tform1.h"
#include "textops/file_combine.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildCombinePage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(
        page::Note(page, "注意：所有选择的文件内容按照显示顺序合并到最后一个选择的文件中，"), 0, 0,
        1, 2);
    grid->addWidget(page::Note(page, "可先点击标题排序再合并，常用于文字内容合并."), 1, 0, 1, 2);
    grid->addWidget(page::BackupBox(page, "chkFileCombine"), 2, 0);
    auto* btnFileCombine = page::StartButton(page, "btnFileCombine", "开始合并(&S)");
    grid->addWidget(btnFileCombine, 2, 1, Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(3, 1);
    ConnectClick(btnFileCombine, &TForm1::btnFileCombineClick);
}

void TForm1::btnFileCombineClick() {
    if (!CheckSelection()) return;
    const bool backup = Find<QCheckBox>("chkFileCombine")->isChecked();
    RunCommand(Find<QPushButton>("btnFileCombine"), [&] {
        SetCounter(stChangeCount_, 0);
        TextBatchOptions options;
        options.backup = backup;
        options.mode = CurrentTextMode();
        const std::vector<BatchFile> files = TickedFiles(files_);
        bool withoutUndo = false;
        if (!files.empty() && !CheckJournalRoom({files.back()}, withoutUndo)) return;
        RunSummary s;
        {
            WindowRunHost host(*this, stChangeCount_);
            if (withoutUndo) host.RecordNothing();
            s = CombineFiles(files, options, &host);
        }
        SetRunReport(s, QStringLiteral("成功处理完成,共处理 %1 个文件!").arg(s.done));
    });
}

}  // namespace ferro
