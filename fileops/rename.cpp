#include "fileops/rename.h"

#include "encoding/encoding.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "template/template.h"

namespace ferro {
namespace {

constexpr std::string_view kSequenceMarker = "${sn(";
constexpr std::string_view kListMarker = "${file(";
constexpr std::string_view kReplaceListMarker = "${file2(";
constexpr std::string_view kSixteenZeros = "0000000000000000";

// The item that starts at the first marker and ends at the first "}" after
// it (the rest of the pattern when no "}" follows); npos when absent.
std::size_t ItemAt(std::string_view pattern, std::string_view marker, std::size_t& length) {
    const std::size_t at = pattern.find(marker);
    if (at == std::string_view::npos) return at;
    const std::size_t close = pattern.find('}', at + marker.size());
    length = close == std::string_view::npos ? pattern.size() - at : close + 1 - at;
    return at;
}

// The text between an item's marker and its closing ")}".
std::string_view ItemArgument(std::string_view item, std::size_t markerSize) {
    if (item.size() < markerSize + 2) return {};
    return item.substr(markerSize, item.size() - markerSize - 2);
}

bool LoadListAsTyped(std::string_view path, std::string_view programDir,
                     std::vector<std::string>& lines) {
    if (path.empty()) return false;
    if (FileExists(path)) return ReadNameList(path, lines);
    if (path.front() == kPathSep || programDir.empty()) return false;
    std::string inProgramDir(programDir);
    if (inProgramDir.back() != kPathSep) inProgramDir.push_back(kPathSep);
    inProgramDir += path;
    if (FileExists(inProgramDir)) return ReadNameList(inProgramDir, lines);
    return false;
}

// Puts the rename's own variables into the lower-case pattern in one pass,
// so text that was put in (an old name holding "${ext}", say) is never
// read as a variable again.
std::string Substitute(std::string_view pattern, std::string_view sequenceItem,
                       std::string_view number, std::string_view base, std::string_view fullName,
                       std::string_view extension, std::string_view lastDir) {
    struct Variable {
        std::string_view name, value;
    };
    const std::string_view extNoDot = extension.empty() ? extension : extension.substr(1);
    const Variable variables[] = {
        {"${filename}", base},
        {"${fullname}", fullName},
        {"${ext}", extNoDot},
        {"${lastdir}", lastDir},
    };
    std::string out;
    out.reserve(pattern.size() + fullName.size());
    for (std::size_t i = 0; i < pattern.size();) {
        const std::string_view rest = pattern.substr(i);
        if (rest.size() >= 2 && rest[0] == '$' && rest[1] == '{') {
            if (!sequenceItem.empty() && rest.starts_with(sequenceItem)) {
                out += number;
                i += sequenceItem.size();
                continue;
            }
            bool matched = false;
            for (const Variable& v : variables) {
                if (rest.starts_with(v.name)) {
                    out += v.value;
                    i += v.name.size();
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        const std::size_t len = CharLength(pattern, i);
        out.append(pattern.substr(i, len));
        i += len;
    }
    return out;
}

// A line of a replacement list applied to the old base.
std::string ApplyReplacementLine(std::string_view line, const std::string& base) {
    const std::string trimmed = Trim(line);
    if (trimmed.empty()) return base;
    std::size_t sep = std::string::npos;
    for (char c : {'\t', ';', ':', ' '}) {
        sep = trimmed.find(c);
        if (sep != std::string::npos) break;
    }
    if (sep == std::string::npos) return base;
    const std::string oldPart = Trim(std::string_view(trimmed).substr(0, sep));
    const std::string newPart = Trim(std::string_view(trimmed).substr(sep + 1));
    return ReplaceAll(base, oldPart, newPart);
}

// Only text that holds an expression goes through the engine; plain text is
// the new base as it stands (the engine would also turn "\n" and the like
// in a plain name into control characters).
std::string EvaluateName(const std::string& base, const std::string& text, bool hasFunction,
                         TemplateCache& templates) {
    if (!hasFunction) return text;
    return std::string(templates.Evaluate(base, text));
}

}  // namespace

std::string NormalizeRenamePattern(std::string_view typed) { return AnsiLower(Trim(typed)); }

RenamePatternProblem CheckRenamePattern(std::string_view p) {
    if (p.empty() || p == "${filename}") return RenamePatternProblem::Empty;
    if (p.find("${") == std::string_view::npos) return RenamePatternProblem::NoVariable;
    if (p.find('"') != std::string_view::npos) return RenamePatternProblem::DoubleQuote;
    return RenamePatternProblem::None;
}

std::string ProblemText(RenamePatternProblem problem) {
    switch (problem) {
        case RenamePatternProblem::Empty: return Utf16ToGbk(u"请输入新文件名格式！");
        case RenamePatternProblem::NoVariable:
            return Utf16ToGbk(u"新文件名格式不正确，请在左边选择变量或函数！");
        case RenamePatternProblem::DoubleQuote: return Utf16ToGbk(u"新文件名格式中不需要使用双引号！");
        case RenamePatternProblem::None: break;
    }
    return {};
}

bool IsAcceptableFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == kPathSep || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

bool ReadNameList(std::string_view path, std::vector<std::string>& lines) {
    lines.clear();
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    // A list may be UTF-8 (with or without a mark), UTF-16 or GBK.
    TextFormat format;
    const std::string data = DecodeToGbk(std::move(bytes), TextMode::Auto, format);
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\r' && data[i] != '\n') continue;
        lines.emplace_back(data, start, i - start);
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < data.size()) lines.emplace_back(data, start);
    return true;
}

void SplitName(std::string_view name, std::string& base, std::string& extension) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        base.assign(name);
        extension.clear();
    } else {
        base.assign(name.substr(0, dot));
        extension.assign(name.substr(dot));
    }
}

RenameRule::RenameRule(std::string_view typedPattern, std::string_view programDir) {
    const std::string asTyped = Trim(typedPattern);
    pattern_ = AnsiLower(asTyped);  // same byte positions as asTyped

    std::size_t length = 0;
    std::size_t at = ItemAt(pattern_, kSequenceMarker, length);
    if (at != std::string::npos) {
        sequenceItem_ = pattern_.substr(at, length);
        const std::string_view args = ItemArgument(sequenceItem_, kSequenceMarker.size());
        const std::size_t comma = args.find(',');
        const std::string start = comma == std::string_view::npos ? "" : Trim(args.substr(0, comma));
        const std::string width =
            comma == std::string_view::npos ? Trim(args) : Trim(args.substr(comma + 1));
        start_ = StrToInt(start);
        width_ = StrToInt(width);
    }
    // Whether anything is left for the engine once the variables are in: an
    // old name that happens to hold "${" is then never read as an expression.
    patternHasFunction_ =
        Substitute(pattern_, sequenceItem_, "", "", "", "", "").find("${") != std::string::npos;

    // Name list paths keep the letters as typed: names on disk are
    // case-sensitive here.
    at = ItemAt(pattern_, kListMarker, length);
    if (at != std::string::npos) {
        mode_ = 1;
        const std::string_view item = std::string_view(asTyped).substr(at, length);
        LoadListAsTyped(ItemArgument(item, kListMarker.size()), programDir, lines_);
    }
    at = ItemAt(pattern_, kReplaceListMarker, length);
    if (at != std::string::npos) {
        mode_ = 2;
        const std::string_view item = std::string_view(asTyped).substr(at, length);
        std::vector<std::string> replacements;
        if (LoadListAsTyped(ItemArgument(item, kReplaceListMarker.size()), programDir,
                            replacements))
            lines_.swap(replacements);
    }
}

std::optional<std::string> RenameRule::NameFor(const FileList& files, int row, int64_t ordinal) {
    const std::string& name = files.Name(row);
    std::string base, extension;
    SplitName(name, base, extension);

    std::string text;
    if (mode_ == 0) {
        const std::string& folder = files.Folder(row);
        const std::size_t slash = folder.rfind(kPathSep);
        const std::string_view lastDir =
            slash == std::string::npos ? std::string_view() : std::string_view(folder).substr(slash + 1);
        std::string number;
        if (!sequenceItem_.empty()) {
            number = std::to_string(start_ + ordinal);
            if (number.size() < static_cast<std::size_t>(std::max(width_, 0))) {
                number.insert(0, kSixteenZeros);
                const std::size_t keep = std::min<std::size_t>(number.size(), width_);
                number.erase(0, number.size() - keep);
            }
        }
        text = Substitute(pattern_, sequenceItem_, number, base, name, extension, lastDir);
        return EvaluateName(base, text, patternHasFunction_, templates_) + extension;
    } else {
        // Line n of the list belongs to grid row n, ticked or not.
        const std::size_t index = static_cast<std::size_t>(row - 1);
        if (index >= lines_.size()) return std::nullopt;
        if (mode_ == 1) {
            text = Trim(lines_[index]);
            if (text.empty()) text = base;
        } else {
            text = ApplyReplacementLine(lines_[index], base);
        }
    }
    return EvaluateName(base, text, text.find("${") != std::string::npos, templates_) + extension;
}

Undone CheckNewName(const FileList& files, int row, const std::string& newName,
                    const std::unordered_set<std::string>& given) {
    if (newName == files.Name(row)) return Undone::Unchanged;
    if (!IsAcceptableFileName(newName)) return Undone::NameNotAllowed;
    std::string target = files.Folder(row);
    target.push_back(kPathSep);
    target += newName;
    if (given.count(target)) return Undone::DuplicateName;
    return Undone::None;
}

std::string PathWithName(const FileList& files, int row, std::string_view newName) {
    std::string target = files.Folder(row);
    target.push_back(kPathSep);
    target += newName;
    return target;
}

Undone RenameRow(FileList& files, int row, const std::string& newName,
                 std::unordered_set<std::string>& given, ChangeRecorder* recorder) {
    const Undone problem = CheckNewName(files, row, newName, given);
    if (problem != Undone::None) return problem;
    std::string target = PathWithName(files, row, newName);
    // A path this run has given to another file no longer names this row's
    // file (it went away before the run): never rename the other one.
    const std::string source = files.Path(row);
    if (given.count(source)) return Undone::Missing;
    if (recorder && !recorder->WillRename(source, target)) return Undone::NotRecorded;
    if (!MoveFile(source, target)) {
        const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
        if (recorder) recorder->NotChanged();
        return why;
    }
    if (recorder) recorder->Changed();
    given.insert(std::move(target));
    files.SetCell(kColName, row, newName);
    return Undone::None;
}

RunSummary RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                       RunHost* host) {
    RenameRule rule(typedPattern, programDir);
    return RenameFiles(files, rule, host);
}

