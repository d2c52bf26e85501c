#include "fileops/attribute_change.h"

#include <string>

#include "platform/fs.h"

namespace ferro {

uint32_t AttributeSettings::Value() const {
    uint32_t v = 0;
    if (archive) v |= attr::Archive;
    if (system) v |= attr::System;
    if (readOnly) v |= attr::ReadOnly;
    if (hidden) v |= attr::Hidden;
    return v;
}

RunSummary ChangeAttributes(FileList& files, const AttributeSettings& settings, RunHost* host) {
    const uint32_t value = settings.Value();
    if (value == 0) return RunSummary{};
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    PlanTickedChanges(files, recorder, ChangeRecorder::Change::Attributes, settings.foldersToo);
    auto set = [&](const std::string& path) {
        if (recorder && !recorder->WillSetAttributes(path)) return Undone::NotRecorded;
        if (!SetFileAttributes(path, value)) {
            const Undone why = UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
            if (recorder) recorder->NotChanged();
            return why;
        }
        if (recorder) recorder->Changed();
        return Undone::None;
    };
    auto changeFile = [&](int row) { return set(files.Path(row)); };
    std::function<bool(const std::string&)> changeFolder;
    if (settings.foldersToo)
        changeFolder = [&](const std::string& folder) { return set(folder) == Undone::None; };
    return ForEachTickedFile(files, changeFile, changeFolder, host);
}

}  // namespace ferro
