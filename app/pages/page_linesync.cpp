// Placeholder page: the operation lands with its own change.
#include "app/pages/page_util.h"
#include "app/tform1.h"

namespace ferro {

void TForm1::BuildLineSyncPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* btnLineSyn = page::StartButton(page, "btnLineSyn", "开始同步");
    grid->addWidget(btnLineSyn, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnLineSyn, &TForm1::btnLineSynClick);
}

void TForm1::btnLineSynClick() { CheckSelection(); }

}  // namespace ferro
