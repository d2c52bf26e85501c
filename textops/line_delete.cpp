#include "textops/line_delete.h"

#include "platform/pump.h"
#include "textops/textfile.h"

namespace ferro {

void DeleteLines(const LineDeleteSettings& s, const LineList& in, LineList& out) {
    if (in.empty()) return;
    // The output never outgrows the input: one exact reservation.
    out.reserve(in.size(), in.byteSize());
    const std::size_t n = in.size();
    switch (s.mode) {
        case LineDeleteMode::LineNumber: {
            const std::size_t gone = ClampedLineIndex(s.lineNumber, n);
            for (std::size_t i = 0; i < n; ++i) {
                ProcessPendingMessages();
                if (i != gone) out.push_back(in[i]);
            }
            break;
        }
        case LineDeleteMode::Interval:
            for (std::size_t i = 0; i < n; ++i) {
                ProcessPendingMessages();
                if (!s.interval.Hits(i + 1)) out.push_back(in[i]);
            }
            break;
        case LineDeleteMode::Keywords:
            for (std::size_t i = 0; i < n; ++i) {
                ProcessPendingMessages();
                const std::string_view line = in[i];
                if (!ContainsAnyKeyword(line, s.keywords)) out.push_back(line);
            }
            break;
        case LineDeleteMode::BlankLines:
            for (std::size_t i = 0; i < n; ++i) {
                ProcessPendingMessages();
                const std::string_view line = in[i];
                if (!IsBlankLine(line)) out.push_back(line);
            }
            break;
    }
}

}  // namespace ferro
