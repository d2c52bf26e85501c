#include "app/settings.h"

#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStringListModel>
#include <optional>

#include "app/looks.h"
#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "platform/codec.h"

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

// The fields of every operation page, each under "ops/<operation>/<field>"
// as its text (the form presets keep too).
QString FieldKey(const page::PageBinding& page, const ops::Field& field) {
    return QStringLiteral("ops/") + QString::fromLatin1(page.operation().info().name) +
           QLatin1Char('/') + QString::fromLatin1(field.name);
}

// An older program kept each control under "pages/<objectName>", by the
// control's kind: read once, the next save writes the fields.
std::optional<std::string> OldFieldText(const QSettings& s, const page::PageBinding& page,
                                        const ops::Field& field) {
    const std::vector<QWidget*> controls = page.Controls(field.name);
    auto old = [&](std::size_t i) {
        return s.value(QStringLiteral("pages/") + controls[i]->objectName());
    };
    if (field.kind == ops::FieldKind::Choice) {
        for (std::size_t i = 0; i < controls.size(); ++i)
            if (old(i).toBool()) return std::string(field.choices[i].value);
        return std::nullopt;
    }
    const QVariant v = old(0);
    if (!v.isValid()) return std::nullopt;
    switch (field.kind) {
        case ops::FieldKind::Flag:
            return std::string(v.toBool() ? "1" : "0");
        case ops::FieldKind::Date:
        case ops::FieldKind::Time: {
            const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
            if (!t.isValid()) return std::nullopt;
            if (field.kind == ops::FieldKind::Date)
                return ops::DateText({t.date().year(), t.date().month(), t.date().day()});
            return ops::TimeText({t.time().hour(), t.time().minute(), t.time().second(), t.time().msec()});
        }
        case ops::FieldKind::Memo: {
            QString text = v.toString();
            text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
            return QStringToGbk(text);
        }
        default:
            return QStringToGbk(v.toString());
    }
}

void RestoreFields(const QSettings& s, TForm1& form) {
    const bool old = !s.childGroups().contains(QStringLiteral("ops"));
    for (page::PageBinding* page : form.pages()) {
        ops::FieldValues values = page->Read();
        for (const ops::Field& field : page->operation().fields()) {
            std::optional<std::string> text;
            if (old) text = OldFieldText(s, *page, field);
            else if (const QVariant v = s.value(FieldKey(*page, field)); v.isValid())
                text = QStringToGbk(v.toString());
            if (text) values.Set(field.name, std::move(*text));
        }
        page->Write(values);  // values that do not fit their fields are left out
    }
}

void SaveFields(QSettings& s, const TForm1& form) {
    s.remove("pages");
    s.remove("ops");  // fields that no longer exist are forgotten
    for (const page::PageBinding* page : form.pages()) {
        const ops::FieldValues values = page->Read();
        for (const ops::Field& field : page->operation().fields())
            s.setValue(FieldKey(*page, field), GbkToQString(values.Text(field.name)));
    }
}

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

    RestoreFields(s, form);
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
    SaveFields(s, form);
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
