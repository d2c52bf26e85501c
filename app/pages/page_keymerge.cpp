// 合并关键字内容: the notes and the backup box; the first ticked file is the
// source, the second the target.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildKeyMergePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Note(page, "注意：把源文件中与目标文件中有相同关键字的内容,合并到目标文件中,"), 0,
                    0, 1, 2);
    grid->addWidget(Note(page, "内容格式: KeyName=Value,常用于INI文件处理."), 1, 0, 1, 2);
    grid->addWidget(BackupBox(page, "chkSynBak"), 2, 0);
    auto* btnSyn = StartButton(page, "btnSyn", "开始合并(&S)");
    grid->addWidget(btnSyn, 2, 1, Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(3, 1);
    return new PageBinding(op, page, btnSyn, {{"backup", {"chkSynBak"}}});
}

}  // namespace ferro::page
