#include "platform/fs_entry.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/native_attrib.h"
#include "platform/sys_calls.h"

namespace ferro::entry {

bool Fail(FsProblem problem) {
    SetLastFsProblem(problem);
    return false;
}
bool FailErrno() { return Fail(FsProblemFromErrno(errno)); }

namespace {

// The attributes and created time a disk keeps itself take the place of
// those of the mode and the record.
void AddNative(const io::DiskTraits& traits, int dirFd, const char* name, bool hasRecordTime,
               FindEntry& e) {
    io::NativeDos native;
    if (!io::ReadNativeDos(traits, dirFd, name, native)) return;
    e.attributes = io::WithNative(e.attributes, native);
    if (IsDotName(e.name)) e.attributes = (e.attributes & ~attr::Normal) | attr::Hidden;
    if (native.created && !hasRecordTime) e.creationTime = *native.created;
}

}  // namespace

FileTime ToFileTime(const statx_timestamp& ts) {
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
}
timespec ToTimespec(FileTime t) {
    timespec ts{};
    int64_t sec = t / kNsPerSec;
    int64_t ns = t % kNsPerSec;
    if (ns < 0) {
        ns += kNsPerSec;
        --sec;
    }
    ts.tv_sec = static_cast<time_t>(sec);
    ts.tv_nsec = static_cast<long>(ns);
    return ts;
}

bool IsDotName(std::string_view name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

bool ReadDosAttrib(const char* diskPath, DosAttrib& value) {
    char buf[256];
    ssize_t n = lgetxattr(diskPath, kDosAttribName, buf, sizeof buf);
    if (n <= 0) return false;
    return DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), value);
}

namespace {

// The getxattrat of the table as the kernel answered it: known to work, or
// refused (no such call before Linux 6.13, or a sandbox's filter). Kept by entry, so that a test's
// stand-in is judged apart from the real call.
using GetxattratCall = decltype(sys::Calls::getxattrat);
std::atomic<GetxattratCall> g_getxattratWorks{nullptr};
std::atomic<GetxattratCall> g_getxattratRefused{nullptr};

long RecordAt(GetxattratCall call, int dirFd, const char* name, char* buf, std::size_t size) {
    struct {
        uint64_t value;
        uint32_t size;
        uint32_t flags;
    } args{reinterpret_cast<uint64_t>(buf), static_cast<uint32_t>(size), 0};
    const long n = call(dirFd, name, AT_SYMLINK_NOFOLLOW, kDosAttribName, &args, sizeof args);
    // A sandbox that does not know the call may answer EPERM instead: the
    // record is then read through the path, which it does know.
    if (n < 0 && (errno == ENOSYS || errno == EPERM)) {
        g_getxattratRefused.store(call, std::memory_order_relaxed);
    } else if (g_getxattratWorks.load(std::memory_order_relaxed) != call) {
        g_getxattratWorks.store(call, std::memory_order_relaxed);
    }
    return n;
}

}  // namespace

bool RecordsReadInFolder(int dirFd) {
    const GetxattratCall call = sys::Table().getxattrat;
    if (call == g_getxattratWorks.load(std::memory_order_relaxed)) return true;
    if (call == g_getxattratRefused.load(std::memory_order_relaxed)) return false;
    char buf[256];
    RecordAt(call, dirFd, ".", buf, sizeof buf);  // the folder's own record
    return call != g_getxattratRefused.load(std::memory_order_relaxed);
}

// The record of an entry of an open folder, by its name alone, so that it
// is found at any depth. getxattrat (Linux 6.13) spares the kernel a path
// walk; older kernels read it through the folder's descriptor in /proc.
bool ReadDosAttribAt(int dirFd, const char* name, DosAttrib& value) {
    char buf[256];
    ssize_t n = -1;
    const GetxattratCall call = sys::Table().getxattrat;
    if (call != g_getxattratRefused.load(std::memory_order_relaxed)) {
        n = RecordAt(call, dirFd, name, buf, sizeof buf);
        if (n <= 0 && call != g_getxattratRefused.load(std::memory_order_relaxed)) return false;
    }
    if (n < 0) {
        const std::string path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + std::string(name);
        n = lgetxattr(path.c_str(), kDosAttribName, buf, sizeof buf);
    }
    if (n <= 0) return false;
    return DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), value);
}

