#include "textops/text_batch.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/group_write.h"
#include "platform/pump.h"
#include "platform/workers.h"
#include "template/template.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

// Either way the backup holds the file as this run found it. It is made
// before the new lines are written, which happens as they are made: the file
// itself is replaced only once they all are.

void RewriteWhole(std::string_view path, const TextBatchOptions& options,
                  const LineOperation& operation, ChangeRecorder* recorder) {
    const TextFile in = LoadTextFile(path, options.mode, bool(operation.utf8));
    const LineTransform& transform = in.bytes == LineBytes::Utf8 ? operation.utf8 : operation.gbk;
    if (options.backup) BackUpBeforeWriting(path, recorder);
    SaveTextFile(
        path, in.format, [&](LineSink& out) { transform(in.lines, out); },
        in.lines.UnbrokenText(), recorder, in.bytes);
}

// False when the file is to be read whole (UTF-16), before anything is done.
bool RewriteLinewise(std::string_view path, const TextBatchOptions& options,
                     const LineOperation& operation, ChangeRecorder* recorder) {
    const TextScan scan = CheckTextFile(path, options.mode);
    if (scan.whole) return false;
    if (options.backup) BackUpBeforeWriting(path, recorder);
    RewriteInPieces(path, scan, bool(operation.utf8), operation.linewise(), recorder);
    return true;
}

// A file that could not be read or written: left as it is, or the end of
// the run.
bool Skips(Undone why) {
    // A file whose old content cannot be kept is left as it is.
    return why == Undone::NotRecorded || why == Undone::BackupFailed ||
           why == Undone::BackupNameTooLong;
}

// One file written on its own, through WriteFileSafely.
void RewriteOne(const BatchFile& f, const TextBatchOptions& options, const LineOperation& operation,
                ChangeRecorder* recorder, RunTracker& run) {
    try {
        if (!operation.linewise || !RewriteLinewise(f.path, options, operation, recorder))
            RewriteWhole(f.path, options, operation, recorder);
        run.Done(f.row, f.path);
    } catch (const TextFileError& e) {
        if (Skips(e.why())) run.Skip(f.row, f.path, e.why());
        else run.Abort(f.row, f.path, e.why(), e.what());
    } catch (const ValueTooLong&) {
        // Found part-way through writing or not, the file stays as it
        // was; the others may well be fine.
        run.Skip(f.row, f.path, Undone::TooLong);
    } catch (const PatternError& e) {
        run.Skip(f.row, f.path, Undone::BadPattern, std::string(e.reason()));
    }
}

// ---------------------------------------------------------------------------
// Group commit

// Files this small are read once, whole, whatever the rule.
constexpr int64_t kReadWholeBelow = int64_t{1} << 20;
// A group is put in place once it holds this many files or bytes, or its
// first file has waited this long.
constexpr std::size_t kGroupFiles = 256;
constexpr uint64_t kGroupBytes = uint64_t{64} << 20;
constexpr auto kGroupAge = std::chrono::seconds(1);

// What was made of one file, on a worker or on the run's thread: staged
// writes to put in place, or what the run reports for it.
struct Prepared {
    enum class Kind : uint8_t { Staged, Direct, Skip, Abort, Thrown } kind = Kind::Staged;
    Undone why = Undone::None;  // Skip, Abort
    std::string message;        // Abort
    std::exception_ptr thrown;  // Thrown: anything else, passed on as it was
    bool backedUp = false;
    StagedWrite backup;
    StagedWrite content;
    // Set when the content could not be staged: the run ends at this file,
    // after its backup, as a write that fails ends it.
    FsProblem contentFailed = FsProblem::None;
    std::unique_ptr<WrittenNote> note;
    FileIdentity file, bak;  // the file read, and the backup's old file
};

// A file that failed once its backup may have been made: the backup stays,
// as it does for a file written on its own, and the content goes.
void Failed(Prepared& p, Prepared::Kind kind, Undone why) {
    p.kind = kind;
    p.why = why;
    p.content = StagedWrite();
    p.note.reset();
    p.contentFailed = FsProblem::None;
}

