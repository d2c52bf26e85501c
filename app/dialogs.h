// Everything the window asks of the desktop goes through this interface:
// message boxes, question boxes, file and folder dialogs, the clipboard and
// opening a document or web address. The program uses the real dialogs
// (QtDialogs); tests script the answers.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace ferro {

struct FileDialogOptions {
    QString objectName;     // OpenDialog1, dlgSave1
    QString title;
    QString directory;      // start folder
    QString selectedFile;   // offered name (save dialog)
    QStringList filters;    // "文本文件(*.txt;*.ini)": a caption ending in its masks
    QString defaultSuffix;  // added when the user types a name without one
    bool confirmOverwrite = true;
};

class DialogProvider {
public:
    enum class Icon { Error, Information, Question, Warning };

    virtual ~DialogProvider() = default;
    // A modal box with one OK button.
    virtual void Message(QWidget* parent, Icon icon, const QString& title, const QString& text) = 0;
    // The same with a list the user can unfold, select and copy (one entry a
    // line); the text says what the list holds.
    virtual void MessageWithDetails(QWidget* parent, Icon icon, const QString& title,
                                    const QString& text, const QString& details) {
        Message(parent, icon, title, text);
    }
    // A modal Yes/No box; true for Yes.
    virtual bool Question(QWidget* parent, const QString& title, const QString& text) = 0;
    // The same with No as the default button, for questions whose Yes cannot
    // be taken back.
    virtual bool QuestionDefaultNo(QWidget* parent, const QString& title, const QString& text) {
        return Question(parent, title, text);
    }
    // Chosen files (several may be chosen); empty when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const FileDialogOptions& options) = 0;
    // Chosen file; empty when cancelled.
    virtual QString SaveFile(QWidget* parent, const FileDialogOptions& options) = 0;
    // Chosen folder; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title) = 0;
    virtual void SetClipboardText(const QString& text) = 0;
    // Opens a file or a web address with the desktop's default program.
    virtual void OpenDocument(const QUrl& url) = 0;
};

}  // namespace ferro
