#include "fileops/rename.h"

#include "encoding/encoding.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "platform/user_dirs.h"
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

// Puts the rename's own variables and the file's items into the lower-case
// pattern in one pass, so text that was put in (an old name holding
// "${ext}", say) is never read as a variable again.
std::string Substitute(std::string_view pattern, std::string_view sequenceItem,
                       std::string_view number, std::string_view base, std::string_view fullName,
                       std::string_view extension, std::string_view lastDir,
                       const FileItems& items, const std::vector<std::string>& itemTexts) {
    const std::string_view extNoDot = extension.empty() ? extension : extension.substr(1);
    return PutInValues(pattern,
                       {{sequenceItem, number},
                        {"${filename}", base},
                        {"${fullname}", fullName},
                        {"${ext}", extNoDot},
                        {"${lastdir}", lastDir}},
                       items, itemTexts);
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
    // Half a character (a cut that fell inside a Chinese character) has no
    // name on disk.
    std::string disk;
    return GbkToDisk(name, disk);
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

RenameRule::RenameRule(const RenameSettings& settings)
    : RenameRule(settings.pattern, settings.programDir) {
    makeFolders_ = settings.makeFolders;
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
    // old name (or a file's title) that happens to hold "${" is then never
    // read as an expression.
    items_ = FileItems(pattern_);
    const std::vector<std::string> noTexts(items_.items().size());
    patternHasFunction_ = Substitute(pattern_, sequenceItem_, "", "", "", "", "", items_, noTexts)
                              .find("${") != std::string::npos;

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

RowName RenameRule::NameOf(const FileList& files, int row, int64_t ordinal,
                           FileValueReader* reader, int64_t priority) {
    if (mode_ != 0 || items_.empty()) return NameFrom(files, row, ordinal, nullptr);
    const ItemTexts values = items_.TextsFor(files.Path(row), *cache_, reader, priority);
    return NameFrom(files, row, ordinal, &values);
}

RowName RenameRule::NameOf(const FileList& files, int row, int64_t ordinal,
                           const FileValues& values) {
    if (mode_ != 0 || items_.empty()) return NameFrom(files, row, ordinal, nullptr);
    const ItemTexts texts = items_.TextsOf(values);
    return NameFrom(files, row, ordinal, &texts);
}

// values: the texts of the pattern's items for the row's file (null when
// it has none).
RowName RenameRule::NameFrom(const FileList& files, int row, int64_t ordinal,
                             const ItemTexts* values) {
    const std::string& name = files.Name(row);
    std::string base, extension;
    SplitName(name, base, extension);

    RowName out;
    if (values && !values->ok()) {
        out.why = values->why;
        out.detail = values->detail;
        out.pending = values->pending;
        return out;
    }
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
        static const std::vector<std::string> kNoTexts;
        text = Substitute(pattern_, sequenceItem_, number, base, name, extension, lastDir, items_,
                          values ? values->texts : kNoTexts);
        out.name = EvaluateName(base, text, patternHasFunction_, templates_) + extension;
        return out;
    } else {
        // Line n of the list belongs to grid row n, ticked or not.
        const std::size_t index = static_cast<std::size_t>(row - 1);
        if (index >= lines_.size()) {
            out.why = Undone::NoListLine;
            return out;
        }
        if (mode_ == 1) {
            text = Trim(lines_[index]);
            if (text.empty()) text = base;
        } else {
            text = ApplyReplacementLine(lines_[index], base);
        }
    }
    out.name = EvaluateName(base, text, text.find("${") != std::string::npos, templates_) + extension;
    return out;
}

bool IsAcceptableSubPath(std::string_view name) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find(kPathSep, start);
        if (!IsAcceptableFileName(name.substr(start, slash - start))) return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

Undone CheckNewName(const FileList& files, int row, const std::string& newName,
                    const std::unordered_set<std::string>& given, bool makeFolders) {
    if (newName == files.Name(row)) return Undone::Unchanged;
    if (!(makeFolders ? IsAcceptableSubPath(newName) : IsAcceptableFileName(newName)))
        return Undone::NameNotAllowed;
    if (given.count(PathWithName(files, row, newName))) return Undone::DuplicateName;
    return Undone::None;
}

std::string PathWithName(const FileList& files, int row, std::string_view newName) {
    std::string target = files.Folder(row);
    target.push_back(kPathSep);
    target += newName;
    return target;
}

namespace {

// The sub-folders a new name begins with, below `folder`, made top down
// where they are missing; each is told to the recorder before it is made.
// Something else under a folder's name (a file, a link) is never gone
// through.
Undone MakeSubFolders(const std::string& folder, std::string_view newName,
                      ChangeRecorder* recorder) {
    std::string path = folder;
    std::size_t start = 0;
    for (std::size_t slash = newName.find(kPathSep); slash != std::string_view::npos;
         slash = newName.find(kPathSep, start)) {
        path.push_back(kPathSep);
        path.append(newName.substr(start, slash - start));
        start = slash + 1;
        if (DirectoryExists(path)) continue;
        if (GetFileAttributes(path) != attr::Invalid) return Undone::NameExists;
        if (recorder && !recorder->WillMakeFolder(path)) return Undone::NotRecorded;
        if (!MakeFolderPath(path, 0777)) {
            if (recorder) recorder->NotChanged();
            return Undone::CannotWrite;
        }
        if (recorder) recorder->Changed();
    }
    return Undone::None;
}

}  // namespace

Undone RenameRow(FileList& files, int row, const std::string& newName,
                 std::unordered_set<std::string>& given, ChangeRecorder* recorder,
                 bool makeFolders) {
    const Undone problem = CheckNewName(files, row, newName, given, makeFolders);
    if (problem != Undone::None) return problem;
    std::string target = PathWithName(files, row, newName);
    // A path this run has given to another file no longer names this row's
    // file (it went away before the run): never rename the other one.
    const std::string source = files.Path(row);
    if (given.count(source)) return Undone::Missing;
    const std::size_t lastSlash = newName.rfind(kPathSep);
    if (lastSlash != std::string::npos) {
        if (!FileExists(source)) return Undone::Missing;  // no folders made for nothing
        const Undone why = MakeSubFolders(files.Folder(row), newName, recorder);
        if (why != Undone::None) return why;
    }
    if (recorder && !recorder->WillRename(source, target)) return Undone::NotRecorded;
    if (!MoveFile(source, target)) {
        const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
        if (recorder) recorder->NotChanged();
        return why;
    }
    if (recorder) recorder->Changed();
    given.insert(std::move(target));
    if (lastSlash != std::string::npos) {
        std::string folder = files.Folder(row);
        folder.push_back(kPathSep);
        folder.append(newName, 0, lastSlash);
        files.SetCell(kColFolder, row, folder);
        files.SetCell(kColName, row, std::string_view(newName).substr(lastSlash + 1));
    } else {
        files.SetCell(kColName, row, newName);
    }
    return Undone::None;
}

std::unique_ptr<FileValuesAhead> ReadAhead(FileValueCache& cache, FileValueSet wanted,
                                           const std::vector<BatchFile>& files) {
    if (wanted == 0 || files.size() < 2) return nullptr;
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const BatchFile& f : files) paths.push_back(f.path);
    return std::make_unique<FileValuesAhead>(cache, wanted, std::move(paths));
}

