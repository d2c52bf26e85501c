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

RunSummary ChangeExtensions(FileList& files, std::string_view typedPattern, RunHost* host) {
    const std::string pattern = NormalizeExtensionPattern(typedPattern);
    if (pattern.empty()) return RunSummary{};
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    if (recorder) {
        std::vector<ChangeRecorder::Planned> plan;
        for (const BatchFile& f : TickedFiles(files)) {
            const std::string newName = NameWithNewExtension(files.Name(f.row), pattern);
            if (newName != files.Name(f.row))
                plan.push_back({ChangeRecorder::Change::Rename, f.path,
                                PathWithName(files, f.row, newName)});
        }
        recorder->Plan(plan);
    }
    std::unordered_set<std::string> given;
    auto changeFile = [&](int row) {
        const std::string newExt = NewExtension(files.Name(row), pattern);
        const Undone why =
            RenameRow(files, row, NameWithNewExtension(files.Name(row), pattern), given, recorder);
        // The type column takes the new extension as the pattern gave it
        // (".TXT.bak" for "${ext}.bak" on a.TXT).
        if (why == Undone::None) files.SetCell(kColType, row, newExt);
        return why;
    };
    return ForEachTickedFile(files, changeFile, nullptr, host);
}

}  // namespace ferro
