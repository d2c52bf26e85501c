#include "journal/undo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "journal/journal.h"
#include "journal/recovery.h"
#include "journal/run_log.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/trash.h"

namespace ferro {
namespace {

using journal::FileState;
using journal::Item;
using journal::ItemKind;

std::string Text(const char16_t* utf16) { return Utf16ToGbk(utf16); }

Undone NameTaken(const std::string& path, std::string& detail) {
    detail = Text(u"原名称已被其他文件占用：") + path;
    return Undone::NameExists;
}

// Whether a file is the very one a record names.
bool SameFile(const FileState& a, const FileState& b) {
    return a.device == b.device && a.inode == b.inode;
}

// Whether two files hold the same bytes (disk paths); false when either
// cannot be read.
bool SameBytes(const std::string& a, const std::string& b) {
    const int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    const int fb = fa < 0 ? -1 : open(b.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat sa{}, sb{};
    bool same = fb >= 0 && fstat(fa, &sa) == 0 && fstat(fb, &sb) == 0 && S_ISREG(sa.st_mode) &&
                S_ISREG(sb.st_mode) && sa.st_size == sb.st_size;
    static thread_local char bufA[1 << 16], bufB[1 << 16];
    for (off_t at = 0; same && at < sa.st_size;) {
        const ssize_t n = pread(fa, bufA, sizeof bufA, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            same = false;
            break;
        }
        for (ssize_t got = 0; same && got < n;) {
            const ssize_t m = pread(fb, bufB + got, static_cast<std::size_t>(n - got), at + got);
            if (m < 0 && errno == EINTR) continue;
            if (m <= 0) same = false;
            else got += m;
        }
        same = same && std::memcmp(bufA, bufB, static_cast<std::size_t>(n)) == 0;
        at += n;
    }
    if (fa >= 0) close(fa);
    if (fb >= 0) close(fb);
    return same;
}

std::string Disk(const std::string& gbk) {
    std::string disk;
    GbkToDisk(gbk, disk);
    return disk;
}

// A folder's size and modified time follow its entries, which other runs
// and their undos change: it is known by its identity and attributes.
bool LeftAsRunLeftIt(const Item& item, const FileState& now) {
    if (now.IsFolder())
        return SameFile(now, item.after) && (now.mode & 07777) == (item.after.mode & 07777) &&
               now.hasDos == item.after.hasDos && now.dos == item.after.dos;
    return journal::SameFingerprintAndAttributes(now, item.after);
}

Undone UndoRename(const Item& item, std::string& detail) {
    FileState now;
    if (!journal::ReadFileState(item.now, now, false)) {
        FileState back;
        if (journal::ReadFileState(item.path, back, false) && SameFile(back, item.after))
            return Undone::None;  // put back by an undo cut short
        const FsProblem why = LastFsProblem();
        // An undo that changes case alone, cut short between its two steps.
        if (PutBackCaseRename(item.path, item.path)) return Undone::None;
        return UndoneFromFs(why, Undone::Missing);
    }
    if (!journal::SameFingerprint(now, item.after)) return Undone::ChangedSince;
    if (now.IsReadOnly() && !item.after.IsReadOnly()) return Undone::ReadOnly;
    if (MoveFile(item.now, item.path)) return Undone::None;
    const FsProblem why = LastFsProblem();
    if (why == FsProblem::Exists) return NameTaken(item.path, detail);
    return UndoneFromFs(why, Undone::CannotWrite);
}

Undone UndoMetadata(const Item& item) {
    FileState now;
    if (!journal::ReadFileState(item.now, now, true))
        return UndoneFromFs(LastFsProblem(), Undone::Missing);
    if (!LeftAsRunLeftIt(item, now)) {
        if (journal::SameFingerprintAndAttributes(now, item.before)) return Undone::None;
        if (now.IsReadOnly() && !item.after.IsReadOnly()) return Undone::ReadOnly;
        return Undone::ChangedSince;
    }
    if (!journal::RestoreMetadata(item.now, item.before))
        return UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
    return Undone::None;
}

// One run's undo: its log, open and locked, and what was put back so far.
class Undoer {
public:
    Undoer(std::string folder, journal::RunLog& log, journal::LogWriter& writer)
        : folder_(std::move(folder)), log_(log), writer_(writer) {
        for (const Item& item : log_.items)
            if (item.kind == ItemKind::Content && !item.IsBackup() && item.undone)
                putBack_.insert(item.path);
    }

    Undone Undo(int id, std::string& detail) {
        const Item& item = log_.items[static_cast<std::size_t>(id)];
        if (item.lost) return Undone::RecordDamaged;
        if (item.IsBackup()) {
            if (!BackupMayGo(item)) {
                detail = Text(u"原文件未能恢复，备份中保存着它处理前的内容");
                return Undone::BackupKept;
            }
            if (item.kind == ItemKind::Content) return UndoContent(id, item, detail);
            return UndoCreate(item);
        }
        switch (item.kind) {
            case ItemKind::Rename: return UndoRename(item, detail);
            case ItemKind::Times:
            case ItemKind::Attributes: return UndoMetadata(item);
            case ItemKind::Content: {
                const Undone why = UndoContent(id, item, detail);
                if (why == Undone::None) putBack_.insert(item.path);
                return why;
            }
            case ItemKind::Create: return UndoCreate(item);
            case ItemKind::Trash: return UndoTrash(item, detail);
            case ItemKind::MakeFolder: return UndoMakeFolder(item);
        }
        return Undone::CannotWrite;
    }

private:
    std::string Kept(const Item& item) const { return folder_ + "/kept/" + item.kept; }

    // A backup goes only when the file it holds the old content of has it
    // back: put back by this undo (or an earlier one), or holding the same
    // bytes anyway. Otherwise it may be the only copy left of that content.
    bool BackupMayGo(const Item& backup) const {
        if (putBack_.count(backup.of)) return true;
        return SameBytes(Disk(backup.of), Disk(backup.now));
    }

    // Whether the file is what this undo left after putting back a later
    // change of the same file (a file a run changed twice): that later
    // change began from what this one left. The file may be named another
    // way (a link listed beside its target).
    bool LeftByLaterUndo(const Item& item, const FileState& now) const {
        const auto it = left_.find({now.device, now.inode});
        return it != left_.end() && journal::SameFingerprint(now, it->second.now) &&
               journal::SameFingerprint(it->second.asBefore, item.after);
    }

    Undone UndoContent(int id, const Item& item, std::string& detail) {
        FileState now;
        if (!journal::ReadFileState(item.now, now, false))
            return UndoneFromFs(LastFsProblem(), Undone::Missing);
        const std::string kept = Kept(item);
        if (!journal::LeftAsRecorded(item.now, now, item.after) && !LeftByLaterUndo(item, now)) {
            // Put back by an undo cut short: the old bytes are there, and
            // perhaps not yet the old modified time.
            if (now.size == item.before.size && now.modifiedNs == item.before.modifiedNs)
                return Undone::None;
            if (item.undoBegun && now.size == item.before.size && SameBytes(Disk(item.now), kept)) {
                if (!journal::SetModifiedTime(item.now, item.before.modifiedNs))
                    return UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
                return Undone::None;
            }
            return Undone::ChangedSince;
        }
        if (now.IsReadOnly()) return Undone::ReadOnly;

        const int fd = open(kept.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st{};
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_size != item.before.size) {
            if (fd >= 0) close(fd);
            detail = Text(u"撤销记录中的旧内容已不完整");
            return Undone::CannotRead;
        }
        // Between the old bytes going back and the old time, a kill would
        // leave a file that looks changed since the run: the record lets the
        // next undo finish the step.
        if (!writer_.Append(journal::UndoBegunRecord(id)) || !writer_.Sync()) {
            close(fd);
            return Undone::NotRecorded;
        }
        const bool written = WriteFileSafely(item.now, [&](const ChunkWriter& write) {
            static thread_local char buf[1 << 20];
            for (;;) {
                const ssize_t n = read(fd, buf, sizeof buf);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return n == 0;
                if (!write(std::string_view(buf, static_cast<std::size_t>(n)))) return false;
            }
        });
        const FsProblem why = LastFsProblem();
        close(fd);
        if (!written) return UndoneFromFs(why, Undone::CannotWrite);
        journal::SetModifiedTime(item.now, item.before.modifiedNs);
        FileState left;
        if (journal::ReadFileState(item.now, left, false)) left_[{left.device, left.inode}] = {left, item.before};
        return Undone::None;
    }

    Undone UndoCreate(const Item& item) const {
        FileState now;
        if (!journal::ReadFileState(item.now, now, false)) return Undone::None;  // gone already
        if (!journal::LeftAsRecorded(item.now, now, item.after) && !LeftByLaterUndo(item, now))
            return Undone::ChangedSince;
        if (now.IsReadOnly()) return Undone::ReadOnly;
        if (!DeleteFile(item.now)) return UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
        return Undone::None;
    }

    // A folder the run made goes when it is empty again; one that holds
    // anything now stays, as it is.
    static Undone UndoMakeFolder(const Item& item) {
        FileState now;
        if (!journal::ReadFileState(item.now, now, false) || !now.IsFolder() ||
            !SameFile(now, item.after))
            return Undone::None;
        const std::string disk = Disk(item.now);
        if (rmdir(disk.c_str()) == 0 || errno == ENOTEMPTY || errno == EEXIST || errno == ENOENT)
            return Undone::None;
        return UndoneFromFs(FsProblemFromErrno(errno), Undone::CannotWrite);
    }

    static Undone UndoTrash(const Item& item, std::string& detail) {
        FileState inTrash;
        if (!journal::ReadFileState(item.trashed.file, inTrash, false)) {
            FileState back;
            if (journal::ReadFileState(item.path, back, false) && SameFile(back, item.before))
                return Undone::None;  // put back already
            detail = Text(u"回收站中已找不到此文件");
            return Undone::Missing;
        }
        if (!SameFile(inTrash, item.before)) return Undone::ChangedSince;
        if (RestoreFromTrash(item.trashed)) return Undone::None;
        const FsProblem why = LastFsProblem();
        if (why == FsProblem::Exists) return NameTaken(item.path, detail);
        return UndoneFromFs(why, Undone::CannotWrite);
    }

    std::string folder_;
    journal::RunLog& log_;
    journal::LogWriter& writer_;
    std::unordered_set<std::string> putBack_;  // files whose old content is back
    // What this undo left in a file (by device and inode: a link and its
    // target are one file), and the state the record says the file had
    // before the change it put back.
    struct Left {
        FileState now, asBefore;
    };
    struct FileIdHash {
        std::size_t operator()(const std::pair<uint64_t, uint64_t>& id) const {
            return std::hash<uint64_t>()(id.first * 0x9E3779B97F4A7C15ull ^ id.second);
        }
    };
    std::unordered_map<std::pair<uint64_t, uint64_t>, Left, FileIdHash> left_;
};

// Where the file is once its change is undone.
const std::string& PlaceAfterUndo(const Item& item) {
    return item.kind == ItemKind::Rename || item.kind == ItemKind::Trash ? item.path : item.now;
}

// How a change the record cannot name is listed.
std::string LostName(int id) {
    return Text(u"（撤销记录中无法读出的第 ") + std::to_string(id + 1) + Text(u" 项更改）");
}

}  // namespace

bool UndoResult::complete() const {
    return summary.undone.empty() && summary.error.empty() && !summary.stopped;
}

std::string UndoClosingText(const UndoResult& result) {
    // A conversion's new files are removed rather than restored.
    const int restored = result.summary.done - result.removed - result.folders;
    std::string counts;
    if (result.removed == 0)
        counts = Text(u"共恢复 ") + std::to_string(restored) + Text(u" 个文件");
    else if (restored == 0)
        counts = Text(u"共删除 ") + std::to_string(result.removed) + Text(u" 个新建的文件");
    else
        counts = Text(u"共恢复 ") + std::to_string(restored) + Text(u" 个文件，删除 ") +
                 std::to_string(result.removed) + Text(u" 个新建的文件");
    if (result.complete()) return Text(u"撤销完成,") + counts + "!";
    return Text(u"撤销没有全部完成：") + counts + Text(u"。");
}

UndoResult UndoRun(Journal& journal, const std::string& id, RunHost* host) {
    UndoResult result;
    const std::string folder = journal.RunFolder(id);
    const std::string logPath = folder + "/log";
    journal::LogWriter writer;
    journal::RunLog log;
    if (!journal::OpenRunLog(logPath, writer, log)) {
        result.summary.error = Text(u"无法打开撤销记录（可能正被另一个程序使用）");
        return result;
    }
    // A run cut short, or one whose record is damaged, is mended first: the
    // files tell what the record does not.
    if (!log.ended || log.damaged) {
        JournalRecovery mended;
        journal::MendRun(folder, log, writer, mended);
    }

    std::vector<int> order;
    if (!log.undone)
        for (auto it = log.doneOrder.rbegin(); it != log.doneOrder.rend(); ++it)
            if (!log.items[static_cast<std::size_t>(*it)].undone) order.push_back(*it);

    Undoer undoer(folder, log, writer);
    RunTracker run(host, static_cast<int>(order.size()));
    std::size_t i = 0;
    auto nameOf = [&](int id) {
        const Item& item = log.items[static_cast<std::size_t>(id)];
        return item.lost ? LostName(id) : item.now;
    };
    auto undone = [&](int id, const std::string& name) {
        const Item& item = log.items[static_cast<std::size_t>(id)];
        writer.Append(journal::UndoneRecord(id));
        run.Done(0, name);
        if (item.kind == ItemKind::Create) ++result.removed;
        if (item.kind == ItemKind::MakeFolder) ++result.folders;
        else result.restored.push_back({item.now, PlaceAfterUndo(item)});
    };
    // Renames whose old name is taken wait for the rest: the renames a
    // kill left for recovery to find are told in the order of the records,
    // not the order they were made in (a shift's last first), so the one
    // holding the name may come back later in the same undo.
    struct Held {
        int id;
        std::string name, detail;
        Undone why;
    };
    std::vector<Held> held;
    for (; i < order.size(); ++i) {
        const Item& item = log.items[static_cast<std::size_t>(order[i])];
        const std::string name = nameOf(order[i]);
        if (!run.Next(0, name)) break;
        std::string detail;
        const Undone why = undoer.Undo(order[i], detail);
        if (why == Undone::NameExists && item.kind == ItemKind::Rename && !item.lost) {
            held.push_back({order[i], name, detail, why});
            continue;
        }
        if (why != Undone::None) {
            run.Skip(0, name, why, detail);
            continue;
        }
        undone(order[i], name);
    }
    // Gone through from the back: a chain held in the wrong order comes
    // back in one pass.
    for (bool progress = !held.empty(); progress;) {
        progress = false;
        std::vector<Held> still;
        for (auto h = held.rbegin(); h != held.rend(); ++h) {
            std::string detail;
            const Undone why = undoer.Undo(h->id, detail);
            if (why == Undone::None) {
                undone(h->id, h->name);
                progress = true;
            } else {
                still.push_back({h->id, std::move(h->name), std::move(detail), why});
            }
        }
        std::reverse(still.begin(), still.end());
        held = std::move(still);
    }
    for (const Held& h : held) run.Skip(0, h.name, h.why, h.detail);
    for (; i < order.size(); ++i) run.StopRemaining(0, nameOf(order[i]));
    if (!run.stopped()) writer.Append(journal::RunUndoneRecord());
    writer.Sync();
    writer.Close();
    result.summary = run.Take();
    journal.NoteChanged(id);
    return result;
}

}  // namespace ferro
