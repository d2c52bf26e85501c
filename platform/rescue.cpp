#include "platform/rescue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/codec.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/user_dirs.h"

namespace ferro {
namespace {

// The first byte of a record: what the write had reached.
constexpr char kReplacing = 'R';  // a replacement; its temporary may exist
constexpr char kCopying = 'C';    // in place: the old bytes are being copied, the file is whole
constexpr char kWriting = 'W';    // in place: the file is being overwritten
constexpr char kWritten = 'D';    // in place: the new content is complete

constexpr const char* kLockSuffix = ".lock";
constexpr const char* kLockTempSuffix = ".locktmp";
constexpr const char* kRecordSuffix = ".rec";
constexpr const char* kCopySuffix = ".old";

std::atomic<bool> g_namedTemporaries{false};

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Values of a record are paths: every byte that could end or confuse a line
// is written as %XX.
std::string Escape(std::string_view value) {
    std::string out;
    for (unsigned char c : value) {
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Unescape(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 &&
            HexDigit(value[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2])));
            i += 2;
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

// The lock each running program holds on a file of its own in the rescue
// folder. A forked child makes its own, and so does a program whose state
// folder has changed.
struct Session {
    pid_t pid = 0;
    std::string folder;  // disk
    std::string id;
    int lockFd = -1;
    std::atomic<unsigned> next{0};

    ~Session() {
        if (lockFd < 0 || pid != getpid()) return;
        unlink((folder + "/" + id + kLockSuffix).c_str());
        close(lockFd);
    }
};

std::mutex g_sessionMutex;
std::unique_ptr<Session> g_session;

Session* CurrentSession() {
    std::lock_guard<std::mutex> guard(g_sessionMutex);
    const std::string gbkFolder = RescueFolder();
    std::string folder;
    if (!io::ToDisk(gbkFolder, folder)) return nullptr;
    if (g_session && g_session->pid == getpid() && g_session->folder == folder)
        return g_session.get();
    if (!MakeFolderPath(gbkFolder, 0700)) return nullptr;
    auto session = std::make_unique<Session>();
    session->pid = getpid();
    session->folder = folder;
    for (int attempt = 0; attempt < 8; ++attempt) {
        session->id = std::to_string(getpid()) + "-" + io::RandomTag();
        // Locked before it takes its name, so no recovery ever sees it free.
        const std::string temp = folder + "/" + session->id + kLockTempSuffix;
        const int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        if (flock(fd, LOCK_EX) != 0 ||
            rename(temp.c_str(), (folder + "/" + session->id + kLockSuffix).c_str()) != 0) {
            unlink(temp.c_str());
            close(fd);
            return nullptr;
        }
        session->lockFd = fd;
        g_session = std::move(session);
        return g_session.get();
    }
    return nullptr;
}

struct Record {
    char state = 0;
    std::map<std::string, std::string> values;  // the last of each key
    // Every path and temporary, in order: a group's replacements name many.
    std::vector<std::string> paths, temps;
    std::string Get(const char* key) const {
        auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    }
    long long Number(const char* key) const {
        const std::string v = Get(key);
        return v.empty() ? -1 : std::stoll(v);
    }
};

bool ReadRecord(const std::string& path, Record& record) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    close(fd);
    if (text.size() < 2 || text[1] != '\n') return false;
    record.state = text[0];
    std::size_t at = 2;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;  // cut short while it was written
        const std::string line = text.substr(at, end - at);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) {
            const std::string key = line.substr(0, eq), value = Unescape(line.substr(eq + 1));
            record.values[key] = value;
            if (key == "path") record.paths.push_back(value);
            if (key == "temp") record.temps.push_back(value);
        }
        at = end + 1;
    }
    try {
        record.Number("size");
        record.Number("ino");
        record.Number("born");
        record.Number("mtime");
        record.Number("mode");
    } catch (...) {
        return false;
    }
    return !record.Get("path").empty();
}

// When a file was made, in nanoseconds; -1 where the file system does not
// say. With the inode number it tells a file from a later one that got the
// number it freed.
long long BirthTime(int fd) {
    struct statx sx{};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME)) return -1;
    return static_cast<long long>(sx.stx_btime.tv_sec) * 1000000000LL + sx.stx_btime.tv_nsec;
}

