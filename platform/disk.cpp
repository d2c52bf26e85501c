#include "platform/disk.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <vector>

#include "platform/codec.h"
#include "platform/file_io.h"

namespace ferro::io {
namespace {

using Attributes = DiskTraits::Attributes;

struct Known {
    dev_t dev;
    DiskTraits traits;
    bool forTesting;
};

std::mutex g_mutex;
std::vector<Known> g_known;

bool Is(std::string_view type, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (type == n) return true;
    return false;
}

// The file system type the mount table gives device dev ("vfat",
// "fuse.fusefat", "fuseblk", ...); empty when it has no line for it.
std::string MountType(dev_t dev) {
    FILE* f = std::fopen("/proc/self/mountinfo", "re");
    if (!f) return {};
    std::string type;
    char* line = nullptr;
    size_t size = 0;
    while (getline(&line, &size, f) > 0) {
        // id parent major:minor root mountpoint options [optional...] - type source ...
        unsigned major = 0, minor = 0;
        if (std::sscanf(line, "%*u %*u %u:%u", &major, &minor) != 2) continue;
        if (makedev(major, minor) != dev) continue;
        const char* dash = std::strstr(line, " - ");
        if (!dash) continue;
        const char* start = dash + 3;
        const char* end = std::strchr(start, ' ');
        type.assign(start, end ? static_cast<std::size_t>(end - start) : std::strlen(start));
        break;
    }
    std::free(line);
    std::fclose(f);
    return type;
}

DiskTraits Classify(std::string_view type, const std::string& diskPath) {
    DiskTraits t;
    if (Is(type, {"vfat", "msdos"})) {
        t.windowsNames = true;
        t.attributes = Attributes::FatIoctl;
    } else if (Is(type, {"ntfs", "ntfs3", "fuse.ntfs-3g", "fuse.lowntfs-3g", "fuse.ntfs"})) {
        t.windowsNames = true;
        t.attributes = Attributes::NtfsXattr;
    } else if (Is(type, {"exfat", "fuse.exfat", "fuse.exfat-fuse", "cifs", "smb3", "smbfs"})) {
        t.windowsNames = true;
    } else if (type == "fuse.fusefat") {
        t.windowsNames = true;
        t.asciiNames = true;
    } else if (type == "fuseblk" || type == "fuse") {
        // The FUSE drivers of block devices are those of Windows disks
        // (ntfs-3g, exfat-fuse); NTFS answers for its attribute, also when
        // ntfs-3g mounts an image file (a plain "fuse" mount).
        char value[4];
        const bool ntfs =
            getxattr(diskPath.c_str(), "system.ntfs_attrib_be", value, sizeof value) >= 0 ||
            errno == ERANGE;
        if (ntfs) t.attributes = Attributes::NtfsXattr;
        t.windowsNames = ntfs || type == "fuseblk";
    }
    return t;
}

// Whether a mount or unmount has happened since the last look: the mount
// table of /proc answers poll with POLLPRI once per change. Asked at most
// every few milliseconds (a disk is not unplugged and another plugged in
// faster than that), so that a call on every entry of a listing costs no
// system call. Under g_mutex.
bool MountTableChanged() {
    static const int fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    static std::chrono::steady_clock::time_point asked;
    if (fd < 0) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now - asked < std::chrono::milliseconds(20)) return false;
    asked = now;
    pollfd p{fd, POLLPRI, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR));
}

// Drops what the mount table said (not what a test set). Under g_mutex.
void ForgetMounts() {
    std::erase_if(g_known, [](const Known& k) { return !k.forTesting; });
}

}  // namespace

bool KnownTraits(dev_t dev, DiskTraits& traits) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (MountTableChanged()) ForgetMounts();
    for (const Known& k : g_known)
        if (k.dev == dev) {
            traits = k.traits;
            return true;
        }
    return false;
}

DiskTraits TraitsOf(dev_t dev, const std::string& diskPath) {
    DiskTraits known;
    if (KnownTraits(dev, known)) return known;
    const DiskTraits traits = Classify(MountType(dev), diskPath);
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const Known& k : g_known)
        if (k.dev == dev) return k.traits;
    g_known.push_back({dev, traits, false});
    return traits;
}

DiskTraits TraitsOfPath(const std::string& diskPath) {
    std::string at = diskPath.empty() ? std::string(".") : diskPath;
    for (;;) {
        struct stat st{};
        if (stat(at.c_str(), &st) == 0) return TraitsOf(st.st_dev, at);
        if (errno != ENOENT || at == "/" || at == ".") return {};
        at = FolderOf(at);
    }
}

bool NameNeedsDiskCheck(std::string_view name, bool asciiToo) {
    if (name.empty() || name.size() > 255) return true;
    if (name.back() == '.' || name.back() == ' ') return true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            if (asciiToo) return true;
            ++i;  // the second byte of a GBK pair
            continue;
        }
        if (u < 0x20 || std::strchr("\"*:<>?\\|", c)) return true;
    }
    return false;
}

bool DiskTakesName(const DiskTraits& traits, std::string_view name) {
    if (!traits.windowsNames) return true;
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    bool ascii = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            ascii = false;
            ++i;  // the second byte of a GBK pair may be any byte, '\\' and '|' too
            continue;
        }
        if (u < 0x20 || std::strchr("\"*:<>?\\|", c)) return false;
    }
    if (!ascii && traits.asciiNames) return false;
    // Windows disks count a name in UTF-16 units, 255 at most.
    return ascii ? name.size() <= 255 : GbkToUtf16(name).size() <= 255;
}

void SetDiskTraitsForTesting(dev_t dev, const DiskTraits& traits) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Known& k : g_known)
        if (k.dev == dev) {
            k = {dev, traits, true};
            return;
        }
    g_known.push_back({dev, traits, true});
}

void ForgetDiskTraitsForTesting() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_known.clear();
}

}  // namespace ferro::io
