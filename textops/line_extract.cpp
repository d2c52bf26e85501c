#include "textops/line_extract.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void ExtractLines(const LineExtractSettings& s, const LineList& in, LineList& out) {
    if (in.empty()) return;
    const std::size_t n = in.size();
    if (s.mode == LineExtractMode::LineNumber) {
        out.push_back(in[ClampedLineIndex(s.lineNumber, n)]);
        return;
    }
    // The output never outgrows the input; with an interval it is about one
    // period-th of it.
    if (s.mode == LineExtractMode::Interval)
        out.reserve(n / s.interval.period + 1, in.byteSize() / s.interval.period + (1 << 16));
    else
        out.reserve(n, in.byteSize());
    for (std::size_t i = 0; i < n; ++i) {
        ProcessPendingMessages();
        const std::string_view line = in[i];
        if (!s.keepBlank && IsBlankLine(line)) continue;
        const bool keep = s.mode == LineExtractMode::Interval
                              ? s.interval.Hits(i + 1)
                              : ContainsAnyKeyword(line, s.keywords);
        if (keep) out.push_back(line);
    }
}

}  // namespace ferro
