// 内容按行删除: drops lines of each ticked file by number, interval, keyword,
// or blankness.
#include <QButtonGroup>
#include <QHBoxLayout>
#include <algorithm>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "textops/line_delete.h"
#include "textops/settings_check.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildLineDeletePage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* rbDelLineNo = page::Radio(page, "rbDelLineNo", "指定行号删除", true);
    auto* rbDelLine = page::Radio(page, "rbDelLine", "间隔行号删除", false);
    auto* rbDelKeys = page::Radio(page, "rbDelKeys", "按关键字删除行", false);
    auto* rbDelEmpty = page::Radio(page, "rbDelEmpty", "删除空行", false);
    auto* modes = new QButtonGroup(page);
    for (QRadioButton* r : {rbDelLineNo, rbDelLine, rbDelKeys, rbDelEmpty}) modes->addButton(r);

    auto* edtDelLineNo = page::Edit(page, "edtDelLineNo", "1");
    edtDelLineNo->setMaximumWidth(60);
    grid->addWidget(rbDelLineNo, 0, 0);
    grid->addWidget(edtDelLineNo, 0, 1, Qt::AlignLeft);

    auto* interval = new QHBoxLayout;
    interval->setSpacing(4);
    auto* edtLines = page::Edit(page, "edtLines", "2");
    auto* edtLineNum = page::Edit(page, "edtLineNum", "1");
    edtLines->setMaximumWidth(50);
    edtLineNum->setMaximumWidth(50);
    interval->addWidget(page::Label(page, "每"));
    interval->addWidget(edtLines);
    interval->addWidget(page::Label(page, "行删除第"));
    interval->addWidget(edtLineNum);
    interval->addWidget(page::Label(page, "行记录"));
    interval->addStretch(1);
    grid->addWidget(rbDelLine, 1, 0);
    grid->addLayout(interval, 1, 1, 1, 2);

    grid->addWidget(rbDelKeys, 2, 0);
    grid->addWidget(page::Edit(page, "edtDelKeys"), 2, 1, 1, 2);
    grid->addWidget(page::Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(rbDelEmpty, 3, 0);

    grid->addWidget(page::BackupBox(page, "chkDelLine"), 4, 0, 1, 3);
    auto* btnDelLine = page::StartButton(page, "btnDelLine", "开始删除");
    grid->addWidget(btnDelLine, 4, 3, Qt::AlignRight);
    grid->addWidget(page::Note(page, page::kTestSettingsNote), 5, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
    ConnectClick(btnDelLine, &TForm1::btnDelLineClick);
}

void TForm1::btnDelLineClick() {
    if (!CheckSelection()) return;
    LineDeleteMode mode = LineDeleteMode::LineNumber;
    if (Find<QRadioButton>("rbDelLine")->isChecked())
        mode = LineDeleteMode::Interval;
    else if (Find<QRadioButton>("rbDelKeys")->isChecked())
        mode = LineDeleteMode::Keywords;
    else if (Find<QRadioButton>("rbDelEmpty")->isChecked())
        mode = LineDeleteMode::BlankLines;
    // All three numbers are read whatever the mode; a bad one stops here,
    // before the button is touched.
    LineDeleteSettings s;
    auto problem = LineDeleteProblem::None;
    bool read = false;
    Guard([&] {
        problem = ReadLineDeleteSettings(
            mode, FieldText("edtDelKeys"),
            {FieldText("edtDelLineNo"), FieldText("edtLines"), FieldText("edtLineNum")}, s);
        read = true;
    });
    if (!read) return;
    if (problem != LineDeleteProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        Find<QLineEdit>(problem == LineDeleteProblem::NoKeyword ? "edtDelKeys" : "edtLines")
            ->setFocus();
        return;
    }
    const bool backup = Find<QCheckBox>("chkDelLine")->isChecked();
    RunCommand(Find<QPushButton>("btnDelLine"), [&] {
        RunTextFileBatch(backup, LineDeleteOperation(s));
    });
}

}  // namespace ferro
