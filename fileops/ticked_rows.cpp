#include "fileops/ticked_rows.h"

#include "platform/pump.h"

namespace ferro {

std::vector<BatchFile> TickedFiles(const FileList& files) {
    std::vector<BatchFile> ticked;
    for (int row = 1; row <= files.LastRow(); ++row)
        if (files.Checked(row) && !files.Name(row).empty())
            ticked.push_back(BatchFile{row, files.Path(row)});
    return ticked;
}

void PlanTickedChanges(const FileList& files, ChangeRecorder* recorder,
                       ChangeRecorder::Change change, bool foldersToo) {
    if (!recorder) return;
    std::vector<ChangeRecorder::Planned> plan;
    const std::string* lastFolder = nullptr;
    for (const BatchFile& f : TickedFiles(files)) {
        plan.push_back({change, f.path, {}});
        const std::string& folder = files.Folder(f.row);
        if (!foldersToo || (lastFolder && *lastFolder == folder)) continue;
        plan.push_back({change, folder, {}});
        lastFolder = &folder;
    }
    recorder->Plan(plan);
}

RunSummary ForEachTickedFile(FileList& files, const std::function<Undone(int row)>& changeFile,
                             const std::function<bool(const std::string& folder)>& changeFolder,
                             RunHost* host) {
    const std::vector<BatchFile> ticked = TickedFiles(files);
    RunTracker run(host, static_cast<int>(ticked.size()));
    std::string lastFolder;
    bool haveLastFolder = false;
    run.ForEach(ticked, [&](const BatchFile& f) {
        ProcessPendingMessages();
        const Undone why = changeFile(f.row);
        if (why == Undone::None) run.Done(f.row, f.path);
        else run.Skip(f.row, f.path, why);
        if (!changeFolder) return;
        const std::string& folder = files.Folder(f.row);
        if (haveLastFolder && folder == lastFolder) return;
        if (changeFolder(folder)) {
            lastFolder = folder;
            haveLastFolder = true;
        }
    });
    return run.Take();
}

}  // namespace ferro
