#include "journal/recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "journal/journal.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/times.h"
#include "platform/workers.h"

namespace ferro {
namespace {

using journal::FileState;
using journal::Item;
using journal::ItemKind;

constexpr std::size_t kWriteEveryBytes = 64 * 1024;
constexpr auto kWriteEvery = std::chrono::milliseconds(200);
constexpr auto kSyncEvery = std::chrono::milliseconds(1000);

std::string Key(ItemKind kind, std::string_view path, std::string_view to) {
    std::string key(1, static_cast<char>(kind));
    key += path;
    key += '\0';
    key += to;
    return key;
}

ItemKind KindOf(ChangeRecorder::Change change) {
    switch (change) {
        case ChangeRecorder::Change::Rename: return ItemKind::Rename;
        case ChangeRecorder::Change::Times: return ItemKind::Times;
        case ChangeRecorder::Change::Attributes: return ItemKind::Attributes;
    }
    return ItemKind::Rename;
}

void RemoveTemporaryFolder(const std::string& disk) {
    unlink((disk + "/log").c_str());
    rmdir((disk + "/kept").c_str());
    rmdir(disk.c_str());
}

// Copies a file's bytes to a new file and flushes it; false (errno set)
// when not every byte made it.
bool CopyFlushed(const std::string& from, const std::string& to) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return false;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const int error = errno;
        close(in);
        errno = error;
        return false;
    }
    struct stat st{};
    bool ok = fstat(in, &st) == 0;
    off_t copied = 0;
    bool plain = false;  // copy_file_range refused: read and write instead
    while (ok) {
        ssize_t n;
        if (!plain) {
            n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                          errno == EOPNOTSUPP) && copied == 0) {
                plain = true;
                continue;
            }
        } else {
            static thread_local char buf[1 << 16];
            n = read(in, buf, sizeof buf);
            for (ssize_t done = 0; n > 0 && done < n;) {
                const ssize_t w = write(out, buf + done, static_cast<std::size_t>(n - done));
                if (w < 0 && errno != EINTR) {
                    n = -1;
                    break;
                }
                if (w > 0) done += w;
            }
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            copied += n;
        }
    }
    ok = ok && copied == st.st_size && fsync(out) == 0;
    const int error = errno;
    close(in);
    if (close(out) != 0) ok = false;
    if (!ok) {
        unlink(to.c_str());
        errno = error ? error : EIO;
    }
    return ok;
}

// Gives the file at disk a second name kept: a hard link where the disk
// allows one, else a flushed copy. False (LastFsProblem says why) when
// neither could be made.
bool KeepUnder(const std::string& disk, const std::string& kept, bool& copied) {
    copied = false;
    if (link(disk.c_str(), kept.c_str()) == 0) return true;
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != ENOTSUP &&
        errno != EOPNOTSUPP) {
        SetLastFsProblem(FsProblemFromErrno(errno));
        return false;
    }
    copied = true;
    if (CopyFlushed(disk, kept)) return true;
    SetLastFsProblem(FsProblemFromErrno(errno));
    return false;
}

// The hash of one new content, taken as it is written.
class ContentHashNote final : public WrittenNote {
public:
    ContentHashNote() : state_(XXH3_createState()) {
        ok_ = state_ && XXH3_64bits_reset(state_) == XXH_OK;
    }
    ~ContentHashNote() override {
        if (state_) XXH3_freeState(state_);
    }
    void Wrote(std::string_view piece) override {
        if (!ok_) return;
        XXH3_64bits_update(state_, piece.data(), piece.size());
        bytes_ += static_cast<int64_t>(piece.size());
    }
    // The hash, when every byte of a content of `size` bytes went through.
    bool Hash(int64_t size, uint64_t& hash) const {
        if (!ok_ || bytes_ != size) return false;
        hash = XXH3_64bits_digest(state_);
        return true;
    }

private:
    XXH3_state_t* state_;
    bool ok_ = false;
    int64_t bytes_ = 0;
};

}  // namespace

RunRecorder::RunRecorder(Journal& journal, std::string operation, std::string origin)
    : journal_(journal), operation_(std::move(operation)), origin_(std::move(origin)) {}

RunRecorder::~RunRecorder() {
    Close();
    if (hash_) XXH3_freeState(static_cast<XXH3_state_t*>(hash_));
}

