// 行模式替换字符: every line of each ticked file is rebuilt from a pattern of
// numbered fields and template items.
#include <QPlainTextEdit>

#include "app/pages/page_util.h"
#include "app/tform1.h"
#include "platform/text.h"
#include "textops/pattern_replace.h"
#include "textops/textfile.h"

namespace ferro {

void TForm1::BuildPatternPage(QWidget* page) {
    auto* grid = page::Grid(page);
    grid->addWidget(page::Label(page, "模式格式："), 0, 0, Qt::AlignTop);
    auto* mmPattern = new QPlainTextEdit(page);
    mmPattern->setObjectName(QStringLiteral("mmPattern"));
    mmPattern->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmPattern->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(mmPattern, 0, 1, 1, 5);

    grid->addWidget(page::Label(page, "参数前缀："), 1, 0);
    auto* edPrefix = page::Edit(page, "edPrefix", "$");
    edPrefix->setMaximumWidth(80);
    grid->addWidget(edPrefix, 1, 1);
    grid->addWidget(page::Label(page, "样式：$1,$2,$3..."), 1, 2);
    grid->addWidget(page::Label(page, "参数个数："), 1, 3, Qt::AlignRight);
    auto* edArgNum = page::Edit(page, "edArgNum", "3");
    edArgNum->setMaximumWidth(60);
    grid->addWidget(edArgNum, 1, 4);

    grid->addWidget(page::BackupBox(page, "chkModeBak"), 2, 1, 1, 3);
    auto* btnReplace = page::StartButton(page, "btnReplace", "开始替换");
    grid->addWidget(btnReplace, 2, 4, 1, 2, Qt::AlignRight);
    grid->addWidget(page::Note(page, page::kTestFirstNote), 3, 0, 1, 6);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(0, 1);
    ConnectClick(btnReplace, &TForm1::btnReplaceClick);
}

void TForm1::btnReplaceClick() {
    if (!CheckSelection()) return;
    PatternReplaceSettings s;
    s.pattern = FieldText("mmPattern");
    if (s.pattern.empty()) {
        ShowError(QStringLiteral("模式格式为空,请输入后再试!"));
        Find<QPlainTextEdit>("mmPattern")->setFocus();
        return;
    }
    const bool backup = Find<QCheckBox>("chkModeBak")->isChecked();
    RunCommand(Find<QPushButton>("btnReplace"), [&] {
        s.prefix = Trim(FieldText("edPrefix"));
        // Any count is used as given: a field gets its name only when the
        // line has that many fields, so no table of names is needed.
        s.count = ReadCountField(FieldText("edArgNum"));
        PatternReplaceState state;  // the separator is decided afresh by every run
        RunTextFileBatch(backup, PatternReplaceOperation(s, state));
    });
}

}  // namespace ferro
