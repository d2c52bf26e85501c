// The walk the name and metadata operations share: the ticked rows of the
// file list in display order, without pumping window messages (the list
// cannot change under the walk), and optionally each file's folder, set once
// for a run of rows in the same folder.
#pragma once

#include <functional>
#include <string>

#include "fileops/filelist.h"

namespace ferro {

// Called once for every row whose file was changed, right after the change.
using ChangedRowCallback = std::function<void(int row)>;

// For each ticked row with a name: changeFile(row); when it returns true the
// row counts and onChanged(row) is called. Then, when changeFolder is given
// and the row's folder is not the folder last changed, changeFolder(folder);
// only a folder that was changed becomes the last one, so a failed folder is
// tried again with the next row. Returns how many files changed.
int ForEachTickedFile(FileList& files, const std::function<bool(int row)>& changeFile,
                      const std::function<bool(const std::string& folder)>& changeFolder,
                      const ChangedRowCallback& onChanged);

}  // namespace ferro
