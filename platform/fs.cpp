// Placeholder until the file system layer lands.
#include "platform/fs.h"
namespace ferro {
struct FileFinder::Impl {};
FileFinder::FileFinder() : impl_(nullptr) {}
FileFinder::~FileFinder() {}
bool FileFinder::First(std::string_view, uint32_t, FindEntry&) { return false; }
bool FileFinder::Next(FindEntry&) { return false; }
void FileFinder::Close() {}
}  // namespace ferro
