// Merging two KeyName=Value files by key: every key of the source that the
// target also has takes the source's value in the target.
#pragma once

#include <string_view>

#include "textops/lines.h"
#include "textops/textfile.h"

namespace ferro {

// The name of a key line is the text before its first "=", the value the
// text after it; neither is trimmed. A line without "=", or starting with
// it, has no name. Returns false for such a line.
bool SplitKeyLine(std::string_view line, std::string_view& name, std::string_view& value);

// For each source line with a name, in order: its value is that of the first
// source line with the same name; the first target line with that name
// (letters compared without regard to case) becomes the source line's name,
// "=" and the value, or is removed when the value is empty. Each such match
// is counted; the count is returned. Keys only one side has are left alone.
// Window messages are processed before each source line.
int MergeKeys(const LineList& source, LineList& target);

// The merge of two files: both are read (each in its own encoding), the
// target is backed up when asked (a failed copy is not reported) and written
// back in the format it was found in. Throws a TextFileError when a file
// cannot be read or the target cannot be written; nothing is written when
// either cannot be read.
int MergeKeyFiles(std::string_view sourcePath, std::string_view targetPath,
                  const TextFileOptions& options);

}  // namespace ferro
