// FileFinder: find-first and find-next over "folder/mask", as the run-time
// library's find-first gives them, on top of the folder reader.
#include "platform/fs.h"

#include <string>

#include "platform/mask.h"

namespace ferro {
namespace {

bool HasWildcards(std::string_view mask) {
    return mask.find_first_of("*?") != std::string_view::npos;
}

// Splits "folder/mask"; an empty folder before a leading '/' is the root,
// no '/' at all is the current directory.
void SplitPattern(std::string_view pattern, std::string& folder, std::string& mask) {
    std::size_t p = pattern.rfind('/');
    if (p == std::string_view::npos) {
        folder = ".";
        mask.assign(pattern);
        return;
    }
    folder.assign(pattern.substr(0, p));
    if (folder.empty()) folder = "/";
    mask.assign(pattern.substr(p + 1));
}

bool Excluded(uint32_t attributes, uint32_t attrSet) {
    constexpr uint32_t kSpecial = attr::Hidden | attr::System | attr::VolumeId | attr::Directory;
    return (attributes & ~attrSet & kSpecial) != 0;
}

}  // namespace

struct FileFinder::Impl {
    FolderReader reader;
    MaskMatcher mask{std::string_view()};
    uint32_t attrSet = 0;
    bool single = false;
};

FileFinder::FileFinder() : impl_(new Impl) {}
FileFinder::~FileFinder() { delete impl_; }

bool FileFinder::First(std::string_view pattern, uint32_t attrSet, FindEntry& entry) {
    Close();
    std::string folder, mask;
    SplitPattern(pattern, folder, mask);
    impl_->attrSet = attrSet;
    if (mask.empty()) return false;
    if (!HasWildcards(mask)) {
        impl_->single = true;
        std::string path = folder == "/" ? "/" + mask : folder + "/" + mask;
        if (!StatPath(path, entry)) return false;
        return !Excluded(entry.attributes, attrSet);
    }
    impl_->mask = MaskMatcher(mask);
    if (!impl_->reader.Open(folder)) return false;
    return Next(entry);
}

bool FileFinder::Next(FindEntry& entry) {
    if (impl_->single) return false;
    DirItem item;
    while (impl_->reader.Next(item)) {
        if (!impl_->mask.Matches(item.name)) continue;
        if (!impl_->reader.Stat(item, entry)) continue;
        if (Excluded(entry.attributes, impl_->attrSet)) continue;
        return true;
    }
    return false;
}

void FileFinder::Close() {
    impl_->reader.Close();
    impl_->single = false;
}

}  // namespace ferro
