// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildLineDeletePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnDelLine = page::StartButton(page, "btnDelLine", "开始删除");
    grid->addWidget(btnDelLine, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnDelLine, &TForm1::btnDelLineClick);
}

void TForm1::btnDelLineClick() { CheckSelection(); }

}  // namespace ferro
