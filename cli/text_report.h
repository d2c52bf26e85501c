// What a run tells in words, as the window tells it: the closing message on
// standard error followed by the files left undone with their reasons; the
// statistics as a table on standard output.
#pragma once

#include <string>

#include "batch/run.h"
#include "cli/console.h"
#include "textops/file_statistics.h"

namespace ferro::cli {

void PrintRunReport(Console& console, const RunSummary& summary, const std::string& closing);

// One row per file, tab-separated, under a header line printed before the
// first row.
class StatisticsTable {
public:
    explicit StatisticsTable(Console& console) : console_(console) {}
    void Add(const std::string& path, const FileStatistics& s);

private:
    Console& console_;
    bool header_ = false;
};

}  // namespace ferro::cli
