// Copying lines from one file into another by line number: each source line
// holding a keyword replaces the target line with the same number.
#pragma once

#include <string>
#include <vector>

#include "textops/keywords.h"
#include "textops/lines.h"
#include "textops/textfile.h"

namespace ferro {

// Keywords and lines are compared in ANSI lower case, byte-wise; an empty
// keyword matches nothing. Source line j (as spelled in the source) replaces
// target line j when it holds any keyword; one copy per line however many
// keywords it holds. A matching line beyond the target's last line has no
// line to replace: it is skipped and not counted, so the target keeps its
// length. Returns the number of lines copied. Window messages are processed
// before each source line. With patterns, the keywords are those regular
// expressions instead (matched as compiled: the run compiles them ignoring
// case) on the source's lines, GBK.
int SyncLinesByKeyword(const std::vector<std::string>& keywords, const LineList& source,
                       LineList& target, const KeywordPatterns* patterns = nullptr);

// The same on two files, read and written as MergeKeyFiles does.
int SyncLineFiles(const std::vector<std::string>& keywords, std::string_view sourcePath,
                  std::string_view targetPath, const TextFileOptions& options,
                  const KeywordPatterns* patterns = nullptr);

}  // namespace ferro
