// Line delete: drops one line by number, the lines at an interval, the lines
// holding any of a list of keywords, or the blank lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "textops/keywords.h"
#include "textops/line_select.h"
#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

enum class LineDeleteMode { LineNumber, Interval, Keywords, BlankLines };

struct LineDeleteSettings {
    LineDeleteMode mode = LineDeleteMode::LineNumber;
    int lineNumber = 1;  // below 1 counts as 1; beyond the end, the last line
    LineInterval interval;
    std::vector<std::string> keywords;  // from SplitKeywords; empty ones match nothing
    // Set: the keywords are regular expressions (compiled from keywords).
    std::optional<KeywordPatterns> patterns;
};

// Fills out with the lines of in that stay. An empty file stays empty.
void DeleteLines(const LineDeleteSettings& settings, const LineList& in, LineSink& out,
                 LineBytes bytes = LineBytes::Gbk);

// The same for a file given in pieces of whole lines, in order: number is
// that of the last line before in (0 before the first piece) and is moved
// on past in's lines. Not for the line-number mode, which needs the count.
void DeleteLines(const LineDeleteSettings& settings, const LineList& in, LineSink& out,
                 LineBytes bytes, std::size_t& number);

// The operation a run applies, UTF-8 files taken in their own bytes.
LineOperation LineDeleteOperation(const LineDeleteSettings& settings);

}  // namespace ferro