bool RunRecorder::Open() {
    if (log_.IsOpen()) return true;
    if (failed_ || closed_) return false;
    // The log is made in a folder of a temporary name and on disk before the
    // folder takes the run's name: a run folder always has its log.
    std::string temp;
    if (!journal_.NewRunFolder(temp)) {
        failed_ = true;
        return false;
    }
    startedNs_ = NowFileTime();
    if (!log_.Create(temp + "/log") ||
        !log_.Append(journal::HeaderRecord() +
                     journal::RunRecord(operation_, startedNs_, origin_)) ||
        !log_.Sync() || !journal_.PublishRunFolder(temp, id_, folder_)) {
        log_.Close();
        RemoveTemporaryFolder(temp);
        id_.clear();
        failed_ = true;
        return false;
    }
    FsyncFolder(folder_);
    struct stat st{};
    if (stat(folder_.c_str(), &st) == 0) device_ = st.st_dev;
    lastWrite_ = lastSync_ = std::chrono::steady_clock::now();
    return true;
}

bool RunRecorder::WriteNow(const std::string& records) {
    if (failed_ || !log_.IsOpen()) return false;
    buffer_ += records;
    if (!log_.Append(buffer_) || !log_.Sync()) {
        failed_ = true;
        return false;
    }
    buffer_.clear();
    lastWrite_ = lastSync_ = std::chrono::steady_clock::now();
    return true;
}

void RunRecorder::WriteSoon(const std::string& record) {
    if (failed_ || !log_.IsOpen()) return;
    buffer_ += record;
    const auto now = std::chrono::steady_clock::now();
    if (buffer_.size() >= kWriteEveryBytes || now - lastWrite_ >= kWriteEvery) {
        if (!log_.Append(buffer_)) failed_ = true;
        buffer_.clear();
        lastWrite_ = now;
    }
    if (now - lastSync_ >= kSyncEvery) {
        if (!log_.Append(buffer_) || !log_.Sync()) failed_ = true;
        buffer_.clear();
        lastSync_ = lastWrite_ = now;
        }
}

bool RunRecorder::Intend(Item item) {
    if (!Open()) return false;
    const int id = static_cast<int>(items_.size());
    const std::string record = journal::IntentRecord(id, item);
    items_.push_back(std::move(item));
    if (!WriteNow(record)) return false;
    pending_.id = id;
    return true;
}

std::string RunRecorder::KeptDiskPath(int id) const {
    return folder_ + "/kept/" + std::to_string(id);
}

namespace {

// The states of a plan's files before they change; there[i] false where
// nothing is. A long plan's are read on two threads: each call waits on
// the kernel in turn.
void ReadPlannedStates(const std::vector<ChangeRecorder::Planned>& changes,
                       std::vector<FileState>& states, std::vector<char>& there) {
    states.assign(changes.size(), FileState{});
    there.assign(changes.size(), 0);
    const auto read = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            there[i] = journal::ReadFileState(changes[i].path, states[i],
                                              KindOf(changes[i].change) != ItemKind::Rename);
    };
    constexpr std::size_t kWorthAThread = 256;
    if (changes.size() < kWorthAThread || WorkerCount() < 2) {
        read(0, changes.size());
        return;
    }
    OnTwoThreads(changes.size(), read);
}

}  // namespace

bool RunRecorder::Plan(const std::vector<Planned>& changes) {
    if (changes.empty()) return true;
    if (!Open()) return false;
    const std::size_t firstItem = items_.size(), firstPlanned = plan_.size();
    std::vector<FileState> states;
    std::vector<char> there;
    ReadPlannedStates(changes, states, there);
    std::string records;
    records.reserve(changes.size() * 256);
    items_.reserve(items_.size() + changes.size());
    plan_.reserve(plan_.size() + changes.size());
    for (std::size_t k = 0; k < changes.size(); ++k) {
        const Planned& c = changes[k];
        Item item;
        item.kind = KindOf(c.change);
        // Nothing there: the change will fail by itself.
        if (!there[k]) continue;
        item.before = std::move(states[k]);
        // A rename changes the change time itself: only the identity tells.
        if (item.kind == ItemKind::Rename) item.before.changedNs = 0;
        item.path = c.path;
        item.to = c.to;
        const int id = static_cast<int>(items_.size());
        journal::AppendIntentRecord(records, id, item);
        plan_.push_back(id);
        items_.push_back(std::move(item));
    }
    // A plan that does not fit (a nearly full state disk) is cut off again
    // by the log: the changes are then recorded one by one, as far as they
    // go.
    const uint64_t logged = log_.size();
    if (!log_.Append(buffer_ + records) || !log_.Sync()) {
        log_.Truncate(logged);
        items_.resize(firstItem);
        plan_.resize(firstPlanned);
        return false;
    }
    buffer_.clear();
    lastWrite_ = lastSync_ = std::chrono::steady_clock::now();
    // Once changes are found by key (one was asked for out of order), a
    // later batch's are found the same way.
    if (plannedByKey_)
        for (std::size_t j = firstPlanned; j < plan_.size(); ++j) {
            const Item& item = items_[static_cast<std::size_t>(plan_[j])];
            planned_.emplace(Key(item.kind, item.path, item.to), plan_[j]);
        }
    return true;
}

