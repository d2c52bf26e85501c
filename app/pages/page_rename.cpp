// 更改文件名称: the name pattern.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildRenamePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "新文件名:"), 0, 0);
    grid->addWidget(Edit(page, "edtNewFilename"), 0, 1);
    auto* chkMakeFolders = Check(page, "chkMakeFolders", "按“/”建立子目录", false);
    chkMakeFolders->setToolTip(QStringLiteral(
        "新文件名中的“/”在文件所在目录下建立子目录，如 ${TakenTime(yyyy)}/${TakenTime(mm)}/${Filename}"));
    grid->addWidget(chkMakeFolders, 1, 1);
    grid->addWidget(Note(page, kTestFirstNote), 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    auto* btnFilename = StartButton(page, "btnFilename", "开始处理");
    grid->addWidget(btnFilename, 4, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    auto* binding = new PageBinding(op, page, btnFilename,
                                    {{"pattern", {"edtNewFilename"}},
                                     {"makeFolders", {"chkMakeFolders"}}});
    binding->templateField = "pattern";
    return binding;
}

}  // namespace ferro::page
