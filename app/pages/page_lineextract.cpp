// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildLineExtractPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnGetLine = page::StartButton(page, "btnGetLine", "开始提取");
    grid->addWidget(btnGetLine, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnGetLine, &TForm1::btnGetLineClick);
}

void TForm1::btnGetLineClick() { CheckSelection(); }

}  // namespace ferro
