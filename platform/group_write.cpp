// The group commit: staged new contents put in place a group at a time
// (group_write.h).
#include "platform/group_write.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "platform/file_io.h"
#include "platform/native_attrib.h"
#include "platform/new_file.h"
#include "platform/pump.h"
#include "platform/rescue.h"
#include "platform/sys_calls.h"

namespace ferro {
namespace {

StagedWrite::Start Failed(FsProblem problem) {
    SetLastFsProblem(problem);
    return StagedWrite::Start::Failed;
}
StagedWrite::Start FailedErrno(int error) { return Failed(FsProblemFromErrno(error)); }

// Whether a flush of the whole disk (syncfs) is known to reach the disk
// itself: the local file systems' own. A FUSE driver hears of it only where
// it asked to, and a network share not at all; their files are flushed one
// by one.
bool SyncfsReachesDisk(int fd) {
    struct statfs fs{};
    if (fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case TMPFS_MAGIC:
            return true;
        default:
            return false;
    }
}

}  // namespace

struct StagedWrite::Impl {
    io::NewFile file;
    std::string disk;      // the target
    struct stat st{};      // the target's, when it exists
    bool exists = false;
    dev_t device = 0;      // of the new file
    std::unique_ptr<io::SequentialWriter> sequential;
    ChunkWriter write;
    WrittenNote* note = nullptr;
    uint64_t bytes = 0;
    FsProblem failed = FsProblem::None;  // AddFailed: why
};

StagedWrite::StagedWrite() = default;
StagedWrite::~StagedWrite() = default;
StagedWrite::StagedWrite(StagedWrite&&) noexcept = default;
StagedWrite& StagedWrite::operator=(StagedWrite&&) noexcept = default;

StagedWrite::Start StagedWrite::Begin(std::string_view path, WrittenNote* note) {
    impl_ = std::make_unique<Impl>();
    Impl& m = *impl_;
    if (!io::ToDisk(path, m.disk)) return Failed(FsProblem::Missing);
    // The checks of WriteFileSafely, in its order: whatever it would not
    // write by replacing the file is left to it.
    struct stat st{};
    if (lstat(m.disk.c_str(), &st) != 0) {
        if (errno == ENOENT) return Start::Direct;  // a new file
        return FailedErrno(errno);
    }
    if (S_ISLNK(st.st_mode)) return Start::Direct;
    if (!S_ISREG(st.st_mode)) return Failed(FsProblem::NotAFile);
    if (io::IsReadOnlyFile(st, m.disk)) return Failed(FsProblem::ReadOnly);
    if (st.st_nlink > 1) return Start::Direct;
    if (!m.file.OpenUnnamed(m.disk, 0600)) {
        const int error = errno;
        if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == EACCES ||
            error == EPERM)
            return Start::Direct;
        return FailedErrno(error);
    }
    struct stat made{};
    if (!io::KeepsOwner(m.file.fd(), st) || io::StickyFolderRefuses(m.disk, st) ||
        fstat(m.file.fd(), &made) != 0) {
        m.file.Abandon();
        return Start::Direct;
    }
    m.st = st;
    m.exists = true;
    m.device = made.st_dev;
    m.note = note;
    m.sequential = std::make_unique<io::SequentialWriter>(m.file.fd());
    m.write = [&m](std::string_view piece) {
        if (!(*m.sequential)(piece)) {
            SetLastFsProblem(FsProblemFromErrno(errno));
            return false;
        }
        m.bytes += piece.size();
        if (m.note) m.note->Wrote(piece);
        return true;
    };
    return Start::Ready;
}

const ChunkWriter& StagedWrite::writer() const { return impl_->write; }

bool StagedWrite::End() {
    Impl& m = *impl_;
    const int fd = m.file.fd();
    // Owner and group are the original's already (KeepsOwner); the mode
    // comes last, after everything that could clear its special bits.
    errno = 0;
    bool ok = io::GiveXattrs(fd, io::ReadXattrs(m.disk));
    if (ok) {
        io::KeepCreatedTime(m.disk, fd);
        ok = io::GiveMode(fd, m.st.st_mode & 07777);
    }
    if (!ok) {
        SetLastFsProblem(FsProblemFromErrno(errno ? errno : EIO));
        m.file.Abandon();
        return false;
    }
    return true;
}

