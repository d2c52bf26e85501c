// 行内容插入字符: a template rewrites the chosen lines of each ticked file,
// with an optional ${Sn(start,width)} numbering per file.
#include <QButtonGroup>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/text.h"
#include "textops/line_insert.h"
#include "textops/settings_check.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildLineInsertPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "插入格式:"), 0, 0);
    grid->addWidget(page::Edit(page, "edtInsFormat"), 0, 1, 1, 4);

    auto* rbAllLine = page::Radio(page, "rbAllLine", "所有行插入", false);
    auto* rbDataLine = page::Radio(page, "rbDataLine", "有文字行插入", true);
    rbDataLine->setToolTip(QStringLiteral("空行不进行插入操作"));
    auto* rbKeys = page::Radio(page, "rbKeys", "关键字所在行插入", false);
    rbKeys->setToolTip(QStringLiteral("只有包含插入关键字的行才进行插入操作"));
    auto* rbInsLineNo = page::Radio(page, "rbInsLineNo", "指定行号插入", false);
    auto* which = new QButtonGroup(page);
    for (QRadioButton* r : {rbAllLine, rbDataLine, rbKeys, rbInsLineNo}) which->addButton(r);
    auto* edtInsLineNo = page::Edit(page, "edtInsLineNo", "1");
    edtInsLineNo->setMaximumWidth(60);
    grid->addWidget(rbAllLine, 1, 1);
    grid->addWidget(rbDataLine, 1, 3);
    grid->addWidget(rbInsLineNo, 2, 1);
    grid->addWidget(edtInsLineNo, 2, 2);
    grid->addWidget(rbKeys, 2, 3);
    grid->addWidget(page::Edit(page, "edtInsKeys"), 2, 4);

    grid->addWidget(page::BackupBox(page, "chkInsBak"), 3, 1, 1, 3);
    auto* btnIns = page::StartButton(page, "btnIns", "开始插入(&C)");
    grid->addWidget(btnIns, 3, 4, Qt::AlignRight);
    grid->addWidget(page::Note(page, page::kTestFirstNote), 4, 0, 1, 5);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(5, 1);
    ConnectClick(btnIns, &TForm1::btnInsClick);
}

void TForm1::btnInsClick() {
    if (!CheckSelection()) return;
    LineInsertSettings s;
    s.format = Trim(FieldText("edtInsFormat"));
    s.keyword = FieldText("edtInsKeys");
    if (Find<QRadioButton>("rbAllLine")->isChecked())
        s.choice = LineChoice::AllLines;
    else if (Find<QRadioButton>("rbKeys")->isChecked())
        s.choice = LineChoice::Keyword;
    else if (Find<QRadioButton>("rbInsLineNo")->isChecked())
        s.choice = LineChoice::LineNumber;
    else
        s.choice = LineChoice::TextLines;
    if (const auto problem = CheckLineInsertSettings(s); problem != LineInsertProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        return;
    }
    const bool backup = Find<QCheckBox>("chkInsBak")->isChecked();
    RunCommand(Find<QPushButton>("btnIns"), [&] {
        s.lineNumber = std::max(1, ReadLineNumberField(FieldText("edtInsLineNo")));
        SetCounter(stChangeCount_, 0);
        // A sequence item with a start or width that is not a number stops
        // the run here, before any file is touched.
        s.sequence = FindSequenceItem(s.format);
        RunTextFileBatch(backup, LineInsertOperation(s));
    });
}

}  // namespace ferro
