// The run of a line operation over many files: each file read, a backup
// made when asked, its lines transformed and written out as they come;
// window messages are processed before each file. The host hears of every
// file and can stop the run between files.
//
// A file that cannot be read or written ends the run there: the summary
// then holds the message and the files after it are not reached. A file
// whose backup fails, or whose lines the template engine refuses to grow
// beyond its bound, is left as it was and the run goes on.
#pragma once

#include <functional>
#include <vector>

#include "batch/run.h"
#include "platform/codec.h"
#include "textops/lines.h"

namespace ferro {

struct TextBatchOptions {
    bool backup = false;  // copy each file to path + ".bak" before writing it
    TextMode mode = TextMode::Auto;
};

// Called once per file, in order; may keep per-file state. It puts the
// file's new lines into out, which writes them to the file as they come.
using LineTransform = std::function<void(const LineList& in, LineSink& out)>;

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineTransform& transform, RunHost* host);

}  // namespace ferro
