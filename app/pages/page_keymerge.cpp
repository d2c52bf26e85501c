// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildKeyMergePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnSyn = page::StartButton(page, "btnSyn", "开始合并(&S)");
    grid->addWidget(btnSyn, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnSyn, &TForm1::btnSynClick);
}

void TForm1::btnSynClick() { CheckSelection(); }

}  // namespace ferro
