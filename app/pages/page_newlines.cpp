// 内容插入新行: a block of text is inserted into every ticked file at a line
// number, at intervals, or before the lines holding a keyword.
#include <QButtonGroup>
#include <QPlainTextEdit>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "textops/new_lines.h"
#include "textops/settings_check.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildNewLinesPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "需要插入的文字内容："), 0, 0);
    auto* mmoNewCont = new QPlainTextEdit(page);
    mmoNewCont->setObjectName(QStringLiteral("mmoNewCont"));
    mmoNewCont->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(mmoNewCont, 1, 0, 4, 1);

    auto* modes = new QButtonGroup(page);
    auto* rbNewLineNo = page::Radio(page, "rbNewLineNo", "指定行号插入", true);
    auto* rbIntLine = page::Radio(page, "rbIntLine", "间隔行插入", false);
    auto* rbKeyLine = page::Radio(page, "rbKeyLine", "关键字行插入", false);
    for (QRadioButton* r : {rbNewLineNo, rbIntLine, rbKeyLine}) modes->addButton(r);

    auto narrow = [](QLineEdit* e) {
        e->setMaximumWidth(48);
        return e;
    };
    auto* lineNoRow = new QHBoxLayout;
    lineNoRow->addWidget(rbNewLineNo);
    lineNoRow->addWidget(narrow(page::Edit(page, "edtNewLineNo", "0")));
    lineNoRow->addStretch(1);
    grid->addLayout(lineNoRow, 1, 1);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(rbIntLine);
    intervalRow->addWidget(page::Label(page, "每"));
    intervalRow->addWidget(narrow(page::Edit(page, "edtInsPers", "2")));
    intervalRow->addWidget(page::Label(page, "行第"));
    intervalRow->addWidget(narrow(page::Edit(page, "edtInsNum", "1")));
    intervalRow->addWidget(page::Label(page, "行插入"));
    intervalRow->addStretch(1);
    grid->addLayout(intervalRow, 2, 1);

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(rbKeyLine);
    keyRow->addWidget(page::Edit(page, "edtLineKey"), 1);
    keyRow->addWidget(page::Label(page, "分号隔开多个关键字"));
    grid->addLayout(keyRow, 3, 1);

    auto* startRow = new QHBoxLayout;
    startRow->addWidget(page::BackupBox(page, "chkInsLine"));
    startRow->addStretch(1);
    auto* btnInsLine = page::StartButton(page, "btnInsLine", "开始插入");
    startRow->addWidget(btnInsLine);
    grid->addLayout(startRow, 4, 1);
    grid->addWidget(page::Note(page, page::kTestSettingsNote), 5, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    ConnectClick(btnInsLine, &TForm1::btnInsLineClick);
}

void TForm1::btnInsLineClick() {
    if (!CheckSelection()) return;
    const std::string text = FieldText("mmoNewCont");
    NewLineMode mode = NewLineMode::kAtLine;
    if (Find<QRadioButton>("rbIntLine")->isChecked())
        mode = NewLineMode::kInterval;
    else if (Find<QRadioButton>("rbKeyLine")->isChecked())
        mode = NewLineMode::kKeywords;
    NewLinesSettings settings;
    const NewLinesProblem problem = ReadNewLinesSettings(
        text, mode, FieldText("edtLineKey"),
        {FieldText("edtNewLineNo"), FieldText("edtInsPers"), FieldText("edtInsNum")}, settings);
    if (problem != NewLinesProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        const char* field = problem == NewLinesProblem::NoText      ? "mmoNewCont"
                            : problem == NewLinesProblem::NoKeyword ? "edtLineKey"
                                                                    : "edtInsPers";
        Find<QWidget>(field)->setFocus();
        return;
    }
    const bool backup = Find<QCheckBox>("chkInsLine")->isChecked();
    RunCommand(Find<QPushButton>("btnInsLine"), [&] {
        const NewLineBlock block = NewLineBlock::Parse(text);
        RunTextFileBatch(backup, [&](const LineList& in, LineSink& out) {
            InsertNewLines(settings, block.ForFile(in), in, out);
        });
    });
}

}  // namespace ferro
