// 按关键字同步行: the keywords and the backup box; the first ticked file is
// the source, the second the target.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildLineSyncPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Note(page, "注意：根据关键字同步源文件行内容到目标文件中，替换目标文件同一行内容，"),
                    0, 0, 1, 4);
    grid->addWidget(Note(page, "常用于翻译内容的提取。"), 1, 0, 1, 4);
    grid->addWidget(Label(page, "关键字："), 2, 0);
    grid->addWidget(Edit(page, "edtLineKeys"), 2, 1, 1, 2);
    grid->addWidget(Label(page, "可分号隔开多个关键字。"), 2, 3);
    grid->addWidget(Check(page, "chkSynRegex", "正则表达式", false), 2, 4);
    grid->addWidget(BackupBox(page, "chkKeysSyn"), 3, 1);
    auto* btnLineSyn = StartButton(page, "btnLineSyn", "开始同步");
    grid->addWidget(btnLineSyn, 3, 3, Qt::AlignRight);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);
    return new PageBinding(op, page, btnLineSyn,
                           {{"keywords", {"edtLineKeys"}}, {"regex", {"chkSynRegex"}}, {"backup", {"chkKeysSyn"}}});
}

}  // namespace ferro::page
