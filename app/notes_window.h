// The usage notes in a window of the program: the text, read-only, with a
// find field. Typing searches as the text grows, Enter (or F3) finds the next
// place, Shift+Enter (or Shift+F3) the one before; the search wraps round
// the ends, ignores case, and says so when the text is nowhere.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace ferro {

class NotesWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own, closed with its owner.
    explicit NotesWindow(QWidget* owner);

    // Reads the notes (UTF-8, or GBK when not UTF-8); false when the file
    // cannot be read.
    bool Load(const QString& path);
    // Looks for text from the current place: from the start of the present
    // match (as the text is typed), or past it (next) or before it
    // (backward). True when found; the match is selected and shown.
    bool FindText(const QString& text, bool next, bool backward = false);

    QPlainTextEdit* textView() const { return mmNotes_; }
    QLineEdit* findField() const { return edNotesFind_; }

private:
    void FindFromField(bool next, bool backward);

    QPlainTextEdit* mmNotes_;
    QLineEdit* edNotesFind_;
    QLabel* lblNotesFind_;
};

// The notes file: in the current folder (the program's folder when started
// from there), beside the program, or where it is installed. Empty when
// there is none.
QString UsageNotesPath();

}  // namespace ferro
