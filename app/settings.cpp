#include "app/settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateTimeEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStringListModel>
#include <QTabWidget>

#include "app/looks.h"
#include "app/tform1.h"

namespace ferro {

namespace {

// The recent lists of one window, offered as completions of their fields
// and brought up to date whenever a search starts.
class SearchHistory : public QObject {
public:
    SearchHistory(TForm1& form, const QStringList& folders, const QStringList& masks)
        : QObject(&form), form_(form) {
        folders_ = new QStringListModel(Trimmed(folders), this);
        masks_ = new QStringListModel(Trimmed(masks), this);
        folderField()->setCompleter(MakeCompleter(folders_));
        // The mask field completes from the recent masks first, then from
        // the list's own items.
        auto* cmbFileType = maskField();
        QStringList offered = masks_->stringList();
        for (int i = 0; i < cmbFileType->count(); ++i)
            if (!offered.contains(cmbFileType->itemText(i))) offered << cmbFileType->itemText(i);
        maskOffers_ = new QStringListModel(offered, this);
        // On the field itself: the list's own completer handling would pick
        // the item of that text, and clear the field for a mask that is
        // not one of its items.
        cmbFileType->lineEdit()->setCompleter(MakeCompleter(maskOffers_));

        auto remember = [this] { Remember(); };
        connect(form.Find<QPushButton>("cbSearch"), &QPushButton::clicked, this, remember);
        connect(folderField(), &QLineEdit::returnPressed, this, remember);
        connect(cmbFileType->lineEdit(), &QLineEdit::returnPressed, this, remember);
    }

    // The fields' present values go to the front of their lists.
    void Remember() {
        Push(folders_, folderField()->text());
        Push(masks_, maskField()->currentText());
        Push(maskOffers_, maskField()->currentText(), false);
    }
    QStringList folders() const { return folders_->stringList(); }
    QStringList masks() const { return masks_->stringList(); }

private:
    QLineEdit* folderField() const { return form_.Find<QLineEdit>("edFolder"); }
    QComboBox* maskField() const { return form_.Find<QComboBox>("cmbFileType"); }

    static QStringList Trimmed(QStringList list) {
        list.removeAll(QString());
        list.removeDuplicates();
        return list.mid(0, kRecentCount);
    }

    QCompleter* MakeCompleter(QStringListModel* model) {
        auto* c = new QCompleter(model, this);
        c->setCaseSensitivity(Qt::CaseInsensitive);
        c->setCompletionMode(QCompleter::PopupCompletion);
        return c;
    }

    static void Push(QStringListModel* model, const QString& value, bool limit = true) {
        if (value.trimmed().isEmpty()) return;
        QStringList list = model->stringList();
        list.removeAll(value);
        list.prepend(value);
        if (limit) list = list.mid(0, kRecentCount);
        if (list != model->stringList()) model->setStringList(list);
    }

    TForm1& form_;
    QStringListModel* folders_;
    QStringListModel* masks_;
    QStringListModel* maskOffers_;
};

SearchHistory* HistoryOf(const TForm1& form) {
    for (QObject* child : form.children())
        if (auto* h = dynamic_cast<SearchHistory*>(child)) return h;
    return nullptr;
}

// The fields of the operation pages that the user fills in, by objectName:
// Qt's own inner widgets (unnamed, or named qt_...) and read-only fields
// (results) are not settings.
QList<QWidget*> PageFields(const TForm1& form) {
    QList<QWidget*> fields;
    auto* pgcOne = form.Find<QTabWidget>("pgcOne");
    for (int i = 0; i < pgcOne->count(); ++i) {
        for (QWidget* w : pgcOne->widget(i)->findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
            if (auto* e = qobject_cast<QLineEdit*>(w); e && e->isReadOnly()) continue;
            if (auto* m = qobject_cast<QPlainTextEdit*>(w); m && m->isReadOnly()) continue;
            fields << w;
        }
    }
    return fields;
}

QVariant FieldValue(QWidget* w) {
    if (auto* b = qobject_cast<QCheckBox*>(w)) return b->isChecked();
    if (auto* b = qobject_cast<QRadioButton*>(w)) return b->isChecked();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->toPlainText();
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) return c->currentText();
        return c->currentIndex();
    }
    if (auto* d = qobject_cast<QDateTimeEdit*>(w)) return d->dateTime().toString(Qt::ISODate);
    if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
    if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) return s->value();
    return QVariant();
}

