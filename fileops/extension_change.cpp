#include "fileops/extension_change.h"

#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "template/template.h"

namespace ferro {
namespace {

std::string_view OldExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string_view Base(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace

std::string NormalizeExtensionPattern(std::string_view typed) {
    std::string pattern = AnsiLower(Trim(typed));
    if (pattern.empty() || pattern == "${ext}") return std::string();
    if (pattern.front() != '.') pattern.insert(pattern.begin(), '.');
    return pattern;
}

std::string NewExtension(std::string_view name, std::string_view pattern) {
    return ReplaceAll(pattern, "${ext}", OldExtension(name));
}

std::string NameWithNewExtension(std::string_view name, std::string_view pattern) {
    std::string newName(Base(name));
    newName += NewExtension(name, pattern);
    return newName;
}

ExtensionRule::ExtensionRule(std::string_view typedPattern)
    : pattern_(NormalizeExtensionPattern(typedPattern)), items_(pattern_) {}

RowName ExtensionRule::NameOf(const FileList& files, int row, FileValueReader* reader,
                              int64_t priority) const {
    if (items_.empty()) return NameFrom(files, row, ItemTexts());
    return NameFrom(files, row, items_.TextsFor(files.Path(row), *cache_, reader, priority));
}

RowName ExtensionRule::NameOf(const FileList& files, int row, const FileValues& values) const {
    if (items_.empty()) return NameFrom(files, row, ItemTexts());
    return NameFrom(files, row, items_.TextsOf(values));
}

RowName ExtensionRule::NameFrom(const FileList& files, int row, const ItemTexts& values) const {
    RowName out;
    if (!values.ok()) {
        out.why = values.why;
        out.detail = values.detail;
        out.pending = values.pending;
        return out;
    }
    const std::string name = files.Name(row);
    if (items_.empty()) {
        out.name = NameWithNewExtension(name, pattern_);
        return out;
    }
    out.name.assign(Base(name));
    out.name += PutInValues(pattern_, {{"${ext}", OldExtension(name)}}, items_, values.texts);
    return out;
}

RunSummary ChangeExtensions(FileList& files, std::string_view typedPattern, RunHost* host) {
    const ExtensionRule rule(typedPattern);
    if (rule.pattern().empty()) return RunSummary{};
    const std::vector<BatchFile> ticked = TickedFiles(files);
    const std::unique_ptr<FileValuesAhead> ahead = ReadAhead(rule.cache(), rule.wanted(), ticked);
    auto nameOf = [&](std::size_t i) {
        if (!ahead) return rule.NameOf(files, ticked[i].row);
        ProcessPendingMessages();
        return rule.NameOf(files, ticked[i].row, *ahead->Take(i));
    };
    // The type column takes the new extension as the pattern gave it
    // (".TXT.bak" for "${ext}.bak" on a.TXT): the new name past the old base.
    std::vector<std::size_t> baseSizes(ticked.size());
    for (std::size_t i = 0; i < ticked.size(); ++i)
        baseSizes[i] = Base(files.NameView(ticked[i].row)).size();
    return RunRenames(files, ticked, nameOf, ahead != nullptr, false, host, [&](std::size_t i) {
        files.SetCell(kColType, ticked[i].row, files.Name(ticked[i].row).substr(baseSizes[i]));
    });
}

}  // namespace ferro
