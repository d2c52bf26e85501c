#include "journal/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>

#include "journal/recorder.h"
#include "journal/run_log.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/user_dirs.h"

namespace ferro {
namespace {

constexpr int kIdDigits = 8;
constexpr const char* kIndexName = "index";
constexpr const char* kIndexLockName = "index.lock";
constexpr const char* kAsideName = "aside";
constexpr std::string_view kIndexHeader = "ferrovan-journal-index 1\n";
constexpr const char* kNewFolderPrefix = ".new-";

std::string Text(const char16_t* utf16) { return Utf16ToGbk(utf16); }

bool ReadAll(const std::string& disk, std::string& text) {
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buf, static_cast<std::size_t>(n));
    close(fd);
    return n == 0;
}

// A small file of the journal's own, replaced whole in one step.
bool WriteWholeFile(const std::string& disk, std::string_view text) {
    const std::string temp = disk + ".new" + std::to_string(getpid());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    for (std::string_view rest = text; ok && !rest.empty();) {
        const ssize_t n = write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = ok && fdatasync(fd) == 0;
    if (close(fd) != 0) ok = false;
    if (!ok || rename(temp.c_str(), disk.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

bool IsRunId(const std::string& name) {
    return name.size() == kIdDigits &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> ListNames(const std::string& disk) {
    std::vector<std::string> names;
    DIR* dir = opendir(disk.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

void RemoveTree(const std::string& disk) {
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const std::string& name : ListNames(disk)) RemoveTree(disk + "/" + name);
        rmdir(disk.c_str());
    } else {
        unlink(disk.c_str());
    }
}

std::string LogOf(const std::string& diskRunFolder) { return diskRunFolder + "/log"; }

bool Exists(const std::string& disk) {
    struct stat st{};
    return lstat(disk.c_str(), &st) == 0;
}

// A folder that holds nothing at all: a run folder's number taken by a
// program that died before the folder came (see PublishRunFolder).
bool EmptyFolder(const std::string& disk) { return ListNames(disk).empty(); }

// What the journal's index keeps of a run whose record is closed (ended or
// undone), so that listing the runs reads one small file instead of every
// log. The logs stay the record: the index is rebuilt from them where it is
// missing, and a log shorter than its entry says is found damaged.
struct IndexEntry {
    JournalRun run;
    uint64_t validBytes = 0;  // where the log's records ended when it was noted
};

template <class Int>
bool ParseNumber(const std::string& text, Int& value) {
    const char* end = text.data() + text.size();
    long long v = 0;
    const int n = std::sscanf(text.c_str(), "%lld", &v);
    if (n != 1 || text.empty()) return false;
    for (const char* p = text.data(); p != end; ++p)
        if (!((*p >= '0' && *p <= '9') || (p == text.data() && *p == '-'))) return false;
    value = static_cast<Int>(v);
    return true;
}

std::map<std::string, IndexEntry> ReadIndex(const std::string& diskJournal) {
    std::map<std::string, IndexEntry> entries;
    std::string text;
    if (!ReadAll(diskJournal + "/" + kIndexName, text) ||
        text.compare(0, kIndexHeader.size(), kIndexHeader) != 0)
        return entries;
    std::vector<std::string> f;
    for (std::size_t at = kIndexHeader.size(); at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        const std::string_view line = std::string_view(text).substr(at, end - at);
        at = end + 1;
        if (!journal::SplitRecordLine(line, f) || f.size() != 10 || !IsRunId(f[0])) continue;
        IndexEntry e;
        JournalRun& r = e.run;
        r.id = f[0];
        r.ended = f[2].find('e') != std::string::npos;
        r.interrupted = f[2].find('i') != std::string::npos;
        r.undone = f[2].find('u') != std::string::npos;
        r.operation = f[3];
        r.origin = f[5];
        r.place = f[6];
        if (!ParseNumber(f[1], e.validBytes) || !ParseNumber(f[4], r.startedNs) ||
            !ParseNumber(f[7], r.files) || !ParseNumber(f[8], r.changes) ||
            !ParseNumber(f[9], r.keptBytes))
            continue;
        entries[r.id] = std::move(e);
    }
    return entries;
}

bool WriteIndex(const std::string& diskJournal, const std::map<std::string, IndexEntry>& entries) {
    std::string text(kIndexHeader);
    for (const auto& [id, e] : entries) {
        const JournalRun& r = e.run;
        std::string flags;
        if (r.ended) flags += 'e';
        if (r.interrupted) flags += 'i';
        if (r.undone) flags += 'u';
        journal::AppendRecordLine(
            text, {r.id, std::to_string(e.validBytes), flags, r.operation,
                   std::to_string(r.startedNs), r.origin, r.place, std::to_string(r.files),
                   std::to_string(r.changes), std::to_string(r.keptBytes)});
    }
    return WriteWholeFile(diskJournal + "/" + kIndexName, text);
}

// The folder of a run's files, or its first file when they are in several.
std::string PlaceOf(const journal::RunLog& log) {
    std::string folder, first;
    for (const int id : log.doneOrder) {
        const journal::Item& item = log.items[static_cast<std::size_t>(id)];
        if (item.lost || item.IsBackup() || item.kind == journal::ItemKind::MakeFolder) continue;
        const std::size_t slash = item.path.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : item.path.substr(0, slash);
        if (first.empty()) {
            first = item.path;
            folder = dir;
        } else if (dir != folder) {
            return first;
        }
    }
    return folder.empty() ? first : folder;
}

// A run as its log tells it, read whole.
JournalRun RunFromLog(const std::string& id, const std::string& folder, const journal::RunLog& log) {
    JournalRun run;
    run.id = id;
    run.operation = log.operation;
    run.startedNs = log.startedNs;
    run.origin = log.origin;
    run.place = PlaceOf(log);
    run.files = log.FileCount();
    run.changes = log.DoneCount();
    run.interrupted = log.interrupted || (!log.ended && !journal::IsLogHeld(LogOf(folder)));
    run.ended = log.ended;
    run.undone = log.undone;
    run.live = !log.ended && !run.interrupted;
    run.keptBytes = KeptBytesOf(folder);
    if (log.damaged) {
        run.damaged = true;
        run.damage = Text(u"记录中有 ") + std::to_string(log.damaged) + Text(u" 行无法读出");
    }
    return run;
}

JournalRun RunFromIndex(const IndexEntry& e) { return e.run; }

// Why a run folder's log cannot be read at all; empty when it can.
std::string LogProblem(const std::string& folder) {
    struct stat st{};
    if (lstat(LogOf(folder).c_str(), &st) != 0) return Text(u"记录文件不见了");
    if (S_ISLNK(st.st_mode)) return Text(u"记录文件被换成了链接");
    if (S_ISDIR(st.st_mode)) return Text(u"记录文件被换成了目录");
    if (!S_ISREG(st.st_mode)) return Text(u"记录文件不是普通文件");
    return {};
}

// The lock that orders the programs changing the index.
class IndexLock {
public:
    explicit IndexLock(const std::string& diskJournal) {
        fd_ = open((diskJournal + "/" + kIndexLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~IndexLock() {
        if (fd_ >= 0) close(fd_);
    }
    IndexLock(const IndexLock&) = delete;
    IndexLock& operator=(const IndexLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

uint64_t KeptBytesOf(const std::string& diskRunFolder) {
    uint64_t total = 0;
    const std::string kept = diskRunFolder + "/kept";
    for (const std::string& name : ListNames(kept)) {
        struct stat st{};
        if (lstat((kept + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += static_cast<uint64_t>(st.st_size);
    }
    return total;
}

uint64_t EstimateOldContentBytes(const std::vector<BatchFile>& files) {
    uint64_t total = 0;
    for (const BatchFile& f : files) {
        std::string disk;
        struct stat st{};
        if (GbkToDisk(f.path, disk) && stat(disk.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            total += static_cast<uint64_t>(st.st_size);
    }
    return total;
}

Journal::Journal(std::string folder, uint64_t budget) : folder_(std::move(folder)), budget_(budget) {}
Journal::~Journal() = default;

std::string Journal::DefaultFolder() { return ProgramStateFolder() + "/journal"; }

std::string Journal::DiskFolder() const {
    std::string disk;
    GbkToDisk(folder_, disk);
    return disk;
}

std::string Journal::RunFolder(const std::string& id) const { return DiskFolder() + "/" + id; }

std::vector<std::string> Journal::RunIds() const {
    std::vector<std::string> ids;
    for (std::string& name : ListNames(DiskFolder()))
        if (IsRunId(name)) ids.push_back(std::move(name));
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::unique_ptr<RunRecorder> Journal::StartRun(std::string_view operation,
                                               std::string_view origin) {
    return std::make_unique<RunRecorder>(*this, std::string(operation), std::string(origin));
}

namespace {

// One run as the index and its log tell it; nullopt for a folder that never
// became a run. whole: the log is read even where the index would do.
std::optional<JournalRun> ListRun(const std::string& id, const std::string& folder,
                                  const std::map<std::string, IndexEntry>& index, bool whole) {
    JournalRun run;
    run.id = id;
    const auto entry = index.find(id);
    const bool indexed = entry != index.end();
    const std::string problem = LogProblem(folder);
    struct stat st{};
    if (!problem.empty()) {
        if (EmptyFolder(folder)) return std::nullopt;  // a number taken, never a run
        if (indexed) run = RunFromIndex(entry->second);
        run.damaged = true;
        run.damage = problem;
        run.changes = 0;  // nothing of it can be read
        run.keptBytes = KeptBytesOf(folder);
    } else if (!whole && indexed && (entry->second.run.ended || entry->second.run.undone) &&
               lstat(LogOf(folder).c_str(), &st) == 0 &&
               static_cast<uint64_t>(st.st_size) >= entry->second.validBytes) {
        run = RunFromIndex(entry->second);
    } else {
        journal::RunLog log;
        if (!journal::ReadRunLog(LogOf(folder), log)) {
            if (indexed) run = RunFromIndex(entry->second);
            run.damaged = true;
            run.damage = Text(u"记录文件无法读出");
            run.changes = 0;
            run.keptBytes = KeptBytesOf(folder);
        } else if (indexed && log.validBytes < entry->second.validBytes) {
            // Records it had are gone: what they told is not known. What is
            // left of it is what can be undone.
            run = RunFromLog(id, folder, log);
            run.files = entry->second.run.files;
            run.damaged = true;
            run.damage = Text(u"记录文件被截短了");
        } else {
            run = RunFromLog(id, folder, log);
        }
    }
    run.setAside = Exists(folder + "/" + kAsideName);
    return run;
}

}  // namespace

std::vector<JournalRun> Journal::Runs() const {
    std::vector<JournalRun> runs;
    const std::vector<std::string> ids = RunIds();
    if (ids.empty()) return runs;
    const std::map<std::string, IndexEntry> index = ReadIndex(DiskFolder());
    for (auto it = ids.rbegin(); it != ids.rend(); ++it)
        if (std::optional<JournalRun> run = ListRun(*it, RunFolder(*it), index, false))
            runs.push_back(std::move(*run));
    return runs;
}

std::optional<JournalRun> Journal::Inspect(const std::string& id) const {
    if (!IsRunId(id) || !Exists(RunFolder(id))) return std::nullopt;
    return ListRun(id, RunFolder(id), ReadIndex(DiskFolder()), true);
}

std::optional<JournalRun> Journal::NextToUndo() const {
    for (JournalRun& run : Runs()) {
        if (run.undone || run.live || run.setAside) continue;
        if (run.damaged || run.changes > 0) return std::move(run);
    }
    return std::nullopt;
}

bool Journal::SetAside(const std::string& id) {
    if (!IsRunId(id)) return false;
    return WriteWholeFile(RunFolder(id) + "/" + kAsideName, "");
}

uint64_t Journal::KeptBytes() const {
    uint64_t total = 0;
    for (const JournalRun& run : Runs()) total += run.keptBytes;
    return total;
}

void Journal::DropRun(const std::string& id) {
    if (!IsRunId(id)) return;
    RemoveTree(RunFolder(id));
    NoteChanged(id);
}

void Journal::NoteEnded(const std::string& id, const JournalRun& run, uint64_t validBytes) {
    NoteInIndex(id, &run, validBytes);
}

void Journal::NoteChanged(const std::string& id) { NoteInIndex(id, nullptr, 0); }

void Journal::NoteInIndex(const std::string& id, const JournalRun* counted, uint64_t validBytes) {
    const std::string disk = DiskFolder();
    if (disk.empty() || !IsRunId(id)) return;
    IndexLock lock(disk);
    std::map<std::string, IndexEntry> entries = ReadIndex(disk);
    // Entries of runs that are gone go too.
    for (auto it = entries.begin(); it != entries.end();)
        it = Exists(RunFolder(it->first)) ? std::next(it) : entries.erase(it);
    const std::string folder = RunFolder(id);
    journal::RunLog log;
    if (!Exists(folder) || !LogProblem(folder).empty()) {
        entries.erase(id);
    } else if (counted) {
        IndexEntry& e = entries[id];
        e.run = *counted;
        e.run.id = id;
        e.run.keptBytes = KeptBytesOf(folder);
        e.validBytes = validBytes;
    } else if (!journal::ReadRunLog(LogOf(folder), log) || log.damaged) {
        // Nothing trustworthy to note: it is read afresh each time.
        entries.erase(id);
    } else {
        entries[id] = IndexEntry{RunFromLog(id, folder, log), log.validBytes};
    }
    WriteIndex(disk, entries);
}

std::vector<std::string> Journal::RunsToDrop(uint64_t bytes, bool& fits) const {
    std::vector<std::string> drop;
    fits = false;
    if (bytes > budget_) return drop;
    struct Held {
        std::string id;
        uint64_t bytes;
        bool droppable;
    };
    std::vector<Held> runs;
    uint64_t total = 0;
    for (const JournalRun& run : Runs()) {
        runs.push_back({run.id, run.keptBytes, Droppable(run)});
        total += run.keptBytes;
    }
    std::reverse(runs.begin(), runs.end());  // oldest first
    uint64_t freeable = 0;
    for (const Held& h : runs)
        if (h.droppable) freeable += h.bytes;
    if (total - freeable + bytes > budget_) return drop;
    fits = true;
    for (const Held& h : runs) {
        if (total + bytes <= budget_) break;
        if (!h.droppable) continue;
        drop.push_back(h.id);
        total -= h.bytes;
    }
    return drop;
}

bool Journal::HasRoomFor(uint64_t bytes) const {
    bool fits = false;
    RunsToDrop(bytes, fits);
    return fits;
}

bool Journal::MakeRoom(uint64_t bytes) {
    bool fits = false;
    for (const std::string& id : RunsToDrop(bytes, fits)) DropRun(id);
    return fits;
}

void Journal::KeepToBudget(const std::string& keep) {
    std::vector<JournalRun> runs = Runs();
    uint64_t total = 0;
    for (const JournalRun& run : runs) total += run.keptBytes;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {  // oldest first
        if (total <= budget_) break;
        if (it->id == keep || !Droppable(*it)) continue;
        total -= std::min(total, it->keptBytes);
        DropRun(it->id);
    }
}

bool Journal::Droppable(const JournalRun& run) const {
    // A run still being recorded, or cut short and not yet looked at, holds
    // what is needed to mend its files; a damaged one waits for the user,
    // unless it was set aside or is older than every run kept after it.
    if (run.live) return false;
    if (run.damaged) return run.setAside;
    return run.ended || run.undone;
}

bool Journal::NewRunFolder(std::string& tempFolder) {
    const std::string disk = DiskFolder();
    if (disk.empty() || !MakeFolderPath(folder_, 0700)) return false;
    // Folders of programs that died while making one.
    for (const std::string& name : ListNames(disk)) {
        if (name.compare(0, 5, kNewFolderPrefix) != 0) continue;
        struct stat st{};
        if (lstat((disk + "/" + name).c_str(), &st) == 0 && st.st_mtime + 3600 < time(nullptr))
            RemoveTree(disk + "/" + name);
    }
    // The oldest runs go so that ten remain with the new one.
    std::vector<JournalRun> runs = Runs();
    int count = static_cast<int>(runs.size());
    for (auto it = runs.rbegin(); it != runs.rend() && count >= kRunsKept; ++it) {
        if (!Droppable(*it)) continue;
        DropRun(it->id);
        --count;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%d-%d", kNewFolderPrefix, static_cast<int>(getpid()),
                      attempt);
        const std::string folder = disk + "/" + name;
        if (mkdir(folder.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (mkdir((folder + "/kept").c_str(), 0700) != 0) {
            RemoveTree(folder);
            return false;
        }
        tempFolder = folder;
        return true;
    }
    return false;
}

bool Journal::PublishRunFolder(const std::string& tempFolder, std::string& id,
                               std::string& diskFolder) {
    const std::string disk = DiskFolder();
    const std::vector<std::string> ids = RunIds();
    long long next = ids.empty() ? 1 : std::stoll(ids.back()) + 1;
    for (int attempt = 0; attempt < 100; ++attempt, ++next) {
        char name[16];
        std::snprintf(name, sizeof name, "%0*lld", kIdDigits, next % 100000000LL);
        const std::string folder = disk + "/" + name;
        // The number is taken with an empty folder, which the new one then
        // replaces in one step (an empty folder is never a run).
        if (mkdir(folder.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (rename(tempFolder.c_str(), folder.c_str()) != 0) {
            rmdir(folder.c_str());
            return false;
        }
        FsyncFolder(disk);
        id = name;
        diskFolder = folder;
        return true;
    }
    return false;
}

}  // namespace ferro
