#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/codec.h"
#include "platform/collate.h"
#include "platform/disk.h"
#include "platform/dosattrib.h"
#include "platform/file_io.h"
#include "platform/memory.h"
#include "platform/native_attrib.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {
namespace {

thread_local FsProblem t_lastProblem = FsProblem::None;

bool Fail(FsProblem problem) {
    t_lastProblem = problem;
    return false;
}
bool FailErrno() { return Fail(FsProblemFromErrno(errno)); }

constexpr int64_t kNsPerSec = 1000000000LL;
// Bits of the DOS record that Linux cannot express itself.
constexpr uint32_t kStoredBits = attr::Hidden | attr::System | attr::Archive | attr::Temporary |
                                 attr::Offline | attr::NotContentIndexed;

// GBK path to disk bytes; fails for text that is not GB18030 or that holds
// a NUL (which would silently cut a C string short).
bool ToDisk(std::string_view gbk, std::string& out) {
    if (gbk.empty() || gbk.find('\0') != std::string_view::npos) return false;
    return GbkToDisk(gbk, out);
}

FileTime ToFileTime(const statx_timestamp& ts) {
    return static_cast<int64_t>(ts.tv_sec) * kNsPerSec + ts.tv_nsec;
}
timespec ToTimespec(FileTime t) {
    timespec ts{};
    int64_t sec = t / kNsPerSec;
    int64_t ns = t % kNsPerSec;
    if (ns < 0) {
        ns += kNsPerSec;
        --sec;
    }
    ts.tv_sec = static_cast<time_t>(sec);
    ts.tv_nsec = static_cast<long>(ns);
    return ts;
}

bool IsDotName(std::string_view name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

bool ReadDosAttrib(const char* diskPath, DosAttrib& value) {
    char buf[256];
    ssize_t n = lgetxattr(diskPath, kDosAttribName, buf, sizeof buf);
    if (n <= 0) return false;
    return DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), value);
}

// The record of an entry of an open folder, by its name alone, so that it
// is found at any depth. getxattrat (Linux 6.13) spares the kernel a path
// walk; older kernels read it through the folder's descriptor in /proc.
bool ReadDosAttribAt(int dirFd, const char* name, DosAttrib& value) {
    char buf[256];
    ssize_t n = -1;
    static std::atomic<bool> noGetxattrat{false};
#if defined(__x86_64__) || defined(__aarch64__)
    if (!noGetxattrat.load(std::memory_order_relaxed)) {
        struct {
            uint64_t value;
            uint32_t size;
            uint32_t flags;
        } args{reinterpret_cast<uint64_t>(buf), sizeof buf, 0};
        constexpr long kGetxattrat = 464;
        n = syscall(kGetxattrat, dirFd, name, AT_SYMLINK_NOFOLLOW, kDosAttribName, &args,
                    sizeof args);
        if (n < 0 && errno == ENOSYS) noGetxattrat.store(true, std::memory_order_relaxed);
        if (n <= 0 && !noGetxattrat.load(std::memory_order_relaxed)) return false;
    }
#else
    noGetxattrat.store(true, std::memory_order_relaxed);
#endif
    if (noGetxattrat.load(std::memory_order_relaxed)) {
        const std::string path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + std::string(name);
        n = lgetxattr(path.c_str(), kDosAttribName, buf, sizeof buf);
    }
    if (n <= 0) return false;
    return DecodeDosAttrib(std::string_view(buf, static_cast<std::size_t>(n)), value);
}

