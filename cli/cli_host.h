// How the command line follows a search and a run: the search group's
// settings fixed by the options, a progress line on a terminal, Ctrl+C as
// the stop request, every file's result kept for the reports, and the
// changes recorded in the undo journal.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "batch/run.h"
#include "cli/console.h"
#include "cli/request.h"
#include "fileops/search.h"

namespace ferro {
class Journal;
class RunRecorder;
}  // namespace ferro

namespace ferro::cli {

class CliSearchHost : public SearchHost {
public:
    CliSearchHost(const FileSource& source, const Console& console)
        : source_(source), console_(console) {}

    SearchBounds ReadBounds() override;
    bool SizeFilterOn() override { return source_.sizeFilter; }
    bool DateFilterOn() override { return source_.dateFilter; }
    bool IncludeSubfolders() override { return source_.subfolders; }
    bool StopRequested() override { return console_.StopRequested(); }

private:
    const FileSource& source_;
    const Console& console_;
};

// The progress line is "已处理 n/N 文件名", drawn again in place at most ten
// times a second. The changes are recorded (when there is a journal) under
// the operation's caption.
class CliRunHost : public RunHost {
public:
    CliRunHost(Console& console, Journal* journal, std::string operation);
    ~CliRunHost() override;

    void Started(int total) override { total_ = total; }
    void FileStarted(int index, std::string_view path) override;
    void FileFinished(const FileResult& result) override { results_.push_back(result); }
    bool StopRequested() override { return console_.StopRequested(); }
    ChangeRecorder* recorder() override;

    // The run's record is complete on disk.
    void CloseRecorder();
    void ClearProgress();

    // Every file of the run in order: those the run told of, then those it
    // never reached.
    std::vector<FileResult> Files(const RunSummary& summary) const;

private:
    Console& console_;
    bool progress_;
    bool shown_ = false;
    int total_ = 0;
    std::chrono::steady_clock::time_point lastShown_;
    std::vector<FileResult> results_;
    Journal* journal_;
    std::string operation_;
    std::unique_ptr<RunRecorder> recorder_;
};

}  // namespace ferro::cli
