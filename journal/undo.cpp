#include "journal/undo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

Undone UndoContent(const std::string& diskRunFolder, const Item& item, std::string& detail) {
    FileState now;
    if (!journal::ReadFileState(item.now, now, false))
        return UndoneFromFs(LastFsProblem(), Undone::Missing);
    if (!journal::SameFingerprint(now, item.after)) {
        if (now.size == item.before.size && now.modifiedNs == item.before.modifiedNs)
            return Undone::None;  // put back by an undo cut short
        return Undone::ChangedSince;
    }
    if (now.IsReadOnly()) return Undone::ReadOnly;

    const std::string kept = diskRunFolder + "/kept/" + item.kept;
    const int fd = open(kept.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st{};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size != item.before.size) {
        if (fd >= 0) close(fd);
        detail = Text(u"撤销记录中的旧内容已不完整");
        return Undone::CannotRead;
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
    return Undone::None;
}

Undone UndoCreate(const Item& item) {
    FileState now;
    if (!journal::ReadFileState(item.now, now, false)) return Undone::None;  // gone already
    if (!journal::SameFingerprint(now, item.after)) return Undone::ChangedSince;
    if (now.IsReadOnly()) return Undone::ReadOnly;
    if (!DeleteFile(item.now)) return UndoneFromFs(LastFsProblem(), Undone::CannotWrite);
    return Undone::None;
}

Undone UndoTrash(const Item& item, std::string& detail) {
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

Undone UndoItem(const std::string& diskRunFolder, const Item& item, std::string& detail) {
    switch (item.kind) {
        case ItemKind::Rename: return UndoRename(item, detail);
        case ItemKind::Times:
        case ItemKind::Attributes: return UndoMetadata(item);
        case ItemKind::Content: return UndoContent(diskRunFolder, item, detail);
        case ItemKind::Create: return UndoCreate(item);
        case ItemKind::Trash: return UndoTrash(item, detail);
    }
    return Undone::CannotWrite;
}

// Where the file is once its change is undone.
const std::string& PlaceAfterUndo(const Item& item) {
    return item.kind == ItemKind::Rename || item.kind == ItemKind::Trash ? item.path : item.now;
}

}  // namespace

UndoResult UndoRun(Journal& journal, const std::string& id, RunHost* host) {
    UndoResult result;
    const std::string folder = journal.RunFolder(id);
    const std::string logPath = folder + "/log";
    journal::LogWriter writer;
    journal::RunLog log;
    if (!writer.Open(logPath) || !journal::ReadRunLog(logPath, log)) {
        result.summary.error = Text(u"无法打开撤销记录（可能正被另一个程序使用）");
        return result;
    }
    if (!log.ended) {
        JournalRecovery mended;
        journal::MendRun(folder, log, writer, mended);
    }

    std::vector<int> order;
    if (!log.undone)
        for (auto it = log.doneOrder.rbegin(); it != log.doneOrder.rend(); ++it)
            if (!log.items[static_cast<std::size_t>(*it)].undone) order.push_back(*it);

    RunTracker run(host, static_cast<int>(order.size()));
    std::size_t i = 0;
    for (; i < order.size(); ++i) {
        const Item& item = log.items[static_cast<std::size_t>(order[i])];
        if (!run.Next(0, item.now)) break;
        std::string detail;
        const Undone why = UndoItem(folder, item, detail);
        if (why != Undone::None) {
            run.Skip(0, item.now, why, detail);
            continue;
        }
        writer.Append(journal::UndoneRecord(order[i]));
        run.Done(0, item.now);
        if (item.kind == ItemKind::Create) ++result.removed;
        result.restored.push_back({item.now, PlaceAfterUndo(item)});
    }
    for (; i < order.size(); ++i)
        run.StopRemaining(0, log.items[static_cast<std::size_t>(order[i])].now);
    if (!run.stopped()) writer.Append(journal::RunUndoneRecord());
    writer.Sync();
    writer.Close();
    result.summary = run.Take();
    return result;
}

}  // namespace ferro
