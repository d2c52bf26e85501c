// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildLineCutPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnCut = page::StartButton(page, "btnCut", "开始截取(&C)");
    grid->addWidget(btnCut, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnCut, &TForm1::btnCutClick);
}

void TForm1::btnCutClick() { CheckSelection(); }

}  // namespace ferro
