// Dialogs for GUI tests: every message box is recorded, and every answer
// (question boxes, file and folder dialogs) comes from a script prepared by
// the test. An unscripted question is answered No, an unscripted file
// dialog is cancelled, and both are recorded so a test can see them.
#pragma once

#include <deque>
#include <vector>

#include "app/dialogs.h"
#include "app/tform1.h"
#include "fileops/filelist.h"

namespace ferro::testing {

class ScriptedDialogs : public DialogProvider {
public:
    struct Shown {
        Icon icon;
        QString title;
        QString text;
        QString details;  // the list under a message, when it has one
    };

    void Message(QWidget* parent, Icon icon, const QString& title, const QString& text) override;
    void MessageWithDetails(QWidget* parent, Icon icon, const QString& title, const QString& text,
                            const QString& details) override;
    bool Question(QWidget* parent, const QString& title, const QString& text) override;
    bool QuestionDefaultNo(QWidget* parent, const QString& title, const QString& text) override;
    QStringList OpenFiles(QWidget* parent, const FileDialogOptions& options) override;
    QString SaveFile(QWidget* parent, const FileDialogOptions& options) override;
    QString ChooseFolder(QWidget* parent, const QString& title) override;
    void SetClipboardText(const QString& text) override;
    void OpenDocument(const QUrl& url) override;

    // The last message box shown (empty text when none).
    Shown Last() const;
    QString LastText() const { return Last().text; }
    void Clear();

    // Scripts.
    std::deque<bool> answers;            // question boxes
    std::deque<QStringList> openFiles;   // open-file dialogs
    std::deque<QString> saveFiles;       // save dialogs
    std::deque<QString> folders;         // folder chooser

    // What was shown.
    std::vector<Shown> messages;
    std::vector<QString> questions;
    std::vector<QString> questionsDefaultNo;  // asked with No as the default
    std::vector<FileDialogOptions> fileDialogs;
    std::vector<QString> folderTitles;
    QString clipboard;
    std::vector<QUrl> opened;
};

// Puts the files at the given paths (GBK) into the form's list, as the
// open-file dialog would, and returns their rows.
std::vector<int> AddToList(TForm1& form, const std::vector<std::string>& paths);
void Tick(TForm1& form, std::initializer_list<int> rows);
// Selects page index of the operation selector as the user would.
void ChooseOperation(TForm1& form, int index);

}  // namespace ferro::testing
