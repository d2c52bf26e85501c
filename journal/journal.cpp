#include "journal/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "journal/recorder.h"
#include "journal/run_log.h"
#include "platform/codec.h"
#include "platform/user_dirs.h"

namespace ferro {
namespace {

constexpr int kIdDigits = 8;

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

// Whether a run may go to make room: it ended and nobody holds it. A run
// still being recorded, or cut short and not yet looked at, holds what is
// needed to mend its files. A folder without a readable log is a run that
// never got going, unless it is new (its log may be on its way).
bool Droppable(const std::string& diskRunFolder) {
    journal::RunLog log;
    if (journal::ReadRunLog(LogOf(diskRunFolder), log))
        return log.ended && !journal::IsLogHeld(LogOf(diskRunFolder));
    struct stat st{};
    return lstat(diskRunFolder.c_str(), &st) == 0 && st.st_mtime + 3600 < time(nullptr);
}

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

std::unique_ptr<RunRecorder> Journal::StartRun(std::string_view operation) {
    return std::make_unique<RunRecorder>(*this, std::string(operation));
}

std::vector<JournalRun> Journal::Runs() const {
    std::vector<JournalRun> runs;
    std::vector<std::string> ids = RunIds();
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        const std::string folder = RunFolder(*it);
        journal::RunLog log;
        if (!journal::ReadRunLog(LogOf(folder), log)) continue;
        JournalRun run;
        run.id = *it;
        run.operation = log.operation;
        run.startedNs = log.startedNs;
        run.files = log.DoneCount();
        run.interrupted = log.interrupted || (!log.ended && !journal::IsLogHeld(LogOf(folder)));
        run.undone = log.undone;
        run.live = !log.ended && !run.interrupted;
        run.keptBytes = KeptBytesOf(folder);
        runs.push_back(std::move(run));
    }
    return runs;
}

std::optional<JournalRun> Journal::NextToUndo() const {
    for (JournalRun& run : Runs())
        if (!run.undone && !run.live && run.files > 0) return std::move(run);
    return std::nullopt;
}

uint64_t Journal::KeptBytes() const {
    uint64_t total = 0;
    for (const std::string& id : RunIds()) total += KeptBytesOf(RunFolder(id));
    return total;
}

void Journal::DropRun(const std::string& id) {
    if (IsRunId(id)) RemoveTree(RunFolder(id));
}

bool Journal::MakeRoom(uint64_t bytes) {
    if (bytes > budget_) return false;
    struct Held {
        std::string id;
        uint64_t bytes;
        bool droppable;
    };
    std::vector<Held> runs;
    uint64_t total = 0;
    for (const std::string& id : RunIds()) {
        const std::string folder = RunFolder(id);
        const uint64_t kept = KeptBytesOf(folder);
        runs.push_back({id, kept, Droppable(folder)});
        total += kept;
    }
    uint64_t freeable = 0;
    for (const Held& h : runs)
        if (h.droppable) freeable += h.bytes;
    if (total - freeable + bytes > budget_) return false;
    for (const Held& h : runs) {
        if (total + bytes <= budget_) break;
        if (!h.droppable) continue;
        DropRun(h.id);
        total -= h.bytes;
    }
    return true;
}

void Journal::KeepToBudget(const std::string& keep) {
    uint64_t total = KeptBytes();
    for (const std::string& id : RunIds()) {
        if (total <= budget_) break;
        const std::string folder = RunFolder(id);
        if (id == keep || !Droppable(folder)) continue;
        total -= std::min(total, KeptBytesOf(folder));
        DropRun(id);
    }
}

bool Journal::NewRunFolder(std::string& id, std::string& diskFolder) {
    const std::string disk = DiskFolder();
    if (disk.empty() || !MakeFolderPath(folder_, 0700)) return false;
    std::vector<std::string> ids = RunIds();

    // The oldest runs go so that ten remain with the new one.
    int count = static_cast<int>(ids.size());
    for (const std::string& old : ids) {
        if (count < kRunsKept) break;
        if (!Droppable(RunFolder(old))) continue;
        DropRun(old);
        --count;
    }

    long long next = ids.empty() ? 1 : std::stoll(ids.back()) + 1;
    for (int attempt = 0; attempt < 100; ++attempt, ++next) {
        char name[16];
        std::snprintf(name, sizeof name, "%0*lld", kIdDigits, next % 100000000LL);
        const std::string folder = disk + "/" + name;
        if (mkdir(folder.c_str(), 0700) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (mkdir((folder + "/kept").c_str(), 0700) != 0) {
            RemoveTree(folder);
            return false;
        }
        id = name;
        diskFolder = folder;
        return true;
    }
    return false;
}

}  // namespace ferro
