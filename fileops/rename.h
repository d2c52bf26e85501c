// Batch rename of the ticked rows of the file list by a name pattern: the
// pattern's own variables (${filename}, ${fullname}, ${ext}, ${lastdir}, the
// sequence number ${sn(start,width)}) are put in, the rest is evaluated by
// the template engine against the old name without its extension, and the
// extension stays. ${file(list)} takes the new names from the lines of a
// text file, ${file2(list)} applies the "old<sep>new" replacements listed in
// one. A rename never replaces an existing file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fileops/filelist.h"
#include "fileops/ticked_rows.h"
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

// The lines of a text file: CR LF, LF and CR each end a line; a last line
// without an ending counts. False when the file cannot be read.
bool ReadNameList(std::string_view path, std::vector<std::string>& lines);

// The old name split at its last '.': base before it, extension with it.
void SplitName(std::string_view name, std::string& base, std::string& extension);

class RenameRule {
public:
    // typedPattern: the field as typed. A sequence item whose start or width
    // is not a whole number throws ferro::Error ("'%s' is not a valid
    // integer value"). Name lists are looked up as typed (a relative path
    // from the current folder), then in programDir.
    RenameRule(std::string_view typedPattern, std::string_view programDir);

    // The new name with extension of a row that is the ordinal-th ticked row
    // (from 0; the sequence number is start + ordinal), or nullopt when the
    // run ends at this row (a name list has no line for it). Depends on
    // nothing else, so a preview and the run give the same names.
    std::optional<std::string> NameFor(const FileList& files, int row, int64_t ordinal);

    int mode() const { return mode_; }  // 0 pattern, 1 name list, 2 replacement list

private:
    std::string pattern_;
    std::string sequenceItem_;
    int64_t start_ = 0;
    int width_ = 0;
    int mode_ = 0;
    bool patternHasFunction_ = false;
    std::vector<std::string> lines_;
    // The text evaluated for the last row, compiled; a pattern without the
    // row's own variables is read once for the whole run.
    TemplateCache templates_{1};
};

// What stands in the way of giving a row's file a new name, before the
// disk is asked: Unchanged, NameNotAllowed, or DuplicateName when an
// earlier row of the run has been given that path (`given`); None otherwise.
Undone CheckNewName(const FileList& files, int row, const std::string& newName,
                    const std::unordered_set<std::string>& given);

// Gives the file of a row a new name in its folder, never replacing an
// existing file; the name cell follows. The path given is added to `given`.
// The recorder, when there is one, hears of the rename before it is made.
Undone RenameRow(FileList& files, int row, const std::string& newName,
                 std::unordered_set<std::string>& given, ChangeRecorder* recorder = nullptr);

// The path a row's file gets under a new name in its folder.
std::string PathWithName(const FileList& files, int row, std::string_view newName);

// Renames every ticked row's file in display order, processing window
// messages between files; column 0 of each renamed row gets the new name.
// Every file left as it was is reported with its reason.
RunSummary RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                       RunHost* host = nullptr);
// The same by a rule made beforehand (making it is what refuses a pattern
// whose sequence item holds no numbers).
RunSummary RenameFiles(FileList& files, RenameRule& rule, RunHost* host = nullptr);

}  // namespace ferro
