#include "cli/cli_host.h"

#include <set>
#include <utility>

#include "cli/text.h"
#include "journal/journal.h"
#include "journal/recorder.h"
#include "platform/fs.h"

namespace ferro::cli {

SearchBounds CliSearchHost::ReadBounds() {
    SearchBounds b;
    b.minSize = source_.minSize;
    b.maxSize = source_.maxSize;
    b.date = source_.dateType;
    b.minDay = source_.minDay;
    b.maxDay = source_.maxDay;
    return b;
}

CliRunHost::CliRunHost(Console& console, Journal* journal, std::string operation)
    : console_(console),
      progress_(console.ErrIsTerminal()),
      journal_(journal),
      operation_(std::move(operation)) {}

CliRunHost::~CliRunHost() {
    ClearProgress();
    CloseRecorder();
}

void CliRunHost::FileStarted(int index, std::string_view path) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
    lastShown_ = now;
    shown_ = true;
    const std::string line = FromUtf8("已处理 ") + std::to_string(index) + "/" +
                             std::to_string(total_) + " " + ExtractFileName(path);
    console_.Err("\r" + ToUtf8(line) + "\x1b[K");
}

ChangeRecorder* CliRunHost::recorder() {
    if (!recorder_ && journal_) recorder_ = journal_->StartRun(operation_, "cli");
    return recorder_.get();
}

void CliRunHost::CloseRecorder() {
    if (recorder_) recorder_->Close();
    recorder_.reset();
}

void CliRunHost::ClearProgress() {
    if (shown_) console_.Err("\r\x1b[K");
    shown_ = false;
}

std::vector<FileResult> CliRunHost::Files(const RunSummary& summary) const {
    std::vector<FileResult> files = results_;
    std::set<std::pair<int, std::string>> told;
    for (const FileResult& r : results_) told.emplace(r.row, r.path);
    for (const FileResult& r : summary.undone)
        if (!told.count({r.row, r.path})) files.push_back(r);
    return files;
}

}  // namespace ferro::cli