Prepared Prepare(const BatchFile& f, const TextBatchOptions& options,
                 const LineOperation& operation, GroupKeeper* keeper) {
    Prepared p;
    try {
        p.note = keeper ? keeper->NewNote() : nullptr;
        // Whether the group can take the file is known before it is read.
        const StagedWrite::Start start = p.content.Begin(f.path, p.note.get());
        if (start == StagedWrite::Start::Direct) {
            p.kind = Prepared::Kind::Direct;
            return p;
        }
        if (start == StagedWrite::Start::Failed) p.contentFailed = LastFsProblem();
        p.file = p.content.target();
        // Read as RewriteOne reads it, with the same errors in the same order.
        bool inPieces = bool(operation.linewise) &&
                        (start == StagedWrite::Start::Failed ||
                         p.content.targetSize() >= kReadWholeBelow);
        TextScan scan;
        TextFile whole;
        if (inPieces) {
            scan = CheckTextFile(f.path, options.mode);
            inPieces = !scan.whole;
        }
        if (!inPieces) whole = LoadTextFile(f.path, options.mode, bool(operation.utf8));
        if (options.backup) {
            const std::string backup = BackupPathFor(f.path);
            switch (p.backup.Copy(f.path, backup)) {
                case StagedWrite::Start::Direct: {
                    Prepared direct;
                    direct.kind = Prepared::Kind::Direct;
                    return direct;
                }
                case StagedWrite::Start::Failed: ThrowBackupFailed(f.path);
                case StagedWrite::Start::Ready:
                    p.backedUp = true;
                    p.bak = p.backup.target();
                    break;
            }
        }
        if (p.contentFailed != FsProblem::None) return p;
        bool written;
        if (inPieces) {
            written = WriteInPieces(p.content.writer(), f.path, scan, bool(operation.utf8),
                                    operation.linewise());
        } else {
            const LineTransform& transform =
                whole.bytes == LineBytes::Utf8 ? operation.utf8 : operation.gbk;
            written = WriteTextFile(
                p.content.writer(), whole.format, [&](LineSink& out) { transform(whole.lines, out); },
                whole.lines.UnbrokenText(), whole.bytes);
        }
        if (!written || !p.content.End()) {
            p.contentFailed = LastFsProblem() == FsProblem::None ? FsProblem::Io : LastFsProblem();
            p.content = StagedWrite();
        }
    } catch (const TextFileError& e) {
        Failed(p, Skips(e.why()) ? Prepared::Kind::Skip : Prepared::Kind::Abort, e.why());
        p.message = e.what();
    } catch (const ValueTooLong&) {
        Failed(p, Prepared::Kind::Skip, Undone::TooLong);
    } catch (const PatternError& e) {
        Failed(p, Prepared::Kind::Skip, Undone::BadPattern);
        p.message = e.reason();
    } catch (...) {
        Failed(p, Prepared::Kind::Thrown, Undone::None);
        p.thrown = std::current_exception();
    }
    return p;
}

struct IdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        return std::hash<uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// The files a group can hold open at once: two a file (its new content and
// its backup), within the process's limit of descriptors.
std::size_t GroupFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kGroupFiles;
    const long room = static_cast<long>(limit.rlim_cur) - 192;
    return static_cast<std::size_t>(std::clamp<long>(room / 2, 8, kGroupFiles));
}

// One run of the group commit.
class GroupedRun {
public:
    GroupedRun(const std::vector<BatchFile>& files, const TextBatchOptions& options,
               const LineOperation& operation, ChangeRecorder* recorder, GroupKeeper* keeper,
               RunTracker& run)
        : files_(files), options_(options), operation_(operation), recorder_(recorder),
          keeper_(keeper), run_(run), group_(keeper), results_(files.size()),
          generations_(files.size(), 0), handedAt_(files.size(), 0),
          groupFiles_(GroupFileLimit()) {
        const int workers = operation.parallel ? WorkerCount() : 0;
        // Enough in hand for the workers to go on while a group is put in
        // place, and not so many that a stop waits long.
        lookahead_ = workers > 0 ? static_cast<std::size_t>(8 * workers) : 1;
        if (workers > 0) pool_ = std::make_unique<WorkerPool>(workers);
    }

