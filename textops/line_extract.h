// Line extract: keeps only one line by number, the lines at an interval, or
// the lines holding any of a list of keywords; everything else is dropped.
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

enum class LineExtractMode { LineNumber, Interval, Keywords };

struct LineExtractSettings {
    LineExtractMode mode = LineExtractMode::LineNumber;
    int lineNumber = 1;  // below 1 counts as 1; beyond the end, the last line
    LineInterval interval;
    std::vector<std::string> keywords;  // from SplitKeywords; empty ones match nothing
    // Set: the keywords are regular expressions (compiled from keywords).
    std::optional<KeywordPatterns> patterns;
    // Whether blank lines may be kept (interval and keyword modes; the line
    // chosen by number is kept even when blank).
    bool keepBlank = true;
};

// Fills out with the lines of in that are kept. An empty file stays empty.
void ExtractLines(const LineExtractSettings& settings, const LineList& in, LineSink& out,
                  LineBytes bytes = LineBytes::Gbk);

// The same for a file given in pieces of whole lines, in order: number is
// that of the last line before in (0 before the first piece) and is moved
// on past in's lines. Not for the line-number mode, which needs the count.
void ExtractLines(const LineExtractSettings& settings, const LineList& in, LineSink& out,
                  LineBytes bytes, std::size_t& number);

// The operation a run applies, UTF-8 files taken in their own bytes.
LineOperation LineExtractOperation(const LineExtractSettings& settings);

}  // namespace ferro
