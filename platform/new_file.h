// The parts of a safe write (fs.h) that the group commit (group_write.h)
// shares: a new file that takes its name only when complete, the copying of
// a file's properties onto it, and the writer of its pieces. Disk paths and
// descriptors. Not for use outside platform/.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/rescue.h"

namespace ferro::io {

struct Xattr {
    std::string name;
    std::string value;
};

// Every extended attribute of a file (following a link), ACLs included.
std::vector<Xattr> ReadXattrs(const std::string& disk);
// Gives fd the attributes; an ACL it inherited from its folder's default
// ACL goes when the original had none. False (errno set) when one the user
// set could not be given.
bool GiveXattrs(int fd, const std::vector<Xattr>& xattrs);
// Gives fd the mode; a disk without mode bits of its own may refuse the call
// as long as the file has the mode wanted.
bool GiveMode(int fd, mode_t mode);
// Keeps the created time the list shows across a replacement of the file
// (the new file's DOS record gets the original's birth time).
void KeepCreatedTime(const std::string& original, int toFd);
// A copy is a new file: its DOS record keeps the attributes but not the
// created time.
void DropCreatedTime(int fd);
// Whether the new file has, or could be given, the original's owner and
// group.
bool KeepsOwner(int fd, const struct stat& original);
// A sticky folder lets only the owners of the file or the folder replace it.
bool StickyFolderRefuses(const std::string& disk, const struct stat& file);

// ".<name>.ferro-XXXXXX" beside target: the name a new file has for the
// moment before it replaces target.
std::string HiddenNameFor(const std::string& target);

class NewFile {
public:
    NewFile() = default;
    ~NewFile() { Abandon(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // An empty file in target's folder: unnamed where the file system allows
    // it, else under a hidden name, recorded first. False with errno set.
    bool Open(const std::string& target, mode_t mode, WriteRecord& record);
    // The same, unnamed or not at all (errno EOPNOTSUPP where unnamed files
    // cannot be made there, or named ones are asked for in tests).
    bool OpenUnnamed(const std::string& target, mode_t mode);

    int fd() const { return fd_; }

    // Gives the complete, flushed file the name target. replace: an existing
    // target is replaced in one step; otherwise it makes this fail (EEXIST).
    bool Publish(const std::string& target, bool replace, WriteRecord& record);
    // Gives the unnamed file a name (never replacing); errno set on failure.
    bool LinkAs(const std::string& name) const;

    // Closes the file; a named one is removed.
    void Abandon();

private:
    int fd_ = -1;
    bool named_ = false;
    std::string temp_;
};

// Writes pieces one after the other from the start of fd, the disk starting
// on them as they come.
class SequentialWriter {
public:
    explicit SequentialWriter(int fd) : fd_(fd), writeback_(fd) {}
    bool operator()(std::string_view piece);
    off_t size() const { return at_; }

private:
    int fd_;
    off_t at_ = 0;
    Writeback writeback_;
};

}  // namespace ferro::io
