// Many safe writes made durable together: the group commit of a run that
// rewrites many files. Each file costs its own calls, but the flushes that
// make a write safe (the new content, the folder, the undo journal's record)
// are paid once for a group of files instead of once per file.
//
// A run stages each new content (StagedWrite, on any thread): it is written
// to an unnamed file beside its target, given the target's owner, mode,
// extended attributes and created time exactly as WriteFileSafely gives
// them, and not flushed. The staged writes go, in the run's order, into a
// WriteGroup, whose Commit puts a group in place in five steps:
//
//   1. kept: the keeper (the undo journal, or none) keeps every target's old
//      content under a second name and writes the intent to change it, all
//      at once and not yet flushed;
//   2. flushed: one syncfs for each disk the group writes on makes the new
//      contents durable, and the keeper's names and intents with them when
//      the journal lies on one of those disks (otherwise the keeper flushes
//      its own: one flush of its folder and one of its log). Where a disk's
//      syncfs cannot be trusted to reach the disk (a FUSE driver, a network
//      share) or fails, every staged file on it is flushed with fsync;
//   3. placed: a record in the rescue folder (rescue.h) names the hidden
//      name each new file takes for a moment, each new file takes that name
//      and then its target's in one rename, in order (a target that did not
//      exist is linked in directly, never replacing anything);
//   4. the folders of the targets are flushed, once each;
//   5. the keeper hears which entries were made; the rescue record goes.
//
// So no file changes before the new content, its old content and the intent
// are all on disk, and a kill or a power cut at any moment leaves each
// target old or new: before step 3 every target is untouched (the unnamed
// files vanish with the process), in step 3 each rename is whole or not
// made, and a hidden name left by a kill is removed at the next start
// (RecoverInterruptedWrites). The keeper's recovery tells from each file
// whether its change was made: a replaced file has a new identity.
//
// Failures keep the order of a run that writes its files one by one: an
// entry that fails leaves the later entries of its file as they are (a file
// whose backup failed is not rewritten), and a critical entry that fails
// leaves every later entry of the group as it is (the run ends there). A
// file the group cannot take (one with other hard links, a link, a disk
// without unnamed files, a file the new one could not give its owner) is
// told as Direct when staged: it is for WriteFileSafely, one by one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"

namespace ferro {

// Follows one new content as it is written (its bytes, in order), on the
// thread that writes it.
class WrittenNote {
public:
    virtual ~WrittenNote() = default;
    virtual void Wrote(std::string_view piece) = 0;
};

// Which file a target is: device and inode (both 0 when there was none).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
    explicit operator bool() const { return device != 0 || inode != 0; }
};

// One new content, staged and not yet in place. Movable; one that is
// dropped leaves nothing behind.
class StagedWrite {
public:
    enum class Start : uint8_t {
        Ready,   // staged: write the content (writer), then End
        Direct,  // for WriteFileSafely, one by one; nothing was done
        Failed,  // LastFsProblem says why (read-only, a folder ...); nothing is left
    };
    StagedWrite();
    ~StagedWrite();
    StagedWrite(StagedWrite&&) noexcept;
    StagedWrite& operator=(StagedWrite&&) noexcept;

    // A new content for the existing file at path (GBK). note, if any, hears
    // every piece written.
    Start Begin(std::string_view path, WrittenNote* note = nullptr);
    // Each piece of the content, in order; false when it could not be
    // written (LastFsProblem says why).
    const ChunkWriter& writer() const;
    // The content is complete: the target's properties are given to it.
    // False when they could not be (LastFsProblem says why).
    bool End();

    // A copy of the file at from, to replace the file at to or to be made
    // there (a backup): complete when Ready, with the properties CopyFile
    // gives a copy.
    Start Copy(std::string_view from, std::string_view to);

    // The target's size now (before the write), and which file it is.
    int64_t targetSize() const;
    FileIdentity target() const;
    // Bytes of the new content so far.
    uint64_t bytes() const;

private:
    friend class WriteGroup;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// What keeps old contents for a group (the undo journal): the counterpart of
// OldContentKeeper for a group commit. Called on the thread that commits,
// except NewNote.
class GroupKeeper {
public:
    struct Entry {
        std::string path;  // GBK: the target (a backup's own path for a backup)
        std::string of;    // GBK: for a backup, the file it holds the old content of
        bool exists = true;            // a file is there now: its old content is kept
        WrittenNote* note = nullptr;   // what NewNote gave for this content, or null
        uint64_t bytes = 0;            // of the new content
        // Set by KeepGroup.
        enum class Kept : uint8_t { No, Yes, Unrecorded } kept = Kept::No;
        FsProblem problem = FsProblem::None;  // why not (Kept::No)
        int id = -1;                          // the keeper's own
    };

    virtual ~GroupKeeper() = default;
    // A note to hear one new content as it is written; may be called on any
    // thread. Null: nothing to note.
    virtual std::unique_ptr<WrittenNote> NewNote() { return nullptr; }
    // Keeps the old content of each entry in order and writes its intent,
    // without flushing, setting each entry's kept: Yes, No (the old content
    // could not be kept; problem says why) or Unrecorded (the journal cannot
    // record anything).
    virtual void KeepGroup(std::vector<Entry>& entries) = 0;
    // The disk the keeper writes on.
    virtual dev_t Device() const = 0;
    // Makes what KeepGroup wrote durable. diskFlushed: that disk was flushed
    // whole (syncfs) after KeepGroup, so only what lies elsewhere is left.
    // False: the intents may not be on disk, and nothing may change.
    virtual bool FlushKept(bool diskFlushed) = 0;
    // Which of the entries were made (made[i] for entries[i]; only kept
    // entries count), once the group is in place.
    virtual void GroupDone(const std::vector<Entry>& entries, const std::vector<char>& made) = 0;
};

class WriteGroup {
public:
    // keeper may be null: nothing is kept for undo.
    explicit WriteGroup(GroupKeeper* keeper);
    ~WriteGroup();
    WriteGroup(const WriteGroup&) = delete;
    WriteGroup& operator=(const WriteGroup&) = delete;

    // How an entry fared.
    enum class Failure : uint8_t {
        None,        // made
        Staging,     // failed before the group (AddFailed)
        Keeping,     // its old content could not be kept
        Unrecorded,  // the keeper can record nothing
        Flushing,    // the new content could not be made durable
        Placing,     // it could not take its target's name
        Left,        // left as it was for an earlier entry's failure
    };
    struct Outcome {
        Failure failure = Failure::None;
        FsProblem problem = FsProblem::None;
        bool made() const { return failure == Failure::None; }
    };

    // Adds a staged write (Ready and ended, or copied) for the target at
    // path (GBK), in order. of: for a backup, the file it is the copy of.
    // file: the entries of one file share it. critical: its failure leaves
    // every later entry of the group as it is. note: the one the write was
    // begun with, kept until the group is done.
    void Add(StagedWrite&& write, std::string path, std::string of, int file, bool critical,
             std::unique_ptr<WrittenNote> note = nullptr);
    // An entry that failed before it could be staged (why), in its place in
    // the order, so that it fails in turn.
    void AddFailed(FsProblem why, int file, bool critical);

    std::size_t size() const;
    uint64_t bytes() const;
    bool empty() const { return size() == 0; }
    // Files (or descriptors) the group holds open.
    std::size_t openFiles() const;

    // Puts the group in place (see above): one outcome per entry, in the
    // order added. The group is empty afterwards.
    std::vector<Outcome> Commit();

private:
    struct Item;
    GroupKeeper* keeper_;
    std::vector<Item> items_;
    uint64_t bytes_ = 0;
};

}  // namespace ferro
