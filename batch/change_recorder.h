// What a run tells before it changes a file and after, so that the change
// can be undone later (journal/ keeps the record). A run asks its host for a
// recorder (RunHost::recorder()); without one it records nothing.
//
// The order is always: Will...(file) before the change, then Changed() when
// the change was made or NotChanged() when it was not, before the next
// file. A Will... call that returns false means the change could not be
// recorded: the run must leave that file as it is (Undone::NotRecorded).
//
// A run that knows its changes up front tells them first with Plan(): the
// recorder then puts them all on disk at once instead of one by one, and the
// Will... calls for planned changes cost next to nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ferro {

class GroupKeeper;
class OldContentKeeper;
struct TrashedFile;

class ChangeRecorder {
public:
    enum class Change : unsigned char {
        Rename,      // path -> to
        Times,       // created, accessed and modified times of path
        Attributes,  // the attribute set of path
    };
    struct Planned {
        Change change;
        std::string path;  // GBK
        std::string to;    // GBK, the new path of a rename
    };

    virtual ~ChangeRecorder() = default;

    // The changes the run means to make, in order, before the first one.
    // False: they could not be recorded (the Will... calls will say so too).
    virtual bool Plan(const std::vector<Planned>& changes) { return true; }

    // A file or folder is about to be renamed (never replacing).
    virtual bool WillRename(std::string_view from, std::string_view to) = 0;
    // Its times, or its attributes, are about to be set: the recorder reads
    // and keeps what they are now (the DOS record included).
    virtual bool WillSetTimes(std::string_view path) = 0;
    virtual bool WillSetAttributes(std::string_view path) = 0;
    // A file is about to be written through WriteFileSafely (fs.h): a
    // rewrite of an existing file, or a new one. Pass the keeper returned to
    // the write, which hands it the old content before changing anything;
    // nullptr: the write cannot be recorded.
    virtual OldContentKeeper* WillWrite(std::string_view path) = 0;
    // A file is about to be made by a copy (CopyFile, fs.h), replacing the
    // one at that path if any: that one's content is copied into the record
    // first (the copy may overwrite it where it stands); a new file is noted
    // so that undo removes it.
    virtual bool WillCopyTo(std::string_view path) = 0;
    // The same for the backup copy of a file (its .bak): undo removes a
    // backup only once the file it holds the old content of is put back.
    virtual bool WillBackUp(std::string_view file, std::string_view backup) {
        return WillCopyTo(backup);
    }
    // A folder is about to be made (it does not exist yet): undo removes it
    // again when it is empty.
    virtual bool WillMakeFolder(std::string_view path) { return true; }
    // A file is about to be moved to the trash.
    virtual bool WillTrash(std::string_view path) = 0;

    // Where a run that writes many files puts them in place a group at a
    // time (platform/group_write.h) has their old contents kept and their
    // intents recorded, a group at a time too, instead of through WillWrite
    // and WillBackUp. Null: the recorder takes writes one by one only.
    virtual GroupKeeper* groupKeeper() { return nullptr; }

    // The change announced last was made; for a move to the trash, where
    // the file went.
    virtual void Changed() = 0;
    virtual void Trashed(const TrashedFile& item) = 0;
    // The change announced last was not made after all.
    virtual void NotChanged() = 0;
    // A rename announced last was not made yet: its new name is taken by a
    // file of the same run still to move, and the run announces it again
    // once that file has gone. A recorder that plans keeps it planned.
    virtual void NotYet() { NotChanged(); }
};

// One write through WriteFileSafely told to a recorder, which may be null:
// announced when made, and NotChanged() when it goes unless Made() was
// called.
class RecordedWrite {
public:
    RecordedWrite(ChangeRecorder* recorder, std::string_view path)
        : recorder_(recorder), keeper_(recorder ? recorder->WillWrite(path) : nullptr) {}
    ~RecordedWrite() {
        if (recorder_ && !made_) recorder_->NotChanged();
    }
    RecordedWrite(const RecordedWrite&) = delete;
    RecordedWrite& operator=(const RecordedWrite&) = delete;

    // The write could not be recorded: it must not be made.
    bool refused() const { return recorder_ && !keeper_; }
    // What to pass to the write.
    OldContentKeeper* keeper() const { return keeper_; }
    void Made() {
        if (recorder_ && !made_) recorder_->Changed();
        made_ = true;
    }

private:
    ChangeRecorder* recorder_;
    OldContentKeeper* keeper_;
    bool made_ = false;
};

}  // namespace ferro
