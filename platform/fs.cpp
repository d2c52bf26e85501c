// The calls on one path: its entry, attributes and times, renames and
// deletion, whole reads, and why the last call failed.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/codec.h"
#include "platform/collate.h"
#include "platform/disk.h"
#include "platform/dosattrib.h"
#include "platform/fs_entry.h"
#include "platform/file_io.h"
#include "platform/memory.h"
#include "platform/native_attrib.h"
#include "platform/pump.h"

namespace ferro {

namespace {
thread_local FsProblem t_lastProblem = FsProblem::None;
}  // namespace

using namespace entry;
using io::ToDisk;

// ---------------------------------------------------------------------------
// Why a call failed

FsProblem LastFsProblem() { return t_lastProblem; }
void SetLastFsProblem(FsProblem problem) { t_lastProblem = problem; }

FsProblem FsProblemFromErrno(int error) {
    switch (error) {
        case 0: return FsProblem::Io;
        case ENOENT:
        case ENOTDIR: return FsProblem::Missing;
        case EEXIST:
        case ENOTEMPTY: return FsProblem::Exists;
        case EROFS: return FsProblem::ReadOnly;
        case EACCES:
        case EPERM: return FsProblem::NoAccess;
        case EISDIR:
        case ELOOP:
        case ENXIO:
        case ENODEV: return FsProblem::NotAFile;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
        case ENAMETOOLONG: return FsProblem::NoSpace;
        default: return FsProblem::Io;
    }
}

// ---------------------------------------------------------------------------
// Single paths

bool StatPath(std::string_view path, FindEntry& entry) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    return FillEntry(-1, disk.c_str(), ExtractFileName(path), entry) || FailErrno();
}

bool FileExists(std::string_view path) {
    std::string disk;
    struct stat st{};
    return ToDisk(path, disk) && stat(disk.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    std::string disk;
    struct stat st{};
    return ToDisk(path, disk) && lstat(disk.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool NameTaken(std::string_view path) {
    std::string disk;
    struct stat st{};
    return ToDisk(path, disk) && lstat(disk.c_str(), &st) == 0;
}

uint32_t GetFileAttributes(std::string_view path) {
    FindEntry e;
    if (!StatPath(path, e)) return attr::Invalid;
    return e.attributes;
}

bool SetFileAttributes(std::string_view path, uint32_t attributes) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISLNK(st.st_mode) || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)))
        return Fail(FsProblem::NotAFile);
    if ((attributes & ~attr::Settable) != 0) return Fail(FsProblem::Io);
    if (attributes & attr::Normal) attributes &= ~attr::Normal;
    const io::DiskTraits traits = io::TraitsOf(st.st_dev, disk);
    if (traits.attributes != io::DiskTraits::Attributes::Record)
        return io::WriteNativeAttributes(traits, disk, attributes) || FailErrno();

    DosAttrib dos;
    bool hasDos = ReadDosAttrib(disk.c_str(), dos);
    uint32_t stored = attributes & kStoredBits;
    uint32_t plain = S_ISDIR(st.st_mode) ? 0 : attr::Archive;
    DosAttrib next = dos;
    next.attributes = stored | (attributes & attr::ReadOnly) | (S_ISDIR(st.st_mode) ? attr::Directory : 0);
    if (!WriteDosAttrib(disk, next)) {
        // Without extended attributes only the plain set is possible.
        if (errno != ENOTSUP && errno != EOPNOTSUPP) return FailErrno();
        if (stored != plain || (hasDos && dos.createTime)) return Fail(FsProblem::Io);
    }
    mode_t mode = st.st_mode & 07777;
    mode_t want = (attributes & attr::ReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    if (want != mode) {
        // A disk without modes of its own may take the call and change
        // nothing (exFAT through FUSE): read-only is then not set at all.
        struct stat now{};
        int error = 0;
        if (chmod(disk.c_str(), want) != 0) error = errno;
        else if (lstat(disk.c_str(), &now) != 0 || (now.st_mode & 07777) != want) error = ENOTSUP;
        if (error != 0) {
            if (hasDos) WriteDosAttrib(disk, dos);
            else lremovexattr(disk.c_str(), kDosAttribName);
            return Fail(error == ENOTSUP ? FsProblem::Io : FsProblemFromErrno(error));
        }
    }
    return true;
}

