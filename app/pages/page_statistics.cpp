// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildStatisticsPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnFileInfo = page::StartButton(page, "btnFileInfo", "开始统计(&A)");
    grid->addWidget(btnFileInfo, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnFileInfo, &TForm1::btnFileInfoClick);
}

void TForm1::btnFileInfoClick() { CheckSelection(); }

}  // namespace ferro
