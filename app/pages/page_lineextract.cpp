// 内容按行提取: keeps only the chosen lines of each ticked file, by number,
// interval or keyword.
#include <QButtonGroup>
#include <QHBoxLayout>
#include <algorithm>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "textops/line_extract.h"
#include "textops/settings_check.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildLineExtractPage(QWidget* page) {
    auto* grid = page::Grid(page);
    auto* rbGeLineNo = page::Radio(page, "rbGeLineNo", "指定行号提取", true);
    auto* rbGetLine = page::Radio(page, "rbGetLine", "间隔行号提取", false);
    auto* rbGetKeys = page::Radio(page, "rbGetKeys", "按关键字提取行", false);
    auto* modes = new QButtonGroup(page);
    for (QRadioButton* r : {rbGeLineNo, rbGetLine, rbGetKeys}) modes->addButton(r);

    auto* edtGetLineNum = page::Edit(page, "edtGetLineNum", "1");
    edtGetLineNum->setMaximumWidth(60);
    grid->addWidget(rbGeLineNo, 0, 0);
    grid->addWidget(edtGetLineNum, 0, 1, Qt::AlignLeft);

    auto* interval = new QHBoxLayout;
    interval->setSpacing(4);
    auto* edtGetLines = page::Edit(page, "edtGetLines", "2");
    auto* edtGetLineNo = page::Edit(page, "edtGetLineNo", "1");
    edtGetLines->setMaximumWidth(50);
    edtGetLineNo->setMaximumWidth(50);
    interval->addWidget(page::Label(page, "每"));
    interval->addWidget(edtGetLines);
    interval->addWidget(page::Label(page, "行提取第"));
    interval->addWidget(edtGetLineNo);
    interval->addWidget(page::Label(page, "行记录"));
    interval->addStretch(1);
    grid->addWidget(rbGetLine, 1, 0);
    grid->addLayout(interval, 1, 1, 1, 2);

    grid->addWidget(rbGetKeys, 2, 0);
    grid->addWidget(page::Edit(page, "edtGetKeys"), 2, 1, 1, 2);
    grid->addWidget(page::Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(page::Check(page, "chkGetNoneLine", "提取空行", true), 3, 0);

    grid->addWidget(page::BackupBox(page, "chkGetLine"), 4, 0, 1, 3);
    auto* btnGetLine = page::StartButton(page, "btnGetLine", "开始提取");
    grid->addWidget(btnGetLine, 4, 3, Qt::AlignRight);
    grid->addWidget(page::Note(page, page::kTestSettingsNote), 5, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
    ConnectClick(btnGetLine, &TForm1::btnGetLineClick);
}

void TForm1::btnGetLineClick() {
    if (!CheckSelection()) return;
    LineExtractMode mode = LineExtractMode::LineNumber;
    if (Find<QRadioButton>("rbGetLine")->isChecked())
        mode = LineExtractMode::Interval;
    else if (Find<QRadioButton>("rbGetKeys")->isChecked())
        mode = LineExtractMode::Keywords;
    // A field of blanks alone holds no keyword either; running with it would
    // empty every file. All three numbers are read whatever the mode; a bad
    // one stops here, before the button is touched.
    LineExtractSettings s;
    auto problem = LineExtractProblem::None;
    bool read = false;
    Guard([&] {
        problem = ReadLineExtractSettings(
            mode, FieldText("edtGetKeys"),
            {FieldText("edtGetLineNum"), FieldText("edtGetLines"), FieldText("edtGetLineNo")}, s);
        read = true;
    });
    if (!read) return;
    if (problem != LineExtractProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        Find<QLineEdit>(problem == LineExtractProblem::NoKeyword ? "edtGetKeys" : "edtGetLines")
            ->setFocus();
        return;
    }
    s.keepBlank = Find<QCheckBox>("chkGetNoneLine")->isChecked();
    const bool backup = Find<QCheckBox>("chkGetLine")->isChecked();
    RunCommand(Find<QPushButton>("btnGetLine"), [&] {
        RunTextFileBatch(backup, LineExtractOperation(s));
    });
}

}  // namespace ferro
