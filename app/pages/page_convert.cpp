// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildConvertPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnConvert = page::StartButton(page, "btnConvert", "开始转换");
    grid->addWidget(btnConvert, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnConvert, &TForm1::btnConvertClick);
}

void TForm1::btnConvertClick() { CheckSelection(); }

}  // namespace ferro
