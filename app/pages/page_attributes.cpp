// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildAttributePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnProp = page::StartButton(page, "btnProp", "开始处理");
    grid->addWidget(btnProp, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnProp, &TForm1::btnPropClick);
}

void TForm1::btnPropClick() { CheckSelection(); }

}  // namespace ferro
