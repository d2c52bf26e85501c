// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildCombinePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnFileCombine = page::StartButton(page, "btnFileCombine", "开始合并(&S)");
    grid->addWidget(btnFileCombine, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnFileCombine, &TForm1::btnFileCombineClick);
}

void TForm1::btnFileCombineClick() { CheckSelection(); }

}  // namespace ferro
