// The real dialogs of the desktop.
#pragma once

#include "app/dialogs.h"

namespace ferro {

class QtDialogs : public DialogProvider {
public:
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
};

}  // namespace ferro
