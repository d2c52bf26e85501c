// Reading and writing text files as lines, backups, and keyword fields:
// what every text operation shares. Lines are code page 936 bytes; a file
// is read from the encoding it is found in (encoding/encoding.h) and written
// back the same way, or, in the classic mode, read and written as code page
// 936 bytes with CR LF after every line.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/change_recorder.h"
#include "batch/run.h"
#include "encoding/encoding.h"
#include "platform/error.h"
#include "textops/line_select.h"
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

// How the operations on whole files (key merge, line sync, combine,
// statistics) read and write them.
struct TextFileOptions {
    bool backup = false;  // copy the file that is written to path + ".bak" first
    TextMode mode = TextMode::Auto;
    ChangeRecorder* recorder = nullptr;  // where the write is recorded for undo
};

// A file's lines and the way it was found.
struct TextFile {
    LineList lines;
    TextFormat format;
    LineBytes bytes = LineBytes::Gbk;  // Utf8: the file's own bytes, not converted
};

// Reads a whole file as lines. Throws a TextFileError "Cannot open file %s"
// when it cannot be read, and refuses files holding NUL bytes once decoded
// (they are not text, and rewriting them line by line would damage them).
// keepUtf8: the lines of a UTF-8 (or ASCII) file are its own bytes (for
// operations that give the same result on them).
TextFile LoadTextFile(std::string_view path, TextMode mode, bool keepUtf8 = false);
// The classic reading: code page 936 bytes as they are.
LineList LoadTextLines(std::string_view path);

// Writes lines in a format, safely: the old file stays whole until the new
// one is complete. Lines are separated by the format's break and the last
// one gets a break when the format's last line had one; an empty list
// writes the byte-order mark alone, or nothing. Classic: every line followed
// by CR LF. Throws a TextFileError "Cannot create file %s" when it cannot be
// written (a read-only file included). With a recorder, the write is
// recorded ahead of it (the old content kept); a write that cannot be
// recorded is not made: TextFileError with Undone::NotRecorded.
void SaveTextLines(std::string_view path, const LineList& lines, const TextFormat& format,
                   ChangeRecorder* recorder = nullptr);
// The classic writing: every line followed by CR LF.
void SaveTextLines(std::string_view path, const LineList& lines);
// The same, with the lines given as they are made: produce puts them into
// the sink, which writes them out as they come, so a file's result is never
// held whole. An exception from produce leaves the file as it was and is
// passed on.
// Lines that point into unbroken (the text of the lines being rewritten)
// are known to hold no break and are copied as they are. Lines of
// LineBytes::Utf8 are a UTF-8 file's own bytes and are written as they are.
void SaveTextFile(std::string_view path, const TextFormat& format,
                  const std::function<void(LineSink& out)>& produce,
                  std::string_view unbroken = {}, ChangeRecorder* recorder = nullptr,
                  LineBytes bytes = LineBytes::Gbk);

// Reads a file through once, without holding it, to find how it is to be
// read and written back (RewriteInPieces). Throws what LoadTextFile throws.
TextScan CheckTextFile(std::string_view path, TextMode mode);

// Rewrites a file that CheckTextFile found readable in pieces (not whole),
// never holding it whole: it is read again, and pieces of whole lines, about
// a megabyte each, are given to rule in order, whose lines are written as
// they come, as SaveTextFile writes them. keepUtf8: the lines of a UTF-8 or
// ASCII file are its own bytes; otherwise UTF-8 is converted. A file that is
// written where it stands (see WriteFileSafely) is read whole first and
// given as one piece. Throws what SaveTextFile throws, and a TextFileError
// when the file is found changed since it was checked (it is then left as
// it is).
void RewriteInPieces(std::string_view path, const TextScan& scan, bool keepUtf8,
                     const LinePieceRule& rule, ChangeRecorder* recorder = nullptr);

// Reads a file that CheckTextFile found readable in pieces the way
// RewriteInPieces does, giving take each piece of whole lines in order (the
// lines as bytes tells) and writing nothing. Throws a TextFileError when the
// file cannot be read or changed since the scan.
void ReadLinePieces(std::string_view path, const TextScan& scan, bool keepUtf8,
                    const std::function<void(const LineList& lines, LineBytes bytes)>& take);

// Copies the file to path + ".bak", replacing an older copy. False when no
// copy could be made (the file must then not be rewritten).
bool BackupFile(std::string_view path);
// The same before a file is rewritten, recorded first when there is a
// recorder, so that undo removes the copy or puts back the older one it
// replaced. Throws a TextFileError (Undone::NotRecorded,
// Undone::BackupFailed, or Undone::BackupNameTooLong when the name cannot
// take ".bak") when no copy was made: the file must then be left as it is.
void BackUpBeforeWriting(std::string_view path, ChangeRecorder* recorder);



// Reads a number field: "'%s' is not a valid integer value" otherwise.
int ReadNumberField(std::string_view text);
// The same for a line number or a line's place in an interval, and for the
// pattern's parameter count: a negative number means nothing there and is
// refused (an Error saying so) instead of being taken as 1.
int ReadLineNumberField(std::string_view text);
int ReadCountField(std::string_view text);

}  // namespace ferro
