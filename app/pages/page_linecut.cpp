// 行内容截取字符: a template cuts part of the chosen lines of each ticked file.
#include <QButtonGroup>
#include <QGroupBox>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "platform/text.h"
#include "textops/line_cut.h"
#include "textops/settings_check.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildLineCutPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "截取格式:"), 0, 0);
    auto* edtCutFormat = page::Edit(page, "edtCutFormat");
    edtCutFormat->setToolTip(QStringLiteral("请输入新扩展名."));
    grid->addWidget(edtCutFormat, 0, 1, 1, 3);

    auto* rbKeepCut = page::Radio(page, "rbKeepCut", "保留截取到的内容", true);
    auto* rbKeepLeft = page::Radio(page, "rbKeepLeft", "保留截取后的内容", false);
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
    auto* rbCutAllLine = page::Radio(box, "rbCutAllLine", "所有行截取", false);
    auto* rbCutTextLine = page::Radio(box, "rbCutTextLine", "有文字行截取", true);
    rbCutTextLine->setToolTip(QStringLiteral("空行不进行插入操作"));
    auto* rbCutLineNo = page::Radio(box, "rbCutLineNo", "指定行号截取", false);
    auto* rbCutKeysLine = page::Radio(box, "rbCutKeysLine", "关键字所在行截取", false);
    rbCutKeysLine->setToolTip(QStringLiteral("只有包含插入关键字的行才进行插入操作"));
    auto* which = new QButtonGroup(box);
    for (QRadioButton* r : {rbCutAllLine, rbCutTextLine, rbCutLineNo, rbCutKeysLine})
        which->addButton(r);
    auto* edtCutLineNo = page::Edit(box, "edtCutLineNo", "1");
    edtCutLineNo->setMaximumWidth(60);
    auto* edtCutKeys = page::Edit(box, "edtCutKeys");
    lines->addWidget(rbCutAllLine, 0, 0);
    lines->addWidget(rbCutTextLine, 0, 2);
    lines->addWidget(rbCutLineNo, 1, 0);
    lines->addWidget(edtCutLineNo, 1, 1);
    lines->addWidget(rbCutKeysLine, 1, 2);
    lines->addWidget(edtCutKeys, 1, 3);
    lines->setColumnStretch(3, 1);
    grid->addWidget(box, 2, 0, 1, 4);

    grid->addWidget(page::BackupBox(page, "chkCutBak"), 3, 1, 1, 2);
    auto* btnCut = page::StartButton(page, "btnCut", "开始截取(&C)");
    grid->addWidget(btnCut, 3, 3, Qt::AlignRight);
    grid->addWidget(page::Note(page, page::kTestFirstNote), 4, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    ConnectClick(btnCut, &TForm1::btnCutClick);
}

void TForm1::btnCutClick() {
    if (!CheckSelection()) return;
    LineCutSettings s;
    s.format = Trim(FieldText("edtCutFormat"));
    s.keyword = FieldText("edtCutKeys");
    if (Find<QRadioButton>("rbCutAllLine")->isChecked())
        s.choice = LineChoice::AllLines;
    else if (Find<QRadioButton>("rbCutLineNo")->isChecked())
        s.choice = LineChoice::LineNumber;
    else if (Find<QRadioButton>("rbCutKeysLine")->isChecked())
        s.choice = LineChoice::Keyword;
    else
        s.choice = LineChoice::TextLines;
    if (const auto problem = CheckLineCutSettings(s); problem != LineCutProblem::None) {
        ShowError(GbkToQString(ProblemText(problem)));
        return;
    }
    s.keepCut = !Find<QRadioButton>("rbKeepLeft")->isChecked();
    const bool backup = Find<QCheckBox>("chkCutBak")->isChecked();
    RunCommand(Find<QPushButton>("btnCut"), [&] {
        s.lineNumber = std::max(1, ReadLineNumberField(FieldText("edtCutLineNo")));
        RunTextFileBatch(backup, LineCutOperation(s));
    });
}

}  // namespace ferro