int RunRecorder::TakePlanned(ItemKind kind, std::string_view path, std::string_view to) {
    // A run asks in the order of its plan, passing over the files it turns
    // out to refuse: a look a little ahead finds the change without a map,
    // which is made only once a change is asked for out of that order.
    constexpr std::size_t kLookAhead = 16;
    if (!plannedByKey_) {
        const std::size_t end = std::min(plan_.size(), nextPlanned_ + kLookAhead);
        for (std::size_t j = nextPlanned_; j < end; ++j) {
            const Item& item = items_[static_cast<std::size_t>(plan_[j])];
            if (item.kind == kind && item.path == path && item.to == to) {
                nextPlanned_ = j + 1;
                return std::exchange(plan_[j], -1);
            }
        }
        if (plan_.empty()) return -1;
        PlannedByKey();
    }
    const auto it = planned_.find(Key(kind, path, to));
    if (it == planned_.end()) return -1;
    const int id = it->second;
    planned_.erase(it);
    return id;
}

void RunRecorder::PlannedByKey() {
    if (plannedByKey_) return;
    plannedByKey_ = true;
    for (const int id : plan_) {
        if (id < 0) continue;  // taken
        const Item& item = items_[static_cast<std::size_t>(id)];
        planned_.emplace(Key(item.kind, item.path, item.to), id);
    }
}

bool RunRecorder::WillRename(std::string_view from, std::string_view to) {
    pending_ = Pending{ItemKind::Rename, -1, {}, {}, {}};
    if (failed_) return false;
    if (const int id = TakePlanned(ItemKind::Rename, from, to); id >= 0) {
        pending_.id = id;
        return true;
    }
    Item item;
    item.kind = ItemKind::Rename;
    item.path.assign(from);
    item.to.assign(to);
    if (!journal::ReadFileState(from, item.before, false)) return true;  // fails by itself
    item.before.changedNs = 0;
    return Intend(std::move(item));
}

bool RunRecorder::WillChangeMetadata(ItemKind kind, std::string_view path) {
    pending_ = Pending{kind, -1, std::string(path), {}, {}};
    if (failed_) return false;
    Item item;
    item.kind = kind;
    item.path.assign(path);
    if (!journal::ReadFileState(path, item.before, true)) return true;  // fails by itself
    if (const int id = TakePlanned(kind, path, {}); id >= 0) {
        // The plan holds what the file is now unless something changed it
        // since (an earlier change of the same run, say).
        const FileState& planned = items_[static_cast<std::size_t>(id)].before;
        if (journal::SameFingerprintAndAttributes(planned, item.before) &&
            (kind != ItemKind::Times || planned.accessedNs == item.before.accessedNs)) {
            pending_.id = id;
            return true;
        }
    }
    return Intend(std::move(item));
}

bool RunRecorder::WillSetTimes(std::string_view path) {
    return WillChangeMetadata(ItemKind::Times, path);
}

bool RunRecorder::WillSetAttributes(std::string_view path) {
    return WillChangeMetadata(ItemKind::Attributes, path);
}

OldContentKeeper* RunRecorder::WillWrite(std::string_view path) {
    pending_ = Pending{ItemKind::Content, -1, std::string(path), {}, {}};
    if (!Open()) return nullptr;
    if (!hash_) hash_ = XXH3_createState();
    hashing_ = hash_ && XXH3_64bits_reset(static_cast<XXH3_state_t*>(hash_)) == XXH_OK;
    hashedBytes_ = 0;
    std::string disk;
    struct stat st{};
    if (GbkToDisk(path, disk) && stat(disk.c_str(), &st) == 0) return this;  // Keep() records it
    return IntendCreate() ? this : nullptr;
}

