#include "fileops/extension_change.h"

#include "platform/fs.h"
#include "platform/text.h"
#include "template/template.h"

namespace ferro {

std::string NormalizeExtensionPattern(std::string_view typed) {
    std::string pattern = AnsiLower(Trim(typed));
    if (pattern.empty() || pattern == "${ext}") return std::string();
    if (pattern.front() != '.') pattern.insert(pattern.begin(), '.');
    return pattern;
}

std::string NewExtension(std::string_view name, std::string_view pattern) {
    const std::size_t dot = name.rfind('.');
    const std::string_view oldExt =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    return ReplaceAll(pattern, "${ext}", oldExt);
}

std::string NameWithNewExtension(std::string_view name, std::string_view pattern) {
    const std::size_t dot = name.rfind('.');
    std::string newName(dot == std::string_view::npos ? name : name.substr(0, dot));
    newName += NewExtension(name, pattern);
    return newName;
}

int ChangeExtensions(FileList& files, std::string_view typedPattern,
                     const ChangedRowCallback& onRenamed) {
    const std::string pattern = NormalizeExtensionPattern(typedPattern);
    if (pattern.empty()) return 0;
    std::string target;
    auto changeFile = [&](int row) {
        const std::string newExt = NewExtension(files.Name(row), pattern);
        const std::string newName = NameWithNewExtension(files.Name(row), pattern);
        if (newName == files.Name(row) || !IsAcceptableFileName(newName)) return false;
        target = files.Folder(row);
        target.push_back(kPathSep);
        target += newName;
        if (!MoveFile(files.Path(row), target)) return false;
        files.SetCell(kColName, row, newName);
        // The type column takes the new extension as the pattern gave it
        // (".TXT.bak" for "${ext}.bak" on a.TXT).
        files.SetCell(kColType, row, newExt);
        return true;
    };
    return ForEachTickedFile(files, changeFile, nullptr, onRenamed);
}

}  // namespace ferro
