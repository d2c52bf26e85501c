#include "fileops/rename.h"

#include "encoding/encoding.h"
#include "fileops/name_case.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "platform/user_dirs.h"
#include "template/pinyin.h"
#include "template/template.h"

namespace ferro {
namespace {

constexpr std::string_view kSequenceMarker = "${sn(";
constexpr std::string_view kFolderSequenceMarker = "${sndir(";
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
// The names a pattern can take the old name in pinyin by.
struct PinyinTexts {
    std::string joined, initials, spaced;
};

std::string Substitute(std::string_view pattern, std::string_view sequenceItem,
                       std::string_view number, std::string_view folderItem,
                       std::string_view folderNumber, std::string_view base,
                       std::string_view fullName, std::string_view extension,
                       std::string_view lastDir, const PinyinTexts& pinyin, const FileItems& items,
                       const std::vector<std::string>& itemTexts) {
    const std::string_view extNoDot = extension.empty() ? extension : extension.substr(1);
    return PutInValues(pattern,
                       {{sequenceItem, number},
                        {folderItem, folderNumber},
                        {"${filename}", base},
                        {"${fullname}", fullName},
                        {"${ext}", extNoDot},
                        {"${lastdir}", lastDir},
                        {"${pinyin}", pinyin.joined},
                        {"${pinyininitials}", pinyin.initials},
                        {"${pinyinspaced}", pinyin.spaced}},
                       items, itemTexts);
}

// "${sn(start,width)}": its start and width; a part that is not a whole
// number throws the conversion error.
void ReadSequenceItem(std::string_view item, std::size_t markerSize, int64_t& start, int& width) {
    const std::string_view args = ItemArgument(item, markerSize);
    const std::size_t comma = args.find(',');
    start = StrToInt(comma == std::string_view::npos ? "" : Trim(args.substr(0, comma)));
    width = StrToInt(comma == std::string_view::npos ? Trim(args) : Trim(args.substr(comma + 1)));
}

// A number padded with zeros to the width.
std::string PaddedNumber(int64_t value, int width) {
    std::string number = std::to_string(value);
    if (number.size() < static_cast<std::size_t>(std::max(width, 0))) {
        number.insert(0, kSixteenZeros);
        const std::size_t keep = std::min<std::size_t>(number.size(), width);
        number.erase(0, number.size() - keep);
    }
    return number;
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

RenameRule::RenameRule(std::string_view typedPattern, std::string_view programDir)
    : RenameRule(RenameSettings{std::string(typedPattern), std::string(programDir)}) {}

RenameRule::RenameRule(const RenameSettings& settings) {
    makeFolders_ = settings.makeFolders;
    letterCase_ = settings.letterCase;
    numberClashes_ = settings.numberClashes;
    const std::string_view programDir = settings.programDir;
    const std::string asTyped = Trim(settings.pattern);
    // Classically the whole pattern in lower case; kept, only the names of
    // its items and functions are (same byte positions as asTyped either way).
    pattern_ = PatternLetters(asTyped, settings.keepCase);

    std::size_t length = 0;
    std::size_t at = ItemAt(pattern_, kSequenceMarker, length);
    if (at != std::string::npos) {
        sequenceItem_ = pattern_.substr(at, length);
        ReadSequenceItem(sequenceItem_, kSequenceMarker.size(), start_, width_);
    }
    at = ItemAt(pattern_, kFolderSequenceMarker, length);
    if (at != std::string::npos) {
        folderItem_ = pattern_.substr(at, length);
        ReadSequenceItem(folderItem_, kFolderSequenceMarker.size(), folderStart_, folderWidth_);
    }
    pinyin_ = pattern_.find("${pinyin") != std::string::npos;
    // Whether anything is left for the engine once the variables are in: an
    // old name (or a file's title) that happens to hold "${" is then never
    // read as an expression.
    items_ = FileItems(pattern_);
    const std::vector<std::string> noTexts(items_.items().size());
    patternHasFunction_ = Substitute(pattern_, sequenceItem_, "", folderItem_, "", "", "", "", "", {},
                                     items_, noTexts)
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
        const std::string number = sequenceItem_.empty() ? std::string() : PaddedNumber(start_ + ordinal, width_);
        const std::string folderNumber =
            folderItem_.empty() ? std::string() : PaddedNumber(folderStart_ + FolderOrdinal(files, row), folderWidth_);
        PinyinTexts pinyin;
        if (pinyin_)
            pinyin = {ToPinyin(base, PinyinForm::Joined), ToPinyin(base, PinyinForm::Initials),
                      ToPinyin(base, PinyinForm::Spaced)};
        static const std::vector<std::string> kNoTexts;
        text = Substitute(pattern_, sequenceItem_, number, folderItem_, folderNumber, base, name, extension,
                          lastDir, pinyin, items_, values ? values->texts : kNoTexts);
        out.name = WithLetterCase(EvaluateName(base, text, patternHasFunction_, templates_) + extension,
                                  letterCase_);
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
    out.name = WithLetterCase(
        EvaluateName(base, text, text.find("${") != std::string::npos, templates_) + extension, letterCase_);
    return out;
}

int64_t RenameRule::FolderOrdinal(const FileList& files, int row) {
    // Counted once over the ticked rows in their order, before any of them
    // is renamed (a rename into sub-folders changes a row's folder).
    if (!folderOrdinalsKnown_) {
        folderOrdinalsKnown_ = true;
        std::unordered_map<std::string, int64_t> seen;
        for (const BatchFile& f : TickedFiles(files)) folderOrdinal_[f.row] = seen[files.Folder(f.row)]++;
    }
    const auto it = folderOrdinal_.find(row);
    return it == folderOrdinal_.end() ? 0 : it->second;
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
        } catch (const PatternError& e) {
            n.why = Undone::BadPattern;
            n.detail = e.reason();
        }
        if (n.why == Undone::NoListLine) listEnded = true;
        return n;
    };
    RenameRunOptions options;
    options.makeFolders = rule.makeFolders();
    options.numberClashes = rule.numberClashes();
    return RunRenames(files, ticked, nameOf, ahead != nullptr, options, host);
}

RunSummary RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                       RunHost* host) {
    RenameRule rule(typedPattern, programDir);
    return RenameFiles(files, rule, host);
}

}  // namespace ferro
