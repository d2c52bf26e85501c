#include "fileops/extension_change.h"

#include "fileops/name_case.h"
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

namespace {

std::string NormalizedPattern(std::string_view typed, bool keepCase) {
    std::string pattern = PatternLetters(Trim(typed), keepCase);
    if (pattern.empty() || pattern == "${ext}") return std::string();
    if (pattern.front() != '.') pattern.insert(pattern.begin(), '.');
    return pattern;
}

}  // namespace

std::string NormalizeExtensionPattern(std::string_view typed) { return NormalizedPattern(typed, false); }

std::string NewExtension(std::string_view name, std::string_view pattern) {
    return ReplaceAll(pattern, "${ext}", OldExtension(name));
}

std::string NameWithNewExtension(std::string_view name, std::string_view pattern) {
    std::string newName(Base(name));
    newName += NewExtension(name, pattern);
    return newName;
}

ExtensionRule::ExtensionRule(std::string_view typedPattern)
    : ExtensionRule(ExtensionSettings{std::string(typedPattern)}) {}

ExtensionRule::ExtensionRule(const ExtensionSettings& settings)
    : pattern_(NormalizedPattern(settings.pattern, settings.keepCase)),
      items_(pattern_),
      letterCase_(settings.letterCase),
      numberClashes_(settings.numberClashes) {}

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
    const std::string_view base = Base(name);
    const std::string extension = items_.empty()
                                      ? NewExtension(name, pattern_)
                                      : PutInValues(pattern_, {{"${ext}", OldExtension(name)}}, items_, values.texts);
    out.name.assign(base);
    // The letter case is the new extension's: the page changes nothing else.
    out.name += letterCase_ == LetterCase::Title ? AnsiLower(extension) : WithLetterCase(extension, letterCase_);
    return out;
}

RunSummary ChangeExtensions(FileList& files, std::string_view typedPattern, RunHost* host) {
    return ChangeExtensions(files, ExtensionSettings{std::string(typedPattern)}, host);
}

RunSummary ChangeExtensions(FileList& files, const ExtensionSettings& settings, RunHost* host) {
    const ExtensionRule rule(settings);
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
    RenameRunOptions options;
    options.numberClashes = settings.numberClashes;
    return RunRenames(files, ticked, nameOf, ahead != nullptr, options, host, [&](std::size_t i) {
        // (past " (2)" where a clash was numbered)
        const std::string name = files.Name(ticked[i].row);
        const std::size_t dot = name.find('.', baseSizes[i]);
        files.SetCell(kColType, ticked[i].row, dot == std::string::npos ? std::string() : name.substr(dot));
    });
}

}  // namespace ferro
