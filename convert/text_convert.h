// The two conversions that need no spreadsheet program: tab text to comma
// text (or a plain copy), and vCard contacts to a table. Both take the
// source path and the target-extension argument and return the new file's
// path, or an empty text when nothing was written. A source that cannot be
// read or a target that cannot be written throws (see textops/textfile.h).
#pragma once

#include <string>
#include <string_view>

#include "textops/lines.h"

namespace ferro {

// To "csv" every tab becomes ","; to any other extension the lines are
// copied. Lines are written with CR LF.
std::string TxtTo(std::string_view source, std::string_view argument);

// To "csv" or "txt" (comma- or tab-separated): a header line, then one line
// per card ending in "END:", filled from its first N:/FN:, TEL;CELL,
// TEL;WORK, EMAIL, ORG and ADR lines; ";" is dropped from the values. Any
// other extension writes nothing.
std::string VcfTo(std::string_view source, std::string_view argument);

// The table lines of a vCard file's lines (header first), for a separator.
LineList VcardTable(const LineList& card, char separator);

}  // namespace ferro
