// Writing and copying files so that they are never half-written and keep
// every property: see WriteFileSafely and CopyFile in fs.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/dosattrib.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/native_attrib.h"
#include "platform/pump.h"
#include "platform/rescue.h"
#include "platform/new_file.h"
#include "platform/sys_calls.h"

namespace ferro {
namespace {

bool Fail(FsProblem problem) {
    SetLastFsProblem(problem);
    return false;
}
bool FailErrno(int error) { return Fail(FsProblemFromErrno(error)); }

}  // namespace

namespace io {

// ---------------------------------------------------------------------------
// Properties

namespace {

bool IsAccessAcl(std::string_view name) { return name == "system.posix_acl_access"; }

// Attributes whose loss would lose something the user set: their own and
// the ACL. security.* and trusted.* need privileges the user may lack, and
// are carried where they can be.
bool MustKeep(std::string_view name) {
    return name.substr(0, 5) == "user." || name.substr(0, 17) == "system.posix_acl_";
}

// The disk has no such call for its files: FAT refuses the mode and owner
// calls (ENOSYS through FUSE, EPERM from the kernel's driver), a disk
// without extended attributes refuses those (EOPNOTSUPP).
bool DiskLacks(int error) {
    return error == ENOSYS || error == EPERM || error == EOPNOTSUPP || error == ENOTSUP;
}

}  // namespace

// Every extended attribute of a file (following a link), ACLs included.
std::vector<Xattr> ReadXattrs(const std::string& disk) {
    std::vector<Xattr> result;
    std::vector<char> names;
    for (;;) {
        const ssize_t n = listxattr(disk.c_str(), nullptr, 0);
        if (n <= 0) return result;
        names.resize(static_cast<std::size_t>(n));
        const ssize_t got = listxattr(disk.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) return result;
    }
    for (std::size_t i = 0; i < names.size();) {
        const std::string name = names.data() + i;
        i += name.size() + 1;
        std::string value;
        for (;;) {
            const ssize_t len = getxattr(disk.c_str(), name.c_str(), nullptr, 0);
            if (len < 0) break;
            value.resize(static_cast<std::size_t>(len));
            const ssize_t got = getxattr(disk.c_str(), name.c_str(), value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                result.push_back({name, value});
                break;
            }
            if (errno != ERANGE) break;
        }
    }
    return result;
}

// Gives fd the attributes; an ACL it inherited from its folder's default ACL
// goes when the original had none. False (errno set) when one the user set
// could not be given: a disk without extended attributes is no reason to
// lose those the original had. An original that had none has nothing to
// lose there.
bool GiveXattrs(int fd, const std::vector<Xattr>& xattrs) {
    bool hasAcl = false;
    for (const Xattr& x : xattrs) {
        hasAcl |= IsAccessAcl(x.name);
        if (sys::Table().fsetxattr(fd, x.name.c_str(), x.value.data(), x.value.size(), 0) != 0 &&
            MustKeep(x.name))
            return false;
    }
    if (!hasAcl && fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA &&
        !DiskLacks(errno))
        return false;
    return true;
}

// Gives fd the mode. Where the disk has no mode bits of its own (it gives
// every file the mount's), the call may be refused: that is no failure as
// long as the file has the mode wanted, which is the original's.
bool GiveMode(int fd, mode_t mode) {
    if (sys::Table().fchmod(fd, mode) == 0) return true;
    const int error = errno;
    struct stat st{};
    if (DiskLacks(error) && fstat(fd, &st) == 0 && (st.st_mode & 07777) == mode) return true;
    errno = error;
    return false;
}

// Keeps the created time the list shows across a replacement of the file:
// the new file has a new birth time, so the old one goes into its record.
void KeepCreatedTime(const std::string& original, int toFd) {
    DosAttrib dos;
    char buf[256];
    const ssize_t n = getxattr(original.c_str(), kDosAttribName, buf, sizeof buf);
    const bool has = n > 0 && DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), dos);
    if (has && dos.createTime) return;  // copied with the other attributes
    struct statx sx{};
    if (statx(AT_FDCWD, original.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return;
    if (!has) dos.attributes = attr::Archive;
    const auto& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
    dos.createTime = static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
    const std::string blob = EncodeDosAttrib(dos);
    sys::Table().fsetxattr(toFd, kDosAttribName, blob.data(), blob.size(), 0);
}

// A copy is a new file: its DOS record keeps the attributes but not the
// created time.
void DropCreatedTime(int fd) {
    char buf[256];
    const ssize_t n = fgetxattr(fd, kDosAttribName, buf, sizeof buf);
    DosAttrib dos;
    if (n <= 0 || !DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), dos) ||
        !dos.createTime)
        return;
    dos.createTime.reset();
    const std::string blob = EncodeDosAttrib(dos);
    sys::Table().fsetxattr(fd, kDosAttribName, blob.data(), blob.size(), 0);
}