RunSummary RunRenames(FileList& files, const std::vector<BatchFile>& ticked,
                      const std::function<RowName(std::size_t index)>& nameOf, bool inBatches,
                      bool makeFolders, RunHost* host,
                      const std::function<void(std::size_t index)>& renamed) {
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    std::unordered_set<std::string> given;
    RunTracker run(host, static_cast<int>(ticked.size()));
    std::vector<RowName> names;
    // Batches start small, so that the first renames come early, and
    // double, so that the recorder puts few plans on disk (each is flushed).
    std::size_t batch = inBatches ? std::max<std::size_t>(256, ticked.size() / 8) : ticked.size();
    for (std::size_t at = 0; at < ticked.size();) {
        const std::size_t end = std::min(ticked.size(), at + std::max<std::size_t>(batch, 1));
        names.clear();
        for (std::size_t i = at; i < end; ++i) names.push_back(nameOf(i));
        if (recorder) {
            std::vector<ChangeRecorder::Planned> plan;
            for (std::size_t i = at; i < end; ++i) {
                const RowName& n = names[i - at];
                if (n.why == Undone::None && n.name != files.Name(ticked[i].row))
                    plan.push_back({ChangeRecorder::Change::Rename, ticked[i].path,
                                    PathWithName(files, ticked[i].row, n.name)});
            }
            recorder->Plan(plan);
        }
        for (std::size_t i = at; i < end; ++i) {
            const BatchFile& f = ticked[i];
            if (!run.Next(f.row, f.path)) {
                for (std::size_t j = i; j < ticked.size(); ++j)
                    run.StopRemaining(ticked[j].row, ticked[j].path);
                return run.Take();
            }
            ProcessPendingMessages();
            const RowName& n = names[i - at];
            const Undone why = n.why != Undone::None
                                   ? n.why
                                   : RenameRow(files, f.row, n.name, given, recorder, makeFolders);
            if (why != Undone::None) {
                run.Skip(f.row, f.path, why, n.detail);
                continue;
            }
            if (renamed) renamed(i);
            run.Done(f.row, f.path);
        }
        at = end;
        batch *= 2;
    }
    return run.Take();
}

RunSummary RenameFiles(FileList& files, const RenameSettings& settings, RunHost* host) {
    RenameRule rule(settings);
    return RenameFiles(files, rule, host);
}

RunSummary RenameFiles(FileList& files, RenameRule& rule, RunHost* host) {
    const std::vector<BatchFile> ticked = TickedFiles(files);
    // Names come before the renames they lead to, so that a recorder can put
    // the plan on disk before a file changes: all at once, or, while what
    // the files hold is read ahead on the other cores, a batch at a time,
    // each batch renamed while the next is read. The run ends where a name
    // list ends: every later row is reported for the same reason.
    const std::unique_ptr<FileValuesAhead> ahead = ReadAhead(rule.cache(), rule.wanted(), ticked);
    bool listEnded = false;
    auto nameOf = [&](std::size_t i) {
        RowName n;
        if (listEnded) {
            n.why = Undone::NoListLine;
            return n;
        }
        const auto ordinal = static_cast<int64_t>(i);
        try {
            if (ahead) {
                ProcessPendingMessages();
                n = rule.NameOf(files, ticked[i].row, ordinal, *ahead->Take(i));
            } else {
                n = rule.NameOf(files, ticked[i].row, ordinal);
            }
        } catch (const ValueTooLong&) {
            n.why = Undone::TooLong;
        }
        if (n.why == Undone::NoListLine) listEnded = true;
        return n;
    };
    return RunRenames(files, ticked, nameOf, ahead != nullptr, rule.makeFolders(), host);
}

RunSummary RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                       RunHost* host) {
    RenameRule rule(typedPattern, programDir);
    return RenameFiles(files, rule, host);
}

}  // namespace ferro
