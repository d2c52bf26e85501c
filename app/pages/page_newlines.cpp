// 内容插入新行: the text to insert and where: at a line number, at intervals,
// or before the lines holding a keyword.
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPlainTextEdit>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildNewLinesPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "需要插入的文字内容："), 0, 0);
    auto* mmoNewCont = new QPlainTextEdit(page);
    mmoNewCont->setObjectName(QStringLiteral("mmoNewCont"));
    mmoNewCont->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(mmoNewCont, 1, 0, 4, 1);

    auto* modes = new QButtonGroup(page);
    auto* rbNewLineNo = Radio(page, "rbNewLineNo", "指定行号插入", true);
    auto* rbIntLine = Radio(page, "rbIntLine", "间隔行插入", false);
    auto* rbKeyLine = Radio(page, "rbKeyLine", "关键字行插入", false);
    for (QRadioButton* r : {rbNewLineNo, rbIntLine, rbKeyLine}) modes->addButton(r);

    auto narrow = [](QLineEdit* e) {
        e->setMaximumWidth(48);
        return e;
    };
    auto* lineNoRow = new QHBoxLayout;
    lineNoRow->addWidget(rbNewLineNo);
    lineNoRow->addWidget(narrow(Edit(page, "edtNewLineNo", "0")));
    lineNoRow->addStretch(1);
    grid->addLayout(lineNoRow, 1, 1);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(rbIntLine);
    intervalRow->addWidget(Label(page, "每"));
    intervalRow->addWidget(narrow(Edit(page, "edtInsPers", "2")));
    intervalRow->addWidget(Label(page, "行第"));
    intervalRow->addWidget(narrow(Edit(page, "edtInsNum", "1")));
    intervalRow->addWidget(Label(page, "行插入"));
    intervalRow->addStretch(1);
    grid->addLayout(intervalRow, 2, 1);

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(rbKeyLine);
    keyRow->addWidget(Edit(page, "edtLineKey"), 1);
    keyRow->addWidget(Label(page, "分号隔开多个关键字"));
    grid->addLayout(keyRow, 3, 1);

    auto* startRow = new QHBoxLayout;
    startRow->addWidget(BackupBox(page, "chkInsLine"));
    startRow->addStretch(1);
    auto* btnInsLine = StartButton(page, "btnInsLine", "开始插入");
    startRow->addWidget(btnInsLine);
    grid->addLayout(startRow, 4, 1);
    grid->addWidget(Note(page, kTestSettingsNote), 5, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    auto* binding = new PageBinding(op, page, btnInsLine,
                                    {{"text", {"mmoNewCont"}},
                                     {"lineNumber", {"edtNewLineNo"}},
                                     {"period", {"edtInsPers"}},
                                     {"position", {"edtInsNum"}},
                                     {"keywords", {"edtLineKey"}},
                                     {"mode", {"rbNewLineNo", "rbIntLine", "rbKeyLine"}},
                                     {"backup", {"chkInsLine"}}});
    binding->templateField = "text";
    return binding;
}

}  // namespace ferro::page
