// Batch rename of the ticked rows of the file list by a name pattern: the
// pattern's own variables (${filename}, ${fullname}, ${ext}, ${lastdir}, the
// sequence number ${sn(start,width)}) and the items that stand for what each
// file holds (${takentime(...)}, ${camera}, ${md5}...: metadata/file_items.h)
// are put in, the rest is evaluated by the template engine against the old
// name without its extension, and the extension stays. ${file(list)} takes
// the new names from the lines of a text file, ${file2(list)} applies the
// "old<sep>new" replacements listed in one. A rename never replaces an
// existing file. With makeFolders, "/" in a new name makes sub-folders
// below the file's folder, as needed (never above it).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fileops/filelist.h"
#include "fileops/ticked_rows.h"
#include "metadata/file_items.h"
#include "template/template.h"

namespace ferro {

// Why a typed rename pattern is refused; each has its own message.
enum class RenamePatternProblem {
    None,
    Empty,        // empty, or nothing but ${filename}
    NoVariable,   // no "${" at all
    DoubleQuote,  // holds a '"'
};

// The pattern as every later step uses it: trimmed and in lower case.
std::string NormalizeRenamePattern(std::string_view typed);
RenamePatternProblem CheckRenamePattern(std::string_view normalized);
// The message that refuses a pattern (GBK).
std::string ProblemText(RenamePatternProblem problem);

// Whether a new name (with extension) can be given to a file: not empty,
// not "." or "..", no separator, no NUL or other control character.
bool IsAcceptableFileName(std::string_view name);
// The same for a name that may name sub-folders first ("2024/05/a.jpg"):
// each part acceptable, so nothing leads above the file's folder (no "..",
// no leading "/").
bool IsAcceptableSubPath(std::string_view name);

// The lines of a text file: CR LF, LF and CR each end a line; a last line
// without an ending counts. False when the file cannot be read.
bool ReadNameList(std::string_view path, std::vector<std::string>& lines);

// The old name split at its last '.': base before it, extension with it.
void SplitName(std::string_view name, std::string& base, std::string& extension);

// What a rule gives one row: its new name, or why it has none.
struct RowName {
    std::string name;           // the new name with extension, when why is None
    Undone why = Undone::None;  // NoListLine, NoValue, Missing, CannotRead, TooLong
    std::string detail;         // GBK: more about why ("没有拍摄时间")
    bool pending = false;       // the file's values are still being read
};

// The settings of a rename run.
struct RenameSettings {
    std::string pattern;       // as typed
    std::string programDir;    // name lists are looked for here too
    bool makeFolders = false;  // "/" in a new name makes sub-folders
};

class RenameRule {
public:
    // typedPattern: the field as typed. A sequence item whose start or width
    // is not a whole number throws ferro::Error ("'%s' is not a valid
    // integer value"). Name lists are looked up as typed (a relative path
    // from the current folder), then in programDir.
    RenameRule(std::string_view typedPattern, std::string_view programDir);
    explicit RenameRule(const RenameSettings& settings);

    // The new name with extension of a row that is the ordinal-th ticked row
    // (from 0; the sequence number is start + ordinal); NoListLine when the
    // run ends at this row (a name list has no line for it), NoValue and the
    // like when the file lacks what an item needs. Depends on nothing else,
    // so a preview and the run give the same names. With a reader, the
    // file's values are never read here: a row whose values are not known
    // yet is pending, and the reader is asked for them at that priority.
    // Throws ValueTooLong.
    RowName NameOf(const FileList& files, int row, int64_t ordinal,
                   FileValueReader* reader = nullptr, int64_t priority = 0);
    // The same with the file's values read already (a run reads them
    // ahead).
    RowName NameOf(const FileList& files, int row, int64_t ordinal, const FileValues& values);

    int mode() const { return mode_; }  // 0 pattern, 1 name list, 2 replacement list
    bool makeFolders() const { return makeFolders_; }  // "/" in a name makes sub-folders
    // The values the pattern's items read from the files' contents (0: none).
    FileValueSet wanted() const { return mode_ == 0 ? items_.wanted() : 0; }
    // Where the values are kept (the shared cache unless a test says).
    FileValueCache& cache() const { return *cache_; }
    void SetCache(FileValueCache& cache) { cache_ = &cache; }

private:
    RowName NameFrom(const FileList& files, int row, int64_t ordinal, const ItemTexts* values);

    std::string pattern_;
    std::string sequenceItem_;
    int64_t start_ = 0;
    int width_ = 0;
    int mode_ = 0;
    bool patternHasFunction_ = false;
    bool makeFolders_ = false;
    std::vector<std::string> lines_;
    FileItems items_;
    FileValueCache* cache_ = &FileValueCache::Shared();
    // The text evaluated for the last row, compiled; a pattern without the
    // row's own variables is read once for the whole run.
    TemplateCache templates_{1};
};

// What stands in the way of giving a row's file a new name, before the
// disk is asked: Unchanged, NameNotAllowed, or DuplicateName when an
// earlier row of the run has been given that path (`given`); None otherwise.
// With makeFolders the name may begin with sub-folders.
Undone CheckNewName(const FileList& files, int row, const std::string& newName,
                    const std::unordered_set<std::string>& given, bool makeFolders = false);

// Gives the file of a row a new name in its folder, never replacing an
// existing file; the name cell follows. The path given is added to `given`.
// The recorder, when there is one, hears of the rename before it is made.
// With makeFolders, sub-folders the name begins with are made first where
// they are missing, each told to the recorder before it is made; the row's
// folder and name cells follow the file.
Undone RenameRow(FileList& files, int row, const std::string& newName,
                 std::unordered_set<std::string>& given, ChangeRecorder* recorder = nullptr,
                 bool makeFolders = false);

// The path a row's file gets under a new name in its folder.
std::string PathWithName(const FileList& files, int row, std::string_view newName);

// The values of the files' contents read ahead on worker threads, in the
// files' order, while a run works the names out one by one (Take(i) for
// files[i]); null when nothing is to be read.
std::unique_ptr<FileValuesAhead> ReadAhead(FileValueCache& cache, FileValueSet wanted,
                                           const std::vector<BatchFile>& files);

// The renames of a run: each ticked row (in order) to the name nameOf(i)
// gives ticked[i], or left undone with the name's reason. Names are asked
// in order, all before the first rename or, inBatches, a growing batch at
// a time ahead of its renames; the recorder is told each batch's plan
// before its first rename. renamed(i) follows the rename of ticked[i],
// once made.
RunSummary RunRenames(FileList& files, const std::vector<BatchFile>& ticked,
                      const std::function<RowName(std::size_t index)>& nameOf, bool inBatches,
                      bool makeFolders, RunHost* host,
                      const std::function<void(std::size_t index)>& renamed = {});

// Renames every ticked row's file in display order, processing window
// messages between files; column 0 of each renamed row gets the new name.
// Every file left as it was is reported with its reason.
RunSummary RenameFiles(FileList& files, const RenameSettings& settings, RunHost* host = nullptr);
RunSummary RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                       RunHost* host = nullptr);
// The same by a rule made beforehand (making it is what refuses a pattern
// whose sequence item holds no numbers).
RunSummary RenameFiles(FileList& files, RenameRule& rule, RunHost* host = nullptr);

}  // namespace ferro
