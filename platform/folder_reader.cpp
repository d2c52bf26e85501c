// FolderReader: the listing of a folder read whole and sorted as Windows
// lists it, the walk down and up the tree, and the batched stat calls.
#include <dirent.h>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/codec.h"
#include "platform/collate.h"
#include "platform/file_io.h"
#include "platform/fs.h"
#include "platform/fs_entry.h"
#include "platform/native_attrib.h"

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
// handed to the kernel together through an io_uring: one system call for a
// batch instead of one a call, and the kernel's own workers make the calls
// while this thread waits. Where the kernel has no io_uring or refuses it (a
// sandbox, a setting), Ready says so and the caller makes the calls itself.
class FsRing {
public:
    static constexpr unsigned kEntries = 512;  // the most calls of one batch

    FsRing() = default;
    FsRing(const FsRing&) = delete;
    FsRing& operator=(const FsRing&) = delete;
    ~FsRing() {
        if (fd_ < 0) return;
        munmap(sqes_, sqesBytes_);
        munmap(rings_, ringBytes_);
        close(fd_);
    }

    // Whether the ring can be used: made at the first call.
    bool Ready() { return !broken_ && (fd_ >= 0 || Setup()); }

    // The index-th call of the next batch (index < kEntries), cleared, for
    // the caller to fill in; its result comes back in result[index].
    io_uring_sqe& Call(std::size_t index) {
        io_uring_sqe& q = sqes_[(*sqTail_ + static_cast<unsigned>(index)) & sqMask_];
        std::memset(&q, 0, sizeof q);
        q.user_data = index;
        return q;
    }

    // Hands calls 0 .. count - 1 to the kernel and waits for them all; each
    // result (0 or more, or -errno) goes to result[index]. False when the
    // kernel stopped answering with calls in flight: the ring is then given
    // up, and whatever the calls write into must never be used again, since
    // the kernel may still write into it.
    bool Run(std::size_t count, int* result) {
        Store(sqTail_, Load(sqTail_) + static_cast<unsigned>(count));
        std::size_t submitted = 0, completed = 0;
        while (completed < count) {
            const long n =
                syscall(SYS_io_uring_enter, fd_, static_cast<unsigned>(count - submitted), 1u,
                        IORING_ENTER_GETEVENTS, nullptr, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EBUSY)) continue;
            if (n < 0) {
                broken_ = true;
                return false;
            }
            submitted += static_cast<std::size_t>(n);
            unsigned head = Load(cqHead_);
            for (const unsigned end = Load(cqTail_); head != end; ++head) {
                const io_uring_cqe& c = cqes_[head & cqMask_];
                result[c.user_data] = c.res;
                ++completed;
            }
            Store(cqHead_, head);
        }
        return true;
    }

private:
    static unsigned Load(const unsigned* p) {
        return __atomic_load_n(p, __ATOMIC_ACQUIRE);
    }
    static void Store(unsigned* p, unsigned v) { __atomic_store_n(p, v, __ATOMIC_RELEASE); }

    bool Setup() {
        io_uring_params p{};
        const int fd = static_cast<int>(syscall(SYS_io_uring_setup, kEntries, &p));
        if (fd < 0 || !(p.features & IORING_FEAT_SINGLE_MMAP)) {
            if (fd >= 0) close(fd);
            broken_ = true;
            return false;
        }
        ringBytes_ = std::max<std::size_t>(p.sq_off.array + p.sq_entries * sizeof(unsigned),
                                           p.cq_off.cqes + p.cq_entries * sizeof(io_uring_cqe));
        sqesBytes_ = p.sq_entries * sizeof(io_uring_sqe);
        void* rings = mmap(nullptr, ringBytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                           fd, IORING_OFF_SQ_RING);
        void* sqes = mmap(nullptr, sqesBytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                          fd, IORING_OFF_SQES);
        if (rings == MAP_FAILED || sqes == MAP_FAILED || p.sq_entries < kEntries ||
            p.cq_entries < kEntries) {
            if (rings != MAP_FAILED) munmap(rings, ringBytes_);
            if (sqes != MAP_FAILED) munmap(sqes, sqesBytes_);
            close(fd);
            broken_ = true;
            return false;
        }
        char* r = static_cast<char*>(rings);
        rings_ = rings;
        sqes_ = static_cast<io_uring_sqe*>(sqes);
        sqTail_ = reinterpret_cast<unsigned*>(r + p.sq_off.tail);
        sqMask_ = *reinterpret_cast<unsigned*>(r + p.sq_off.ring_mask);
        cqHead_ = reinterpret_cast<unsigned*>(r + p.cq_off.head);
        cqTail_ = reinterpret_cast<unsigned*>(r + p.cq_off.tail);
        cqMask_ = *reinterpret_cast<unsigned*>(r + p.cq_off.ring_mask);
        cqes_ = reinterpret_cast<io_uring_cqe*>(r + p.cq_off.cqes);
        // Each submission slot always holds the entry of the same index.
        auto* array = reinterpret_cast<unsigned*>(r + p.sq_off.array);
        for (unsigned i = 0; i < p.sq_entries; ++i) array[i] = i;
        fd_ = fd;
        return true;
    }

    int fd_ = -1;
    bool broken_ = false;
    void* rings_ = nullptr;
    std::size_t ringBytes_ = 0, sqesBytes_ = 0;
    io_uring_sqe* sqes_ = nullptr;
    unsigned* sqTail_ = nullptr;
    unsigned sqMask_ = 0;
    unsigned* cqHead_ = nullptr;
    unsigned* cqTail_ = nullptr;
    unsigned cqMask_ = 0;
    io_uring_cqe* cqes_ = nullptr;
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
    // attributes is asked entry by entry.
    while (count - done >= kWorthBatching && !impl_->native && impl_->ring.Ready()) {
        const std::size_t n = std::min(count - done, Batch::kNames);
        if (!impl_->batch) impl_->batch = std::make_unique<Batch>();
        Batch& b = *impl_->batch;
        FsRing& ring = impl_->ring;
        for (std::size_t i = 0; i < n; ++i) {
            io_uring_sqe& q = ring.Call(i);
            q.opcode = IORING_OP_STATX;
            q.fd = fd;
            q.addr = reinterpret_cast<uint64_t>(items[done + i].diskName);
            q.len = kEntryStatx;
            q.off = reinterpret_cast<uint64_t>(&b.stats[i]);
            q.statx_flags = AT_SYMLINK_NOFOLLOW;
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
            io_uring_sqe& q = ring.Call(static_cast<std::size_t>(recordCall[i]));
            q.opcode = IORING_OP_GETXATTR;
            q.addr = reinterpret_cast<uint64_t>(kDosAttribName);
            q.addr2 = reinterpret_cast<uint64_t>(b.records[i]);
            q.len = Batch::kRecord;
            q.addr3 = reinterpret_cast<uint64_t>(paths.data() + pathAt[i]);
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
    for (; done < count; ++done)
        ok[done] = FillEntry(fd, items[done].diskName, items[done].name, entries[done],
                             &impl_->traits);
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
