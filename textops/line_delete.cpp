#include "textops/line_delete.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void DeleteLines(const LineDeleteSettings& s, const LineList& in, LineSink& out, LineBytes bytes) {
    std::size_t number = 0;
    DeleteLines(s, in, out, bytes, number);
}

void DeleteLines(const LineDeleteSettings& s, const LineList& in, LineSink& out, LineBytes bytes,
                 std::size_t& number) {
    if (in.empty()) return;
    // Lines are walked in order, without cutting the whole text first.
    const KeywordMatcher keywords(s.patterns ? std::vector<std::string>() : s.keywords, bytes);
    KeywordPatterns::Hits hits;
    if (s.mode == LineDeleteMode::Keywords && s.patterns) hits = s.patterns->Scan(in, bytes);
    std::size_t index = 0;  // in in
    std::size_t gone = 0;  // the line-number mode's line, from 1
    if (s.mode == LineDeleteMode::LineNumber) gone = ClampedLineIndex(s.lineNumber, in.size()) + 1;
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        ++number;
        const std::size_t i = index++;
        bool drop = false;
        switch (s.mode) {
            case LineDeleteMode::LineNumber:
                drop = number == gone;
                break;
            case LineDeleteMode::Interval:
                drop = s.interval.Hits(number);
                break;
            case LineDeleteMode::Keywords:
                drop = s.patterns ? hits.At(i) : keywords.AnyIn(line);
                break;
            case LineDeleteMode::BlankLines:
                drop = IsBlankLine(line);
                break;
        }
        if (!drop) out.push_back(line);
    }
}

LineOperation LineDeleteOperation(const LineDeleteSettings& s) {
    return NumberedLineOperation(
        [s](const LineList& in, LineSink& out, LineBytes bytes, std::size_t& number) {
            DeleteLines(s, in, out, bytes, number);
        },
        s.mode != LineDeleteMode::Keywords || s.patterns ||
            KeywordMatcher(s.keywords, LineBytes::Utf8).usable(),
        s.mode != LineDeleteMode::LineNumber);
}

}  // namespace ferro
