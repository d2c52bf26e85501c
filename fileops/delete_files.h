// Deleting the ticked rows' files from disk: each goes to the desktop's
// trash, from where it can be put back, and its row leaves the list. Rows
// are visited from the bottom up, so the rows still to come keep their
// places. Read-only files are refused, as ever.
#pragma once

#include <functional>

#include "batch/run.h"
#include "fileops/filelist.h"

namespace ferro {

// Asked at most once per run, for the first file whose file system has no
// trash: true deletes such files for good, false leaves them.
using AskDeletePermanently = std::function<bool()>;

RunSummary TrashTickedFiles(FileList& files, const AskDeletePermanently& askPermanent,
                            RunHost* host = nullptr);

}  // namespace ferro
