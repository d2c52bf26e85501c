// 内容按行提取: which lines stay: by number, interval or keyword; and
// whether blank lines stay too.
#include <QButtonGroup>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildLineExtractPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    auto* rbGeLineNo = Radio(page, "rbGeLineNo", "指定行号提取", true);
    auto* rbGetLine = Radio(page, "rbGetLine", "间隔行号提取", false);
    auto* rbGetKeys = Radio(page, "rbGetKeys", "按关键字提取行", false);
    auto* modes = new QButtonGroup(page);
    for (QRadioButton* r : {rbGeLineNo, rbGetLine, rbGetKeys}) modes->addButton(r);

    auto* edtGetLineNum = Edit(page, "edtGetLineNum", "1");
    edtGetLineNum->setMaximumWidth(60);
    grid->addWidget(rbGeLineNo, 0, 0);
    grid->addWidget(edtGetLineNum, 0, 1, Qt::AlignLeft);

    auto* interval = IntervalRow(page, "edtGetLines", "行提取第", "edtGetLineNo");
    grid->addWidget(rbGetLine, 1, 0);
    grid->addLayout(interval, 1, 1, 1, 2);

    grid->addWidget(rbGetKeys, 2, 0);
    grid->addWidget(Edit(page, "edtGetKeys"), 2, 1, 1, 2);
    grid->addWidget(Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(Check(page, "chkGetRegex", "正则表达式", false), 2, 4);
    grid->addWidget(Check(page, "chkGetNoneLine", "提取空行", true), 3, 0);

    grid->addWidget(BackupBox(page, "chkGetLine"), 4, 0, 1, 3);
    auto* btnGetLine = StartButton(page, "btnGetLine", "开始提取");
    grid->addWidget(btnGetLine, 4, 3, Qt::AlignRight);
    grid->addWidget(Note(page, kTestSettingsNote), 5, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
    return new PageBinding(op, page, btnGetLine,
                           {{"lineNumber", {"edtGetLineNum"}},
                            {"period", {"edtGetLines"}},
                            {"position", {"edtGetLineNo"}},
                            {"keywords", {"edtGetKeys"}},
                            {"regex", {"chkGetRegex"}},
                            {"mode", {"rbGeLineNo", "rbGetLine", "rbGetKeys"}},
                            {"keepBlank", {"chkGetNoneLine"}},
                            {"backup", {"chkGetLine"}}});
}

}  // namespace ferro::page