// Setting a value emits the fields' change signals, so fields that depend on
// a box (enabled with it) follow.
void SetFieldValue(QWidget* w, const QVariant& v) {
    if (auto* b = qobject_cast<QCheckBox*>(w)) {
        b->setChecked(v.toBool());
    } else if (auto* b = qobject_cast<QRadioButton*>(w)) {
        if (v.toBool()) b->setChecked(true);  // the others of its group follow
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(v.toString());
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        m->setPlainText(v.toString());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        if (c->isEditable()) {
            c->setEditText(v.toString());
        } else {
            bool ok = false;
            const int index = v.toInt(&ok);
            if (ok && index >= 0 && index < c->count()) c->setCurrentIndex(index);
        }
    } else if (auto* d = qobject_cast<QDateTimeEdit*>(w)) {
        const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
        if (t.isValid()) d->setDateTime(t);
    } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
        s->setValue(v.toInt());
    } else if (auto* s = qobject_cast<QDoubleSpinBox*>(w)) {
        s->setValue(v.toDouble());
    }
}

QString PageKey(const QWidget* w) { return QStringLiteral("pages/") + w->objectName(); }

}  // namespace

QString SettingsFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/ferrovan-batch/ferrovan-batch.conf");
}

void RestoreSettings(TForm1& form) {
    QSettings s(SettingsFilePath(), QSettings::IniFormat);

    auto* edFolder = form.Find<QLineEdit>("edFolder");
    edFolder->setText(s.value("search/folder", QDir::homePath()).toString());
    auto* cmbFileType = form.Find<QComboBox>("cmbFileType");
    if (s.contains("search/mask")) cmbFileType->setEditText(s.value("search/mask").toString());
    new SearchHistory(form, s.value("search/recentFolders").toStringList(),
                      s.value("search/recentMasks").toStringList());

    for (QWidget* field : PageFields(form)) {
        const QString key = PageKey(field);
        if (s.contains(key)) SetFieldValue(field, s.value(key));
    }
    // How text files are read and written: the classic mode stays chosen.
    auto* encoding = form.Find<QComboBox>("cmbTextEncoding");
    bool ok = false;
    const int mode = s.value("text/encoding").toInt(&ok);
    if (ok && mode >= 0 && mode < encoding->count()) encoding->setCurrentIndex(mode);
    auto* cmbOpt = form.Find<QComboBox>("cmbOpt");
    ok = false;
    const int page = s.value("operation/page").toInt(&ok);
    if (ok && page >= 0 && page < cmbOpt->count()) {
        cmbOpt->setCurrentIndex(page);
        form.cmbOptChange(page);
    }

    if (form.restoreGeometry(s.value("window/geometry").toByteArray())) KeepOnScreen(form);
    form.Find<QSplitter>("Splitter1")->restoreState(s.value("window/splitter").toByteArray());
}

void SaveSettings(TForm1& form) {
    QSettings s(SettingsFilePath(), QSettings::IniFormat);
    s.setValue("window/geometry", form.saveGeometry());
    s.setValue("window/splitter", form.Find<QSplitter>("Splitter1")->saveState());

    SearchHistory* history = HistoryOf(form);
    if (history) history->Remember();
    s.setValue("search/folder", form.Find<QLineEdit>("edFolder")->text());
    s.setValue("search/mask", form.Find<QComboBox>("cmbFileType")->currentText());
    s.setValue("search/recentFolders", RecentFolders(form));
    s.setValue("search/recentMasks", RecentMasks(form));

    s.setValue("operation/page", form.Find<QComboBox>("cmbOpt")->currentIndex());
    s.setValue("text/encoding", form.Find<QComboBox>("cmbTextEncoding")->currentIndex());
    s.remove("pages");  // fields that no longer exist are forgotten
    for (QWidget* field : PageFields(form)) {
        const QVariant v = FieldValue(field);
        if (v.isValid()) s.setValue(PageKey(field), v);
    }
    s.sync();
}

QStringList RecentFolders(const TForm1& form) {
    if (const SearchHistory* h = HistoryOf(form)) return h->folders();
    return {form.Find<QLineEdit>("edFolder")->text()};
}

QStringList RecentMasks(const TForm1& form) {
    if (const SearchHistory* h = HistoryOf(form)) return h->masks();
    return {form.Find<QComboBox>("cmbFileType")->currentText()};
}

}  // namespace ferro
