// FolderReader: the listing of a folder read whole and sorted as Windows
// lists it, the walk down and up the tree, and the batched stat calls.
#include <dirent.h>
#include <fcntl.h>
#include <liburing.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/codec.h"
#include "platform/collate.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/fs_entry.h"
#include "platform/native_attrib.h"
#include "platform/sys_calls.h"
#include "platform/workers.h"

namespace ferro {

using namespace entry;
using io::ToDisk;

namespace {
// Folders near the top of a walk stay open while the walk is below them, so
// that going back up to them costs nothing; deeper ones are closed and
// reached again through "..".
constexpr std::size_t kFoldersKeptOpen = 16;
}  // namespace

// Calls for many names of one folder (their statx, their DOS records)
// handed to the kernel together through an io_uring (liburing): one system
// call for a batch instead of one a call, and the kernel's own workers make
// the calls while this thread waits. Used where the kernel reads a record
// only through a path (before getxattrat), as it must for the ring too. Where the kernel has no io_uring or
// refuses it (a sandbox, a setting), Ready says so and the caller makes the
// calls itself.
class FsRing {
public:
    static constexpr unsigned kEntries = 512;  // the most calls of one batch

    FsRing() = default;
    FsRing(const FsRing&) = delete;
    FsRing& operator=(const FsRing&) = delete;
    ~FsRing() {
        if (made_) io_uring_queue_exit(&ring_);
    }

    // Whether the ring can be used: made at the first call.
    bool Ready() { return !broken_ && (made_ || Setup()); }

    // The next call of the batch (at most kEntries a batch, taken in the
    // order of their indexes), cleared, for the caller to fill in; its
    // result comes back in result[index].
    io_uring_sqe& Call(std::size_t index) {
        io_uring_sqe* q = io_uring_get_sqe(&ring_);  // never null: Run empties the queue
        std::memset(q, 0, sizeof *q);
        io_uring_sqe_set_data64(q, index);
        return *q;
    }

    // Hands the count calls taken to the kernel and waits for them all;
    // each result (0 or more, or -errno) goes to result[index]. False when
    // the kernel stopped answering with calls in flight: the ring is then
    // given up, and whatever the calls write into must never be used again,
    // since the kernel may still write into it.
    bool Run(std::size_t count, int* result) {
        std::size_t completed = 0;
        while (completed < count) {
            const int n = sys::Table().io_uring_submit_and_wait(
                &ring_, static_cast<unsigned>(count - completed));
            if (n == -EINTR || n == -EAGAIN || n == -EBUSY) continue;
            if (n < 0) {
                broken_ = true;
                return false;
            }
            unsigned head, seen = 0;
            io_uring_cqe* c;
            io_uring_for_each_cqe(&ring_, head, c) {
                result[io_uring_cqe_get_data64(c)] = c->res;
                ++seen;
            }
            io_uring_cq_advance(&ring_, seen);
            completed += seen;
        }
        return true;
    }

private:
    bool Setup() {
        if (sys::Table().io_uring_queue_init(kEntries, &ring_, 0) != 0) {
            broken_ = true;
            return false;
        }
        made_ = true;
        if (ring_.sq.ring_entries < kEntries || ring_.cq.ring_entries < kEntries) {
            broken_ = true;
            return false;
        }
        return true;
    }

