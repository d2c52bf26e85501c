// 行模式替换字符: the pattern, the prefix of the field names and their count.
#include <QPlainTextEdit>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildPatternPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "模式格式："), 0, 0, Qt::AlignTop);
    auto* mmPattern = new QPlainTextEdit(page);
    mmPattern->setObjectName(QStringLiteral("mmPattern"));
    mmPattern->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmPattern->setLineWrapMode(QPlainTextEdit::NoWrap);
    grid->addWidget(mmPattern, 0, 1, 1, 5);

    grid->addWidget(Label(page, "参数前缀："), 1, 0);
    auto* edPrefix = Edit(page, "edPrefix", "$");
    edPrefix->setMaximumWidth(80);
    grid->addWidget(edPrefix, 1, 1);
    grid->addWidget(Label(page, "样式：$1,$2,$3..."), 1, 2);
    grid->addWidget(Label(page, "参数个数："), 1, 3, Qt::AlignRight);
    auto* edArgNum = Edit(page, "edArgNum", "3");
    edArgNum->setMaximumWidth(60);
    grid->addWidget(edArgNum, 1, 4);

    grid->addWidget(BackupBox(page, "chkModeBak"), 2, 1, 1, 3);
    auto* btnReplace = StartButton(page, "btnReplace", "开始替换");
    grid->addWidget(btnReplace, 2, 4, 1, 2, Qt::AlignRight);
    grid->addWidget(Note(page, kTestFirstNote), 3, 0, 1, 6);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(0, 1);
    return new PageBinding(op, page, btnReplace,
                           {{"pattern", {"mmPattern"}},
                            {"prefix", {"edPrefix"}},
                            {"count", {"edArgNum"}},
                            {"backup", {"chkModeBak"}}});
}

}  // namespace ferro::page
