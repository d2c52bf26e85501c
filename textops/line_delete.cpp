#include "textops/line_delete.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void DeleteLines(const LineDeleteSettings& s, const LineList& in, LineSink& out) {
    if (in.empty()) return;
    // Lines are walked in order, without cutting the whole text first.
    std::size_t number = 0;  // of the line at hand, from 1
    std::size_t gone = 0;    // the line-number mode's line, from 1
    if (s.mode == LineDeleteMode::LineNumber) gone = ClampedLineIndex(s.lineNumber, in.size()) + 1;
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        ++number;
        bool drop = false;
        switch (s.mode) {
            case LineDeleteMode::LineNumber:
                drop = number == gone;
                break;
            case LineDeleteMode::Interval:
                drop = s.interval.Hits(number);
                break;
            case LineDeleteMode::Keywords:
                drop = ContainsAnyKeyword(line, s.keywords);
                break;
            case LineDeleteMode::BlankLines:
                drop = IsBlankLine(line);
                break;
        }
        if (!drop) out.push_back(line);
    }
}

}  // namespace ferro