    void Go() {
        const std::size_t n = files_.size();
        while (true) {
            ProcessPendingMessages();
            HandOut();
            if (collected_ == handed_) {
                if (held_.empty()) break;
                Commit();  // a file waits for this group
                if (aborted_) Redo(collected_);
                continue;
            }
            std::unique_ptr<Prepared> p = Collect(collected_);
            const std::size_t i = collected_;
            if (p->kind == Prepared::Kind::Thrown) {
                // Passed on as it is, once the files before it (and its
                // backup) are in place.
                ++collected_;
                std::exception_ptr thrown = p->thrown;
                Hold(i, std::move(*p));
                Commit();
                Redo(collected_);
                if (!aborted_) std::rethrow_exception(thrown);
                continue;
            }
            const bool alone = p->kind == Prepared::Kind::Direct;
            if (alone || Conflicts(*p, i)) {
                // Everything before it in place first. A file read before an
                // earlier file's change to it was in place is made again;
                // one written on its own may be the same file as any after
                // it, which are made again too.
                Commit();
                if (aborted_ || !alone) {
                    Redo(i);
                    continue;
                }
                ++collected_;
                Redo(collected_);
                RewriteOne(files_[i], options_, operation_, recorder_, run_);
                if (run_.aborted()) aborted_ = true;
                continue;
            }
            ++collected_;
            const bool ends = p->kind == Prepared::Kind::Abort;
            Hold(i, std::move(*p));
            if (ends || GroupFull()) {
                Commit();
                if (aborted_) Redo(collected_);
            }
        }
        // What was not reached: after a stop or an error.
        for (std::size_t i = collected_; i < n; ++i) {
            if (aborted_) run_.NotReached(files_[i].row, files_[i].path);
            else run_.StopRemaining(files_[i].row, files_[i].path);
        }
    }

private:
    // A file held by the group until it is in place, for its report.
    struct Held {
        std::size_t index;
        Prepared::Kind kind;
        Undone why;
        std::string message;
        bool backedUp = false;
        bool content = false;  // an entry for the content (staged or failed)
        std::size_t entry = 0; // its first entry in the group
    };

    bool PathsPending(const BatchFile& f) const {
        if (pending_.count(f.path)) return true;
        return options_.backup && pending_.count(f.path + ".bak");
    }
    void NotePaths(std::size_t i) {
        pending_.insert(files_[i].path);
        if (options_.backup) pending_.insert(files_[i].path + ".bak");
    }
    void DonePaths(std::size_t i) {
        pending_.erase(files_[i].path);
        if (options_.backup) pending_.erase(files_[i].path + ".bak");
    }

    void HandOut() {
        while (!stopped_ && !aborted_ && handed_ < files_.size() &&
               handed_ - collected_ < lookahead_) {
            const BatchFile& f = files_[handed_];
            // The same path in hand: this one reads what that one leaves.
            if (PathsPending(f)) break;
            if (handed_ >= started_) {
                if (!run_.Next(f.row, f.path)) {
                    stopped_ = true;
                    if (pool_) DropWaiting();
                    break;
                }
                started_ = handed_ + 1;
            }
            NotePaths(handed_);
            handedAt_[handed_] = commits_;
            const std::size_t i = handed_++;
            if (!pool_) {
                ProcessPendingMessages();
                results_[i] = std::make_unique<Prepared>(Prepare(f, options_, operation_, keeper_));
                continue;
            }
            const unsigned generation = generations_[i];
            pool_->Submit([this, i, generation] {
                auto p = std::make_unique<Prepared>(
                    Prepare(files_[i], options_, operation_, keeper_));
                std::lock_guard<std::mutex> lock(mutex_);
                if (generations_[i] != generation) return;  // dropped meanwhile
                results_[i] = std::move(p);
                ready_.notify_all();
            });
        }
    }

