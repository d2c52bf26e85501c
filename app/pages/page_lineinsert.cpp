// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildLineInsertPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnIns = page::StartButton(page, "btnIns", "开始插入(&C)");
    grid->addWidget(btnIns, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnIns, &TForm1::btnInsClick);
}

void TForm1::btnInsClick() { CheckSelection(); }

}  // namespace ferro
