#include "app/qt_dialogs.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace ferro {

void QtDialogs::Message(QWidget* parent, Icon icon, const QString& title, const QString& text) {
    QMessageBox::Icon i = QMessageBox::Information;
    switch (icon) {
        case Icon::Error: i = QMessageBox::Critical; break;
        case Icon::Information: i = QMessageBox::Information; break;
        case Icon::Question: i = QMessageBox::Question; break;
        case Icon::Warning: i = QMessageBox::Warning; break;
    }
    QMessageBox box(i, title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

bool QtDialogs::Question(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    return box.exec() == QMessageBox::Yes;
}

QStringList QtDialogs::OpenFiles(QWidget* parent, const FileDialogOptions& o) {
    QFileDialog dlg(parent, o.title, o.directory);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(o.filters);
    dlg.setFilter(dlg.filter() | QDir::Hidden | QDir::System);
    dlg.setSizeGripEnabled(true);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
}

QString QtDialogs::SaveFile(QWidget* parent, const FileDialogOptions& o) {
    QFileDialog dlg(parent, o.title, o.directory);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters(o.filters);
    dlg.setDefaultSuffix(o.defaultSuffix);
    if (!o.selectedFile.isEmpty()) dlg.selectFile(o.selectedFile);
    if (!o.confirmOverwrite) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setSizeGripEnabled(true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front();
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title, QString(),
                                             QFileDialog::ShowDirsOnly);
}

void QtDialogs::SetClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void QtDialogs::OpenDocument(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace ferro