// Whether the new file has, or could be given, the original's owner and
// group. Changing them clears the setuid and setgid bits, so the mode is
// set afterwards.
bool KeepsOwner(int fd, const struct stat& original) {
    struct stat st{};
    if (fstat(fd, &st) != 0) return false;
    if (st.st_uid == original.st_uid && st.st_gid == original.st_gid) return true;
    return sys::Table().fchown(fd, original.st_uid, original.st_gid) == 0;
}

// A sticky folder lets only the owners of the file or the folder replace it.
bool StickyFolderRefuses(const std::string& disk, const struct stat& file) {
    struct stat folder{};
    const uid_t me = geteuid();
    return me != 0 && file.st_uid != me && stat(io::FolderOf(disk).c_str(), &folder) == 0 &&
           (folder.st_mode & S_ISVTX) && folder.st_uid != me;
}

// ---------------------------------------------------------------------------
// A new file that takes a name only when it is complete

std::string HiddenNameFor(const std::string& target) {
    std::string base = io::NameOf(target);
    if (base.size() > 200) base.resize(200);
    const std::string folder = io::FolderOf(target);
    return (folder == "." && target.find('/') == std::string::npos ? std::string() : folder + "/") +
           "." + base + ".ferro-" + io::RandomTag();
}

bool NewFile::Open(const std::string& target, mode_t mode, WriteRecord& record) {
    if (!UsesNamedTemporaries()) {
        fd_ = open(FolderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (fd_ >= 0) return true;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_ = HiddenNameFor(target);
        record.StartReplace(target, temp_);
        fd_ = open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            named_ = true;
            return true;
        }
        const int error = errno;
        record.Finish();
        errno = error;
        if (error != EEXIST) break;
    }
    temp_.clear();
    return false;
}

bool NewFile::OpenUnnamed(const std::string& target, mode_t mode) {
    if (UsesNamedTemporaries()) {
        errno = EOPNOTSUPP;
        return false;
    }
    fd_ = open(FolderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    return fd_ >= 0;
}

bool NewFile::Publish(const std::string& target, bool replace, WriteRecord& record) {
    if (!named_) {
        if (!replace) return LinkAs(target);
        // No call links an unnamed file over an existing one: it takes a
        // hidden name for the moment before the rename.
        for (int attempt = 0; !named_; ++attempt) {
            temp_ = HiddenNameFor(target);
            record.StartReplace(target, temp_);
            if (LinkAs(temp_)) {
                named_ = true;
            } else if (errno != EEXIST || attempt == 15) {
                const int error = errno;
                record.Finish();
                temp_.clear();
                errno = error;
                return false;
            }
        }
    }
    const bool moved =
        replace ? rename(temp_.c_str(), target.c_str()) == 0 : MoveNoReplace(temp_, target);
    if (moved) named_ = false;
    return moved;
}

void NewFile::Abandon() {
    if (fd_ >= 0) close(fd_);
    if (named_) unlink(temp_.c_str());
    fd_ = -1;
    named_ = false;
}

bool NewFile::LinkAs(const std::string& name) const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    if (errno != ENOENT) return false;
    // Without /proc: only privileged processes may link by descriptor.
    return linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

bool SequentialWriter::operator()(std::string_view piece) {
    if (!PWriteAll(fd_, piece.data(), piece.size(), at_)) return false;
    at_ += static_cast<off_t>(piece.size());
    writeback_.Wrote(at_);
    return true;
}

}  // namespace io

