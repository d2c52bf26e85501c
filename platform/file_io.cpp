#include "platform/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <vector>

#include "platform/codec.h"
#include "platform/pump.h"

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

bool FsyncFolder(const std::string& disk) {
    const int fd = open(disk.empty() ? "." : disk.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const int rc = fsync(fd);
    close(fd);
    return rc == 0;
}

void Writeback::Wrote(off_t end) {
    constexpr off_t kStep = 8 << 20;
    if (end - started_ < kStep) return;
    // Only starts the writing; a failure shows at the flush.
    sync_file_range(fd_, started_, end - started_, SYNC_FILE_RANGE_WRITE);
    started_ = end;
}

bool MoveNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A hard link fails when the target exists, so nothing is replaced.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) == 0) return true;
    const int error = errno;
    unlink(to.c_str());
    errno = error;
    return false;
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
