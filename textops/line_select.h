// What the line operations share about choosing lines: which lines a
// template is applied to, the clamped line number, blank lines, and the
// "every N lines, the M-th" interval. Keywords are in keywords.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "textops/keywords.h"
#include "textops/lines.h"

namespace ferro {

// The lines a template is applied to (line cut, line insert).
enum class LineChoice {
    AllLines,    // every line
    TextLines,   // lines that are not empty (spaces count as text)
    LineNumber,  // one line by its number
    Keyword,     // lines holding the keyword
};

// Whether a line is one the template is applied to (not for LineNumber,
// which picks its line by position). An empty keyword matches nothing.
inline bool IsChosenLine(LineChoice choice, std::string_view line, std::string_view keyword) {
    switch (choice) {
        case LineChoice::AllLines:
            return true;
        case LineChoice::TextLines:
            return !line.empty();
        case LineChoice::Keyword:
            return ContainsKeyword(line, keyword);
        case LineChoice::LineNumber:
            break;
    }
    return false;
}

// Nothing left once bytes 0x00..0x20 are trimmed away.
inline bool IsBlankLine(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) > 0x20) return false;
    return true;
}

// The 0-based index of line number n (below 1 counts as 1) in a file of
// count lines; beyond the end it is the last line. count must not be 0.
inline std::size_t ClampedLineIndex(long long n, std::size_t count) {
    if (n < 1) n = 1;
    const auto want = static_cast<std::size_t>(n);
    return (want < count ? want : count) - 1;
}

// "Every period lines, the position-th": line j (from 1) is hit when
// j % period == remainder. A position of 0 or less counts as 1, and one not
// below the period stands for the last line of each group.
struct LineInterval {
    std::size_t period = 2;
    std::size_t remainder = 1;

    // period must be at least 1 (the pages refuse anything else).
    static LineInterval Make(int period, int position) {
        LineInterval iv;
        iv.period = static_cast<std::size_t>(period < 1 ? 1 : period);
        if (position < 1) position = 1;
        iv.remainder = static_cast<std::size_t>(position) >= iv.period
                           ? 0
                           : static_cast<std::size_t>(position);
        return iv;
    }
    bool Hits(std::size_t lineNumber) const { return lineNumber % period == remainder; }
};

}  // namespace ferro
