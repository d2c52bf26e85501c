// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildExtensionPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnExt = page::StartButton(page, "btnExt", "开始处理");
    grid->addWidget(btnExt, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnExt, &TForm1::btnExtClick);
}

void TForm1::btnExtClick() { CheckSelection(); }

}  // namespace ferro
