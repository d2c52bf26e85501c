// 更改文件名称: renames the ticked files by a name pattern.
#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/rename.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {

void TForm1::BuildRenamePage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "新文件名:"), 0, 0);
    grid->addWidget(page::Edit(page, "edtNewFilename"), 0, 1);
    grid->addWidget(page::Note(page, page::kTestFirstNote), 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    auto* btnFilename = page::StartButton(page, "btnFilename", "开始处理");
    grid->addWidget(btnFilename, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    ConnectClick(btnFilename, &TForm1::btnFilenameClick);
}

void TForm1::btnFilenameClick() {
    if (!CheckSelection()) return;
    const std::string typed = FieldText("edtNewFilename");
    if (const auto problem = CheckRenamePattern(NormalizeRenamePattern(typed));
        problem != RenamePatternProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        return;
    }
    RunCommand(Find<QPushButton>("btnFilename"), [&] {
        SetCounter(stChangeCount_, 0);
        WindowRunHost host(*this, stChangeCount_);
        const RunSummary s = RenameFiles(files_, typed, ProgramDir(), &host);
        SetRunReport(s, QStringLiteral("成功处理文件总数量：%1").arg(s.done));
    });
}

}  // namespace ferro
