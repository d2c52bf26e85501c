// The report of a run as JSON on standard output (--json): the counts, and
// every file with its result code, the reason in words, its new path and
// its statistics where it has them.
#pragma once

#include <string>
#include <vector>

#include "batch/run.h"
#include "fileops/filelist.h"
#include "ops/operation.h"

namespace ferro::cli {

// The result of a file as a code: "done", "name-exists", ...
const char* ResultCode(Undone why);

// One JSON object and a line break (UTF-8).
std::string JsonReport(const ops::Operation& op, const ops::RunOutcome& outcome,
                       const std::vector<FileResult>& files, const FileList& list);

}  // namespace ferro::cli
