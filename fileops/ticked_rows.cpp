#include "fileops/ticked_rows.h"

namespace ferro {

int ForEachTickedFile(FileList& files, const std::function<bool(int row)>& changeFile,
                      const std::function<bool(const std::string& folder)>& changeFolder,
                      const ChangedRowCallback& onChanged) {
    int changed = 0;
    std::string lastFolder;
    bool haveLastFolder = false;
    for (int row = 1; row <= files.LastRow(); ++row) {
        if (!files.Checked(row) || files.Name(row).empty()) continue;
        if (changeFile(row)) {
            ++changed;
            if (onChanged) onChanged(row);
        }
        if (!changeFolder) continue;
        const std::string& folder = files.Folder(row);
        if (haveLastFolder && folder == lastFolder) continue;
        if (changeFolder(folder)) {
            lastFolder = folder;
            haveLastFolder = true;
        }
    }
    return changed;
}

}  // namespace ferro