// Writes the record, briefly lending the owner write permission when a
// read-only file would refuse it (root never needs that).
bool WriteDosAttrib(const std::string& diskPath, const DosAttrib& value) {
    std::string blob = EncodeDosAttrib(value);
    if (lsetxattr(diskPath.c_str(), kDosAttribName, blob.data(), blob.size(), 0) == 0) return true;
    if (errno != EACCES && errno != EPERM) return false;
    struct stat st{};
    if (lstat(diskPath.c_str(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != geteuid())
        return false;
    if (chmod(diskPath.c_str(), st.st_mode | S_IWUSR) != 0) return false;
    int rc = lsetxattr(diskPath.c_str(), kDosAttribName, blob.data(), blob.size(), 0);
    chmod(diskPath.c_str(), st.st_mode & 07777);
    return rc == 0;
}

uint32_t ComputeAttributes(const struct stat& st, std::string_view gbkName, const DosAttrib* dos,
                           bool targetIsDir) {
    uint32_t a = 0;
    if (S_ISLNK(st.st_mode)) {
        a = attr::ReparsePoint | (targetIsDir ? attr::Directory : attr::Archive);
    } else if (S_ISDIR(st.st_mode)) {
        a = attr::Directory | (dos ? (dos->attributes & kStoredBits) : 0);
        if (!(st.st_mode & S_IWUSR)) a |= attr::ReadOnly;
    } else if (S_ISREG(st.st_mode)) {
        a = dos ? (dos->attributes & kStoredBits) : attr::Archive;
        if (!(st.st_mode & S_IWUSR)) a |= attr::ReadOnly;
    } else {
        a = attr::Device;
    }
    if (IsDotName(gbkName)) a |= attr::Hidden;
    if (a == 0) a = attr::Normal;
    return a;
}

// Whether a link leads to a folder: by its name in an open folder
// (dirFd >= 0) or by its full disk path.
bool LinkTargetIsDir(int dirFd, const char* name) {
    struct stat t{};
    return fstatat(dirFd >= 0 ? dirFd : AT_FDCWD, name, &t, 0) == 0 && S_ISDIR(t.st_mode);
}

// The fields of statx an entry holds.
constexpr unsigned kEntryStatx =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

// An entry from its statx and its DOS record (nullptr: none); targetDir
// tells, for a link, whether it leads to a folder.
void EntryFromStatx(std::string_view gbkName, const struct statx& sx, const DosAttrib* dos,
                    bool targetDir, FindEntry& e) {
    struct stat st{};
    st.st_mode = sx.stx_mode;
    const bool hasDos = dos != nullptr;
    e.name.assign(gbkName);
    e.attributes = ComputeAttributes(st, gbkName, dos, targetDir);
    e.size = S_ISREG(st.st_mode) ? static_cast<int64_t>(sx.stx_size) : 0;
    e.lastAccessTime = ToFileTime(sx.stx_atime);
    e.lastWriteTime = ToFileTime(sx.stx_mtime);
    if (hasDos && dos->createTime) e.creationTime = *dos->createTime;
    else if (sx.stx_mask & STATX_BTIME) e.creationTime = ToFileTime(sx.stx_btime);
    else e.creationTime = e.lastWriteTime;
}

// An entry from its statx: the rest (the DOS record, a link's target) is
// looked up by name in an open folder (dirFd >= 0) or by full disk path.
// The traits of the disk an entry is on (by its name in an open folder,
// dirFd >= 0, or by its full disk path).
io::DiskTraits TraitsAt(dev_t dev, int dirFd, const char* name) {
    io::DiskTraits traits;
    if (io::KnownTraits(dev, traits)) return traits;
    return io::TraitsOf(dev, dirFd >= 0 ? "/proc/self/fd/" + std::to_string(dirFd) : std::string(name));
}

// The attributes and created time a disk keeps itself take the place of
// those of the mode and the record.
void AddNative(const io::DiskTraits& traits, int dirFd, const char* name, bool hasRecordTime,
               FindEntry& e) {
    io::NativeDos native;
    if (!io::ReadNativeDos(traits, dirFd, name, native)) return;
    e.attributes = io::WithNative(e.attributes, native);
    if (IsDotName(e.name)) e.attributes = (e.attributes & ~attr::Normal) | attr::Hidden;
    if (native.created && !hasRecordTime) e.creationTime = *native.created;
}

// traits: those of the entry's disk where the caller knows them (a folder
// reader knows its folder's), nullptr to look them up.
void FinishEntry(int dirFd, const char* name, std::string_view gbkName, const struct statx& sx,
                 FindEntry& e, const io::DiskTraits* known = nullptr) {
    const bool link = S_ISLNK(sx.stx_mode);
    DosAttrib dos;
    const bool hasDos =
        !link && (dirFd >= 0 ? ReadDosAttribAt(dirFd, name, dos) : ReadDosAttrib(name, dos));
    EntryFromStatx(gbkName, sx, hasDos ? &dos : nullptr, link && LinkTargetIsDir(dirFd, name), e);
    if (link) return;
    const io::DiskTraits traits =
        known ? *known : TraitsAt(makedev(sx.stx_dev_major, sx.stx_dev_minor), dirFd, name);
    if (traits.attributes != io::DiskTraits::Attributes::Record)
        AddNative(traits, dirFd, name, hasDos && dos.createTime, e);
}

// Everything about one entry: by its name in an open folder (dirFd >= 0)
// or by its full disk path (dirFd < 0).
bool FillEntry(int dirFd, const char* name, std::string_view gbkName, FindEntry& e,
               const io::DiskTraits* known = nullptr) {
    struct statx sx;
    if (statx(dirFd >= 0 ? dirFd : AT_FDCWD, name, AT_SYMLINK_NOFOLLOW, kEntryStatx, &sx) != 0)
        return false;
    FinishEntry(dirFd, name, gbkName, sx, e, known);
    return true;
}

bool HasWildcards(std::string_view mask) {
    return mask.find_first_of("*?") != std::string_view::npos;
}

// Splits "folder/mask"; an empty folder before a leading '/' is the root,
// no '/' at all is the current directory.
void SplitPattern(std::string_view pattern, std::string& folder, std::string& mask) {
    std::size_t p = pattern.rfind('/');
    if (p == std::string_view::npos) {
        folder = ".";
        mask.assign(pattern);
        return;
    }
    folder.assign(pattern.substr(0, p));
    if (folder.empty()) folder = "/";
    mask.assign(pattern.substr(p + 1));
}

bool Excluded(uint32_t attributes, uint32_t attrSet) {
    constexpr uint32_t kSpecial = attr::Hidden | attr::System | attr::VolumeId | attr::Directory;
    return (attributes & ~attrSet & kSpecial) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// FolderReader

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

// ---------------------------------------------------------------------------
// FileFinder

struct FileFinder::Impl {
    FolderReader reader;
    MaskMatcher mask{std::string_view()};
    uint32_t attrSet = 0;
    bool single = false;
};

FileFinder::FileFinder() : impl_(new Impl) {}
FileFinder::~FileFinder() { delete impl_; }

bool FileFinder::First(std::string_view pattern, uint32_t attrSet, FindEntry& entry) {
    Close();
    std::string folder, mask;
    SplitPattern(pattern, folder, mask);
    impl_->attrSet = attrSet;
    if (mask.empty()) return false;
    if (!HasWildcards(mask)) {
        impl_->single = true;
        std::string path = folder == "/" ? "/" + mask : folder + "/" + mask;
        if (!StatPath(path, entry)) return false;
        return !Excluded(entry.attributes, attrSet);
    }
    impl_->mask = MaskMatcher(mask);
    if (!impl_->reader.Open(folder)) return false;
    return Next(entry);
}

bool FileFinder::Next(FindEntry& entry) {
    if (impl_->single) return false;
    DirItem item;
    while (impl_->reader.Next(item)) {
        if (!impl_->mask.Matches(item.name)) continue;
        if (!impl_->reader.Stat(item, entry)) continue;
        if (Excluded(entry.attributes, impl_->attrSet)) continue;
        return true;
    }
    return false;
}

void FileFinder::Close() {
    impl_->reader.Close();
    impl_->single = false;
}

// ---------------------------------------------------------------------------
// Why a call failed

FsProblem LastFsProblem() { return t_lastProblem; }
void SetLastFsProblem(FsProblem problem) { t_lastProblem = problem; }

FsProblem FsProblemFromErrno(int error) {
    switch (error) {
        case 0: return FsProblem::Io;
        case ENOENT:
        case ENOTDIR: return FsProblem::Missing;
        case EEXIST:
        case ENOTEMPTY: return FsProblem::Exists;
        case EROFS: return FsProblem::ReadOnly;
        case EACCES:
        case EPERM: return FsProblem::NoAccess;
        case EISDIR:
        case ELOOP:
        case ENXIO:
        case ENODEV: return FsProblem::NotAFile;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
        case ENAMETOOLONG: return FsProblem::NoSpace;
        default: return FsProblem::Io;
    }
}

// ---------------------------------------------------------------------------
// Single paths

bool StatPath(std::string_view path, FindEntry& entry) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    return FillEntry(-1, disk.c_str(), ExtractFileName(path), entry) || FailErrno();
}

bool FileExists(std::string_view path) {
    std::string disk;
    struct stat st{};
    return ToDisk(path, disk) && stat(disk.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    std::string disk;
    struct stat st{};
    return ToDisk(path, disk) && lstat(disk.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uint32_t GetFileAttributes(std::string_view path) {
    FindEntry e;
    if (!StatPath(path, e)) return attr::Invalid;
    return e.attributes;
}

bool SetFileAttributes(std::string_view path, uint32_t attributes) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISLNK(st.st_mode) || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)))
        return Fail(FsProblem::NotAFile);
    if ((attributes & ~attr::Settable) != 0) return Fail(FsProblem::Io);
    if (attributes & attr::Normal) attributes &= ~attr::Normal;
    const io::DiskTraits traits = io::TraitsOf(st.st_dev, disk);
    if (traits.attributes != io::DiskTraits::Attributes::Record)
        return io::WriteNativeAttributes(traits, disk, attributes) || FailErrno();

    DosAttrib dos;
    bool hasDos = ReadDosAttrib(disk.c_str(), dos);
    uint32_t stored = attributes & kStoredBits;
    uint32_t plain = S_ISDIR(st.st_mode) ? 0 : attr::Archive;
    DosAttrib next = dos;
    next.attributes = stored | (attributes & attr::ReadOnly) | (S_ISDIR(st.st_mode) ? attr::Directory : 0);
    if (!WriteDosAttrib(disk, next)) {
        // Without extended attributes only the plain set is possible.
        if (errno != ENOTSUP && errno != EOPNOTSUPP) return FailErrno();
        if (stored != plain || (hasDos && dos.createTime)) return Fail(FsProblem::Io);
    }
    mode_t mode = st.st_mode & 07777;
    mode_t want = (attributes & attr::ReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
    if (want != mode) {
        // A disk without modes of its own may take the call and change
        // nothing (exFAT through FUSE): read-only is then not set at all.
        struct stat now{};
        int error = 0;
        if (chmod(disk.c_str(), want) != 0) error = errno;
        else if (lstat(disk.c_str(), &now) != 0 || (now.st_mode & 07777) != want) error = ENOTSUP;
        if (error != 0) {
            if (hasDos) WriteDosAttrib(disk, dos);
            else lremovexattr(disk.c_str(), kDosAttribName);
            return Fail(error == ENOTSUP ? FsProblem::Io : FsProblemFromErrno(error));
        }
    }
    return true;
}

bool GetFileTimes(std::string_view path, FileTimes& times) {
    FindEntry e;
    if (!StatPath(path, e)) return false;
    times.creation = e.creationTime;
    times.lastAccess = e.lastAccessTime;
    times.lastWrite = e.lastWriteTime;
    return true;
}

bool SetFileTimes(std::string_view path, std::optional<FileTime> creation,
                  std::optional<FileTime> lastAccess, std::optional<FileTime> lastWrite) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISLNK(st.st_mode) || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)))
        return Fail(FsProblem::NotAFile);
    // A read-only file cannot be opened for writing, so its times stay.
    if (S_ISREG(st.st_mode) && io::IsReadOnlyFile(st, disk)) return Fail(FsProblem::ReadOnly);

    DosAttrib old;
    bool hadDos = ReadDosAttrib(disk.c_str(), old);
    const io::DiskTraits traits = io::TraitsOf(st.st_dev, disk);
    std::optional<FileTime> nativeCreated;  // the disk's own, to put back
    if (creation && traits.attributes == io::DiskTraits::Attributes::NtfsXattr) {
        io::NativeDos native;
        if (io::ReadNativeDos(traits, -1, disk.c_str(), native)) nativeCreated = native.created;
        if (!nativeCreated || !io::WriteNativeCreated(traits, disk, *creation)) return FailErrno();
        creation.reset();
    }
    if (creation) {
        DosAttrib next = old;
        if (!hadDos) {
            FindEntry e;
            if (!FillEntry(-1, disk.c_str(), ExtractFileName(path), e)) return FailErrno();
            next.attributes = (e.attributes & (kStoredBits | attr::ReadOnly)) |
                              (S_ISDIR(st.st_mode) ? attr::Directory : 0);
            if (S_ISREG(st.st_mode) && (next.attributes & kStoredBits) == 0 &&
                !(e.attributes & attr::Hidden))
                next.attributes |= attr::Archive;
        }
        next.createTime = *creation;
        if (!WriteDosAttrib(disk, next)) return FailErrno();
    }
    if (lastAccess || lastWrite) {
        timespec ts[2];
        ts[0] = lastAccess ? ToTimespec(*lastAccess) : timespec{0, UTIME_OMIT};
        ts[1] = lastWrite ? ToTimespec(*lastWrite) : timespec{0, UTIME_OMIT};
        if (utimensat(AT_FDCWD, disk.c_str(), ts, AT_SYMLINK_NOFOLLOW) != 0) {
            FailErrno();
            if (nativeCreated) io::WriteNativeCreated(traits, disk, *nativeCreated);
            if (creation) {
                if (hadDos) WriteDosAttrib(disk, old);
                else lremovexattr(disk.c_str(), kDosAttribName);
            }
            return false;
        }
    }
    return true;
}

