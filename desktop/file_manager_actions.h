// "用 Ferrovan文件批处理 打开" in the file managers of the current user that
// take entries from the user's own folders: a Nautilus script
// ($XDG_DATA_HOME/nautilus/scripts) and a Thunar custom action
// ($XDG_CONFIG_HOME/Thunar/uca.xml). Dolphin and Nemo read theirs from the
// installed program's data (packaging/file-managers). Adding twice changes
// nothing; removing takes out only what adding put there.
#pragma once

#include <QString>
#include <QStringList>

namespace ferro {

struct FileManagerActionsResult {
    QStringList changed;    // files written or changed
    QStringList unchanged;  // files that already were as asked
    QString error;          // empty unless something could not be written
    bool ok() const { return error.isEmpty(); }
};

// The entries start program (an absolute path: the program that adds them).
FileManagerActionsResult AddFileManagerActions(const QString& program);
FileManagerActionsResult RemoveFileManagerActions();

// What the program prints about it (UTF-8 lines).
QString FileManagerActionsReport(const FileManagerActionsResult& result, bool adding);

}  // namespace ferro
