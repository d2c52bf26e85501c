// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildDatePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnDate = page::StartButton(page, "btnDate", "开始处理");
    grid->addWidget(btnDate, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnDate, &TForm1::btnDateClick);
}

void TForm1::btnDateClick() { CheckSelection(); }

}  // namespace ferro
