// What every batch run shares, whoever drives it (the window, the command
// line, a test): the reason a ticked file was left undone, the host that
// follows a run (progress, stop between files, a result per file) and the
// tracker a run uses to keep its account.
//
// A run visits its files in order and tells the host about each one. It
// stops only between files: a file is either processed whole or left as it
// was. The files it never reached after a stop are reported as stopped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/change_recorder.h"
#include "platform/fs.h"

namespace ferro {

// Why a file was not processed. None: it was.
enum class Undone : uint8_t {
    None,
    NameExists,        // the new name is taken on disk
    DuplicateName,     // an earlier row of the run gets the same name
    NameNotAllowed,    // the new name cannot name a file
    Unchanged,         // the new name (or value) is the old one
    ReadOnly,          // the read-only attribute refuses the change
    Missing,           // the file is not there (any more)
    CannotRead,
    CannotWrite,
    NotSpreadsheet,    // the source is not what its extension claims
    ConversionFailed,
    Stopped,           // the run was stopped before this file
    BackupFailed,      // the .bak copy could not be made, so nothing was written
    NotText,           // the file holds NUL bytes
    TooLong,           // a value grew beyond the engine's bound
    NoListLine,        // the name list has no line for this row
    NotReached,        // an error ended the run before this file
    NoTrash,           // its file system has no trash, and it was not deleted for good
    NotRecorded,       // the undo journal could not record the change
    ChangedSince,      // undo: the file was changed after the run
    BackupNameTooLong, // the name with ".bak" would be longer than a name can be
    BackupKept,        // undo: a backup whose file could not be put back stays
    RecordDamaged,     // undo: the journal's record of this change cannot be read
    NoValue,           // the file lacks a value its new name needs (detail: which)
    BadPattern,        // a regular expression made of the file's values is refused (detail: why)
};

// The reason as the user reads it (GBK).
std::string UndoneText(Undone why);
// The same with what more is known about it, when anything is
// ("缺少名称所需的信息：没有拍摄时间").
std::string UndoneText(Undone why, std::string_view detail);

// What a failed file-system call means for a file of a run.
Undone UndoneFromFs(FsProblem problem, Undone otherwise);

// A file a run is to visit: its row of the file list (0 when the run has no
// list) and its path.
struct BatchFile {
    int row = 0;
    std::string path;  // GBK
};

struct FileResult {
    int row = 0;          // row of the file list (0 when the run has no list)
    std::string path;     // GBK
    Undone why = Undone::None;
    std::string detail;   // GBK, optional: more about the reason
    bool done() const { return why == Undone::None; }
};

// Follows a run. Every call happens on the run's own thread, between files.
class RunHost {
public:
    virtual ~RunHost() = default;
    // The run is about to visit `total` files.
    virtual void Started(int total) {}
    // The run starts on a file (index counts from 0).
    virtual void FileStarted(int index, std::string_view path) {}
    // A file has been dealt with.
    virtual void FileFinished(const FileResult& result) {}
    // Asked before each file; true ends the run there.
    virtual bool StopRequested() { return false; }
    // Where the run records its changes so they can be undone; null: they
    // are not recorded.
    virtual ChangeRecorder* recorder() { return nullptr; }
};

struct RunSummary {
    int total = 0;                    // files the run was to visit
    int done = 0;                     // processed
    bool stopped = false;             // ended by a stop request
    std::string error;                // GBK; not empty when an error ended the run early
    std::vector<FileResult> undone;   // in the order of the files
};

// The closing message of a run (GBK): closing (the operation's own text)
// when it ran to its end, "已停止：已处理 N 个文件" when it was stopped, the
// error when one ended it early; then a line "另有 N 个文件未处理" whenever
// files were left undone.
std::string RunReportText(const RunSummary& summary, std::string_view closing);
// The files left undone, one a line: path, a tab, the reason (and "：" and
// more about it). Empty when there are none.
std::string UndoneListText(const RunSummary& summary);

// The account of one run: calls the host and keeps the summary. A null host
// is allowed.
class RunTracker {
public:
    RunTracker(RunHost* host, int total);

    // Before a file: false when a stop was asked for (the run must end; call
    // StopRemaining with what is left).
    bool Next(int row, std::string_view path);
    void Done(int row, std::string_view path);
    void Skip(int row, std::string_view path, Undone why, std::string_view detail = {});
    // Files the run did not reach after a stop.
    void StopRemaining(int row, std::string_view path);
    // A file whose failure ends the run, with the message that says so; the
    // files after it are then NotReached.
    void Abort(int row, std::string_view path, Undone why, std::string_view message);
    void NotReached(int row, std::string_view path);
    bool aborted() const { return !summary_.error.empty(); }

    // Walks files in order: visit(file) for each until a stop or an abort,
    // then records the rest as stopped or not reached.
    template <class Visit>
    void ForEach(const std::vector<BatchFile>& files, Visit&& visit) {
        std::size_t i = 0;
        for (; i < files.size(); ++i) {
            if (aborted() || !Next(files[i].row, files[i].path)) break;
            visit(files[i]);
        }
        for (; i < files.size(); ++i) {
            if (aborted()) NotReached(files[i].row, files[i].path);
            else StopRemaining(files[i].row, files[i].path);
        }
    }

    bool stopped() const { return summary_.stopped; }
    const RunSummary& summary() const { return summary_; }
    RunSummary Take() { return std::move(summary_); }

private:
    RunHost* host_;
    RunSummary summary_;
    int index_ = 0;
};

}  // namespace ferro
