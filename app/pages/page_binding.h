// An operation's page bound to its field table: each field to the control
// that shows it, found once by objectName. The page reads its fields through
// the binding (never control by control), remembered settings write them
// back, and the window's one run frame takes it from there.
//
// A text or number field binds a QLineEdit, a memo a QPlainTextEdit (lines
// joined by CR LF), a flag a QCheckBox, a date a QDateEdit, a time a
// QTimeEdit, and a choice one QRadioButton per choice, in the choices'
// order. A table and its page that do not match (a field unbound, a control
// missing or of another kind) are a mistake of the program: the binding
// throws std::logic_error, so no window is ever built with one.
#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "ops/operation.h"


namespace ferro {
class TForm1;
}

namespace ferro::page {

struct Binding {
    const char* field;
    std::vector<const char*> controls;  // objectNames
};

class PageBinding : public QObject {
    Q_OBJECT
signals:
    // A bound control changed (typing, a tick, a date).
    void changed();

public:
    PageBinding(const ops::Operation& op, QWidget* page, QPushButton* start,
                const std::vector<Binding>& bindings);

    const ops::Operation& operation() const { return op_; }
    QWidget* page() const { return page_; }
    QPushButton* start() const { return start_; }

    ops::FieldValues Read() const;
    // Values that do not fit their field are left out; the controls' own
    // signals follow, as when the user sets them.
    void Write(const ops::FieldValues& values);
    // The control of a field (the first one of a choice); null for a name
    // not in the table.
    QWidget* Control(std::string_view field) const;
    // Every control of a field (a choice's radio buttons in its order).
    std::vector<QWidget*> Controls(std::string_view field) const;

    // The field the template picker writes into; empty: the page has none.
    std::string templateField;
    // A page whose run is not the common one: which files it runs on
    // (false when the page refused with its own message), and what it
    // shows of the outcome before the closing message.
    std::function<bool(TForm1& form, std::vector<BatchFile>& files)> chooseFiles;
    std::function<void(const ops::RunOutcome& outcome)> showOutcome;

private:
    struct Bound {
        const ops::Field* field;
        std::vector<QPointer<QWidget>> controls;
    };
    const ops::Operation& op_;
    QPointer<QWidget> page_;
    QPointer<QPushButton> start_;
    std::vector<Bound> bound_;  // in the table's order
};

}  // namespace ferro::page
