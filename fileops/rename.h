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

    // The new name with extension for a row, or nullopt when the run ends
    // at this row (a name list has no line for it). Call once per ticked row
    // in display order: the sequence number advances with every call.
    std::optional<std::string> NewName(const FileList& files, int row);

    int mode() const { return mode_; }  // 0 pattern, 1 name list, 2 replacement list

private:
    std::string pattern_;
    std::string sequenceItem_;
    int64_t counter_ = 0;
    int width_ = 0;
    int mode_ = 0;
    bool patternHasFunction_ = false;
    std::vector<std::string> lines_;
    // The text evaluated for the last row, compiled; a pattern without the
    // row's own variables is read once for the whole run.
    TemplateCache templates_{1};
};

// Renames every ticked row's file; returns how many were renamed. Column 0
// of each renamed row gets the new name. Rows are handled in display order
// without pumping window messages.
int RenameFiles(FileList& files, std::string_view typedPattern, std::string_view programDir,
                const ChangedRowCallback& onRenamed = {});

}  // namespace ferro
