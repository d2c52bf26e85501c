// 更改文件或目录属性: the attributes the files get, and whether their
// folders too.
#include <QHBoxLayout>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildAttributePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "新属性:"), 0, 0);
    auto* boxes = new QHBoxLayout();
    boxes->setSpacing(16);
    boxes->addWidget(Check(page, "ckNormal", "存档", true));
    boxes->addWidget(Check(page, "ckSystem", "系统", false));
    boxes->addWidget(Check(page, "ckReadonly", "只读", false));
    boxes->addWidget(Check(page, "ckHidden", "隐藏", false));
    boxes->addStretch(1);
    grid->addLayout(boxes, 0, 1);
    grid->addWidget(Check(page, "chkDirProp", "同时修改文件所在目录属性", false), 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    auto* btnProp = StartButton(page, "btnProp", "开始处理");
    grid->addWidget(btnProp, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    return new PageBinding(op, page, btnProp,
                           {{"archive", {"ckNormal"}},
                            {"system", {"ckSystem"}},
                            {"readOnly", {"ckReadonly"}},
                            {"hidden", {"ckHidden"}},
                            {"folders", {"chkDirProp"}}});
}

}  // namespace ferro::page