    // Tasks no worker has begun go: those files are not in hand.
    void DropWaiting() {
        const std::size_t dropped = pool_->DropWaiting();
        if (dropped == 0) return;
        std::lock_guard<std::mutex> lock(mutex_);
        // Tasks are taken in the order given: the ones waiting are the last.
        for (std::size_t k = 0; k < dropped; ++k) ++generations_[--handed_];
        NoteAllPending();
    }

    void NoteAllPending() {
        pending_.clear();
        for (std::size_t i = collected_; i < handed_; ++i) NotePaths(i);
        for (const Held& h : held_) NotePaths(h.index);
    }

    // Everything handed out from `from` on is made again.
    void Redo(std::size_t from) {
        if (pool_) pool_->DropWaiting();
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = from; i < handed_; ++i) {
            ++generations_[i];
            results_[i].reset();
        }
        handed_ = from;
        collected_ = std::min(collected_, from);
        NoteAllPending();
    }

    // The file's result, once it is there; the window goes on meanwhile.
    std::unique_ptr<Prepared> Collect(std::size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!results_[i]) {
            ready_.wait_for(lock, std::chrono::milliseconds(10));
            lock.unlock();
            ProcessPendingMessagesTimed();
            lock.lock();
        }
        return std::move(results_[i]);
    }

    // Whether the file, read when it was handed out, is one that an earlier
    // file of the run changed (or is about to change) since, under another
    // name.
    bool Conflicts(const Prepared& p, std::size_t i) const {
        for (const FileIdentity& id : {p.file, p.bak}) {
            if (!id) continue;
            const auto it = touched_.find(id);
            if (it != touched_.end() && it->second > handedAt_[i]) return true;
        }
        return false;
    }

    void Hold(std::size_t i, Prepared&& p) {
        Held h{i, p.kind, p.why, std::move(p.message)};
        h.entry = group_.size();
        if (p.backedUp) {
            h.backedUp = true;
            Touch(p.bak);
            group_.Add(std::move(p.backup), files_[i].path + ".bak", files_[i].path,
                       static_cast<int>(i), false);
        }
        if (p.kind == Prepared::Kind::Staged) {
            h.content = true;
            Touch(p.file);
            if (p.contentFailed != FsProblem::None)
                group_.AddFailed(p.contentFailed, static_cast<int>(i), true);
            else
                group_.Add(std::move(p.content), files_[i].path, {}, static_cast<int>(i), true,
                           std::move(p.note));
        }
        if (held_.empty()) heldSince_ = std::chrono::steady_clock::now();
        held_.push_back(std::move(h));
    }

    void Touch(const FileIdentity& id) {
        if (id) touched_[id] = INT_MAX;  // until the group is in place
    }

    bool GroupFull() const {
        return group_.size() >= 2 * kGroupFiles || held_.size() >= kGroupFiles ||
               group_.bytes() >= kGroupBytes || group_.openFiles() >= groupFiles_ ||
               (!held_.empty() && std::chrono::steady_clock::now() - heldSince_ >= kGroupAge);
    }

    // Puts the group in place and reports its files in order.
    void Commit() {
        if (held_.empty()) return;
        const std::vector<WriteGroup::Outcome> outcomes = group_.Commit();
        ++commits_;
        for (auto& [id, when] : touched_)
            if (when == INT_MAX) when = commits_;
        bool ended = aborted_;
        for (const Held& h : held_) {
            const BatchFile& f = files_[h.index];
            DonePaths(h.index);
            if (ended) {
                run_.NotReached(f.row, f.path);
                continue;
            }
            // The backup comes first, as it does for a file on its own.
            if (h.backedUp) {
                const WriteGroup::Outcome& b = outcomes[h.entry];
                if (!b.made() && h.kind != Prepared::Kind::Thrown) {
                    const bool unrecorded = b.failure == WriteGroup::Failure::Unrecorded ||
                                            b.failure == WriteGroup::Failure::Keeping;
                    run_.Skip(f.row, f.path, unrecorded ? Undone::NotRecorded : Undone::BackupFailed);
                    continue;
                }
            }
            switch (h.kind) {
                case Prepared::Kind::Skip:
                    run_.Skip(f.row, f.path, h.why,
                              h.why == Undone::BadPattern ? std::string_view(h.message)
                                                          : std::string_view());
                    continue;
                case Prepared::Kind::Abort:
                    run_.Abort(f.row, f.path, h.why, h.message);
                    ended = true;
                    continue;
                case Prepared::Kind::Thrown: continue;  // passed on by the run
                default: break;
            }
            const WriteGroup::Outcome& c = outcomes[h.entry + (h.backedUp ? 1 : 0)];
            if (c.made()) {
                run_.Done(f.row, f.path);
            } else if (c.failure == WriteGroup::Failure::Unrecorded) {
                run_.Skip(f.row, f.path, Undone::NotRecorded);
            } else {
                SetLastFsProblem(c.problem);
                run_.Abort(f.row, f.path, UndoneFromFs(c.problem, Undone::CannotWrite),
                           "Cannot create file " + f.path);
                ended = true;
            }
        }
        held_.clear();
        if (ended) aborted_ = true;
        // Names noted by groups no file in hand was handed out before are
        // no longer needed.
        if (touched_.size() > 4 * kGroupFiles) {
            int oldest = commits_;
            for (std::size_t i = collected_; i < handed_; ++i) oldest = std::min(oldest, handedAt_[i]);
            std::erase_if(touched_, [oldest](const auto& entry) { return entry.second < oldest; });
        }
    }

    const std::vector<BatchFile>& files_;
    const TextBatchOptions& options_;
    const LineOperation& operation_;
    ChangeRecorder* recorder_;
    GroupKeeper* keeper_;
    RunTracker& run_;
    WriteGroup group_;
    std::vector<Held> held_;
    std::chrono::steady_clock::time_point heldSince_;

    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::unique_ptr<Prepared>> results_;  // by file, under mutex_
    std::vector<unsigned> generations_;               // by file, under mutex_
    std::vector<int> handedAt_;  // by file: the groups put in place when it was handed out
    std::unordered_set<std::string> pending_;  // paths (and backups) handed out, not in place
    // Files changed by the group (INT_MAX) or by the group of that number.
    std::unordered_map<FileIdentity, int, IdentityHash> touched_;

    std::size_t handed_ = 0;     // files handed out (to a worker, or prepared here)
    std::size_t collected_ = 0;  // files taken back, in order
    std::size_t started_ = 0;    // files the host has heard of
    std::size_t lookahead_ = 1;
    std::size_t groupFiles_;
    int commits_ = 0;
    bool stopped_ = false;
    bool aborted_ = false;
    // Last: its workers are gone before anything they use.
    std::unique_ptr<WorkerPool> pool_;
};

}  // namespace

RunSummary RewriteTextFiles(const std::vector<BatchFile>& files, const TextBatchOptions& options,
                            const LineOperation& operation, RunHost* host) {
    RunTracker run(host, static_cast<int>(files.size()));
    ChangeRecorder* recorder = host ? host->recorder() : nullptr;
    GroupKeeper* keeper = recorder ? recorder->groupKeeper() : nullptr;
    if (recorder && !keeper) {
        // A recorder that takes writes one by one: each file on its own.
        run.ForEach(files, [&](const BatchFile& f) {
            ProcessPendingMessages();
            RewriteOne(f, options, operation, recorder, run);
        });
        return run.Take();
    }
    GroupedRun(files, options, operation, recorder, keeper, run).Go();
    return run.Take();
}

}  // namespace ferro