namespace {

// Why a rename failed: a disk of Windows refuses a name it cannot hold with
// EPERM (FAT through FUSE), EINVAL or ENOENT (exFAT through FUSE, for a
// source that is there all the same); a name too long for a disk is
// refused as well.
FsProblem RenameProblem(int error, const std::string& from, const std::string& to) {
    if (error == ENAMETOOLONG) return FsProblem::NameRefused;
    if (error == EPERM || error == EINVAL || error == ENOENT) {
        struct stat st{}, folder{};
        if (lstat(from.c_str(), &st) == 0 && io::TraitsOf(st.st_dev, from).windowsNames &&
            (error != ENOENT ||
             (stat(io::FolderOf(to).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode))))
            return FsProblem::NameRefused;
    }
    return FsProblemFromErrno(error);
}

}  // namespace

bool MoveFile(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToDisk(from, a) || !ToDisk(to, b)) return Fail(FsProblem::Missing);
    // Asked first, also for names outside ASCII: the FUSE driver of FAT
    // that takes ASCII names alone loses the file it is asked to rename to
    // any other.
    const std::string name = ExtractFileName(to);
    if (io::NameNeedsDiskCheck(name, true) &&
        !io::DiskTakesName(io::TraitsOfPath(io::FolderOf(b)), name))
        return Fail(FsProblem::NameRefused);
    if (io::MoveNoReplace(a, b)) return true;
    return Fail(RenameProblem(errno, a, b));
}

