// 更改文件或目录日期: sets the modified, created and accessed times of the
// ticked files (and of their folders when asked).
#include <QDateEdit>
#include <QTimeEdit>

#include "app/pages/page_util.h"
#include "app/run_host.h"
#include "app/tform1.h"
#include "fileops/date_change.h"

namespace ferro {
namespace {

template <class Picker>
Picker* AddPicker(QWidget* page, QGridLayout* grid, int row, const char* checkName,
                  const char* caption, const char* pickerName, const char* format) {
    auto* check = page::Check(page, checkName, caption, false);
    auto* picker = new Picker(page);
    picker->setObjectName(QString::fromLatin1(pickerName));
    picker->setDisplayFormat(QString::fromLatin1(format));
    picker->setEnabled(false);
    grid->addWidget(check, row, 0);
    grid->addWidget(picker, row, 1);
    return picker;
}

CalendarDate DateOf(const QDateEdit* edit) {
    const QDate d = edit->date();
    return CalendarDate{d.year(), d.month(), d.day()};
}

}  // namespace

void TForm1::BuildDatePage(QWidget* page) {
    auto* grid = page::Grid(page);
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
    grid->addWidget(page::Check(page, "chkDirDate", "同时修改文件所在目录日期", false), row++, 0, 1,
                    3);
    // Each box enables its picker, however it gets ticked.
    for (auto [name, handler] : {std::pair{"ckModify", &TForm1::ckModifyClick},
                                 std::pair{"ckCreate", &TForm1::ckCreateClick},
                                 std::pair{"ckAccess", &TForm1::ckAccessClick},
                                 std::pair{"chkTime", &TForm1::chkTimeClick}})
        connect(Find<QCheckBox>(name), &QCheckBox::toggled, this, handler);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
    auto* btnDate = page::StartButton(page, "btnDate", "开始处理");
    grid->addWidget(btnDate, row, 2, Qt::AlignRight | Qt::AlignBottom);
    ConnectClick(btnDate, &TForm1::btnDateClick);
}

void TForm1::ckModifyClick() {
    Find<QDateEdit>("dtModify")->setEnabled(Find<QCheckBox>("ckModify")->isChecked());
}

void TForm1::ckCreateClick() {
    Find<QDateEdit>("dtCreate")->setEnabled(Find<QCheckBox>("ckCreate")->isChecked());
}

void TForm1::ckAccessClick() {
    Find<QDateEdit>("dtAccess")->setEnabled(Find<QCheckBox>("ckAccess")->isChecked());
}

void TForm1::chkTimeClick() {
    Find<QTimeEdit>("dtpTime")->setEnabled(Find<QCheckBox>("chkTime")->isChecked());
}

DateSettings TForm1::ReadDateSettings() const {
    DateSettings s;
    s.setModified = Find<QCheckBox>("ckModify")->isChecked();
    s.setCreated = Find<QCheckBox>("ckCreate")->isChecked();
    s.setAccessed = Find<QCheckBox>("ckAccess")->isChecked();
    s.useTime = Find<QCheckBox>("chkTime")->isChecked();
    s.foldersToo = Find<QCheckBox>("chkDirDate")->isChecked();
    s.modified = DateOf(Find<QDateEdit>("dtModify"));
    s.created = DateOf(Find<QDateEdit>("dtCreate"));
    s.accessed = DateOf(Find<QDateEdit>("dtAccess"));
    const QTime t = Find<QTimeEdit>("dtpTime")->time();
    s.time = TimeOfDay{t.hour(), t.minute(), t.second(), t.msec()};
    return s;
}

void TForm1::btnDateClick() {
    if (!CheckSelection()) return;
    const DateSettings s = ReadDateSettings();
    if (!s.AnyChosen()) {
        ShowError(QStringLiteral("请选择新的日期或时间！"));
        return;
    }

    RunCommand(Find<QPushButton>("btnDate"), [&] {
        SetCounter(stChangeCount_, 0);
        WindowRunHost host(*this, stChangeCount_);
        const RunSummary summary = ChangeDates(files_, s, &host);
        SetRunReport(summary, QStringLiteral("成功处理文件总数量：%1").arg(summary.done));
    });
}

}  // namespace ferro
