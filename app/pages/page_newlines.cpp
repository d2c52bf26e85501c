// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildNewLinesPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnInsLine = page::StartButton(page, "btnInsLine", "开始插入");
    grid->addWidget(btnInsLine, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnInsLine, &TForm1::btnInsLineClick);
}

void TForm1::btnInsLineClick() { CheckSelection(); }

}  // namespace ferro