    io_uring ring_{};
    bool made_ = false;
    bool broken_ = false;
};

struct FolderReader::Impl {
    struct Item {
        uint32_t disk, diskLength;  // in names, NUL-terminated there
        uint32_t gbk, gbkLength;    // in names: the disk bytes themselves for ASCII names
        uint32_t key, keyLength;    // in keys
        uint8_t rank;               // "." 0, ".." 1, any other name 2
        unsigned char type;
    };
    // A folder that Enter came from: still open, or closed and known by
    // device and inode.
    struct Up {
        int fd;
        dev_t dev;
        ino_t ino;
        std::size_t pathLength;  // of diskPath
    };
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    io::DiskTraits traits;  // of the open folder's disk
    bool native = false;    // that disk keeps DOS attributes itself
    void SetTraits(const io::DiskTraits& t) {
        traits = t;
        native = t.attributes != io::DiskTraits::Attributes::Record;
    }
    std::vector<Up> trail;
    bool listed = false;
    bool failed = false;
    std::vector<Item> items;
    std::size_t next = 0;
    std::string names;
    // The names' keys (CompareFileNames), each unit written as UTF-8 writes
    // a character of its value: that code keeps the order of the values and
    // no unit's bytes begin another's, so two keys compare as their bytes
    // do, and the key of an ASCII name is one byte a letter.
    std::string keys;
    std::u16string wideKey;
    std::vector<char> buffer;
    // The disk path the open folder was reached by (opened by, then the
    // names entered), for the calls that only take a path.
    std::string diskPath;
    FsRing ring;
    // Where a batch's calls write; kept for good once the ring has failed
    // with a batch in flight, since the kernel may still write into it.
    struct Batch {
        static constexpr std::size_t kNames = FsRing::kEntries / 2;
        static constexpr std::size_t kRecord = 256;  // longer DOS records are none
        struct statx stats[kNames];
        char records[kNames][kRecord];
    };
    std::unique_ptr<Batch> batch;
    // Takes half of a large chunk's calls made one by one (made when the
    // first such chunk comes).
    std::unique_ptr<WorkerPool> helper;
    bool noRingRecords = false;
    std::string batchPaths;
    std::vector<int> batchResults;

