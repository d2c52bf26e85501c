#include "journal/file_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

#include "platform/codec.h"
#include "platform/dosattrib.h"
#include "platform/fs.h"

namespace ferro::journal {
namespace {

bool Fail(FsProblem problem) {
    SetLastFsProblem(problem);
    return false;
}

bool FailErrno() { return Fail(FsProblemFromErrno(errno)); }

int64_t Nanoseconds(const timespec& t) {
    return static_cast<int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

timespec Timespec(int64_t ns) {
    int64_t s = ns / 1000000000LL, rest = ns % 1000000000LL;
    if (rest < 0) {
        --s;
        rest += 1000000000LL;
    }
    return timespec{static_cast<time_t>(s), static_cast<long>(rest)};
}

// The attributes of a disk that keeps them itself (FAT, NTFS) are noted in
// place of the record, marked so that undo puts them back the same way.
constexpr std::string_view kDiskRecordMark = "disk:";

bool ReadDos(const std::string& disk, FileState& state) {
    std::string native;
    if (ReadDiskAttributeRecord(DiskToGbk(disk), native)) {
        state.hasDos = true;
        state.dos = std::string(kDiskRecordMark) + native;
        return true;
    }
    char buf[512];
    const ssize_t n = lgetxattr(disk.c_str(), kDosAttribName, buf, sizeof buf);
    if (n >= 0) {
        state.hasDos = true;
        state.dos.assign(buf, static_cast<std::size_t>(n));
        return true;
    }
    state.hasDos = false;
    state.dos.clear();
    return errno == ENODATA || errno == ENOTSUP || errno == EOPNOTSUPP;
}

template <class Int>
bool ParseInt(std::string_view text, Int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool FileState::IsFolder() const { return S_ISDIR(mode); }
bool FileState::IsReadOnly() const { return !(mode & S_IWUSR); }

bool ReadFileState(std::string_view path, FileState& state, bool withDos) {
    std::string disk;
    if (!GbkToDisk(path, disk) || disk.empty()) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    state.device = st.st_dev;
    state.inode = st.st_ino;
    state.size = st.st_size;
    state.modifiedNs = Nanoseconds(st.st_mtim);
    state.accessedNs = Nanoseconds(st.st_atim);
    state.mode = st.st_mode;
    state.changedNs = Nanoseconds(st.st_ctim);
    state.hasHash = false;
    state.hash = 0;
    state.hasDos = false;
    state.dos.clear();
    if (withDos && !S_ISLNK(st.st_mode) && !ReadDos(disk, state)) return FailErrno();
    return true;
}

bool SameFingerprint(const FileState& a, const FileState& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

bool HashFileContent(std::string_view path, uint64_t& hash) {
    std::string disk;
    if (!GbkToDisk(path, disk) || disk.empty()) return Fail(FsProblem::Missing);
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return FailErrno();
    XXH3_state_t* state = XXH3_createState();
    bool ok = state && XXH3_64bits_reset(state) == XXH_OK;
    static thread_local char buf[1 << 16];
    while (ok) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        XXH3_64bits_update(state, buf, static_cast<std::size_t>(n));
    }
    if (ok) hash = XXH3_64bits_digest(state);
    if (state) XXH3_freeState(state);
    close(fd);
    return ok || Fail(FsProblem::Io);
}

bool LeftAsRecorded(std::string_view path, const FileState& now, const FileState& after) {
    if (!SameFingerprint(now, after)) return false;
    if (after.changedNs == 0 || now.changedNs == after.changedNs) return true;
    uint64_t hash = 0;
    return after.hasHash && HashFileContent(path, hash) && hash == after.hash;
}

bool SameFingerprintAndAttributes(const FileState& a, const FileState& b) {
    return SameFingerprint(a, b) && (a.mode & 07777) == (b.mode & 07777) &&
           a.hasDos == b.hasDos && a.dos == b.dos;
}

bool RestoreMetadata(std::string_view path, const FileState& old) {
    std::string disk;
    if (!GbkToDisk(path, disk) || disk.empty()) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISLNK(st.st_mode)) return Fail(FsProblem::NotAFile);
    // The owner may change the DOS record of a file only while it can be
    // written: a read-only file gets its old mode first.
    const mode_t oldMode = old.mode & 07777;
    if (!(st.st_mode & S_IWUSR) && chmod(disk.c_str(), oldMode | S_IWUSR) != 0) return FailErrno();
    if (old.hasDos && std::string_view(old.dos).substr(0, kDiskRecordMark.size()) == kDiskRecordMark) {
        if (!WriteDiskAttributeRecord(path, std::string_view(old.dos).substr(kDiskRecordMark.size())))
            return false;
    } else if (old.hasDos) {
        if (lsetxattr(disk.c_str(), kDosAttribName, old.dos.data(), old.dos.size(), 0) != 0)
            return FailErrno();
    } else if (lremovexattr(disk.c_str(), kDosAttribName) != 0 && errno != ENODATA &&
               errno != ENOTSUP && errno != EOPNOTSUPP) {
        return FailErrno();
    }
    // (A disk without modes of its own refuses the call: FAT.)
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if ((st.st_mode & 07777) != oldMode && chmod(disk.c_str(), oldMode) != 0) return FailErrno();
    const timespec times[2] = {Timespec(old.accessedNs), Timespec(old.modifiedNs)};
    if (utimensat(AT_FDCWD, disk.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
    return true;
}

bool SetModifiedTime(std::string_view path, int64_t modifiedNs) {
    std::string disk;
    if (!GbkToDisk(path, disk) || disk.empty()) return Fail(FsProblem::Missing);
    const timespec times[2] = {{0, UTIME_OMIT}, Timespec(modifiedNs)};
    return utimensat(AT_FDCWD, disk.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 || FailErrno();
}

std::string EncodeState(const FileState& s) {
    std::string out;
    out.reserve(100 + 2 * s.dos.size());
    auto number = [&out](auto value, int base = 10) {
        char text[24];  // 64 bits in decimal, or octal mode bits
        out.append(text, std::to_chars(text, text + sizeof text, value, base).ptr);
        out += ' ';
    };
    number(s.device);
    number(s.inode);
    number(s.size);
    number(s.modifiedNs);
    number(s.accessedNs);
    number(s.mode, 8);
    if (!s.hasDos) {
        out += '-';
    } else {
        static const char kHex[] = "0123456789abcdef";
        for (unsigned char c : s.dos) {
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (s.changedNs != 0 || s.hasHash) {
        out += ' ';
        number(s.changedNs);
        out.pop_back();
        if (s.hasHash) {
            out += ' ';
            number(s.hash, 16);
            out.pop_back();
        }
    }
    return out;
}

bool DecodeState(std::string_view text, FileState& s) {
    std::string_view parts[9];
    int count = 0;
    for (bool more = true; more;) {
        if (count == 9) return false;  // a field too many
        const std::size_t space = text.find(' ');
        parts[count++] = text.substr(0, space);
        more = space != std::string_view::npos;
        if (more) text.remove_prefix(space + 1);
    }
    if (count < 7) return false;
    s.changedNs = 0;
    s.hasHash = false;
    s.hash = 0;
    if (count >= 8) {
        long long changed = 0;
        if (!ParseInt(parts[7], changed)) return false;
        s.changedNs = changed;
    }
    if (count == 9) {
        const auto [end, ec] =
            std::from_chars(parts[8].data(), parts[8].data() + parts[8].size(), s.hash, 16);
        if (ec != std::errc() || end != parts[8].data() + parts[8].size()) return false;
        s.hasHash = true;
    }
    unsigned long long device = 0, inode = 0;
    long long size = 0, modified = 0, accessed = 0;
    unsigned mode = 0;
    if (!ParseInt(parts[0], device) || !ParseInt(parts[1], inode) || !ParseInt(parts[2], size) ||
        !ParseInt(parts[3], modified) || !ParseInt(parts[4], accessed))
        return false;
    const auto [end, ec] =
        std::from_chars(parts[5].data(), parts[5].data() + parts[5].size(), mode, 8);
    if (ec != std::errc() || end != parts[5].data() + parts[5].size()) return false;
    s.device = device;
    s.inode = inode;
    s.size = size;
    s.modifiedNs = modified;
    s.accessedNs = accessed;
    s.mode = mode;
    s.dos.clear();
    s.hasDos = parts[6] != "-";
    if (!s.hasDos) return true;
    if (parts[6].size() % 2) return false;
    auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    for (std::size_t i = 0; i < parts[6].size(); i += 2) {
        const int hi = nibble(parts[6][i]), lo = nibble(parts[6][i + 1]);
        if (hi < 0 || lo < 0) return false;
        s.dos.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

}  // namespace ferro::journal
