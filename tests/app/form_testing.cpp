#include "form_testing.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include "common/temp_folder.h"
#include "platform/codec.h"

namespace ferro::testing {

QString Q(const std::string& gbk) { return GbkToQString(gbk); }

void SetText(TForm1& form, const char* name, const char* utf8) { form.SetFieldText(name, Gbk(utf8)); }

void SetControl(TForm1& form, const char* name, const char* utf8) {
    const QString value = QString::fromUtf8(utf8);
    if (auto* box = form.Find<QCheckBox>(name)) box->setChecked(value == QLatin1String("1"));
    else if (auto* radio = form.Find<QRadioButton>(name)) radio->setChecked(true);
    else if (auto* time = form.Find<QTimeEdit>(name)) time->setTime(QTime::fromString(value, QStringLiteral("HH:mm:ss")));
    else if (auto* date = form.Find<QDateEdit>(name)) date->setDate(QDate::fromString(value, Qt::ISODate));
    else SetText(form, name, utf8);
}

void Click(TForm1& form, const char* button) { form.Find<QPushButton>(button)->click(); }

QString Counter(TForm1& form, const char* name) { return form.Find<QLabel>(name)->text(); }

QStringList Names(TForm1& form) {
    QStringList names;
    for (int r = 1; r <= form.fileList().LastRow(); ++r) names << Q(form.fileList().Name(r));
    return names;
}

QStringList TickedNames(TForm1& form) {
    QStringList names;
    for (int r = 1; r <= form.fileList().LastRow(); ++r)
        if (form.fileList().Checked(r)) names << Q(form.fileList().Name(r));
    return names;
}

}  // namespace ferro::testing
