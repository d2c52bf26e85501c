// 更改文件扩展名: the new extension.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildExtensionPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "新扩展名:"), 0, 0);
    auto* edtNewExt = Edit(page, "edtNewExt");
    edtNewExt->setToolTip(QStringLiteral("请输入新扩展名."));
    grid->addWidget(edtNewExt, 0, 1);
    grid->addWidget(Note(page, kTestFirstNote), 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    auto* btnExt = StartButton(page, "btnExt", "开始处理");
    grid->addWidget(btnExt, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    return new PageBinding(op, page, btnExt, {{"extension", {"edtNewExt"}}});
}

}  // namespace ferro::page
