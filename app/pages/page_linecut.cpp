// 行内容截取字符: the template, what to keep, and the lines it applies to.
#include <QButtonGroup>
#include <QGroupBox>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildLineCutPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "截取格式:"), 0, 0);
    auto* edtCutFormat = Edit(page, "edtCutFormat");
    edtCutFormat->setToolTip(QStringLiteral("请输入新扩展名."));
    grid->addWidget(edtCutFormat, 0, 1, 1, 3);

    auto* rbKeepCut = Radio(page, "rbKeepCut", "保留截取到的内容", true);
    auto* rbKeepLeft = Radio(page, "rbKeepLeft", "保留截取后的内容", false);
    auto* keep = new QButtonGroup(page);
    keep->addButton(rbKeepCut);
    keep->addButton(rbKeepLeft);
    grid->addWidget(rbKeepCut, 1, 1);
    grid->addWidget(rbKeepLeft, 1, 2);

    auto* box = new QGroupBox(QStringLiteral("行设置"), page);
    box->setObjectName(QStringLiteral("gbCutLines"));
    auto* lines = new QGridLayout(box);
    lines->setContentsMargins(6, 2, 6, 4);
    lines->setVerticalSpacing(2);
    auto* rbCutAllLine = Radio(box, "rbCutAllLine", "所有行截取", false);
    auto* rbCutTextLine = Radio(box, "rbCutTextLine", "有文字行截取", true);
    rbCutTextLine->setToolTip(QStringLiteral("空行不进行插入操作"));
    auto* rbCutLineNo = Radio(box, "rbCutLineNo", "指定行号截取", false);
    auto* rbCutKeysLine = Radio(box, "rbCutKeysLine", "关键字所在行截取", false);
    rbCutKeysLine->setToolTip(QStringLiteral("只有包含插入关键字的行才进行插入操作"));
    auto* which = new QButtonGroup(box);
    for (QRadioButton* r : {rbCutAllLine, rbCutTextLine, rbCutLineNo, rbCutKeysLine}) which->addButton(r);
    auto* edtCutLineNo = Edit(box, "edtCutLineNo", "1");
    edtCutLineNo->setMaximumWidth(60);
    auto* edtCutKeys = Edit(box, "edtCutKeys");
    lines->addWidget(rbCutAllLine, 0, 0);
    lines->addWidget(rbCutTextLine, 0, 2);
    lines->addWidget(rbCutLineNo, 1, 0);
    lines->addWidget(edtCutLineNo, 1, 1);
    lines->addWidget(rbCutKeysLine, 1, 2);
    lines->addWidget(edtCutKeys, 1, 3);
    lines->setColumnStretch(3, 1);
    grid->addWidget(box, 2, 0, 1, 4);

    grid->addWidget(BackupBox(page, "chkCutBak"), 3, 1, 1, 2);
    auto* btnCut = StartButton(page, "btnCut", "开始截取(&C)");
    grid->addWidget(btnCut, 3, 3, Qt::AlignRight);
    grid->addWidget(Note(page, kTestFirstNote), 4, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    auto* binding = new PageBinding(
        op, page, btnCut,
        {{"format", {"edtCutFormat"}},
         {"keep", {"rbKeepCut", "rbKeepLeft"}},
         {"lines", {"rbCutAllLine", "rbCutTextLine", "rbCutLineNo", "rbCutKeysLine"}},
         {"lineNumber", {"edtCutLineNo"}},
         {"keyword", {"edtCutKeys"}},
         {"backup", {"chkCutBak"}}});
    binding->templateField = "format";
    return binding;
}

}  // namespace ferro::page
