#include "app/pages/page_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <stdexcept>

#include "platform/codec.h"

namespace ferro::page {

namespace {

// Whether a control is of the kind its field binds.
bool Fits(ops::FieldKind kind, QWidget* w) {
    switch (kind) {
        case ops::FieldKind::Text:
        case ops::FieldKind::Number:
            return qobject_cast<QLineEdit*>(w);
        case ops::FieldKind::Memo:
            return qobject_cast<QPlainTextEdit*>(w);
        case ops::FieldKind::Flag:
            return qobject_cast<QCheckBox*>(w);
        case ops::FieldKind::Choice:
            return qobject_cast<QRadioButton*>(w) || qobject_cast<QComboBox*>(w);
        case ops::FieldKind::Date:
            return qobject_cast<QDateEdit*>(w) && !qobject_cast<QTimeEdit*>(w);
        case ops::FieldKind::Time:
            return qobject_cast<QTimeEdit*>(w);
    }
    return false;
}

[[noreturn]] void Mismatch(const ops::Operation& op, const std::string& what) {
    throw std::logic_error(std::string("page of ") + op.info().name + ": " + what);
}

}  // namespace

PageBinding::PageBinding(const ops::Operation& op, QWidget* page, QPushButton* start,
                         const std::vector<Binding>& bindings)
    : QObject(page), op_(op), page_(page), start_(start) {
    if (!start) Mismatch(op, "no start button");
    for (const ops::Field& field : op.fields()) {
        const Binding* binding = nullptr;
        for (const Binding& b : bindings) {
            if (field.name != std::string_view(b.field)) continue;
            if (binding) Mismatch(op, std::string("field bound twice: ") + field.name);
            binding = &b;
        }
        if (!binding) Mismatch(op, std::string("field not bound: ") + field.name);
        // A choice binds a radio button per choice, or one list with the
        // choices in their order.
        const std::size_t wanted = field.kind == ops::FieldKind::Choice && binding->controls.size() != 1
                                       ? field.choices.size()
                                       : 1;
        if (binding->controls.size() != wanted)
            Mismatch(op, std::string("controls of ") + field.name);
        Bound bound{&field, {}};
        for (const char* name : binding->controls) {
            auto* w = page->findChild<QWidget*>(QString::fromLatin1(name));
            if (!w || !Fits(field.kind, w)) Mismatch(op, std::string("control ") + name);
            bound.controls.emplace_back(w);
            if (auto* e = qobject_cast<QLineEdit*>(w))
                connect(e, &QLineEdit::textChanged, this, &PageBinding::changed);
            else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
                connect(m, &QPlainTextEdit::textChanged, this, &PageBinding::changed);
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                connect(b, &QAbstractButton::toggled, this, &PageBinding::changed);
            else if (auto* d = qobject_cast<QDateTimeEdit*>(w))
                connect(d, &QDateTimeEdit::dateTimeChanged, this, &PageBinding::changed);
            else if (auto* c = qobject_cast<QComboBox*>(w)) {
                if (c->count() != static_cast<int>(field.choices.size()))
                    Mismatch(op, std::string("choices of ") + name);
                connect(c, &QComboBox::currentIndexChanged, this, &PageBinding::changed);
            }
        }
        bound_.push_back(std::move(bound));
    }
    for (const Binding& b : bindings)
        if (!ops::FindField(op.fields(), b.field))
            Mismatch(op, std::string("no such field: ") + b.field);
}

ops::FieldValues PageBinding::Read() const {
    ops::FieldValues values = op_.Defaults();
    for (const Bound& b : bound_) {
        QWidget* w = b.controls.front();
        std::string text;
        switch (b.field->kind) {
            case ops::FieldKind::Text:
            case ops::FieldKind::Number:
                text = QStringToGbk(static_cast<QLineEdit*>(w)->text());
                break;
            case ops::FieldKind::Memo: {
                // A memo's text has its lines joined by CR LF.
                QString t = static_cast<QPlainTextEdit*>(w)->toPlainText();
                t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
                text = QStringToGbk(t);
                break;
            }
            case ops::FieldKind::Flag:
                text = static_cast<QCheckBox*>(w)->isChecked() ? "1" : "0";
                break;
            case ops::FieldKind::Choice:
                text = b.field->fallback;
                if (auto* c = qobject_cast<QComboBox*>(w)) {
                    if (c->currentIndex() >= 0) text = b.field->choices[c->currentIndex()].value;
                    break;
                }
                for (std::size_t i = 0; i < b.controls.size(); ++i)
                    if (static_cast<QRadioButton*>(b.controls[i].data())->isChecked())
                        text = b.field->choices[i].value;
                break;
            case ops::FieldKind::Date: {
                const QDate d = static_cast<QDateEdit*>(w)->date();
                text = ops::DateText({d.year(), d.month(), d.day()});
                break;
            }
            case ops::FieldKind::Time: {
                const QTime t = static_cast<QTimeEdit*>(w)->time();
                text = ops::TimeText({t.hour(), t.minute(), t.second(), t.msec()});
                break;
            }
        }
        values.Set(b.field->name, std::move(text));
    }
    return values;
}

void PageBinding::Write(const ops::FieldValues& values) {
    for (const Bound& b : bound_) {
        const std::string& text = values.Text(b.field->name);
        if (!ops::Fits(*b.field, text)) continue;
        QWidget* w = b.controls.front();
        switch (b.field->kind) {
            case ops::FieldKind::Text:
            case ops::FieldKind::Number:
                static_cast<QLineEdit*>(w)->setText(GbkToQString(text));
                break;
            case ops::FieldKind::Memo: {
                QString t = GbkToQString(text);
                t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                static_cast<QPlainTextEdit*>(w)->setPlainText(t);
                break;
            }
            case ops::FieldKind::Flag:
                static_cast<QCheckBox*>(w)->setChecked(text == "1");
                break;
            case ops::FieldKind::Choice:
                if (auto* c = qobject_cast<QComboBox*>(w)) {
                    for (std::size_t i = 0; i < b.field->choices.size(); ++i)
                        if (text == b.field->choices[i].value) c->setCurrentIndex(static_cast<int>(i));
                    break;
                }
                // The others of its group follow.
                for (std::size_t i = 0; i < b.controls.size(); ++i)
                    if (text == b.field->choices[i].value)
                        static_cast<QRadioButton*>(b.controls[i].data())->setChecked(true);
                break;
            case ops::FieldKind::Date: {
                CalendarDate d;
                if (ops::ReadDate(text, d))
                    static_cast<QDateEdit*>(w)->setDate(QDate(d.year, d.month, d.day));
                break;
            }
            case ops::FieldKind::Time: {
                TimeOfDay t;
                if (ops::ReadTime(text, t))
                    static_cast<QTimeEdit*>(w)->setTime(QTime(t.hour, t.minute, t.second, t.millisecond));
                break;
            }
        }
    }
}

QWidget* PageBinding::Control(std::string_view field) const {
    for (const Bound& b : bound_)
        if (field == b.field->name) return b.controls.front();
    return nullptr;
}

std::vector<QWidget*> PageBinding::Controls(std::string_view field) const {
    std::vector<QWidget*> controls;
    for (const Bound& b : bound_)
        if (field == b.field->name)
            for (const QPointer<QWidget>& w : b.controls) controls.push_back(w);
    return controls;
}

}  // namespace ferro::page
