// 文件格式转换: the conversion item, and whether each sheet of a workbook
// gets a file; each ticked file is converted into new files beside it.
#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildConvertPage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    grid->addWidget(Label(page, "新文件格式："), 0, 0);
    grid->addWidget(Edit(page, "edtFileFormat"), 0, 1);
    auto* btnConvert = StartButton(page, "btnConvert", "开始转换");
    grid->addWidget(btnConvert, 0, 2);
    auto* chkAllSheets = Check(page, "chkAllSheets", "每个工作表一个文件", false);
    chkAllSheets->setToolTip(QStringLiteral(
        "表格转换为 csv 或 txt 时，每个工作表写成一个文件：文件名_工作表名.csv。\n"
        "隐藏的工作表不写出；要写出时在扩展名后加“,隐藏”，如 ${XlsTo(csv,隐藏)}。"));
    grid->addWidget(chkAllSheets, 1, 1, 1, 2);
    grid->addWidget(Note(page,
                         "注意：转换格式参数必须是扩展名，如${XlsTo(新的扩展名)}，\n"
                         "新的扩展名可为：txt, csv等。"),
                    2, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    auto* binding = new PageBinding(op, page, btnConvert,
                                    {{"format", {"edtFileFormat"}}, {"allSheets", {"chkAllSheets"}}});
    binding->templateField = "format";
    return binding;
}

}  // namespace ferro::page