bool GetFileTimes(std::string_view path, FileTimes& times) {
    FindEntry e;
    if (!StatPath(path, e)) return false;
    times.creation = e.creationTime;
    times.lastAccess = e.lastAccessTime;
    times.lastWrite = e.lastWriteTime;
    return true;
}

bool SetFileTimes(std::string_view path, std::optional<FileTime> creation,
                  std::optional<FileTime> lastAccess, std::optional<FileTime> lastWrite) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISLNK(st.st_mode) || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)))
        return Fail(FsProblem::NotAFile);
    // A read-only file cannot be opened for writing, so its times stay.
    if (S_ISREG(st.st_mode) && io::IsReadOnlyFile(st, disk)) return Fail(FsProblem::ReadOnly);

    DosAttrib old;
    bool hadDos = ReadDosAttrib(disk.c_str(), old);
    const io::DiskTraits traits = io::TraitsOf(st.st_dev, disk);
    std::optional<FileTime> nativeCreated;  // the disk's own, to put back
    if (creation && traits.attributes == io::DiskTraits::Attributes::NtfsXattr) {
        io::NativeDos native;
        if (io::ReadNativeDos(traits, -1, disk.c_str(), native)) nativeCreated = native.created;
        if (!nativeCreated || !io::WriteNativeCreated(traits, disk, *creation)) return FailErrno();
        creation.reset();
    }
    if (creation) {
        DosAttrib next = old;
        if (!hadDos) {
            FindEntry e;
            if (!FillEntry(-1, disk.c_str(), ExtractFileName(path), e)) return FailErrno();
            next.attributes = (e.attributes & (kStoredBits | attr::ReadOnly)) |
                              (S_ISDIR(st.st_mode) ? attr::Directory : 0);
            if (S_ISREG(st.st_mode) && (next.attributes & kStoredBits) == 0 &&
                !(e.attributes & attr::Hidden))
                next.attributes |= attr::Archive;
        }
        next.createTime = *creation;
        if (!WriteDosAttrib(disk, next)) return FailErrno();
    }
    if (lastAccess || lastWrite) {
        timespec ts[2];
        ts[0] = lastAccess ? ToTimespec(*lastAccess) : timespec{0, UTIME_OMIT};
        ts[1] = lastWrite ? ToTimespec(*lastWrite) : timespec{0, UTIME_OMIT};
        if (utimensat(AT_FDCWD, disk.c_str(), ts, AT_SYMLINK_NOFOLLOW) != 0) {
            FailErrno();
            if (nativeCreated) io::WriteNativeCreated(traits, disk, *nativeCreated);
            if (creation) {
                if (hadDos) WriteDosAttrib(disk, old);
                else lremovexattr(disk.c_str(), kDosAttribName);
            }
            return false;
        }
    }
    return true;
}

namespace {

// Why a rename failed: a disk of Windows refuses a name it cannot hold with
// EPERM (FAT through FUSE), EINVAL or ENOENT (exFAT through FUSE, for a
// source that is there all the same); a name too long for a disk is
// refused as well.
FsProblem RenameProblem(int error, const std::string& from, const std::string& to) {
    if (error == ENAMETOOLONG) return FsProblem::NameRefused;
    if (error == EPERM || error == EINVAL || error == ENOENT) {
        struct stat st{}, folder{};
        if (lstat(from.c_str(), &st) == 0 && io::TraitsOf(st.st_dev, from).windowsNames &&
            (error != ENOENT ||
             (stat(io::FolderOf(to).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))))
            return FsProblem::NameRefused;
    }
    return FsProblemFromErrno(error);
}

}  // namespace

bool MoveFile(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToDisk(from, a) || !ToDisk(to, b)) return Fail(FsProblem::Missing);
    // Asked first, also for names outside ASCII: the FUSE driver of FAT
    // that takes ASCII names alone loses the file it is asked to rename to
    // any other.
    const std::string name = ExtractFileName(to);
    if (io::NameNeedsDiskCheck(name, true) &&
        !io::DiskTakesName(io::TraitsOfPath(io::FolderOf(b)), name))
        return Fail(FsProblem::NameRefused);
    if (io::MoveNoReplace(a, b)) return true;
    return Fail(RenameProblem(errno, a, b));
}

