// The log of one run: a text file of records, one a line, appended as the
// run goes and never rewritten. Fields are separated by tabs (tabs, line
// breaks and backslashes inside a field are escaped) and every line ends
// with a checksum of itself, so a line cut short or left as garbage by a
// power cut is recognised.
//
//   ferrovan-journal 1                       first line
//   R operation started-ns [origin]          the run (origin: window or cli)
//   P id kind path to before kept how        a change the run is about to make
//                                            (how: 1 in place, 2 by a copy, else 0;
//                                            to: a rename's new path, or the file
//                                            a backup copy is of)
//   D id now after [trash-file trash-info]   that change was made
//   D id                                     that rename was made (the file as it was)
//   N id                                     that change was not made
//   B id                                     undo is putting that change back
//   U id                                     undo put that change back
//   E ok|interrupted                         the run ended (or was found cut short)
//   Z                                        the run was undone
//
// A damaged line in the middle is passed over (the lines after it are
// checked on their own): the log then counts as damaged, and what it does
// not tell is found from the files. Damage at the end (a write cut short by
// a kill, a power cut or a full disk) is cut off by the next program that
// appends to the log, before it appends anything.
//
// A program holds an exclusive lock (flock) on a log while it writes it, so
// another program can tell a run being recorded from one cut short.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "journal/file_state.h"
#include "platform/trash.h"

namespace ferro::journal {

enum class ItemKind : char {
    Rename = 'n',
    Times = 't',
    Attributes = 'a',
    Content = 'c',  // a file rewritten or replaced: its old content is kept
    Create = 'w',   // a new file
    Trash = 'x',
    MakeFolder = 'm',  // a new folder
};

struct Item {
    enum class State : char { Intended, Done, Withdrawn };
    ItemKind kind = ItemKind::Rename;
    std::string path;      // GBK: the file before the run changed it
    std::string to;        // GBK: a rename's new path
    std::string of;        // GBK: a backup copy's file (the file it holds the old content of)
    FileState before;
    std::string kept;      // content: the kept old content's name under kept/
    bool inPlace = false;  // content: the file is overwritten where it stands
    // content: a copy will take the file's place or, where it cannot, be
    // copied in over it; the old content is kept by a copy either way.
    bool byCopy = false;
    State state = State::Intended;
    std::string now;       // done: where the file is now (GBK)
    FileState after;       // done: what the run left
    TrashedFile trashed;   // done, trash: where the file went
    bool undone = false;
    bool undoBegun = false;  // undo began to put it back (and may have been cut short)
    bool lost = false;       // its record is damaged: nothing is known of it

    bool IsBackup() const { return !of.empty(); }
};

struct RunLog {
    std::string operation;  // GBK
    int64_t startedNs = 0;
    std::string origin;     // "window", "cli", or empty for older logs
    std::vector<Item> items;     // by id
    std::vector<int> doneOrder;  // ids in the order they were done
    bool ended = false;
    bool interrupted = false;
    bool undone = false;
    // Lines that could not be read, with readable ones after them.
    int damaged = 0;
    // Where the readable records end; bytes after it (a write cut short)
    // are cut off before anything is appended.
    uint64_t validBytes = 0;
    bool torn = false;

    int DoneCount() const { return static_cast<int>(doneOrder.size()); }
    // Files the run changed: the changes made, not counting backup copies
    // and folders made for the files.
    int FileCount() const;
};

// Reads a log (disk path); false when it cannot be read or is not a log.
bool ReadRunLog(const std::string& disk, RunLog& log);

// One checked line of fields (tabs, breaks and backslashes escaped, a
// checksum at the end), as the log and the journal's index write them; and
// back: false when the checksum does not hold.
void AppendRecordLine(std::string& out, std::initializer_list<std::string_view> fields);
bool SplitRecordLine(std::string_view line, std::vector<std::string>& fields);

// Record lines.
std::string HeaderRecord();
std::string RunRecord(std::string_view operation, int64_t startedNs, std::string_view origin);
std::string IntentRecord(int id, const Item& item);
void AppendIntentRecord(std::string& out, int id, const Item& item);
std::string DoneRecord(int id, std::string_view now, const FileState& after,
                       const TrashedFile* trashed = nullptr);
// A rename made: the file is at its new path and otherwise as it was.
std::string DoneAsIntendedRecord(int id);
std::string WithdrawnRecord(int id);
std::string UndoBegunRecord(int id);
std::string UndoneRecord(int id);
std::string EndRecord(bool interrupted);
std::string RunUndoneRecord();

// A log open for appending, with the lock held.
class LogWriter {
public:
    LogWriter() = default;
    ~LogWriter() { Close(); }
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // A new log; false (errno set) when it exists or cannot be made.
    bool Create(const std::string& disk);
    // An existing log; false when it cannot be opened or another program
    // holds it.
    bool Open(const std::string& disk);
    // Appends whole records: a write that fails part-way is cut off again,
    // so the log never ends in part of a record this program wrote.
    bool Append(std::string_view bytes);
    bool Sync();  // what was appended is on disk
    // Cuts the log to its first `bytes` and flushes that.
    bool Truncate(uint64_t bytes);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    uint64_t size() const { return size_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;  // where the records this program appended end
};

// Opens an existing log for appending (the lock held) and reads it; a torn
// end is cut off first. False when it cannot be opened (another program
// holds it, or it is not there) or read.
bool OpenRunLog(const std::string& disk, LogWriter& writer, RunLog& log);

// Whether a program holds the log's lock (is writing it now).
bool IsLogHeld(const std::string& disk);

}  // namespace ferro::journal
