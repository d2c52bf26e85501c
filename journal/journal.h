// The undo journal: what the last runs changed, so that each can be undone,
// newest first, also after the program was closed, killed or the power cut.
//
// It lives in a folder of the user's state ($XDG_STATE_HOME/ferrovan-batch/
// journal, ~/.local/state/... by default), one sub-folder per run named by
// a growing number: the run's log (run_log.h) and, under kept/, the old
// contents of the files it rewrote or replaced: a hard link to the replaced
// file where it is on the same file system, a copy otherwise.
//
// Ten runs are kept. Old contents have a size budget (2 GiB by default):
// older runs go, oldest first, to make room for a new one. A run is recorded
// ahead of its changes (see recorder.h); a run cut short is found by
// RecoverInterruptedRuns (recovery.h) at the next start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"

namespace ferro {

class RunRecorder;

struct JournalRun {
    std::string id;          // the run's folder name
    std::string operation;   // GBK, as the program named it
    int64_t startedNs = 0;   // since 1970, UTC
    std::string origin;      // where it was started: "window", "cli", or empty (not known)
    std::string place;       // GBK: the folder of its files, or its first file when they are in several
    int files = 0;           // files it changed (not counting their .bak copies)
    int changes = 0;         // changes it made, backups and folders included
    bool interrupted = false;  // cut short (a crash, a kill, a power cut)
    bool ended = false;      // its record is closed (also once a run cut short was mended)
    bool undone = false;
    bool live = false;       // a program is recording it right now
    uint64_t keptBytes = 0;  // old contents it keeps
    // Its record cannot be read whole (or at all): damage says how (GBK).
    // What can be read of it is still offered for undo; the user may set it
    // aside instead, so that older runs come next.
    bool damaged = false;
    std::string damage;
    bool setAside = false;
};

class Journal {
public:
    static constexpr int kRunsKept = 10;
    static constexpr uint64_t kDefaultBudget = uint64_t{2} << 30;

    // folder: GBK; it is made when the first run is recorded.
    explicit Journal(std::string folder = DefaultFolder(), uint64_t budget = kDefaultBudget);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // $XDG_STATE_HOME/ferrovan-batch/journal.
    static std::string DefaultFolder();
    const std::string& folder() const { return folder_; }

    uint64_t budget() const { return budget_; }
    void SetBudget(uint64_t bytes) { budget_ = bytes; }

    // The recorder of a new run; it writes nothing until the run records
    // its first change, and a run that changed nothing leaves nothing.
    // origin: where it was started, "window" or "cli".
    std::unique_ptr<RunRecorder> StartRun(std::string_view operation,
                                          std::string_view origin = "window");

    // The runs kept, newest first.
    std::vector<JournalRun> Runs() const;
    // The newest run that can be undone: not undone yet, not being recorded.
    // A damaged run is that run too (unless set aside), even when nothing of
    // it can be read: no older run comes before the user decides about it.
    std::optional<JournalRun> NextToUndo() const;
    // A damaged run is passed over from now on (it stays until it is old
    // enough to go).
    bool SetAside(const std::string& id);
    // Bytes of old contents kept by all runs.
    uint64_t KeptBytes() const;

    // Drops the oldest runs until `bytes` more old contents fit the budget.
    // False when they would not fit even then (nothing is dropped).
    bool MakeRoom(uint64_t bytes);
    // Whether MakeRoom would succeed, dropping nothing (a dry run's answer).
    bool HasRoomFor(uint64_t bytes) const;

    // --- for the recorder, undo and recovery -------------------------------
    // A new run's folder, made under a temporary name (disk path) so that
    // no run folder is ever seen without its log: the caller makes the log
    // in it, then publishes it under the run's name. The oldest runs go so
    // that at most kRunsKept remain with it. False when it cannot be made.
    bool NewRunFolder(std::string& tempFolder);
    // Gives the new folder its run name (the next free number); diskFolder
    // is where it is then. The journal's folder is flushed.
    bool PublishRunFolder(const std::string& tempFolder, std::string& id, std::string& diskFolder);
    std::string RunFolder(const std::string& id) const;  // disk path
    // Drops the oldest finished runs other than `keep` while the old
    // contents exceed the budget.
    void KeepToBudget(const std::string& keep);
    void DropRun(const std::string& id);
    // A run's record changed (it ended, was mended or undone).
    void NoteChanged(const std::string& id);
    // A run just ended whose recorder wrote its whole log (validBytes
    // long) and counted what it holds: noted without reading it back.
    void NoteEnded(const std::string& id, const JournalRun& run, uint64_t validBytes);

    // One run, its record read whole (damage in it included); nullopt when
    // there is no such run.
    std::optional<JournalRun> Inspect(const std::string& id) const;

private:
    std::vector<std::string> RunIds() const;  // oldest first
    // The runs MakeRoom drops, oldest first; fits as it answers.
    std::vector<std::string> RunsToDrop(uint64_t bytes, bool& fits) const;
    bool Droppable(const JournalRun& run) const;
    std::string DiskFolder() const;
    // Notes a run in the index: as counted, or as its log reads.
    void NoteInIndex(const std::string& id, const JournalRun* counted, uint64_t validBytes);

    std::string folder_;
    uint64_t budget_;
};

// The bytes a run rewriting these files would keep as old contents: the
// sizes of those that exist now.
uint64_t EstimateOldContentBytes(const std::vector<BatchFile>& files);

// Bytes of old contents a run's folder keeps (disk path).
uint64_t KeptBytesOf(const std::string& diskRunFolder);

}  // namespace ferro