bool RunRecorder::IntendCreate() {
    // Nothing to keep, but undo must know to remove it.
    Item item;
    item.kind = ItemKind::Create;
    item.path = pending_.path;
    item.of = pending_.of;
    pending_.kind = ItemKind::Create;
    return Intend(std::move(item));
}

bool RunRecorder::WillCopyTo(std::string_view path) { return WillBackUp({}, path); }

bool RunRecorder::WillMakeFolder(std::string_view path) {
    pending_ = Pending{ItemKind::MakeFolder, -1, std::string(path), {}, {}};
    if (failed_) return false;
    Item item;
    item.kind = ItemKind::MakeFolder;
    item.path.assign(path);
    return Intend(std::move(item));
}

bool RunRecorder::WillBackUp(std::string_view file, std::string_view path) {
    pending_ = Pending{ItemKind::Content, -1, std::string(path), {}, {}};
    pending_.of.assign(file);
    hashing_ = false;  // a copy: the recorder sees none of its bytes
    if (!Open()) return false;
    std::string disk;
    struct stat st{};
    if (!GbkToDisk(path, disk)) return false;
    if (lstat(disk.c_str(), &st) != 0) return errno == ENOENT && IntendCreate();
    return KeepOld(pending_.path, Hold::CopyForCopy);
}

bool RunRecorder::WillTrash(std::string_view path) {
    pending_ = Pending{ItemKind::Trash, -1, std::string(path), {}, {}};
    if (failed_) return false;
    Item item;
    item.kind = ItemKind::Trash;
    item.path.assign(path);
    if (!journal::ReadFileState(path, item.before, false)) return true;  // fails by itself
    return Intend(std::move(item));
}

bool RunRecorder::Keep(const std::string& path, bool inPlace) {
    return KeepOld(path, inPlace ? Hold::Copy : Hold::Link);
}

bool RunRecorder::KeepOld(const std::string& path, Hold hold) {
    SetLastFsProblem(FsProblem::Io);
    std::string disk;
    if (!Open() || !GbkToDisk(path, disk)) return false;
    Item item;
    item.kind = ItemKind::Content;
    item.path = path;
    item.inPlace = hold == Hold::Copy;
    item.byCopy = hold == Hold::CopyForCopy;
    if (item.byCopy) item.of = pending_.of;
    if (!journal::ReadFileState(path, item.before, true)) return false;
    const int id = static_cast<int>(items_.size());
    item.kept = std::to_string(id);
    const std::string kept = KeptDiskPath(id);

    // A file about to be replaced stays whole under a second name; one about
    // to be overwritten where it stands, or not known to be spared that, is
    // copied first.
    bool copied = hold != Hold::Link;
    if (copied) {
        if (!CopyFlushed(disk, kept)) {
            SetLastFsProblem(FsProblemFromErrno(errno));
            return false;
        }
    } else if (!KeepUnder(disk, kept, copied)) {
        return false;
    }
    FsyncFolder(folder_ + "/kept");
    if (!Intend(std::move(item))) {
        unlink(kept.c_str());
        SetLastFsProblem(FsProblem::Io);
        return false;
    }
    pending_.kind = ItemKind::Content;
    pending_.path = path;
    pending_.keptCopy = copied;
    return true;
}

void RunRecorder::Wrote(std::string_view piece) {
    if (!hashing_) return;
    XXH3_64bits_update(static_cast<XXH3_state_t*>(hash_), piece.data(), piece.size());
    hashedBytes_ += static_cast<int64_t>(piece.size());
}

std::string RunRecorder::KeptCopy(const std::string& path) {
    if (pending_.kind != ItemKind::Content || pending_.id < 0 || !pending_.keptCopy) return {};
    return DiskToGbk(KeptDiskPath(pending_.id));
}

