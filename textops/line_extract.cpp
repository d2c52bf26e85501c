#include "textops/line_extract.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void ExtractLines(const LineExtractSettings& s, const LineList& in, LineSink& out,
                  LineBytes bytes) {
    std::size_t number = 0;
    ExtractLines(s, in, out, bytes, number);
}

void ExtractLines(const LineExtractSettings& s, const LineList& in, LineSink& out, LineBytes bytes,
                  std::size_t& number) {
    if (in.empty()) return;
    if (s.mode == LineExtractMode::LineNumber) {
        out.push_back(in[ClampedLineIndex(s.lineNumber, in.size())]);
        return;
    }
    // Lines are walked in order, without cutting the whole text first.
    const KeywordMatcher keywords(s.patterns ? std::vector<std::string>() : s.keywords, bytes);
    KeywordPatterns::Hits hits;
    if (s.mode == LineExtractMode::Keywords && s.patterns) hits = s.patterns->Scan(in, bytes);
    std::size_t index = 0;  // in in
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        ++number;
        const std::size_t i = index++;
        if (!s.keepBlank && IsBlankLine(line)) continue;
        const bool keep = s.mode == LineExtractMode::Interval ? s.interval.Hits(number)
                    : s.patterns ? hits.At(i)
                                                               : keywords.AnyIn(line);
        if (keep) out.push_back(line);
    }
}

LineOperation LineExtractOperation(const LineExtractSettings& s) {
    return NumberedLineOperation(
        [s](const LineList& in, LineSink& out, LineBytes bytes, std::size_t& number) {
            ExtractLines(s, in, out, bytes, number);
        },
        s.mode != LineExtractMode::Keywords || s.patterns ||
            KeywordMatcher(s.keywords, LineBytes::Utf8).usable(),
        s.mode != LineExtractMode::LineNumber);
}

}  // namespace ferro
