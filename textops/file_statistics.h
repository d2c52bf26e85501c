// Line figures of one text file.
#pragma once

#include <cstdint>

#include "textops/lines.h"

namespace ferro {

struct FileStatistics {
    int64_t size = 0;  // bytes on disk
    int64_t allLines = 0;
    int64_t emptyLines = 0;  // length 0
    int64_t dataLines = 0;   // every other line, blanks-only lines included
    int64_t longest = 0;     // bytes of the longest data line
    int64_t shortest = 0;    // bytes of the shortest data line; 0 without data lines
    int64_t average = 0;     // size / data lines, rounded down; 0 without data lines
};

// Counts the lines of a file of the given size. Window messages are
// processed before each line.
FileStatistics CountFileStatistics(const LineList& lines, int64_t size);

}  // namespace ferro