void RunRecorder::Changed() {
    const int id = pending_.id;
    const ItemKind kind = pending_.kind;
    pending_ = Pending{};
    struct HashingEnds {
        bool& hashing;
        ~HashingEnds() { hashing = false; }
    } hashingEnds{hashing_};
    if (id < 0) return;
    const Item& item = items_[static_cast<std::size_t>(id)];
    if (kind == ItemKind::Rename) {
        // A rename leaves the file itself as it was: made as intended.
        WriteSoon(journal::DoneAsIntendedRecord(id));
    } else {
        FileState after;
        journal::ReadFileState(item.path, after, true);
        // The content is known by its hash too, so that undo can tell an
        // edit that kept the size and set the time back from a change of
        // the change time alone. A write's pieces were hashed as they went;
        // a small copy is read back.
        if (kind == ItemKind::Content || kind == ItemKind::Create) {
            if (hashing_ && hashedBytes_ == after.size) {
                after.hasHash = true;
                after.hash = XXH3_64bits_digest(static_cast<XXH3_state_t*>(hash_));
            } else if (S_ISREG(after.mode) && after.size <= journal::kHashedFileBytes) {
                after.hasHash = journal::HashFileContent(item.path, after.hash);
            }
        }
        WriteSoon(journal::DoneRecord(id, item.path, after));
    }
    CountDone(item);
}

void RunRecorder::CountDone(const journal::Item& item) {
    ++done_;
    if (item.IsBackup() || item.kind == ItemKind::MakeFolder) return;
    ++doneFiles_;
    const std::size_t slash = item.path.rfind('/');
    const std::string_view folder =
        slash == std::string::npos ? std::string_view() : std::string_view(item.path).substr(0, slash);
    if (doneFiles_ == 1) {
        firstDone_ = item.path;
        doneFolder_ = folder;
    } else if (folder != doneFolder_) {
        severalFolders_ = true;
    }
}

void RunRecorder::Trashed(const TrashedFile& trashed) {
    const int id = pending_.id;
    pending_ = Pending{};
    if (id < 0) return;
    const Item& item = items_[static_cast<std::size_t>(id)];
    // Nothing in the file system tells where in the trash a file went.
    WriteNow(journal::DoneRecord(id, trashed.file, item.before, &trashed));
    CountDone(item);
}

void RunRecorder::NotChanged() {
    hashing_ = false;
    const int id = pending_.id;
    const ItemKind kind = pending_.kind;
    pending_ = Pending{};
    if (id < 0) return;
    const Item& item = items_[static_cast<std::size_t>(id)];
    if (kind == ItemKind::Content) {
        // A failed write normally leaves the file as it was. If it did not
        // (old bytes that could not be put back), the kept content is the
        // only copy: the intent stays open and the run without its end, so
        // recovery puts it back.
        FileState now;
        if (!journal::ReadFileState(item.path, now, false) ||
            !journal::SameFingerprint(now, item.before)) {
            unresolved_ = true;
            return;
        }
        unlink(KeptDiskPath(id).c_str());
    }
    WriteSoon(journal::WithdrawnRecord(id));
}

void RunRecorder::NotYet() {
    const int id = pending_.id;
    if (pending_.kind != ItemKind::Rename || id < 0) {
        NotChanged();
        return;
    }
    pending_ = Pending{};
    // Its intent stays open on disk, as that of a planned change not
    // reached yet does, and is found again when the rename is asked for.
    PlannedByKey();
    const Item& item = items_[static_cast<std::size_t>(id)];
    planned_.emplace(Key(item.kind, item.path, item.to), id);
}

std::unique_ptr<WrittenNote> RunRecorder::NewNote() {
    return std::make_unique<ContentHashNote>();
}

