#include "help/tips_file.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {

namespace {

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != kPathSep) folder.push_back(kPathSep);
    return folder;
}

bool MakeFolder(const std::string& folder) {
    if (DirectoryExists(folder)) return true;
    std::string disk;
    if (!GbkToDisk(folder, disk)) return false;
    return QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(disk)));
}

}  // namespace

std::vector<std::string> TipsFolders() {
    std::vector<std::string> folders{WithSeparator(ProgramDir())};
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty())
        folders.push_back(WithSeparator(DiskToGbk(QFile::encodeName(cache).toStdString())));
    return folders;
}

TipsFileResult WriteTipsFile(std::string_view bytes, const std::vector<std::string>& folders) {
    TipsFileResult result;
    for (const std::string& folder : folders) {
        const std::string path = WithSeparator(folder) + kTipsFileName;
        if (result.path.empty()) result.path = path;
        if (!MakeFolder(WithSeparator(folder))) continue;
        if (WriteFileSafely(path, bytes)) return {true, path};
    }
    return result;
}

}  // namespace ferro