bool NameAllowedOnDisk(std::string_view folder, std::string_view name) {
    if (!io::NameNeedsDiskCheck(name, true)) return true;
    std::string disk;
    if (!ToDisk(folder, disk)) return true;  // not for the disk to say
    return io::DiskTakesName(io::TraitsOfPath(disk), name);
}

bool IsSameEntry(std::string_view path, std::string_view target) {
    std::string a, b;
    return ToDisk(path, a) && ToDisk(target, b) && io::SameEntry(a, b);
}

bool PutBackCaseRename(std::string_view from, std::string_view to) {
    std::string a, b;
    if (!ToDisk(from, a) || !ToDisk(to, b)) return false;
    const std::string temp = io::CaseRenameTemporary(b);
    struct stat st{};
    if (lstat(temp.c_str(), &st) != 0) return false;
    // Whether a name is there is asked of the listing, in any case: a FUSE
    // driver of a case-insensitive disk leaves the kernel a name it was
    // looked up by for a moment after the file has gone from it.
    std::u16string keyA, keyB, key;
    AppendFileNameKey(ExtractFileName(from), keyA);
    AppendFileNameKey(ExtractFileName(to), keyB);
    DIR* dir = opendir(io::FolderOf(a).c_str());
    if (!dir) return false;
    bool taken = false;
    while (const dirent* d = readdir(dir)) {
        key.clear();
        AppendFileNameKey(DiskToGbk(d->d_name), key);
        if (key == keyA || key == keyB) taken = true;
    }
    closedir(dir);
    return !taken && io::MoveNoReplace(temp, a);
}