StagedWrite::Start StagedWrite::Copy(std::string_view from, std::string_view to) {
    impl_ = std::make_unique<Impl>();
    Impl& m = *impl_;
    std::string a;
    if (!io::ToDisk(from, a) || !io::ToDisk(to, m.disk)) return Failed(FsProblem::Missing);
    // The checks and steps of CopyFile, in its order.
    const int in = open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return FailedErrno(errno);
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{in};
    struct stat st{};
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) return Failed(FsProblem::NotAFile);
    struct stat tt{};
    const bool exists = lstat(m.disk.c_str(), &tt) == 0;
    if (exists && S_ISDIR(tt.st_mode)) return Failed(FsProblem::NotAFile);
    if (exists && io::IsReadOnlyFile(tt, m.disk)) return Failed(FsProblem::ReadOnly);
    if (!m.file.OpenUnnamed(m.disk, 0600)) return Start::Direct;
    struct stat made{};
    if ((exists && S_ISREG(tt.st_mode) && io::StickyFolderRefuses(m.disk, tt)) ||
        fstat(m.file.fd(), &made) != 0) {
        m.file.Abandon();
        return Start::Direct;
    }
    const int fd = m.file.fd();
    bool ok = io::CopyBytes(in, fd, st.st_size);
    if (ok) {
        // Owner and group where allowed (only root gives a file away), then
        // the attributes, the mode last.
        if (sys::Table().fchown(fd, st.st_uid, st.st_gid) != 0)
            sys::Table().fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        ok = io::GiveXattrs(fd, io::ReadXattrs(a));
    }
    if (ok) {
        io::DropCreatedTime(fd);
        const timespec times[2] = {{0, UTIME_NOW}, st.st_mtim};
        ok = io::GiveMode(fd, st.st_mode & 07777) && futimens(fd, times) == 0;
    }
    if (!ok) {
        const int error = errno ? errno : EIO;
        m.file.Abandon();
        return FailedErrno(error);
    }
    m.exists = exists;
    if (exists) m.st = tt;
    m.device = made.st_dev;
    m.bytes = static_cast<uint64_t>(st.st_size);
    return Start::Ready;
}

int64_t StagedWrite::targetSize() const {
    return impl_ && impl_->exists ? static_cast<int64_t>(impl_->st.st_size) : 0;
}

FileIdentity StagedWrite::target() const {
    if (!impl_ || !impl_->exists) return {};
    return {static_cast<uint64_t>(impl_->st.st_dev), static_cast<uint64_t>(impl_->st.st_ino)};
}

uint64_t StagedWrite::bytes() const { return impl_ ? impl_->bytes : 0; }

// ---------------------------------------------------------------------------
// WriteGroup

struct WriteGroup::Item {
    StagedWrite write;
    std::string path, of;
    int file = 0;
    bool critical = false;
    FsProblem failed = FsProblem::None;  // failed before the group
    std::unique_ptr<WrittenNote> note;
};

WriteGroup::WriteGroup(GroupKeeper* keeper) : keeper_(keeper) {}
WriteGroup::~WriteGroup() = default;

void WriteGroup::Add(StagedWrite&& write, std::string path, std::string of, int file,
                     bool critical, std::unique_ptr<WrittenNote> note) {
    Item item;
    bytes_ += write.bytes();
    item.write = std::move(write);
    item.path = std::move(path);
    item.of = std::move(of);
    item.file = file;
    item.critical = critical;
    item.note = std::move(note);
    items_.push_back(std::move(item));
}

void WriteGroup::AddFailed(FsProblem why, int file, bool critical) {
    Item item;
    item.file = file;
    item.critical = critical;
    item.failed = why == FsProblem::None ? FsProblem::Io : why;
    items_.push_back(std::move(item));
}

std::size_t WriteGroup::size() const { return items_.size(); }
uint64_t WriteGroup::bytes() const { return bytes_; }

std::size_t WriteGroup::openFiles() const {
    return static_cast<std::size_t>(std::count_if(
        items_.begin(), items_.end(), [](const Item& i) { return bool(i.write.impl_); }));
}

