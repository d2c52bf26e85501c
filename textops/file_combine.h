// Joining the contents of several files into one list of lines.
#pragma once

#include <vector>

#include "batch/run.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

// Appends every line of a file, in order, to the combined list. No separator
// goes between two files; a file that ended without a line break still ends
// with a whole line, so the next one starts on a line of its own.
void AppendFileLines(LineList& combined, const LineList& file);

// Joins the files, in order, into the last one (backed up first when asked),
// each read in its own encoding; the last one is written back as it was found.
// Every file is read before anything is written, so a stop, or a file that
// cannot be read, leaves every file as it was: the summary then counts none
// as done.
RunSummary CombineFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                        RunHost* host);

}  // namespace ferro
