// The walk the name and metadata operations share: the ticked rows of the
// file list in display order, and optionally each file's folder, set once
// for a run of rows in the same folder. Window messages are processed
// between files (the window keeps the list still while a run goes on).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/run.h"
#include "fileops/filelist.h"

namespace ferro {

// The ticked rows with a name, in display order, with their paths.
std::vector<BatchFile> TickedFiles(const FileList& files);

// Tells a run's recorder (when it has one) up front that the run will set
// the times or attributes of every ticked file and, when foldersToo, of
// each file's folder once per run of rows in the same folder.
void PlanTickedChanges(const FileList& files, ChangeRecorder* recorder,
                       ChangeRecorder::Change change, bool foldersToo);

// For each ticked row with a name: changeFile(row) gives Undone::None when
// the file changed, otherwise why it did not. Then, when changeFolder is
// given and the row's folder is not the folder last changed,
// changeFolder(folder); only a folder that was changed becomes the last
// one, so a failed folder is tried again with the next row. Folders are
// not counted or reported. The host may stop the run between files.
RunSummary ForEachTickedFile(FileList& files, const std::function<Undone(int row)>& changeFile,
                             const std::function<bool(const std::string& folder)>& changeFolder,
                             RunHost* host);

}  // namespace ferro
