// The journal's side of a run: records each change before it is made
// (write-ahead, flushed to disk) and what the run left after it.
//
// Cost: a planned run (ChangeRecorder::Plan) writes its whole plan and
// flushes once before the first change; the records of changes made are
// written as they come and flushed in batches (a second or so apart, and at
// the end). Should the program die before such a flush, recovery tells from
// the files themselves which planned changes were made. Changes that were
// not planned are flushed one by one before they are made, and so is the
// old content of a file before a write changes it.
//
// Group commit (GroupKeeper, platform/group_write.h): a run that writes many
// files has a group's old contents kept and intents written together. For
// each file of the group the old file gets a second name under kept/ (a
// hard link: the new content takes the file's place by a rename, so the old
// inode stays whole) and a content intent ("P ... how 0") is written, or a
// creation intent for a backup that is new; all of the group's records go
// with one write. Nothing is flushed then: the group's writer flushes the
// journal's disk whole (syncfs) together with the files' when they share
// it, and otherwise FlushKept flushes kept/ once and the log once. Only then
// does any file of the group change. The records of what was made, with the
// hash of each new content taken as it was written, follow the group as the
// records of other changes do (written soon, flushed in batches).
//
// A group cut short by a kill or a power cut is decided like any run cut
// short (recovery.h): each intent whose file has a new identity was made,
// each whose file is still the old one was not (its kept name goes), a
// backup that is not there was not made; an intent that never reached the
// disk names a file that never changed, and a kept name without its intent
// is removed.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "batch/change_recorder.h"
#include "journal/run_log.h"
#include "platform/fs.h"
#include "platform/group_write.h"

namespace ferro {

class Journal;

class RunRecorder final : public ChangeRecorder, public OldContentKeeper, public GroupKeeper {
public:
    // origin: where the run was started ("window" or "cli").
    RunRecorder(Journal& journal, std::string operation, std::string origin = "window");
    ~RunRecorder() override;
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // The run is over: its end goes on disk and the journal is kept within
    // its budget. A run that changed nothing leaves nothing. Called by the
    // destructor too.
    void Close();
    // The run's id in the journal; empty until it recorded something.
    const std::string& runId() const { return id_; }

    // ChangeRecorder
    bool Plan(const std::vector<Planned>& changes) override;
    bool WillRename(std::string_view from, std::string_view to) override;
    bool WillSetTimes(std::string_view path) override;
    bool WillSetAttributes(std::string_view path) override;
    OldContentKeeper* WillWrite(std::string_view path) override;
    bool WillCopyTo(std::string_view path) override;
    bool WillBackUp(std::string_view file, std::string_view backup) override;
    bool WillMakeFolder(std::string_view path) override;
    bool WillTrash(std::string_view path) override;
    GroupKeeper* groupKeeper() override { return this; }
    void Changed() override;
    void Trashed(const TrashedFile& item) override;
    void NotChanged() override;
    void NotYet() override;

    // OldContentKeeper
    bool Keep(const std::string& path, bool inPlace) override;
    std::string KeptCopy(const std::string& path) override;
    void Wrote(std::string_view piece) override;

    // GroupKeeper
    std::unique_ptr<WrittenNote> NewNote() override;
    void KeepGroup(std::vector<GroupKeeper::Entry>& entries) override;
    dev_t Device() const override;
    bool FlushKept(bool diskFlushed) override;
    void GroupDone(const std::vector<GroupKeeper::Entry>& entries,
                   const std::vector<char>& made) override;

private:
    using Kind = journal::ItemKind;
    struct Pending {
        Kind kind = Kind::Rename;
        int id = -1;          // its record, -1: none (yet)
        std::string path, to;
        std::string of;  // a backup copy's file
        bool keptCopy = false;
    };

    bool Open();
    // A new item: its intent is on disk when this returns true.
    bool Intend(journal::Item item);
    bool WriteNow(const std::string& records);
    void WriteSoon(const std::string& record);
    bool WillChangeMetadata(Kind kind, std::string_view path);
    // The id of the planned change, taken; -1 when it was not planned.
    int TakePlanned(Kind kind, std::string_view path, std::string_view to);
    // From now on the planned changes left are found by key.
    void PlannedByKey();
    // A new file is about to be made at the pending path.
    bool IntendCreate();
    // Keeps a file's old content and records the intent to change it.
    enum class Hold { Link, Copy, CopyForCopy };
    bool KeepOld(const std::string& path, Hold hold);
    std::string KeptDiskPath(int id) const;
    // An item's change is made (its record written or on its way).
    void CountDone(const journal::Item& item);

    Journal& journal_;
    std::string operation_;
    std::string origin_;
    std::string id_;
    std::string folder_;  // disk
    journal::LogWriter log_;
    bool failed_ = false;  // the log could not be made or written
    bool closed_ = false;
    bool unresolved_ = false;  // a failed write left a file neither old nor new

    std::vector<journal::Item> items_;  // by id (intents only: path, to, before)
    std::vector<int> plan_;  // ids of the planned changes, in order
    std::size_t nextPlanned_ = 0;  // where the next one asked for is looked for first
    bool plannedByKey_ = false;    // asked out of order: those left are found by key
    std::unordered_map<std::string, int> planned_;  // key -> id
    int done_ = 0;
    // What the journal's index says of the run, counted as it goes (the
    // log need not be read back at its end).
    int64_t startedNs_ = 0;
    int doneFiles_ = 0;                  // not counting backups and folders
    std::string firstDone_, doneFolder_;  // the first of them, and its folder
    bool severalFolders_ = false;
    Pending pending_;

    // The hash of what the write under way wrote (XXH3 state, owned).
    void* hash_ = nullptr;
    bool hashing_ = false;
    int64_t hashedBytes_ = 0;

    bool keptSinceFlush_ = false;  // kept/ has names not yet flushed
    dev_t device_ = 0;             // of the run's folder

    std::string buffer_;  // records not yet written
    std::chrono::steady_clock::time_point lastWrite_, lastSync_;
};

}  // namespace ferro
