// 文件内容合并: the notes and the backup box; the ticked files are joined, in
// display order, into the last one.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildCombinePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Note(page, "注意：所有选择的文件内容按照显示顺序合并到最后一个选择的文件中，"), 0,
                    0, 1, 2);
    grid->addWidget(Note(page, "可先点击标题排序再合并，常用于文字内容合并."), 1, 0, 1, 2);
    grid->addWidget(BackupBox(page, "chkFileCombine"), 2, 0);
    auto* btnFileCombine = StartButton(page, "btnFileCombine", "开始合并(&S)");
    grid->addWidget(btnFileCombine, 2, 1, Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(3, 1);
    return new PageBinding(op, page, btnFileCombine, {{"backup", {"chkFileCombine"}}});
}

}  // namespace ferro::page