namespace {

using io::NewFile;
using io::SequentialWriter;
using namespace io;

// Writing to a file makes the kernel drop its setuid and setgid bits and
// file capabilities; the owner puts them back.
struct DroppedByWrites {
    mode_t mode = 0;
    std::string capability;
    bool hasCapability = false;

    explicit DroppedByWrites(int fd) {
        struct stat st{};
        if (fstat(fd, &st) == 0) mode = st.st_mode & 07777;
        char buf[256];
        const ssize_t n = fgetxattr(fd, "security.capability", buf, sizeof buf);
        if (n > 0) {
            capability.assign(buf, static_cast<std::size_t>(n));
            hasCapability = true;
        }
    }
    void PutBack(int fd) const {
        struct stat st{};
        if (fstat(fd, &st) == 0 && (st.st_mode & 07777) != mode) fchmod(fd, mode);
        if (hasCapability)
            fsetxattr(fd, "security.capability", capability.data(), capability.size(), 0);
    }
};

// ---------------------------------------------------------------------------
// The three ways a file is written

// A new file that failed: it goes, with its record.
bool Drop(NewFile& file, WriteRecord& record, int error) {
    file.Abandon();
    record.Finish();
    return FailErrno(error);
}

// Flushes a file to disk. A large one takes a while: the window goes on
// meanwhile.
bool Flush(int fd) {
    return WhileProcessingMessages([fd] { return fsync(fd) == 0; });
}

// Gives the complete, flushed new file its name and flushes the folder. A
// replaced large file takes a while to free: the window goes on meanwhile.
bool Complete(NewFile& file, WriteRecord& record, const std::string& target, bool replace) {
    const bool published = WhileProcessingMessages([&] {
        if (!file.Publish(target, replace, record)) return false;
        FsyncFolder(io::FolderOf(target));
        return true;
    });
    if (!published) return Drop(file, record, errno);
    record.Finish();
    return true;
}

// The writer a producer is given: the pieces go to the file, and the
// keeper hears of each.
ChunkWriter Noted(SequentialWriter& writer, OldContentKeeper* keeper) {
    if (!keeper) return [&writer](std::string_view piece) { return writer(piece); };
    return [&writer, keeper](std::string_view piece) {
        if (!writer(piece)) return false;
        keeper->Wrote(piece);
        return true;
    };
}

bool WriteNewFile(const std::string& disk, const PlacedProducer& produce, OldContentKeeper* keeper) {
    NewFile file;
    WriteRecord record;
    if (!file.Open(disk, 0666, record)) return FailErrno(errno);
    SequentialWriter writer(file.fd());
    const ChunkWriter write = Noted(writer, keeper);
    errno = 0;
    if (!produce(write, false) || !Flush(file.fd())) return Drop(file, record, errno);
    return Complete(file, record, disk, false);
}

bool ReplaceFile(const std::string& disk, const struct stat& st, NewFile& file, WriteRecord& record,
                 const PlacedProducer& produce, OldContentKeeper* keeper) {
    SequentialWriter writer(file.fd());
    const ChunkWriter write = Noted(writer, keeper);
    errno = 0;
    bool ok = produce(write, false);
    if (ok) {
        // Owner and group are the original's already (KeepsOwner); the mode
        // comes last, after everything that could clear its special bits.
        ok = GiveXattrs(file.fd(), ReadXattrs(disk));
        if (ok) {
            KeepCreatedTime(disk, file.fd());
            ok = GiveMode(file.fd(), st.st_mode & 07777) && Flush(file.fd());
        }
    }
    if (!ok) return Drop(file, record, errno);
    if (keeper) {
        SetLastFsProblem(FsProblem::Io);
        if (!keeper->Keep(DiskToGbk(disk), false)) {
            const FsProblem why = LastFsProblem();
            Drop(file, record, 0);
            return Fail(why);
        }
    }
    return Complete(file, record, disk, true);
}

// Puts old bytes kept at copy back into fd.
bool PutBack(int fd, const std::string& copy, const struct stat& old) {
    const int in = open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const bool ok = io::CopyBytes(in, fd, old.st_size) && ftruncate(fd, old.st_size) == 0 &&
                    fsync(fd) == 0;
    close(in);
    if (ok) {
        const timespec times[2] = {{0, UTIME_OMIT}, old.st_mtim};
        futimens(fd, times);
    }
    return ok;
}

bool RewriteInPlace(const std::string& disk, const PlacedProducer& produce,
                    OldContentKeeper* keeper) {
    const int fd = open(disk.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return FailErrno(errno);
    struct stat old{};
    if (fstat(fd, &old) != 0 || !S_ISREG(old.st_mode)) {
        close(fd);
        return Fail(FsProblem::NotAFile);
    }
    const DroppedByWrites bits(fd);

    // The old bytes are kept durably before the first one is overwritten.
    std::string copy;  // disk path
    WriteRecord record;
    if (keeper) {
        SetLastFsProblem(FsProblem::Io);
        const std::string gbk = DiskToGbk(disk);
        if (!keeper->Keep(gbk, true)) {
            close(fd);
            return false;
        }
        struct stat kept{};
        const std::string given = keeper->KeptCopy(gbk);
        if (!given.empty() && io::ToDisk(given, copy) &&
            (stat(copy.c_str(), &kept) != 0 || kept.st_size != old.st_size))
            copy.clear();  // not a copy of these bytes
    }
    if (copy.empty()) {
        if (!record.StartInPlace(disk, fd)) {
            const int error = errno;
            close(fd);
            return FailErrno(error);
        }
        copy = record.RescueCopy();
    }

    SequentialWriter writer(fd);
    const ChunkWriter write = Noted(writer, keeper);
    errno = 0;
    const bool ok = produce(write, true) && ftruncate(fd, writer.size()) == 0 && Flush(fd);
    const int error = errno;
    if (ok) {
        bits.PutBack(fd);
        record.MarkWritten();
        record.Finish();
    } else if (PutBack(fd, copy, old)) {
        bits.PutBack(fd);
        record.Finish();
    }
    // Old bytes that could not be put back stay in the rescue folder, and
    // the next start puts them back.
    close(fd);
    return ok || FailErrno(error);
}

// Copies in over an existing target the user may write but not replace.
bool CopyInPlace(int in, const struct stat& st, const std::string& target) {
    const int out = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (out < 0) return FailErrno(errno);
    bool ok = io::CopyBytes(in, out, st.st_size) && ftruncate(out, st.st_size) == 0;
    if (ok) {
        const timespec times[2] = {{0, UTIME_NOW}, st.st_mtim};
        futimens(out, times);
        ok = Flush(out);
    }
    const int error = errno;
    close(out);
    return ok || FailErrno(error);
}

}  // namespace

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
    std::string a, b;
    if (!io::ToDisk(from, a) || !io::ToDisk(to, b)) return Fail(FsProblem::Missing);
    const int in = open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return FailErrno(errno);
    struct stat st{};
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(in);
        return Fail(FsProblem::NotAFile);
    }
    struct stat tt{};
    const bool exists = lstat(b.c_str(), &tt) == 0;
    if (exists) {
        const FsProblem refusal = failIfExists              ? FsProblem::Exists
                                  : S_ISDIR(tt.st_mode)     ? FsProblem::NotAFile
                                  : io::IsReadOnlyFile(tt, b) ? FsProblem::ReadOnly
                                                            : FsProblem::None;
        if (refusal != FsProblem::None) {
            close(in);
            return Fail(refusal);
        }
    }
    NewFile out;
    WriteRecord record;
    bool opened = out.Open(b, 0600, record);
    const int openError = errno;
    if (!opened || (exists && S_ISREG(tt.st_mode) && StickyFolderRefuses(b, tt))) {
        out.Abandon();
        record.Finish();
        const bool inPlace = exists && S_ISREG(tt.st_mode) &&
                             (opened || openError == EACCES || openError == EPERM);
        const bool ok = inPlace ? CopyInPlace(in, st, b) : FailErrno(openError);
        close(in);
        return ok;
    }
    bool ok = io::CopyBytes(in, out.fd(), st.st_size);
    if (ok) {
        // Owner and group where allowed (only root gives a file away), then
        // the attributes, the mode last.
        if (sys::Table().fchown(out.fd(), st.st_uid, st.st_gid) != 0)
            sys::Table().fchown(out.fd(), static_cast<uid_t>(-1), st.st_gid);
        ok = GiveXattrs(out.fd(), ReadXattrs(a));
    }
    if (ok) {
        DropCreatedTime(out.fd());
        const timespec times[2] = {{0, UTIME_NOW}, st.st_mtim};
        ok = GiveMode(out.fd(), st.st_mode & 07777) && futimens(out.fd(), times) == 0 &&
             Flush(out.fd());
    }
    const int error = errno;
    close(in);
    if (!ok) return Drop(out, record, error);
    return Complete(out, record, b, exists && !failIfExists);
}