    const char* Disk(const Item& i) const { return names.data() + i.disk; }
    std::string_view Gbk(const Item& i) const { return {names.data() + i.gbk, i.gbkLength}; }
    std::string_view Key(const Item& i) const { return {keys.data() + i.key, i.keyLength}; }
    bool ReadListing();
    void Add(const char* disk, std::size_t length, unsigned char type);
    // Drops the listing; listLater: the open folder is read at the next Next.
    void Forget(bool listLater) {
        listed = !listLater;
        failed = false;
        items.clear();
        next = 0;
    }
};

namespace {

bool IsAsciiName(const char* s, std::size_t n) {
    unsigned char any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(s[i]);
    return any < 0x80;
}

DirItem::Kind KindOf(unsigned char type) {
    switch (type) {
        case DT_REG: return DirItem::File;
        case DT_DIR: return DirItem::Folder;
        case DT_LNK: return DirItem::Link;
        case DT_UNKNOWN: return DirItem::Unknown;
        default: return DirItem::Other;
    }
}

}  // namespace

// One name of a listing: its disk bytes, its GBK text (the same bytes for a
// name of plain ASCII, the usual case, so nothing is converted) and its key.
void FolderReader::Impl::Add(const char* disk, std::size_t length, unsigned char type) {
    Item item{};
    item.disk = static_cast<uint32_t>(names.size());
    item.diskLength = static_cast<uint32_t>(length);
    names.append(disk, length + 1);
    item.key = static_cast<uint32_t>(keys.size());
    if (IsAsciiName(disk, length)) {
        item.gbk = item.disk;
        item.gbkLength = item.diskLength;
        for (std::size_t i = 0; i < length; ++i) {
            const char c = disk[i];
            keys.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
        }
    } else {
        item.gbk = static_cast<uint32_t>(names.size());
        names += DiskToGbk(std::string_view(disk, length));
        item.gbkLength = static_cast<uint32_t>(names.size() - item.gbk);
        wideKey.clear();
        AppendFileNameKey(Gbk(item), wideKey);
        for (const char16_t unit : wideKey) {
            if (unit < 0x80) {
                keys.push_back(static_cast<char>(unit));
            } else if (unit < 0x800) {
                keys.push_back(static_cast<char>(0xC0 | (unit >> 6)));
                keys.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
            } else {
                keys.push_back(static_cast<char>(0xE0 | (unit >> 12)));
                keys.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
                keys.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
            }
        }
    }
    item.keyLength = static_cast<uint32_t>(keys.size() - item.key);
    const bool dots = disk[0] == '.' && (length == 1 || (length == 2 && disk[1] == '.'));
    item.rank = static_cast<uint8_t>(dots ? length - 1 : 2);
    item.type = type;
    items.push_back(item);
}

// The whole listing at once, in the order a Windows file system lists a
// folder: "." and "..", then the names by CompareFileNames.
bool FolderReader::Impl::ReadListing() {
    Forget(false);
    names.clear();
    keys.clear();
    if (buffer.empty()) buffer.resize(64 * 1024);
    for (;;) {
        const ssize_t n = getdents64(fd, buffer.data(), buffer.size());
        if (n < 0) {
            failed = true;
            items.clear();
            return FailErrno();
        }
        if (n == 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const dirent64*>(buffer.data() + at);
            at += d->d_reclen;
            Add(d->d_name, std::strlen(d->d_name), d->d_type);
        }
    }
    std::sort(items.begin(), items.end(), [this](const Item& a, const Item& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        const int c = Key(a).compare(Key(b));
        if (c != 0) return c < 0;
        return Gbk(a) < Gbk(b);
    });
    return true;
}

FolderReader::FolderReader() : impl_(new Impl) {}
FolderReader::~FolderReader() {
    Close();
    delete impl_;
}

bool FolderReader::Open(std::string_view folder) {
    Close();
    std::string disk;
    if (folder.empty()) disk = "/";
    else if (!ToDisk(folder, disk)) return Fail(FsProblem::Missing);
    // A folder named by a link is read through it; callers that must not
    // follow links check the entry's attributes before they open it.
    impl_->fd = open(disk.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (impl_->fd < 0) return FailErrno();
    struct stat st{};
    if (fstat(impl_->fd, &st) == 0 && impl_->ReadListing()) {
        impl_->dev = st.st_dev;
        impl_->ino = st.st_ino;
        impl_->SetTraits(TraitsAt(st.st_dev, impl_->fd, ""));
        impl_->diskPath = std::move(disk);
        return true;
    }
    FailErrno();
    Close();
    return false;
}

bool FolderReader::Next(DirEntryView& entry) {
    if (impl_->fd >= 0 && !impl_->listed && !impl_->ReadListing()) return false;
    if (impl_->next >= impl_->items.size()) return false;
    const Impl::Item& i = impl_->items[impl_->next++];
    entry.name = impl_->Gbk(i);
    entry.diskName = impl_->Disk(i);
    entry.kind = KindOf(i.type);
    return true;
}

bool FolderReader::Next(DirItem& item) {
    DirEntryView entry;
    if (!Next(entry)) return false;
    item.name.assign(entry.name);
    item.diskName.assign(entry.diskName);
    item.kind = entry.kind;
    return true;
}

bool FolderReader::Stat(const DirEntryView& item, FindEntry& entry) {
    if (impl_->fd < 0) return Fail(FsProblem::Missing);
    return FillEntry(impl_->fd, item.diskName, item.name, entry, &impl_->traits) || FailErrno();
}

void FolderReader::StatMany(const DirEntryView* items, std::size_t count, FindEntry* entries,
                            bool* ok) {
    const int fd = impl_->fd;
    if (fd < 0) {
        std::fill(ok, ok + count, false);
        return;
    }
    using Batch = Impl::Batch;
    // A few names are not worth a trip through the ring.
    constexpr std::size_t kWorthBatching = 4;
    constexpr int kNoCall = -1;
    std::size_t done = 0;
    // The ring reads user.DOSATTRIB alone: a disk that keeps its own
    // attributes is asked entry by entry. And the ring reads records by path
    // only: where the kernel reads them by name in the open folder
    // (getxattrat), the calls made one by one were measured faster than the
    // ring, which serves the kernels without it.
    while (count - done >= kWorthBatching && !impl_->native && !RecordsReadInFolder(fd) &&
           impl_->ring.Ready()) {
        const std::size_t n = std::min(count - done, Batch::kNames);
        if (!impl_->batch) impl_->batch = std::make_unique<Batch>();
        Batch& b = *impl_->batch;
        FsRing& ring = impl_->ring;
        for (std::size_t i = 0; i < n; ++i) {
            io_uring_prep_statx(&ring.Call(i), fd, items[done + i].diskName, AT_SYMLINK_NOFOLLOW,
                                kEntryStatx, &b.stats[i]);
        }
        // The DOS records go in the same batch. The ring reads them by path
        // only (the folder's path and the name), so each path is made
        // while it is short enough for the kernel to take; links have no
        // record of their own, and the path would lead through them.
        std::size_t calls = n;
        int recordCall[Batch::kNames];
        std::size_t pathAt[Batch::kNames];
        std::string& paths = impl_->batchPaths;
        paths.clear();
        for (std::size_t i = 0; i < n; ++i) {
            recordCall[i] = kNoCall;
            const DirEntryView& item = items[done + i];
            const std::size_t nameLength = std::strlen(item.diskName);
            if (impl_->noRingRecords || item.kind == DirItem::Link || impl_->diskPath.empty() ||
                impl_->diskPath.size() + nameLength + 2 > PATH_MAX)
                continue;
            pathAt[i] = paths.size();
            paths += impl_->diskPath;
            if (paths.back() != '/') paths.push_back('/');
            paths.append(item.diskName, nameLength + 1);  // with its NUL
            recordCall[i] = static_cast<int>(calls++);
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (recordCall[i] == kNoCall) continue;
            io_uring_prep_getxattr(&ring.Call(static_cast<std::size_t>(recordCall[i])),
                                   kDosAttribName, b.records[i], paths.data() + pathAt[i],
                                   Batch::kRecord);
        }
        impl_->batchResults.assign(calls, -EIO);
        if (!ring.Run(calls, impl_->batchResults.data())) {
            impl_->batch.release();  // may still be written: never freed or reused
            break;
        }
        // The records count only if the path still leads to this folder now
        // that they are read (it could have been moved meanwhile).
        struct stat folder{};
        const bool pathHolds = calls > n && stat(impl_->diskPath.c_str(), &folder) == 0 &&
                               folder.st_dev == impl_->dev && folder.st_ino == impl_->ino;
        for (std::size_t i = 0; i < n; ++i) {
            const DirEntryView& item = items[done + i];
            FindEntry& e = entries[done + i];
            ok[done + i] = impl_->batchResults[i] == 0;
            if (!ok[done + i]) continue;
            const struct statx& sx = b.stats[i];
            // A kernel whose ring cannot read records refuses the call
            // itself: it is not asked again.
            if (recordCall[i] != kNoCall &&
                impl_->batchResults[static_cast<std::size_t>(recordCall[i])] == -EINVAL)
                impl_->noRingRecords = true;
            const int record = recordCall[i] == kNoCall || !pathHolds
                                   ? -EAGAIN
                                   : impl_->batchResults[static_cast<std::size_t>(recordCall[i])];
            DosAttrib dos;
            if (S_ISLNK(sx.stx_mode) || record == -EAGAIN ||
                (record < 0 && record != -ENODATA && record != -EOPNOTSUPP)) {
                // A link, or a record the ring could not answer for: asked
                // for by name in the folder.
                FinishEntry(fd, item.diskName, item.name, sx, e, &impl_->traits);
            } else {
                const bool hasDos =
                    record > 0 &&
                    DecodeDosAttrib(std::string_view(b.records[i], static_cast<std::size_t>(record)),
                                    dos);
                EntryFromStatx(item.name, sx, hasDos ? &dos : nullptr, false, e);
            }
        }
        done += n;
    }
    const auto fill = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            ok[i] = FillEntry(fd, items[i].diskName, items[i].name, entries[i], &impl_->traits);
    };
    // The calls made one by one wait on the kernel in turn: a chunk of 32
    // entries or more is shared with another thread (below that, waking the
    // helper costs about what it saves).
    constexpr std::size_t kWorthAThread = 32;
    if (count - done >= kWorthAThread && WorkerCount() > 1) {
        if (!impl_->helper) {
            try {
                impl_->helper = std::make_unique<WorkerPool>(1);
            } catch (const std::system_error&) {
                // No thread to be had: one does it all.
            }
        }
        if (impl_->helper) {
            OnTwoThreads(
                count - done, [&](std::size_t from, std::size_t to) { fill(done + from, done + to); },
                impl_->helper.get());
            return;
        }
    }
    fill(done, count);
}

bool FolderReader::Stat(const DirItem& item, FindEntry& entry) {
    if (impl_->fd < 0) return Fail(FsProblem::Missing);
    return FillEntry(impl_->fd, item.diskName.c_str(), item.name, entry, &impl_->traits) ||
           FailErrno();
}

uint32_t FolderReader::Attributes(const DirItem& item) {
    if (impl_->fd < 0) return attr::Invalid;
    const int fd = impl_->fd;
    struct stat st{};
    if (fstatat(fd, item.diskName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        FailErrno();
        return attr::Invalid;
    }
    DosAttrib dos;
    bool hasDos = !S_ISLNK(st.st_mode) && ReadDosAttribAt(fd, item.diskName.c_str(), dos);
    uint32_t a = ComputeAttributes(st, item.name, hasDos ? &dos : nullptr,
                                   S_ISLNK(st.st_mode) && LinkTargetIsDir(fd, item.diskName.c_str()));
    io::NativeDos native;
    if (impl_->native && !S_ISLNK(st.st_mode) &&
        io::ReadNativeDos(impl_->traits, fd, item.diskName.c_str(), native)) {
        a = io::WithNative(a, native);
        if (IsDotName(item.name)) a = (a & ~attr::Normal) | attr::Hidden;
    }
    return a;
}

bool FolderReader::Enter(const DirItem& folder, uint32_t& attributes) {
    if (impl_->fd < 0) return Fail(FsProblem::Missing);
    // O_NONBLOCK: should the name have become a FIFO since the listing, the
    // open fails at once instead of waiting for a writer.
    auto openChild = [&] {
        return openat(impl_->fd, folder.diskName.c_str(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    };
    int child = openChild();
    if (child < 0 && (errno == EMFILE || errno == ENFILE)) {
        // Short of descriptors: the folders kept open above give theirs back
        // and are found again through "..".
        bool freed = false;
        for (Impl::Up& up : impl_->trail) {
            if (up.fd < 0) continue;
            close(up.fd);
            up.fd = -1;
            freed = true;
        }
        errno = EMFILE;
        if (freed) child = openChild();
    }
    if (child < 0) return FailErrno();
    struct stat st{};
    if (fstat(child, &st) != 0) {
        FailErrno();
        close(child);
        return false;
    }
    char buf[256];
    DosAttrib dos;
    const ssize_t n = fgetxattr(child, kDosAttribName, buf, sizeof buf);
    const bool hasDos =
        n > 0 && DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), dos);
    attributes = ComputeAttributes(st, folder.name, hasDos ? &dos : nullptr, false);
    const io::DiskTraits traits = TraitsAt(st.st_dev, child, "");
    io::NativeDos native;
    if (traits.attributes != io::DiskTraits::Attributes::Record &&
        io::ReadNativeDos(traits, child, "", native)) {
        attributes = io::WithNative(attributes, native);
        if (IsDotName(folder.name)) attributes = (attributes & ~attr::Normal) | attr::Hidden;
    }
    const bool keep = impl_->trail.size() < kFoldersKeptOpen;
    impl_->trail.push_back(
        Impl::Up{keep ? impl_->fd : -1, impl_->dev, impl_->ino, impl_->diskPath.size()});
    if (!keep) close(impl_->fd);
    if (impl_->diskPath.back() != '/') impl_->diskPath.push_back('/');
    impl_->diskPath += folder.diskName;
    impl_->fd = child;
    impl_->dev = st.st_dev;
    impl_->ino = st.st_ino;
    impl_->SetTraits(traits);
    impl_->Forget(true);
    return true;
}

bool FolderReader::Leave(std::string_view path) {
    if (impl_->fd < 0 || impl_->trail.empty()) return Fail(FsProblem::Missing);
    const Impl::Up up = impl_->trail.back();
    int fd = up.fd;
    auto same = [&up](int candidate) {
        struct stat st{};
        return fstat(candidate, &st) == 0 && st.st_dev == up.dev && st.st_ino == up.ino;
    };
    if (fd < 0) {
        fd = openat(impl_->fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && !same(fd)) {
            close(fd);
            fd = -1;
        }
    }
    std::string disk;
    if (fd < 0 && ToDisk(path, disk)) {
        fd = open(disk.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && !same(fd)) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) return Fail(FsProblem::Missing);
    close(impl_->fd);
    impl_->fd = fd;
    impl_->dev = up.dev;
    impl_->SetTraits(TraitsAt(up.dev, fd, ""));
    impl_->ino = up.ino;
    impl_->diskPath.resize(up.pathLength);
    impl_->trail.pop_back();
    impl_->Forget(false);
    return true;
}

void FolderReader::Close() {
    if (impl_->fd >= 0) close(impl_->fd);
    impl_->fd = -1;
    for (const Impl::Up& up : impl_->trail)
        if (up.fd >= 0) close(up.fd);
    impl_->trail.clear();
    impl_->diskPath.clear();
    impl_->Forget(false);
}

bool FolderReader::Failed() const { return impl_->failed; }

}  // namespace ferro
