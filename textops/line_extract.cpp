#include "textops/line_extract.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void ExtractLines(const LineExtractSettings& s, const LineList& in, LineSink& out) {
    if (in.empty()) return;
    if (s.mode == LineExtractMode::LineNumber) {
        out.push_back(in[ClampedLineIndex(s.lineNumber, in.size())]);
        return;
    }
    // Lines are walked in order, without cutting the whole text first.
    std::size_t number = 0;
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        ++number;
        if (!s.keepBlank && IsBlankLine(line)) continue;
        const bool keep = s.mode == LineExtractMode::Interval ? s.interval.Hits(number)
                                                               : ContainsAnyKeyword(line, s.keywords);
        if (keep) out.push_back(line);
    }
}

}  // namespace ferro
