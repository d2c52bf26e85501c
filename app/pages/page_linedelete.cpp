// 内容按行删除: which lines go: by number, interval, keyword, or blank ones.
#include <QButtonGroup>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildLineDeletePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    auto* rbDelLineNo = Radio(page, "rbDelLineNo", "指定行号删除", true);
    auto* rbDelLine = Radio(page, "rbDelLine", "间隔行号删除", false);
    auto* rbDelKeys = Radio(page, "rbDelKeys", "按关键字删除行", false);
    auto* rbDelEmpty = Radio(page, "rbDelEmpty", "删除空行", false);
    auto* modes = new QButtonGroup(page);
    for (QRadioButton* r : {rbDelLineNo, rbDelLine, rbDelKeys, rbDelEmpty}) modes->addButton(r);

    auto* edtDelLineNo = Edit(page, "edtDelLineNo", "1");
    edtDelLineNo->setMaximumWidth(60);
    grid->addWidget(rbDelLineNo, 0, 0);
    grid->addWidget(edtDelLineNo, 0, 1, Qt::AlignLeft);

    auto* interval = IntervalRow(page, "edtLines", "行删除第", "edtLineNum");
    grid->addWidget(rbDelLine, 1, 0);
    grid->addLayout(interval, 1, 1, 1, 2);

    grid->addWidget(rbDelKeys, 2, 0);
    grid->addWidget(Edit(page, "edtDelKeys"), 2, 1, 1, 2);
    grid->addWidget(Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(Check(page, "chkDelRegex", "正则表达式", false), 2, 4);
    grid->addWidget(rbDelEmpty, 3, 0);

    grid->addWidget(BackupBox(page, "chkDelLine"), 4, 0, 1, 3);
    auto* btnDelLine = StartButton(page, "btnDelLine", "开始删除");
    grid->addWidget(btnDelLine, 4, 3, Qt::AlignRight);
    grid->addWidget(Note(page, kTestSettingsNote), 5, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
    return new PageBinding(op, page, btnDelLine,
                           {{"lineNumber", {"edtDelLineNo"}},
                            {"period", {"edtLines"}},
                            {"position", {"edtLineNum"}},
                            {"keywords", {"edtDelKeys"}},
                            {"regex", {"chkDelRegex"}},
                            {"mode", {"rbDelLineNo", "rbDelLine", "rbDelKeys", "rbDelEmpty"}},
                            {"backup", {"chkDelLine"}}});
}

}  // namespace ferro::page
