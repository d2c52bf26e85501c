// 更改文件或目录日期: which times to set, the dates and the time of day, and
// whether the folders too.
#include <QDateEdit>
#include <QTimeEdit>
#include <tuple>

#include "app/pages/page_util.h"
#include "app/pages/pages.h"

namespace ferro::page {
namespace {

// A box and the picker it enables, however the box gets ticked.
template <class Picker>
Picker* AddPicker(QWidget* page, QGridLayout* grid, int row, const char* checkName,
                  const char* caption, const char* pickerName, const char* format) {
    auto* check = Check(page, checkName, caption, false);
    auto* picker = new Picker(page);
    picker->setObjectName(QString::fromLatin1(pickerName));
    picker->setDisplayFormat(QString::fromLatin1(format));
    picker->setEnabled(false);
    QObject::connect(check, &QCheckBox::toggled, picker, &QWidget::setEnabled);
    grid->addWidget(check, row, 0);
    grid->addWidget(picker, row, 1);
    return picker;
}

}  // namespace

PageBinding* BuildDatePage(const ops::Operation& op, QWidget* page) {
    auto* grid = Grid(page);
    int row = 0;
    for (auto [check, caption, picker] :
         {std::tuple{"ckModify", "修改日期", "dtModify"}, std::tuple{"ckCreate", "创建日期", "dtCreate"},
          std::tuple{"ckAccess", "访问日期", "dtAccess"}}) {
        auto* date = AddPicker<QDateEdit>(page, grid, row++, check, caption, picker, "yyyy-MM-dd");
        date->setCalendarPopup(true);
        date->setMinimumWidth(120);
    }
    AddPicker<QTimeEdit>(page, grid, row++, "chkTime", "修改时间", "dtpTime", "HH:mm:ss")
        ->setMinimumWidth(120);
    grid->addWidget(Check(page, "chkDirDate", "同时修改文件所在目录日期", false), row++, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    auto* btnDate = StartButton(page, "btnDate", "开始处理");
    grid->addWidget(btnDate, row, 2, Qt::AlignRight | Qt::AlignBottom);
    return new PageBinding(op, page, btnDate,
                           {{"setModified", {"ckModify"}},
                            {"modified", {"dtModify"}},
                            {"setCreated", {"ckCreate"}},
                            {"created", {"dtCreate"}},
                            {"setAccessed", {"ckAccess"}},
                            {"accessed", {"dtAccess"}},
                            {"useTime", {"chkTime"}},
                            {"time", {"dtpTime"}},
                            {"folders", {"chkDirDate"}}});
}

}  // namespace ferro::page