void RunRecorder::KeepGroup(std::vector<GroupKeeper::Entry>& entries) {
    using Kept = GroupKeeper::Entry::Kept;
    pending_ = Pending{};
    if (!Open() || failed_) {
        for (GroupKeeper::Entry& e : entries) e.kept = Kept::Unrecorded;
        return;
    }
    std::string records;
    records.reserve(entries.size() * 320);
    const std::size_t firstId = items_.size();
    for (GroupKeeper::Entry& e : entries) {
        Item item;
        item.path = e.path;
        item.of = e.of;
        const int id = static_cast<int>(items_.size());
        if (!e.exists) {
            // Nothing to keep, but undo must know to remove it.
            item.kind = ItemKind::Create;
        } else {
            item.kind = ItemKind::Content;
            std::string disk;
            bool copied = false;
            if (!GbkToDisk(e.path, disk)) {
                e.kept = Kept::No;
                e.problem = FsProblem::Missing;
                continue;
            }
            if (!journal::ReadFileState(e.path, item.before, true)) {
                e.kept = Kept::No;
                e.problem = LastFsProblem();
                continue;
            }
            // The new content takes the file's place by a rename: the old
            // file stays whole under its second name.
            item.kept = std::to_string(id);
            if (!KeepUnder(disk, KeptDiskPath(id), copied)) {
                e.kept = Kept::No;
                e.problem = LastFsProblem();
                continue;
            }
            keptSinceFlush_ = true;
        }
        journal::AppendIntentRecord(records, id, item);
        items_.push_back(std::move(item));
        e.id = id;
        e.kept = Kept::Yes;
    }
    // One write for the group; the flush comes with the files' (FlushKept).
    buffer_ += records;
    if (!log_.Append(buffer_)) {
        failed_ = true;
        for (GroupKeeper::Entry& e : entries) {
            if (e.kept != Kept::Yes) continue;
            if (!items_[static_cast<std::size_t>(e.id)].kept.empty()) unlink(KeptDiskPath(e.id).c_str());
            e.kept = Kept::No;
            e.problem = FsProblem::Io;
        }
        items_.resize(firstId);
    }
    buffer_.clear();
    lastWrite_ = std::chrono::steady_clock::now();
}

dev_t RunRecorder::Device() const { return device_; }

bool RunRecorder::FlushKept(bool diskFlushed) {
    if (failed_) return false;
    if (!diskFlushed) {
        if (keptSinceFlush_) FsyncFolder(folder_ + "/kept");
        if (!log_.Sync()) {
            failed_ = true;
            return false;
        }
    }
    keptSinceFlush_ = false;
    lastSync_ = std::chrono::steady_clock::now();
    return true;
}

void RunRecorder::GroupDone(const std::vector<GroupKeeper::Entry>& entries,
                            const std::vector<char>& made) {
    std::string records;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const GroupKeeper::Entry& e = entries[k];
        if (e.kept != GroupKeeper::Entry::Kept::Yes) continue;
        const Item& item = items_[static_cast<std::size_t>(e.id)];
        if (made[k]) {
            FileState after;
            journal::ReadFileState(item.path, after, true);
            const auto* note = dynamic_cast<const ContentHashNote*>(e.note);
            if (note && note->Hash(after.size, after.hash))
                after.hasHash = true;
            else if (S_ISREG(after.mode) && after.size <= journal::kHashedFileBytes)
                after.hasHash = journal::HashFileContent(item.path, after.hash);
            records += journal::DoneRecord(e.id, item.path, after);
            CountDone(item);
            continue;
        }
        if (item.kind == ItemKind::Content) {
            // As for a write that failed (NotChanged): the file should be
            // the old one still; if not, the kept content stays for recovery.
            FileState now;
            if (!journal::ReadFileState(item.path, now, false) ||
                !journal::SameFingerprint(now, item.before)) {
                unresolved_ = true;
                continue;
            }
            unlink(KeptDiskPath(e.id).c_str());
        }
        records += journal::WithdrawnRecord(e.id);
    }
    if (!records.empty()) WriteSoon(records);
}

void RunRecorder::Close() {
    if (closed_) return;
    closed_ = true;
    if (!log_.IsOpen()) {
        if (!id_.empty()) journal_.DropRun(id_);
        return;
    }
    if (done_ == 0 && !unresolved_) {
        log_.Close();
        journal_.DropRun(id_);
        id_.clear();
        return;
    }
    // A run with a file left neither old nor new stays without its end: the
    // next start (or an undo) mends it as it mends a run cut short.
    const bool whole = log_.Append(buffer_ + (unresolved_ ? std::string() : journal::EndRecord(false)));
    buffer_.clear();
    const bool synced = log_.Sync();
    const uint64_t bytes = log_.size();
    log_.Close();
    if (whole && synced && !failed_ && !unresolved_) {
        // Every record this run made is in its log, ended: the index notes
        // what was counted, as a reading of the log would find it.
        JournalRun run;
        run.operation = operation_;
        run.startedNs = startedNs_;
        run.origin = origin_;
        run.place = severalFolders_ || doneFolder_.empty() ? firstDone_ : doneFolder_;
        run.files = doneFiles_;
        run.changes = done_;
        run.ended = true;
        journal_.NoteEnded(id_, run, bytes);
    } else {
        journal_.NoteChanged(id_);
    }
    journal_.KeepToBudget(id_);
}

}  // namespace ferro
