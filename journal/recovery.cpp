#include "journal/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "journal/run_log.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {
namespace journal {
namespace {

std::string Disk(const std::string& gbk) {
    std::string disk;
    GbkToDisk(gbk, disk);
    return disk;
}

timespec Timespec(int64_t ns) {
    return timespec{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
}

// Puts old bytes back into the very file that was being overwritten (the
// same inode, so its other links see them too), with its modified time and
// mode.
bool PutBackInPlace(const std::string& keptDisk, const std::string& targetDisk,
                    const FileState& before) {
    const int fd = open(targetDisk.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const int in = open(keptDisk.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st{};
    struct stat kept{};
    bool ok = in >= 0 && fstat(fd, &st) == 0 && fstat(in, &kept) == 0 && st.st_ino == before.inode &&
              st.st_dev == before.device && kept.st_size == before.size;
    off_t at = 0;
    static thread_local char buf[1 << 16];
    while (ok) {
        const ssize_t n = pread(in, buf, sizeof buf, at);
        if (n < 0) {
            ok = errno == EINTR;
            continue;
        }
        if (n == 0) break;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = pwrite(fd, buf + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0) ok = errno == EINTR;
            else done += w;
        }
        at += n;
    }
    ok = ok && at == before.size && ftruncate(fd, before.size) == 0 && fsync(fd) == 0;
    if (ok) {
        const timespec times[2] = {{0, UTIME_OMIT}, Timespec(before.modifiedNs)};
        futimens(fd, times);
        if (fstat(fd, &st) == 0 && (st.st_mode & 07777) != (before.mode & 07777))
            fchmod(fd, before.mode & 07777);
    }
    if (in >= 0) close(in);
    close(fd);
    return ok;
}

// A file that is gone gets its kept old content back under its name.
bool PutBackMissing(const std::string& keptDisk, const std::string& targetDisk) {
    if (link(keptDisk.c_str(), targetDisk.c_str()) == 0) return true;
    return false;
}

// Decides one change that was intended and not recorded as made or not.
// Returns the record saying which; empty when the file could not be mended.
std::string Decide(int id, Item& item, const std::string& keptDisk, JournalRecovery& report) {
    FileState now;
    switch (item.kind) {
        case ItemKind::Rename:
            if (ReadFileState(item.to, now, false) && now.inode == item.before.inode &&
                now.device == item.before.device)
                return DoneRecord(id, item.to, item.before);
            // A rename that changes case alone, cut short between its two
            // steps, left the file under a temporary name: it gets its old
            // name back.
            PutBackCaseRename(item.path, item.to);
            return WithdrawnRecord(id);
        case ItemKind::Times:
        case ItemKind::Attributes:
            if (!ReadFileState(item.path, now, true)) return WithdrawnRecord(id);
            if (SameFingerprintAndAttributes(now, item.before) &&
                (item.kind != ItemKind::Times || now.accessedNs == item.before.accessedNs))
                return WithdrawnRecord(id);
            return DoneRecord(id, item.path, now);
        case ItemKind::Create:
            if (ReadFileState(item.path, now, true)) return DoneRecord(id, item.path, now);
            return WithdrawnRecord(id);
        case ItemKind::Trash:
            // Still there, or somewhere in the trash where only the file
            // manager will find it.
            return WithdrawnRecord(id);
        case ItemKind::Content: {
            const std::string target = Disk(item.path);
            if (!ReadFileState(item.path, now, true)) {
                if (!PutBackMissing(keptDisk, target)) break;
                ++report.restored;
                return WithdrawnRecord(id);
            }
            const bool same = now.inode == item.before.inode && now.device == item.before.device;
            if (item.byCopy) {
                // The copy either took the file's place (whole), or was
                // copied in over it (perhaps part-way), or never began.
                if (!same) return DoneRecord(id, item.path, now);
                if (SameFingerprint(now, item.before)) {
                    unlink(keptDisk.c_str());
                    return WithdrawnRecord(id);
                }
                if (!PutBackInPlace(keptDisk, target, item.before)) break;
                ++report.restored;
                unlink(keptDisk.c_str());
                return WithdrawnRecord(id);
            }
            if (!item.inPlace) {
                // Replaced or not: the old file is either the one at its name
                // or the one kept.
                if (same) {
                    unlink(keptDisk.c_str());
                    return WithdrawnRecord(id);
                }
                return DoneRecord(id, item.path, now);
            }
            // Overwritten where it stands: old, new or part of each. The old
            // content goes back.
            if (!same || !PutBackInPlace(keptDisk, target, item.before)) break;
            ++report.restored;
            unlink(keptDisk.c_str());
            return WithdrawnRecord(id);
        }
    }
    report.unresolved.push_back(item.path);
    return {};
}

// Removes kept contents no record needs: copies cut short by the kill, and
// those of changes that were not made.
void DropUnneededKept(const std::string& diskRunFolder, const RunLog& log) {
    std::set<std::string> needed;
    for (const Item& item : log.items)
        if (item.kind == ItemKind::Content && item.state != Item::State::Withdrawn)
            needed.insert(item.kept);
    const std::string kept = diskRunFolder + "/kept";
    DIR* dir = opendir(kept.c_str());
    if (!dir) return;
    std::vector<std::string> drop;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && !needed.count(name)) drop.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : drop) unlink((kept + "/" + name).c_str());
}

}  // namespace

void MendRun(const std::string& diskRunFolder, RunLog& log, LogWriter& writer,
             JournalRecovery& report) {
    std::string records;
    bool unresolved = false;
    for (std::size_t id = 0; id < log.items.size(); ++id) {
        Item& item = log.items[id];
        if (item.state != Item::State::Intended) continue;
        const std::string record =
            Decide(static_cast<int>(id), item, diskRunFolder + "/kept/" + item.kept, report);
        if (record.empty()) unresolved = true;
        records += record;
    }
    if (!unresolved) records += EndRecord(true);
    writer.Append(records);
    writer.Sync();
    const std::string logPath = diskRunFolder + "/log";
    ReadRunLog(logPath, log);
    DropUnneededKept(diskRunFolder, log);
}

}  // namespace journal

JournalRecovery RecoverInterruptedRuns(Journal& journal) {
    JournalRecovery report;
    for (const JournalRun& run : journal.Runs()) {
        if (!run.interrupted || run.live) continue;
        const std::string folder = journal.RunFolder(run.id);
        journal::LogWriter writer;
        journal::RunLog log;
        // Mended at an earlier start, or taken up meanwhile by another program.
        if (!writer.Open(folder + "/log") || !journal::ReadRunLog(folder + "/log", log) ||
            log.ended)
            continue;
        journal::MendRun(folder, log, writer, report);
        writer.Close();
        if (log.DoneCount() == 0 && log.ended) {
            journal.DropRun(run.id);
            continue;
        }
        JournalRun found = run;
        found.files = log.DoneCount();
        report.interrupted.push_back(std::move(found));
    }
    return report;
}

}  // namespace ferro
