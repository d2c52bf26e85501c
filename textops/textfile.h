// Reading and writing text files as lines, backups, and keyword fields:
// what every text operation shares. Files are bytes in code page 936 and
// are never re-encoded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "platform/error.h"
#include "textops/lines.h"

namespace ferro {

// A text file that cannot be read or written, with the reason a run
// reports for it; the message is the one the window shows.
class TextFileError : public Error {
public:
    TextFileError(std::string gbkMessage, Undone why) : Error(std::move(gbkMessage)), why_(why) {}
    Undone why() const { return why_; }

private:
    Undone why_;
};

// Reads a whole file as lines. Throws a TextFileError "Cannot open file %s"
// when it cannot be read, and refuses files holding NUL bytes (they are not
// text, and rewriting them line by line would damage them).
LineList LoadTextLines(std::string_view path);

// Writes the lines, each followed by CR LF (0 bytes for no lines), safely:
// the old file stays whole until the new one is complete. Throws a
// TextFileError "Cannot create file %s" when it cannot be written (a
// read-only file included).
void SaveTextLines(std::string_view path, const LineList& lines);

// Copies the file to path + ".bak", replacing an older copy. False when no
// copy could be made (the file must then not be rewritten).
bool BackupFile(std::string_view path);

// Splits a keyword field at ";" and blanks; a keyword in double quotes may
// hold both ("" stands for one quote). Empty keywords stay in the list.
std::vector<std::string> SplitKeywords(std::string_view text);

// Whether line holds keyword's bytes anywhere (case-sensitive, byte-wise);
// an empty keyword matches nothing.
inline bool ContainsKeyword(std::string_view line, std::string_view keyword) {
    return !keyword.empty() && line.find(keyword) != std::string_view::npos;
}
bool ContainsAnyKeyword(std::string_view line, const std::vector<std::string>& keywords);

// Reads a number field: "'%s' is not a valid integer value" otherwise.
int ReadNumberField(std::string_view text);

}  // namespace ferro
