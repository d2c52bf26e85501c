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
    auto changeFile = [&](int row) {
        return SetFileAttributes(files.Path(row), value)
                   ? Undone::None
                   : UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
    };
    std::function<bool(const std::string&)> changeFolder;
    if (settings.foldersToo)
        changeFolder = [&](const std::string& folder) { return SetFileAttributes(folder, value); };
    return ForEachTickedFile(files, changeFile, changeFolder, host);
}

}  // namespace ferro