bool DeleteFile(std::string_view path) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    struct stat st{};
    if (lstat(disk.c_str(), &st) != 0) return FailErrno();
    if (S_ISDIR(st.st_mode)) return Fail(FsProblem::NotAFile);
    if (S_ISREG(st.st_mode) && io::IsReadOnlyFile(st, disk)) return Fail(FsProblem::ReadOnly);
    return unlink(disk.c_str()) == 0 || FailErrno();
}

bool ReadFileBytes(std::string_view path, std::string& data) {
    data.clear();
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FailErrno();
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(FsProblem::NotAFile);
    }
    // One buffer of the file's size, filled in pieces so that window
    // messages are processed on the way; a file that grew meanwhile is read
    // to its end all the same.
    const auto size = static_cast<std::size_t>(st.st_size);
    ReserveLarge(data, size);
    constexpr std::size_t kPiece = 8 << 20;
    std::size_t got = 0;
    bool ok = true;
    while (true) {
        char more[4096];
        const bool atSize = got >= size;
        if (!atSize) data.resize(got + std::min(kPiece, size - got));
        char* into = atSize ? more : data.data() + got;
        const std::size_t want = atSize ? sizeof more : data.size() - got;
        ssize_t n = read(fd, into, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = FailErrno();
        if (n <= 0) break;
        if (atSize) data.append(more, static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
        ProcessPendingMessagesTimed();
    }
    close(fd);
    data.resize(got);
    if (!ok) data.clear();
    return ok;
}

bool ReadFilePieces(std::string_view path, const std::function<void(std::uint64_t size)>& begin,
                    const std::function<bool(std::string_view piece)>& take) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FailErrno();
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(FsProblem::NotAFile);
    }
    // Closed however the reading ends: take may throw.
    const std::unique_ptr<const int, void (*)(const int*)> closer(
        &fd, [](const int* f) { close(*f); });
    begin(static_cast<std::uint64_t>(st.st_size));
    // A megabyte stays in the processor's cache between the read and the
    // conversion that follows it.
    constexpr std::size_t kPiece = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    bool ok = true;
    while (true) {
        const ssize_t n = read(fd, buffer.get(), kPiece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = FailErrno();
        if (n <= 0) break;
        if (!take(std::string_view(buffer.get(), static_cast<std::size_t>(n)))) break;
        ProcessPendingMessagesTimed();
    }
    return ok;
}

