// The run of a line operation over many files: each file read, its lines
// transformed, a backup made when asked, the file written; window messages
// are processed before each file. The host hears of every file and can stop
// the run between files.
//
// A file that cannot be read or written ends the run there: the summary
// then holds the message and the files after it are not reached. A file
// whose backup fails, or whose lines the template engine refuses to grow
// beyond its bound, is left as it was and the run goes on.
#pragma once

#include <functional>
#include <vector>

#include "batch/run.h"
#include "textops/lines.h"

namespace ferro {

struct TextBatchOptions {
    bool backup = false;  // copy each file to path + ".bak" before writing it
};

// Called once per file, in order; may keep per-file state.
using LineTransform = std::function<void(const LineList& in, LineList& out)>;

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineTransform& transform, RunHost* host);

}  // namespace ferro
