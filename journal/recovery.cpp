#include "journal/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
        case ItemKind::MakeFolder:
            // The run makes only folders that are not there: one there now is its own.
            if (ReadFileState(item.path, now, true) && now.IsFolder())
                return DoneRecord(id, item.path, now);
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
    for (std::size_t id = 0; id < log.items.size(); ++id) {
        const Item& item = log.items[id];
        if (item.lost) needed.insert(std::to_string(id));  // what it was is not known
        else if (item.kind == ItemKind::Content && item.state != Item::State::Withdrawn)
            needed.insert(item.kept);
    }
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
        // A change whose record is lost cannot be told apart from the files.
        if (item.state != Item::State::Intended || item.lost) continue;
        const std::string record =
            Decide(static_cast<int>(id), item, diskRunFolder + "/kept/" + item.kept, report);
        if (record.empty()) unresolved = true;
        records += record;
    }
    if (!unresolved && !log.ended) records += EndRecord(true);
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
        if (!journal::OpenRunLog(folder + "/log", writer, log) || log.ended) continue;
        journal::MendRun(folder, log, writer, report);
        writer.Close();
        journal.NoteChanged(run.id);
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

namespace {

std::string Text(const char16_t* utf16) { return Utf16ToGbk(utf16); }

// The journal's lock: held by a program while it mends what others left.
class JournalLock {
public:
    explicit JournalLock(const Journal& journal) {
        std::string disk;
        if (!GbkToDisk(journal.folder(), disk) || disk.empty()) return;
        fd_ = open((disk + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~JournalLock() {
        if (fd_ >= 0) close(fd_);
    }
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;

private:
    int fd_ = -1;
};

void AppendPaths(std::string& text, const std::vector<std::string>& paths) {
    for (const std::string& p : paths) text += "  " + p + "\n";
}

}  // namespace

StartRecovery RecoverAtStart(Journal* journal) {
    StartRecovery found;
    std::optional<JournalLock> lock;
    if (journal) lock.emplace(*journal);
    found.writes = RecoverInterruptedWrites();
    if (!journal) return found;
    found.runs = RecoverInterruptedRuns(*journal);
    if (std::optional<JournalRun> next = journal->NextToUndo(); next && next->damaged)
        found.damaged = std::move(next);
    return found;
}

std::string DamagedRunText(const JournalRun& run) {
    std::string text = Text(u"最近一次处理的撤销记录已损坏：") + run.damage;
    if (!run.operation.empty()) text += Text(u"（“") + run.operation + Text(u"”）");
    return text;
}

std::string StartRecoveryText(const StartRecovery& found) {
    std::string text;
    const int restored = found.writes.restored + found.runs.restored;
    if (restored > 0)
        text += Text(u"上次处理被中断：已将 ") + std::to_string(restored) +
                Text(u" 个文件恢复为处理前的内容\n");
    if (found.writes.temporariesRemoved > 0)
        text += Text(u"已删除上次处理留下的 ") + std::to_string(found.writes.temporariesRemoved) +
                Text(u" 个临时文件\n");
    std::vector<std::string> unresolved = found.writes.unresolved;
    unresolved.insert(unresolved.end(), found.runs.unresolved.begin(), found.runs.unresolved.end());
    if (!unresolved.empty()) {
        text += Text(u"以下文件的原内容暂时无法恢复，原内容仍保留着，下次启动时将再次尝试：\n");
        AppendPaths(text, unresolved);
    }
    for (const JournalRun& run : found.runs.interrupted)
        text += Text(u"上次的“") + run.operation + Text(u"”没有正常结束，已完成的 ") +
                std::to_string(run.files) + Text(u" 个文件可以撤销\n");
    if (found.damaged) text += DamagedRunText(*found.damaged) + "\n";
    return text;
}

}  // namespace ferro