std::vector<WriteGroup::Outcome> WriteGroup::Commit() {
    const std::size_t n = items_.size();
    std::vector<Outcome> out(n);
    // An entry that fails leaves the later ones of its file, or of the whole
    // group when it is critical.
    auto fail = [&](std::size_t i, Failure failure, FsProblem problem) {
        if (!out[i].made()) return;
        out[i] = {failure, problem};
        for (std::size_t j = i + 1; j < n; ++j)
            if (out[j].made() && (items_[i].critical || items_[j].file == items_[i].file))
                out[j] = {Failure::Left, FsProblem::None};
    };
    for (std::size_t i = 0; i < n; ++i)
        if (items_[i].failed != FsProblem::None) fail(i, Failure::Staging, items_[i].failed);
    auto impl = [&](std::size_t i) -> StagedWrite::Impl& { return *items_[i].write.impl_; };

    // 1. The old contents kept, the intents written.
    std::vector<GroupKeeper::Entry> entries;
    std::vector<std::size_t> entryOf;
    if (keeper_) {
        for (std::size_t i = 0; i < n; ++i) {
            if (!out[i].made()) continue;
            GroupKeeper::Entry e;
            e.path = items_[i].path;
            e.of = items_[i].of;
            e.exists = impl(i).exists;
            e.note = items_[i].note.get();
            e.bytes = impl(i).bytes;
            entries.push_back(std::move(e));
            entryOf.push_back(i);
        }
        if (!entries.empty()) keeper_->KeepGroup(entries);
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].kept == GroupKeeper::Entry::Kept::Unrecorded)
                fail(entryOf[k], Failure::Unrecorded, FsProblem::Io);
            else if (entries[k].kept == GroupKeeper::Entry::Kept::No)
                fail(entryOf[k], Failure::Keeping, entries[k].problem);
        }
    }

    // 2. Everything durable: a disk at a time, or a file at a time.
    std::map<dev_t, std::vector<std::size_t>> byDisk;
    for (std::size_t i = 0; i < n; ++i)
        if (out[i].made()) byDisk[impl(i).device].push_back(i);
    std::set<dev_t> flushedDisks;
    std::vector<int> flushErrors(n, 0);
    WhileProcessingMessages([&] {
        for (const auto& [disk, files] : byDisk) {
            const int fd = impl(files.front()).file.fd();
            if (SyncfsReachesDisk(fd) && sys::Table().syncfs(fd) == 0) {
                flushedDisks.insert(disk);
                continue;
            }
            for (const std::size_t i : files)
                if (sys::Table().fsync(impl(i).file.fd()) != 0) flushErrors[i] = errno ? errno : EIO;
        }
        return true;
    });
    for (std::size_t i = 0; i < n; ++i)
        if (flushErrors[i] != 0) fail(i, Failure::Flushing, FsProblemFromErrno(flushErrors[i]));
    bool anyKept = false;
    for (std::size_t k = 0; k < entries.size(); ++k)
        anyKept |= entries[k].kept == GroupKeeper::Entry::Kept::Yes;
    if (anyKept && !keeper_->FlushKept(flushedDisks.count(keeper_->Device()) > 0)) {
        // No intent can be known to be on disk: nothing changes.
        for (std::size_t i = 0; i < n; ++i) fail(i, Failure::Keeping, FsProblem::Io);
    }

    // 3. In place, in order.
    WriteRecord record;
    bool recorded = false;
    std::set<std::string> folders;
    for (std::size_t i = 0; i < n; ++i) {
        if (!out[i].made()) continue;
        StagedWrite::Impl& m = impl(i);
        if (!m.exists) {
            // Nothing to replace: the new file takes the name, or fails
            // should another have taken it since.
            if (!m.file.LinkAs(m.disk)) fail(i, Failure::Placing, FsProblemFromErrno(errno));
            else folders.insert(io::FolderOf(m.disk));
            continue;
        }
        if (!recorded) {
            record.StartGroup();  // without a state folder the write goes on unrecorded
            recorded = true;
        }
        std::string temp;
        bool linked = false;
        int error = 0;
        for (int attempt = 0; attempt < 16 && !linked; ++attempt) {
            temp = io::HiddenNameFor(m.disk);
            record.AddReplace(m.disk, temp);
            linked = m.file.LinkAs(temp);
            error = errno;
            if (!linked && error != EEXIST) break;
        }
        if (!linked) {
            fail(i, Failure::Placing, FsProblemFromErrno(error));
            continue;
        }
        if (sys::Table().rename(temp.c_str(), m.disk.c_str()) != 0) {
            error = errno;
            unlink(temp.c_str());
            fail(i, Failure::Placing, FsProblemFromErrno(error));
            continue;
        }
        folders.insert(io::FolderOf(m.disk));
    }

    // 4. The folders, once each.
    if (!folders.empty())
        WhileProcessingMessages([&] {
            for (const std::string& folder : folders) FsyncFolder(folder);
            return true;
        });

    // 5. What was made.
    if (keeper_ && !entries.empty()) {
        std::vector<char> made(entries.size());
        for (std::size_t k = 0; k < entries.size(); ++k) made[k] = out[entryOf[k]].made();
        keeper_->GroupDone(entries, made);
    }
    record.Finish();
    items_.clear();
    bytes_ = 0;
    return out;
}

}  // namespace ferro