bool NameAllowedOnDisk(std::string_view folder, std::string_view name) {
    if (!io::NameNeedsDiskCheck(name, true)) return true;
    std::string disk;
    if (!ToDisk(folder, disk)) return true;  // not for the disk to say
    return io::DiskTakesName(io::TraitsOfPath(disk), name);
}

bool IsSameEntry(std::string_view path, std::string_view target) {
    std::string a, b;
    return ToDisk(path, a) && ToDisk(target, b) && io::SameEntry(a, b);
}

bool PutBackCaseRename(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToDisk(from, a) || !ToDisk(to, b)) return false;
    const std::string temp = io::CaseRenameTemporary(b);
    struct stat st{};
    if (lstat(temp.c_str(), &st) != 0) return false;
    // Whether a name is there is asked of the listing, in any case: a FUSE
    // driver of a case-insensitive disk leaves the kernel a name it was
    // looked up by for a moment after the file has gone from it.
    std::u16string keyA, keyB, key;
    AppendFileNameKey(ExtractFileName(from), keyA);
    AppendFileNameKey(ExtractFileName(to), keyB);
    DIR* dir = opendir(io::FolderOf(a).c_str());
    if (!dir) return false;
    bool taken = false;
    while (const dirent* d = readdir(dir)) {
        key.clear();
        AppendFileNameKey(DiskToGbk(d->d_name), key);
        if (key == keyA || key == keyB) taken = true;
    }
    closedir(dir);
    return !taken && io::MoveNoReplace(temp, a);
}

bool DeleteFile(std::string_view path) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISDIR(st.st_mode)) return Fail(FsProblem::NotAFile);
    if (S_ISREG(st.st_mode) && io::IsReadOnlyFile(st, disk)) return Fail(FsProblem::ReadOnly);
    return unlink(disk.c_str()) == 0 || FailErrno();
}

bool ReadFileBytes(std::string_view path, std::string& data) {
    data.clear();
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FailErrno();
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(FsProblem::NotAFile);
    }
    // One buffer of the file's size, filled in pieces so that window
    // messages are processed on the way; a file that grew meanwhile is read
    // to its end all the same.
    const auto size = static_cast<std::size_t>(st.st_size);
    ReserveLarge(data, size);
    constexpr std::size_t kPiece = 8 << 20;
    std::size_t got = 0;
    bool ok = true;
    while (true) {
        char more[4096];
        const bool atSize = got >= size;
        if (!atSize) data.resize(got + std::min(kPiece, size - got));
        char* into = atSize ? more : data.data() + got;
        const std::size_t want = atSize ? sizeof more : data.size() - got;
        ssize_t n = read(fd, into, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = FailErrno();
        if (n <= 0) break;
        if (atSize) data.append(more, static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
        ProcessPendingMessagesTimed();
    }
    close(fd);
    data.resize(got);
    if (!ok) data.clear();
    return ok;
}

bool ReadFilePieces(std::string_view path, const std::function<void(std::uint64_t size)>& begin,
                    const std::function<bool(std::string_view piece)>& take) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FailErrno();
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(FsProblem::NotAFile);
    }
    // Closed however the reading ends: take may throw.
    const std::unique_ptr<const int, void (*)(const int*)> closer(
        &fd, [](const int* f) { close(*f); });
    begin(static_cast<std::uint64_t>(st.st_size));
    // A megabyte stays in the processor's cache between the read and the
    // conversion that follows it.
    constexpr std::size_t kPiece = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    bool ok = true;
    while (true) {
        const ssize_t n = read(fd, buffer.get(), kPiece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = FailErrno();
        if (n <= 0) break;
        if (!take(std::string_view(buffer.get(), static_cast<std::size_t>(n)))) break;
        ProcessPendingMessagesTimed();
    }
    return ok;
}

bool ReadDiskAttributeRecord(std::string_view path, std::string& record) {
    std::string disk;
    return ToDisk(path, disk) && io::ReadNativeRecord(disk, record);
}

bool WriteDiskAttributeRecord(std::string_view path, std::string_view record) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    return io::WriteNativeRecord(disk, record) || FailErrno();
}

bool SupportsExtendedAttributes(std::string_view path) {
    std::string disk;
    if (!ToDisk(path, disk)) return false;
    char c;
    if (lgetxattr(disk.c_str(), kDosAttribName, &c, 0) >= 0) return true;
    return errno != ENOTSUP && errno != EOPNOTSUPP;
}

}  // namespace ferro
