// 行内容插入字符: the template and the lines it applies to.
#include <QButtonGroup>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildLineInsertPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "插入格式:"), 0, 0);
    grid->addWidget(Edit(page, "edtInsFormat"), 0, 1, 1, 4);

    auto* rbAllLine = Radio(page, "rbAllLine", "所有行插入", false);
    auto* rbDataLine = Radio(page, "rbDataLine", "有文字行插入", true);
    rbDataLine->setToolTip(QStringLiteral("空行不进行插入操作"));
    auto* rbKeys = Radio(page, "rbKeys", "关键字所在行插入", false);
    rbKeys->setToolTip(QStringLiteral("只有包含插入关键字的行才进行插入操作"));
    auto* rbInsLineNo = Radio(page, "rbInsLineNo", "指定行号插入", false);
    auto* which = new QButtonGroup(page);
    for (QRadioButton* r : {rbAllLine, rbDataLine, rbKeys, rbInsLineNo}) which->addButton(r);
    auto* edtInsLineNo = Edit(page, "edtInsLineNo", "1");
    edtInsLineNo->setMaximumWidth(60);
    grid->addWidget(rbAllLine, 1, 1);
    grid->addWidget(rbDataLine, 1, 3);
    grid->addWidget(rbInsLineNo, 2, 1);
    grid->addWidget(edtInsLineNo, 2, 2);
    grid->addWidget(rbKeys, 2, 3);
    grid->addWidget(Edit(page, "edtInsKeys"), 2, 4);

    grid->addWidget(BackupBox(page, "chkInsBak"), 3, 1, 1, 3);
    auto* btnIns = StartButton(page, "btnIns", "开始插入(&C)");
    grid->addWidget(btnIns, 3, 4, Qt::AlignRight);
    grid->addWidget(Note(page, kTestFirstNote), 4, 0, 1, 5);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(5, 1);
    auto* binding = new PageBinding(op, page, btnIns,
                                    {{"format", {"edtInsFormat"}},
                                     {"lines", {"rbAllLine", "rbDataLine", "rbInsLineNo", "rbKeys"}},
                                     {"lineNumber", {"edtInsLineNo"}},
                                     {"keyword", {"edtInsKeys"}},
                                     {"backup", {"chkInsBak"}}});
    binding->templateField = "format";
    return binding;
}

}  // namespace ferro::page
