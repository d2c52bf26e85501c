#include "platform/native_attrib.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <linux/msdos_fs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "platform/fs.h"
#include "platform/sys_calls.h"

namespace ferro::io {
namespace {

using Kind = DiskTraits::Attributes;

constexpr const char* kNtfsAttrib = "system.ntfs_attrib_be";
constexpr const char* kNtfsCreated = "system.ntfs_crtime_be";
// NTFS counts time in 100 ns steps from 1601.
constexpr int64_t kNtfsEpochTicks = 116444736000000000LL;

// The bits FAT keeps: read-only, hidden, system, archive (volume and
// directory are the driver's own).
constexpr uint32_t kFatBits = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive;
// The bits NTFS keeps that the list shows.
constexpr uint32_t kNtfsShown = attr::ReadOnly | attr::Hidden | attr::System | attr::Archive |
                                attr::Temporary | attr::Offline | attr::NotContentIndexed |
                                attr::SparseFile | attr::Compressed | attr::Encrypted;
constexpr uint32_t kNtfsSettable = attr::Settable & ~attr::Normal;

uint32_t BigEndian32(const unsigned char* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}
void PutBigEndian32(uint32_t v, unsigned char* b) {
    for (int i = 3; i >= 0; --i, v >>= 8) b[i] = static_cast<unsigned char>(v);
}
uint64_t BigEndian64(const unsigned char* b) {
    return (uint64_t{BigEndian32(b)} << 32) | BigEndian32(b + 4);
}

// A file to hand to the FAT driver's ioctl: the open folder's entry, or the
// file open as dirFd, or a disk path. close: whether it was opened here.
int OpenForIoctl(int dirFd, const char* name, bool& close) {
    close = true;
    if (dirFd >= 0 && name[0] == '\0') {
        close = false;
        return dirFd;
    }
    return openat(dirFd >= 0 ? dirFd : AT_FDCWD, name,
                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

// The path an xattr of an entry is read by.
std::string XattrPath(int dirFd, const char* name) {
    if (dirFd < 0) return name;
    std::string path = "/proc/self/fd/" + std::to_string(dirFd);
    if (name[0] != '\0') path += std::string("/") + name;
    return path;
}

bool ReadNtfs(const std::string& path, uint32_t& attributes, std::optional<FileTime>& created) {
    unsigned char b[8];
    if (lgetxattr(path.c_str(), kNtfsAttrib, b, sizeof b) != 4) return false;
    attributes = BigEndian32(b);
    created.reset();
    if (lgetxattr(path.c_str(), kNtfsCreated, b, sizeof b) == 8) {
        const auto ticks = static_cast<int64_t>(BigEndian64(b));
        created = (ticks - kNtfsEpochTicks) * 100;
    }
    return true;
}

bool FatGet(int fd, uint32_t& bits) {
    return sys::Table().ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) == 0;
}

}  // namespace

bool ReadNativeDos(const DiskTraits& traits, int dirFd, const char* name, NativeDos& dos) {
    switch (traits.attributes) {
        case Kind::Record: return false;
        case Kind::FatIoctl: {
            bool close = false;
            const int fd = OpenForIoctl(dirFd, name, close);
            if (fd < 0) return false;
            uint32_t bits = 0;
            const bool ok = FatGet(fd, bits);
            if (close) ::close(fd);
            if (!ok) return false;
            dos.attributes = bits & kFatBits;
            dos.created.reset();  // the driver shows it as the birth time
            return true;
        }
        case Kind::NtfsXattr: {
            uint32_t bits = 0;
            if (!ReadNtfs(XattrPath(dirFd, name), bits, dos.created)) return false;
            dos.attributes = bits & kNtfsShown;
            return true;
        }
    }
    return false;
}

bool WriteNativeAttributes(const DiskTraits& traits, const std::string& disk, uint32_t attributes) {
    switch (traits.attributes) {
        case Kind::Record: break;
        case Kind::FatIoctl: {
            // On a real vfat mount the driver merges in the directory and
            // volume bits itself, and read-only becomes the mode's write
            // bits as well.
            bool close = false;
            const int fd = OpenForIoctl(-1, disk.c_str(), close);
            if (fd < 0) return false;
            uint32_t bits = attributes & kFatBits;
            const bool ok = sys::Table().ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &bits) == 0;
            const int error = errno;
            ::close(fd);
            errno = error;
            return ok;
        }
        case Kind::NtfsXattr: {
            unsigned char b[4];
            if (lgetxattr(disk.c_str(), kNtfsAttrib, b, sizeof b) != 4) return false;
            uint32_t bits = (BigEndian32(b) & ~kNtfsSettable) | (attributes & kNtfsSettable);
            PutBigEndian32(bits, b);
            return lsetxattr(disk.c_str(), kNtfsAttrib, b, sizeof b, 0) == 0;
        }
    }
    errno = ENOTSUP;
    return false;
}

bool WriteNativeCreated(const DiskTraits& traits, const std::string& disk, FileTime created) {
    if (traits.attributes != Kind::NtfsXattr) {
        errno = ENOTSUP;
        return false;
    }
    const uint64_t ticks = static_cast<uint64_t>(created / 100 + kNtfsEpochTicks);
    unsigned char b[8];
    PutBigEndian32(static_cast<uint32_t>(ticks >> 32), b);
    PutBigEndian32(static_cast<uint32_t>(ticks), b + 4);
    return lsetxattr(disk.c_str(), kNtfsCreated, b, sizeof b, 0) == 0;
}

uint32_t WithNative(uint32_t computed, const NativeDos& dos) {
    constexpr uint32_t kReplaced = kNtfsShown | attr::Normal;
    uint32_t a = (computed & ~kReplaced) | (dos.attributes & kNtfsShown);
    if (a == 0) a = attr::Normal;
    return a;
}

bool IsReadOnlyFile(const struct stat& st, const std::string& disk) {
    if (!(st.st_mode & S_IWUSR)) return true;
    if (!S_ISREG(st.st_mode)) return false;
    const DiskTraits traits = TraitsOf(st.st_dev, disk);
    if (traits.attributes != Kind::NtfsXattr) return false;  // FAT's shows in the mode
    NativeDos dos;
    return ReadNativeDos(traits, -1, disk.c_str(), dos) && (dos.attributes & attr::ReadOnly);
}

bool ReadNativeRecord(const std::string& disk, std::string& record) {
    const DiskTraits traits = TraitsOfPath(disk);
    NativeDos dos;
    if (traits.attributes == Kind::Record || !ReadNativeDos(traits, -1, disk.c_str(), dos))
        return false;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%c%08x", traits.attributes == Kind::FatIoctl ? 'F' : 'N',
                  static_cast<unsigned>(dos.attributes));
    record = buf;
    if (dos.created) record += " " + std::to_string(*dos.created);
    return true;
}

bool WriteNativeRecord(const std::string& disk, std::string_view record) {
    if (record.size() < 9 || (record[0] != 'F' && record[0] != 'N')) {
        errno = EINVAL;
        return false;
    }
    const DiskTraits traits = TraitsOfPath(disk);
    uint32_t bits = 0;
    int64_t created = 0;
    const bool hasCreated = record.size() > 10 && record[9] == ' ';
    if (std::from_chars(record.data() + 1, record.data() + 9, bits, 16).ptr != record.data() + 9 ||
        (hasCreated && std::from_chars(record.data() + 10, record.data() + record.size(), created)
                               .ptr != record.data() + record.size())) {
        errno = EINVAL;
        return false;
    }
    if (!WriteNativeAttributes(traits, disk, bits)) return false;
    return !hasCreated || WriteNativeCreated(traits, disk, created);
}

}  // namespace ferro::io
