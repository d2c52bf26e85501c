// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildRenamePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnFilename = page::StartButton(page, "btnFilename", "开始处理");
    grid->addWidget(btnFilename, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnFilename, &TForm1::btnFilenameClick);
}

void TForm1::btnFilenameClick() { CheckSelection(); }

}  // namespace ferro