// Puts the old bytes of an interrupted in-place rewrite back into the very
// file it was writing (the same inode, so its other links see them too).
bool PutBack(const Record& record, const std::string& copy) {
    const std::string path = record.Get("path");
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st{};
    struct stat kept{};
    const int in = open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    const off_t size = static_cast<off_t>(record.Number("size"));
    bool ok = in >= 0 && fstat(fd, &st) == 0 && fstat(in, &kept) == 0 &&
              static_cast<long long>(st.st_ino) == record.Number("ino") &&
              BirthTime(fd) == record.Number("born") && kept.st_size == size &&
              io::CopyBytes(in, fd, size) && ftruncate(fd, size) == 0 && fsync(fd) == 0;
    if (ok) {
        const long long mtime = record.Number("mtime");
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {static_cast<time_t>(mtime / 1000000000LL),
                                    static_cast<long>(mtime % 1000000000LL)}};
        futimens(fd, times);
        const mode_t mode = static_cast<mode_t>(record.Number("mode"));
        if (fstat(fd, &st) == 0 && (st.st_mode & 07777) != mode) fchmod(fd, mode);
    }
    if (in >= 0) close(in);
    close(fd);
    return ok;
}

bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view kMark = ".ferro-";
    if (name.size() < 1 + 1 + kMark.size() + 6 || name[0] != '.') return false;
    if (name.substr(name.size() - 6 - kMark.size(), kMark.size()) != kMark) return false;
    for (char c : name.substr(name.size() - 6)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// Removes hidden temporaries of safe writes from a folder: those older than
// this recovery that no running program has recorded as its own.
int SweepTemporaries(const std::string& folder, const std::set<std::string>& live,
                     const timespec& before) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st{};
        if (live.count(path) || lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const bool older = st.st_mtim.tv_sec < before.tv_sec ||
                           (st.st_mtim.tv_sec == before.tv_sec && st.st_mtim.tv_nsec < before.tv_nsec);
        if (older && unlink(path.c_str()) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

std::string SessionOf(const std::string& name) { return name.substr(0, name.find('.')); }

}  // namespace

std::string RescueFolder() { return ProgramStateFolder() + "/rescue"; }

void UseNamedTemporariesForTesting(bool named) { g_namedTemporaries = named; }
bool UsesNamedTemporaries() { return g_namedTemporaries; }

// ---------------------------------------------------------------------------
// WriteRecord

WriteRecord::~WriteRecord() {
    if (fd_ >= 0) close(fd_);
}

bool WriteRecord::Create(std::string_view body) {
    Session* session = CurrentSession();
    if (!session) return false;
    const std::string stem = session->folder + "/" + session->id + "." + std::to_string(session->next++);
    record_ = stem + kRecordSuffix;
    fd_ = open(record_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        record_.clear();
        return false;
    }
    if (!io::WriteAll(fd_, body.data(), body.size())) {
        const int error = errno;
        Finish();
        errno = error;
        return false;
    }
    rescue_ = stem + kCopySuffix;
    return true;
}

bool WriteRecord::SetState(char state) {
    return io::PWriteAll(fd_, &state, 1, 0) && fdatasync(fd_) == 0;
}

bool WriteRecord::StartReplace(const std::string& diskTarget, const std::string& diskTemp) {
    Finish();
    if (!Create(std::string(1, kReplacing) + "\npath=" + Escape(diskTarget) +
                "\ntemp=" + Escape(diskTemp) + "\n"))
        return false;
    rescue_.clear();
    return true;
}

bool WriteRecord::StartGroup() {
    Finish();
    if (!Create(std::string(1, kReplacing) + "\n")) return false;
    rescue_.clear();
    return true;
}

bool WriteRecord::AddReplace(const std::string& diskTarget, const std::string& diskTemp) {
    const std::string lines = "path=" + Escape(diskTarget) + "\ntemp=" + Escape(diskTemp) + "\n";
    return fd_ >= 0 && io::WriteAll(fd_, lines.data(), lines.size());
}

bool WriteRecord::StartInPlace(const std::string& diskTarget, int fd) {
    Finish();
    struct stat st{};
    if (fstat(fd, &st) != 0) return false;
    const long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    const std::string body = std::string(1, kCopying) + "\npath=" + Escape(diskTarget) +
                             "\nino=" + std::to_string(st.st_ino) +
                             "\nborn=" + std::to_string(BirthTime(fd)) +
                             "\nsize=" + std::to_string(st.st_size) +
                             "\nmtime=" + std::to_string(mtime) +
                             "\nmode=" + std::to_string(st.st_mode & 07777) + "\n";
    if (!Create(body)) {
        if (errno == 0) errno = EACCES;
        return false;
    }
    const int out = open(rescue_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = out >= 0 && io::CopyBytes(fd, out, st.st_size) && fsync(out) == 0;
    int error = errno;
    if (out >= 0 && close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    // The copy and the record must both be on disk before the first byte of
    // the file is overwritten.
    if (ok) ok = SetState(kWriting) && FsyncFolder(io::FolderOf(record_));
    if (!ok) {
        if (errno != 0 && error == 0) error = errno;
        Finish();
        errno = error;
        return false;
    }
    return true;
}

bool WriteRecord::MarkWritten() { return fd_ >= 0 && SetState(kWritten); }

void WriteRecord::Finish() {
    if (!rescue_.empty()) unlink(rescue_.c_str());
    if (!record_.empty()) unlink(record_.c_str());
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    record_.clear();
    rescue_.clear();
}

// ---------------------------------------------------------------------------
// Recovery

RecoveryReport RecoverInterruptedWrites() {
    RecoveryReport report;
    std::string folder;
    if (!io::ToDisk(RescueFolder(), folder)) return report;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return report;
    timespec start{};
    clock_gettime(CLOCK_REALTIME, &start);
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);

    // Whose programs are gone: a lock that can be taken.
    std::set<std::string> live;
    std::map<std::string, int> gone;  // session -> its lock, held until the end
    for (const std::string& name : names) {
        const bool lock = EndsWith(name, kLockSuffix);
        if (!lock && !EndsWith(name, kLockTempSuffix)) continue;
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat held{}, named{};
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &held) != 0 ||
            stat(path.c_str(), &named) != 0 || held.st_ino != named.st_ino) {
            live.insert(SessionOf(name));
            close(fd);
        } else if (lock) {
            gone[SessionOf(name)] = fd;
        } else {
            unlink(path.c_str());  // a program killed while it was starting
            close(fd);
        }
    }

    // What running programs are writing is theirs.
    std::set<std::string> liveTemporaries;
    for (const std::string& name : names) {
        Record record;
        if (EndsWith(name, kRecordSuffix) && live.count(SessionOf(name)) &&
            ReadRecord(folder + "/" + name, record) && record.state == kReplacing)
            liveTemporaries.insert(record.temps.begin(), record.temps.end());
    }

    std::set<std::string> folders;
    std::set<std::string> keptCopies;
    for (const std::string& name : names) {
        if (!EndsWith(name, kRecordSuffix) || live.count(SessionOf(name))) continue;
        const std::string path = folder + "/" + name;
        const std::string copy =
            folder + "/" + name.substr(0, name.size() - std::string_view(kRecordSuffix).size()) + kCopySuffix;
        Record record;
        if (!ReadRecord(path, record)) {
            // Cut short while it was made: nothing had been changed yet.
            unlink(copy.c_str());
            unlink(path.c_str());
            continue;
        }
        const std::string target = record.Get("path");
        for (const std::string& p : record.paths) folders.insert(io::FolderOf(p));
        bool done = true;
        switch (record.state) {
            case kReplacing:
                for (const std::string& temp : record.temps) {
                    struct stat st{};
                    if (!temp.empty() && lstat(temp.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                        unlink(temp.c_str()) == 0)
                        ++report.temporariesRemoved;
                }
                break;
            case kWritten: ++report.completed; break;
            case kWriting:
                // The file may hold part of each: the old bytes go back.
                if (PutBack(record, copy)) {
                    ++report.restored;
                } else {
                    done = false;
                    keptCopies.insert(copy);
                    report.unresolved.push_back(DiskToGbk(target));
                }
                break;
            default: break;  // still copying: the file was never touched
        }
        if (done) {
            unlink(copy.c_str());
            unlink(path.c_str());
        }
    }
    // Copies whose records never reached the disk.
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (EndsWith(name, kCopySuffix) && !live.count(SessionOf(name)) && !keptCopies.count(path)) {
            const std::string record = path.substr(0, path.size() - 4) + kRecordSuffix;
            struct stat st{};
            if (lstat(record.c_str(), &st) != 0) unlink(path.c_str());
        }
    }
    for (const std::string& f : folders)
        report.temporariesRemoved += SweepTemporaries(f, liveTemporaries, start);
    for (const auto& [session, fd] : gone) {
        unlink((folder + "/" + session + kLockSuffix).c_str());
        close(fd);
    }
    return report;
}

}  // namespace ferro
