// The conversions that need no spreadsheet program: tab text to comma text
// (or a plain copy), comma text to tab text, and vCard contacts to a table.
// Each takes the source path and the target-extension argument and returns
// the new file's path, or an empty text when nothing was written. Sources
// are read in the encoding found in them; the files written are UTF-8 with
// LF in TextMode::Auto (comma-separated tables with a byte-order mark) and
// GBK with CR LF in TextMode::ClassicGbk. A source
// that cannot be read, or that holds NUL bytes, or a target that cannot be
// written throws (see textops/textfile.h). With a recorder the new file is
// recorded before it is written; one that cannot be recorded is not written
// (TextFileError with Undone::NotRecorded).
#pragma once

#include <string>
#include <string_view>

#include "batch/change_recorder.h"
#include "platform/codec.h"
#include "textops/lines.h"

namespace ferro {

// A text source as GBK lines, whatever its encoding.
LineList LoadSourceLines(std::string_view path);

// To "csv" every line is cut at its tabs into fields, written with ","
// between them; a field holding a comma or a quote is quoted (quotes
// doubled). To any other extension the lines are copied. In Auto mode a
// copy onto the source itself leaves the file as it is.
std::string TxtTo(std::string_view source, std::string_view argument,
                  TextMode mode = TextMode::Auto, ChangeRecorder* recorder = nullptr);

// Comma-separated text to tab-separated text, row by row: quoted fields may
// hold commas, quotes and line breaks; a field holding a tab, a quote or a
// line break is written quoted. Every row of the source is kept.
std::string CommaTextToTabText(std::string_view source, std::string_view target,
                               TextMode mode = TextMode::Auto,
                               ChangeRecorder* recorder = nullptr);

// To "csv" or "txt" (comma- or tab-separated): a header line, then one line
// per card (see convert/vcard.h). Any other extension writes nothing.
std::string VcfTo(std::string_view source, std::string_view argument,
                  TextMode mode = TextMode::Auto, ChangeRecorder* recorder = nullptr);

}  // namespace ferro