std::string GetCurrentDir() {
    std::vector<char> buf(PATH_MAX);
    if (!getcwd(buf.data(), buf.size())) return std::string();
    return DiskToGbk(buf.data());
}

bool SetCurrentDir(std::string_view path) {
    std::string disk;
    return ToDisk(path, disk) && chdir(disk.c_str()) == 0;
}

std::string ProgramDir() {
    std::vector<char> buf(PATH_MAX);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return GetCurrentDir() + "/";
    std::string exe(buf.data(), static_cast<std::size_t>(n));
    return DiskToGbk(exe.substr(0, exe.rfind('/') + 1));
}

std::string ExtractFileName(std::string_view path) {
    std::size_t p = path.rfind('/');
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::size_t p = path.rfind('/');
    if (p == std::string_view::npos) return std::string();
    if (p == 0) return "/";
    return std::string(path.substr(0, p));
}

std::string ExtractFileExt(std::string_view path) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string();
    return std::string(path.substr(dot));
}

bool ReadDiskAttributeRecord(std::string_view path, std::string& record) {
    std::string disk;
    return ToDisk(path, disk) && io::ReadNativeRecord(disk, record);
}

bool WriteDiskAttributeRecord(std::string_view path, std::string_view record) {
    std::string disk;
    if (!ToDisk(path, disk)) return Fail(FsProblem::Missing);
    return io::WriteNativeRecord(disk, record) || FailErrno();
}

bool SupportsExtendedAttributes(std::string_view path) {
    std::string disk;
    if (!ToDisk(path, disk)) return false;
    char c;
    if (lgetxattr(disk.c_str(), kDosAttribName, &c, 0) >= 0) return true;
    return errno != ENOTSUP && errno != EOPNOTSUPP;
}

}  // namespace ferro
