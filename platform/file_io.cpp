#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/collate.h"
#include "platform/pump.h"
#include "platform/sys_calls.h"

namespace ferro::io {

bool ToDisk(std::string_view gbk, std::string& disk) {
    if (gbk.empty() || gbk.find('\0') != std::string_view::npos) return false;
    return GbkToDisk(gbk, disk);
}

std::string FolderOf(const std::string& disk) {
    const std::size_t p = disk.rfind('/');
    if (p == std::string::npos) return ".";
    if (p == 0) return "/";
    return disk.substr(0, p);
}

std::string NameOf(const std::string& disk) {
    const std::size_t p = disk.rfind('/');
    return p == std::string::npos ? disk : disk.substr(p + 1);
}

bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool PWriteAll(int fd, const char* p, std::size_t n, off_t at) {
    while (n > 0) {
        const ssize_t w = pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        at += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

void Writeback::Wrote(off_t end) {
    constexpr off_t kStep = 8 << 20;
    if (end - started_ < kStep) return;
    // Only starts the writing; a failure shows at the flush.
    sync_file_range(fd_, started_, end - started_, SYNC_FILE_RANGE_WRITE);
    started_ = end;
}

// ---------------------------------------------------------------------------
// Renames that never replace

namespace {

// The no-replace flag is not there: an old kernel, or a file system that
// does not take it (FAT and exFAT through FUSE, NFS, some FUSE drivers).
bool FlagRefused(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// Hard links are not there (FAT, exFAT, many FUSE drivers and shares), or
// not for this file.
bool LinkRefused(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOTSUP || error == ENOSYS ||
           error == EMLINK || error == EINVAL;
}

// Holds a lock on a folder: every rename this program makes after checking
// that the target is free takes it, so two of its processes (the window and
// a command line, or two windows) never both see one name free. The lock is
// on the folder itself rather than on a lock file, so nothing is left on a
// user's disk; where the folder cannot be locked (an NFS export that
// refuses locks on folders) the rename goes on without it.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : fd_(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) close(fd_);  // closing lets the lock go
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

enum class Step { Any, Plain };

bool Move(const std::string& from, const std::string& to, Step step);

// A name a case-insensitive disk takes as the file's own: the rename goes
// through a temporary name (derived from the target, so that a kill between
// the two steps can be mended: see CaseRenameTemporary).
bool MoveCaseOnly(const std::string& from, const std::string& to) {
    const std::string temp = CaseRenameTemporary(to);
    if (!Move(from, temp, Step::Plain)) return false;
    if (Move(temp, to, Step::Plain)) return true;
    const int error = errno;
    Move(temp, from, Step::Plain);
    errno = error;
    return false;
}

// The target name is taken: by another file (EEXIST), or, on a
// case-insensitive disk, by the file itself under another case.
bool Taken(const std::string& from, const std::string& to, Step step) {
    if (step == Step::Any && SameEntry(from, to)) return MoveCaseOnly(from, to);
    errno = EEXIST;
    return false;
}

// The last way: a plain rename once the target is seen to be free, under
// the folder's lock. Between the check and the rename there is a window of
// a few microseconds in which a program that does not take the lock could
// create a file of the target's name, which the rename would then replace;
// no call closes that window on a file system that has neither the
// no-replace flag nor hard links.
bool RenameIfFree(const std::string& from, const std::string& to, Step step) {
    {
        FolderLock lock(FolderOf(to));
        struct stat st{};
        if (lstat(to.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            return sys::Table().rename(from.c_str(), to.c_str()) == 0;
        }
    }
    // Looked into without the lock: a rename that changes case takes it
    // again for each of its steps.
    return Taken(from, to, step);
}

bool Move(const std::string& from, const std::string& to, Step step) {
    const sys::Calls& call = sys::Table();
    if (call.renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EEXIST) return Taken(from, to, step);
    if (!FlagRefused(errno)) return false;
    struct stat st{};
    if (lstat(from.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        // A hard link fails when the target exists, so nothing is replaced.
        if (call.link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0) return true;
            const int error = errno;
            unlink(to.c_str());
            errno = error;
            return false;
        }
        if (errno == EEXIST) return Taken(from, to, step);
        if (!LinkRefused(errno)) return false;
    }
    return RenameIfFree(from, to, step);
}

}  // namespace

bool MoveNoReplace(const std::string& from, const std::string& to) {
    return Move(from, to, Step::Any);
}

std::string CaseRenameTemporary(const std::string& to) {
    std::string name = NameOf(to);
    // Room for the marks within the 255 bytes of a name; a cut never splits
    // a UTF-8 character.
    constexpr std::size_t kRoom = 255 - 12;
    if (name.size() > kRoom) {
        std::size_t cut = kRoom;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    const std::size_t slash = to.rfind('/');
    return (slash == std::string::npos ? std::string() : to.substr(0, slash + 1)) + "." + name +
           kCaseRenameMark;
}

// Whether two names of one folder are the one entry a case-insensitive disk
// sees under both: they differ in case alone, and either they lead to one
// inode that has no other link, or (FUSE drivers number a file anew for
// each name it is looked up by) the folder holds no entry spelled as the
// second name and the two look alike.
bool SameEntry(const std::string& a, const std::string& b) {
    if (a == b || FolderOf(a) != FolderOf(b)) return false;
    const std::string nameA = NameOf(a), nameB = NameOf(b);
    std::u16string keyA, keyB;
    AppendFileNameKey(DiskToGbk(nameA), keyA);
    AppendFileNameKey(DiskToGbk(nameB), keyB);
    if (keyA != keyB) return false;
    struct stat sa{}, sb{};
    if (lstat(a.c_str(), &sa) != 0 || lstat(b.c_str(), &sb) != 0 || sa.st_dev != sb.st_dev)
        return false;
    if (sa.st_ino == sb.st_ino) return sa.st_nlink == 1 || S_ISDIR(sa.st_mode);
    if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT) || sa.st_size != sb.st_size ||
        sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
        return false;
    DIR* dir = opendir(FolderOf(a).c_str());
    if (!dir) return false;
    bool listed = false;
    while (const dirent* d = readdir(dir))
        if (nameB == d->d_name) {
            listed = true;
            break;
        }
    closedir(dir);
    return !listed;
}

constexpr off_t kCopyPiece = 8 << 20;

bool CopyBytes(int in, int out, off_t size) {
    off_t done = 0;
    bool kernelCopy = true;
    std::vector<char> buf;
    Writeback writeback(out);
    while (done < size) {
        ssize_t n;
        if (kernelCopy) {
            off_t from = done, to = done;
            // In pieces, so that window messages are processed on the way.
            const std::size_t want =
                static_cast<std::size_t>(std::min<off_t>(size - done, kCopyPiece));
            n = copy_file_range(in, &from, out, &to, want, 0);
            if (n < 0 && errno != EINTR && errno != ENOSPC && errno != EDQUOT && errno != EIO &&
                errno != EFBIG) {
                kernelCopy = false;  // not between these files: plain reads
                continue;
            }
        } else {
            if (buf.empty()) buf.resize(1 << 20);
            const std::size_t want = static_cast<std::size_t>(
                std::min<off_t>(size - done, static_cast<off_t>(buf.size())));
            n = pread(in, buf.data(), want, done);
            if (n > 0 && !PWriteAll(out, buf.data(), static_cast<std::size_t>(n), done)) return false;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;  // the file shrank while it was copied
            return false;
        }
        done += n;
        writeback.Wrote(done);
        ProcessPendingMessagesTimed();
    }
    char more;
    ssize_t extra;
    do extra = pread(in, &more, 1, size);
    while (extra < 0 && errno == EINTR);
    if (extra != 0) {
        if (extra > 0) errno = EIO;  // the file grew while it was copied
        return false;
    }
    return true;
}

std::string RandomTag() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator;
    thread_local pid_t seededFor = 0;
    if (seededFor != getpid()) {  // a forked child must not repeat its parent's names
        seededFor = getpid();
        generator.seed(std::random_device{}());
    }
    std::string tag;
    for (int i = 0; i < 6; ++i) tag.push_back(kLetters[generator() % (sizeof kLetters - 1)]);
    return tag;
}

}  // namespace ferro::io

namespace ferro {

bool FsyncFolder(const std::string& diskFolder) {
    const int fd =
        open(diskFolder.empty() ? "." : diskFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const int rc = fsync(fd);
    close(fd);
    return rc == 0;
}

}  // namespace ferro
