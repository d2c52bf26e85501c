// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildPatternPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnReplace = page::StartButton(page, "btnReplace", "开始替换");
    grid->addWidget(btnReplace, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnReplace, &TForm1::btnReplaceClick);
}

void TForm1::btnReplaceClick() { CheckSelection(); }

}  // namespace ferro