bool WriteDosAttrib(const std::string& diskPath, const DosAttrib& value) {
    std::string blob = EncodeDosAttrib(value);
    if (lsetxattr(diskPath.c_str(), kDosAttribName, blob.data(), blob.size(), 0) == 0) return true;
    if (errno != EACCES && errno != EPERM) return false;
    struct stat st{};
    if (lstat(diskPath.c_str(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != geteuid())
        return false;
    if (chmod(diskPath.c_str(), st.st_mode | S_IWUSR) != 0) return false;
    int rc = lsetxattr(diskPath.c_str(), kDosAttribName, blob.data(), blob.size(), 0);
    chmod(diskPath.c_str(), st.st_mode & 07777);
    return rc == 0;
}

uint32_t ComputeAttributes(const struct stat& st, std::string_view gbkName, const DosAttrib* dos,
                           bool targetIsDir) {
    uint32_t a = 0;
    if (S_ISLNK(st.st_mode)) {
        a = attr::ReparsePoint | (targetIsDir ? attr::Directory : attr::Archive);
    } else if (S_ISDIR(st.st_mode)) {
        a = attr::Directory | (dos ? (dos->attributes & kStoredBits) : 0);
        if (!(st.st_mode & S_IWUSR)) a |= attr::ReadOnly;
    } else if (S_ISREG(st.st_mode)) {
        a = dos ? (dos->attributes & kStoredBits) : attr::Archive;
        if (!(st.st_mode & S_IWUSR)) a |= attr::ReadOnly;
    } else {
        a = attr::Device;
    }
    if (IsDotName(gbkName)) a |= attr::Hidden;
    if (a == 0) a = attr::Normal;
    return a;
}

bool LinkTargetIsDir(int dirFd, const char* name) {
    struct stat t{};
    return fstatat(dirFd >= 0 ? dirFd : AT_FDCWD, name, &t, 0) == 0 && S_ISDIR(t.st_mode);
}

void EntryFromStatx(std::string_view gbkName, const struct statx& sx, const DosAttrib* dos,
                    bool targetDir, FindEntry& e) {
    struct stat st{};
    st.st_mode = sx.stx_mode;
    const bool hasDos = dos != nullptr;
    e.name.assign(gbkName);
    e.attributes = ComputeAttributes(st, gbkName, dos, targetDir);
    e.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(sx.stx_size) : 0;
    e.lastAccessTime = ToFileTime(sx.stx_atime);
    e.lastWriteTime = ToFileTime(sx.stx_mtime);
    if (hasDos && dos->createTime) e.creationTime = *dos->createTime;
    else if (sx.stx_mask & STATX_BTIME) e.creationTime = ToFileTime(sx.stx_btime);
    else e.creationTime = e.lastWriteTime;
}

io::DiskTraits TraitsAt(dev_t dev, int dirFd, const char* name) {
    io::DiskTraits traits;
    if (io::KnownTraits(dev, traits)) return traits;
    return io::TraitsOf(dev, dirFd >= 0 ? "/proc/self/fd/" + std::to_string(dirFd) : std::string(name));
}

void FinishEntry(int dirFd, const char* name, std::string_view gbkName, const struct statx& sx,
                 FindEntry& e, const io::DiskTraits* known) {
    const bool link = S_ISLNK(sx.stx_mode);
    DosAttrib dos;
    const bool hasDos =
        !link && (dirFd >= 0 ? ReadDosAttribAt(dirFd, name, dos) : ReadDosAttrib(name, dos));
    EntryFromStatx(gbkName, sx, hasDos ? &dos : nullptr, link && LinkTargetIsDir(dirFd, name), e);
    if (link) return;
    const io::DiskTraits traits =
        known ? *known : TraitsAt(makedev(sx.stx_dev_major, sx.stx_dev_minor), dirFd, name);
    if (traits.attributes != io::DiskTraits::Attributes::Record)
        AddNative(traits, dirFd, name, hasDos && dos.createTime, e);
}

bool FillEntry(int dirFd, const char* name, std::string_view gbkName, FindEntry& e,
               const io::DiskTraits* known) {
    struct statx sx;
    if (statx(dirFd >= 0 ? dirFd : AT_FDCWD, name, AT_SYMLINK_NOFOLLOW, kEntryStatx, &sx) != 0)
        return false;
    FinishEntry(dirFd, name, gbkName, sx, e, known);
    return true;
}

}  // namespace ferro::entry