bool WriteFileSafely(std::string_view path, std::string_view data, OldContentKeeper* keeper) {
    return WriteFileSafely(
        path, [data](const ChunkWriter& write) { return write(data); }, keeper);
}

bool WriteFileSafely(std::string_view path, const std::function<bool(const ChunkWriter&)>& produce,
                     OldContentKeeper* keeper) {
    return WriteFileSafely(
        path, PlacedProducer([&](const ChunkWriter& write, bool) { return produce(write); }),
        keeper);
}

bool WriteFileSafely(std::string_view path, const PlacedProducer& produce,
                     OldContentKeeper* keeper) {
    std::string disk;
    if (!io::ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    bool exists = lstat(disk.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return FailErrno(errno);
    if (exists && S_ISLNK(st.st_mode)) {
        // Write where the link points, keeping the link.
        char real[PATH_MAX];
        if (!realpath(disk.c_str(), real)) return FailErrno(errno);
        disk = real;
        exists = lstat(disk.c_str(), &st) == 0;
    }
    if (!exists) return WriteNewFile(disk, produce, keeper);
    if (!S_ISREG(st.st_mode)) return Fail(FsProblem::NotAFile);
    if (io::IsReadOnlyFile(st, disk)) return Fail(FsProblem::ReadOnly);

    // A new file takes the old one's place where it can keep its owner and
    // the folder lets it; otherwise, and for files with other links that
    // must see the new content too, the file is written where it stands.
    bool inPlace = st.st_nlink > 1;
    NewFile file;
    WriteRecord record;
    if (!inPlace) {
        if (!file.Open(disk, 0600, record)) {
            if (errno != EACCES && errno != EPERM) return FailErrno(errno);
            inPlace = true;
        } else if (!KeepsOwner(file.fd(), st) || StickyFolderRefuses(disk, st)) {
            file.Abandon();
            record.Finish();
            inPlace = true;
        }
    }
    if (inPlace) return RewriteInPlace(disk, produce, keeper);
    return ReplaceFile(disk, st, file, record, produce, keeper);
}

}  // namespace ferro
