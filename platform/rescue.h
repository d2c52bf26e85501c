// What lets a safe write (fs.h) be mended after a kill or a power cut.
//
// Every write that replaces a file, or rewrites one in place, leaves a small
// record in the rescue folder, $XDG_STATE_HOME/ferrovan-batch/rescue, for as
// long as it runs. A replacement records the hidden temporary name it gives
// the new file for the moment before that takes the file's name; a group of
// replacements (group_write.h) records all of theirs in one record. An in-place
// rewrite first keeps the old bytes there in a flushed rescue copy, with the
// file's identity, size and modified time, and marks its record before the
// first byte is written and again once the new content is complete and
// flushed.
//
// Each program holds a lock on a file of its own in that folder while it
// runs, so RecoverInterruptedWrites() at the next start knows which records
// are left by programs that are gone, and mends only those.
#pragma once

#include <string>
#include <vector>

namespace ferro {

struct RecoveryReport {
    int restored = 0;           // files put back to their old content
    int completed = 0;          // rewrites found complete (their rescue copies dropped)
    int temporariesRemoved = 0; // hidden temporary files removed
    // GBK paths of files whose old content could not be put back (the file
    // is gone, or another file took its name); their rescue copies stay.
    std::vector<std::string> unresolved;
};

// Mends what writes of programs no longer running left unfinished: a file
// whose in-place rewrite was cut short gets its old content back (unless its
// record says the new content was complete), and their temporary files,
// named ".<name>.ferro-XXXXXX", go, also older ones of that naming in the
// folders those writes recorded. Meant to be called once at program start;
// cheap when there is nothing to mend.
RecoveryReport RecoverInterruptedWrites();

// The rescue folder (GBK).
std::string RescueFolder();

// The record of one write in progress. Used by the safe write; a record
// that is neither finished nor dropped stays for the recovery.
class WriteRecord {
public:
    WriteRecord() = default;
    ~WriteRecord();
    WriteRecord(const WriteRecord&) = delete;
    WriteRecord& operator=(const WriteRecord&) = delete;

    // A replacement of diskTarget: diskTemp is the hidden name the new file
    // will have until it takes the target's name. False when no record can
    // be made (no writable state folder); the write may go on without.
    bool StartReplace(const std::string& diskTarget, const std::string& diskTemp);
    // Replacements of many targets at once (a group commit, group_write.h):
    // an empty record, then each target with its hidden name added before
    // the new file takes that name. False when no record can be made.
    bool StartGroup();
    bool AddReplace(const std::string& diskTarget, const std::string& diskTemp);

    // An in-place rewrite of diskTarget, open as fd: copies the old bytes to
    // the rescue folder, flushes the copy, then marks the record as writing
    // (the old bytes are at risk from now on) and flushes it. False (errno
    // set) when the old bytes could not be kept; nothing is left then.
    bool StartInPlace(const std::string& diskTarget, int fd);
    // Once the new content is complete and flushed. Flushed.
    bool MarkWritten();
    // The rescue copy (disk path) of an in-place rewrite.
    const std::string& RescueCopy() const { return rescue_; }

    // The write is over (done, or undone with the old bytes back): record
    // and rescue copy go.
    void Finish();

private:
    bool Create(std::string_view body);
    bool SetState(char state);

    int fd_ = -1;
    std::string record_;  // disk path of the record
    std::string rescue_;  // disk path of the rescue copy
};

// For tests: makes the safe write use named temporary files, as it does on
// file systems without unnamed ones.
void UseNamedTemporariesForTesting(bool named);
bool UsesNamedTemporaries();

}  // namespace ferro
