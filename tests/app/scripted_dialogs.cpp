#include "scripted_dialogs.h"

#include <QComboBox>

#include "app/filelist_model.h"
#include "platform/fs.h"

namespace ferro::testing {

void ScriptedDialogs::Message(QWidget*, Icon icon, const QString& title, const QString& text) {
    messages.push_back({icon, title, text, QString()});
}

void ScriptedDialogs::MessageWithDetails(QWidget*, Icon icon, const QString& title,
                                         const QString& text, const QString& details) {
    messages.push_back({icon, title, text, details});
}

bool ScriptedDialogs::QuestionDefaultNo(QWidget* parent, const QString& title, const QString& text) {
    questionsDefaultNo.push_back(text);
    return Question(parent, title, text);
}

bool ScriptedDialogs::Question(QWidget*, const QString& title, const QString& text) {
    messages.push_back({Icon::Question, title, text, QString()});
    questions.push_back(text);
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

QStringList ScriptedDialogs::OpenFiles(QWidget*, const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (openFiles.empty()) return {};
    QStringList f = openFiles.front();
    openFiles.pop_front();
    return f;
}

QString ScriptedDialogs::SaveFile(QWidget*, const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (saveFiles.empty()) return {};
    QString f = saveFiles.front();
    saveFiles.pop_front();
    return f;
}

QString ScriptedDialogs::ChooseFolder(QWidget*, const QString& title) {
    folderTitles.push_back(title);
    if (folders.empty()) return {};
    QString f = folders.front();
    folders.pop_front();
    return f;
}

void ScriptedDialogs::SetClipboardText(const QString& text) { clipboard = text; }

void ScriptedDialogs::OpenDocument(const QUrl& url) { opened.push_back(url); }

ScriptedDialogs::Shown ScriptedDialogs::Last() const {
    if (messages.empty()) return {Icon::Information, QString(), QString(), QString()};
    return messages.back();
}

void ScriptedDialogs::Clear() {
    messages.clear();
    questions.clear();
    questionsDefaultNo.clear();
    fileDialogs.clear();
    folderTitles.clear();
    opened.clear();
    clipboard.clear();
}

std::vector<int> AddToList(TForm1& form, const std::vector<std::string>& paths) {
    std::vector<int> rows;
    for (const std::string& p : paths) {
        FindEntry e;
        if (!StatPath(p, e)) continue;
        rows.push_back(form.fileList().AddFile(e, ExtractFileDir(p)));
        TForm1::AddToCounter(form.stSrcCount(), 1);
    }
    form.fileModel()->FlushPendingRows();
    return rows;
}

void Tick(TForm1& form, std::initializer_list<int> rows) {
    for (int r : rows) form.fileList().SetChecked(r, true);
}

void ChooseOperation(TForm1& form, int index) {
    auto* cmb = form.Find<QComboBox>("cmbOpt");
    cmb->setCurrentIndex(index);
    form.cmbOptChange(index);
}

}  // namespace ferro::testing