RunSummary RenameFiles(FileList& files, RenameRule& rule, RunHost* host) {

    // Every new name first, so that a recorder can put the whole plan on
    // disk before the first file changes. The run ends where a name list
    // ends: every later row is reported for the same reason.
    const std::vector<BatchFile> ticked = TickedFiles(files);
    std::vector<std::string> names(ticked.size());
    std::vector<Undone> problems(ticked.size(), Undone::None);
    bool listEnded = false;
    for (std::size_t i = 0; i < ticked.size(); ++i) {
        std::optional<std::string> newName;
        try {
            if (!listEnded) newName = rule.NameFor(files, ticked[i].row, static_cast<int64_t>(i));
        } catch (const ValueTooLong&) {
            problems[i] = Undone::TooLong;
            continue;
        }
        if (!newName) {
            listEnded = true;
            problems[i] = Undone::NoListLine;
        } else {
            names[i] = std::move(*newName);
        }
    }
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    if (recorder) {
        std::vector<ChangeRecorder::Planned> plan;
        for (std::size_t i = 0; i < ticked.size(); ++i)
            if (problems[i] == Undone::None && names[i] != files.Name(ticked[i].row))
                plan.push_back({ChangeRecorder::Change::Rename, ticked[i].path,
                                PathWithName(files, ticked[i].row, names[i])});
        recorder->Plan(plan);
    }

    std::unordered_set<std::string> given;
    std::size_t next = 0;
    return ForEachTickedFile(
        files,
        [&](int row) {
            const std::size_t i = next++;
            if (problems[i] != Undone::None) return problems[i];
            return RenameRow(files, row, names[i], given, recorder);
        },
        nullptr, host);
}

}  // namespace ferro
