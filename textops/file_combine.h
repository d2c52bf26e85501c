// Joining the contents of several files into one list of lines.
#pragma once

#include "textops/lines.h"

namespace ferro {

// Appends every line of a file, in order, to the combined list. No separator
// goes between two files; a file that ended without a line break still ends
// with a whole line, so the next one starts on a line of its own.
void AppendFileLines(LineList& combined, const LineList& file);

}  // namespace ferro
