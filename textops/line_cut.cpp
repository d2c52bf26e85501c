#include "textops/line_cut.h"

#include "platform/pump.h"
#include "platform/text.h"
#include "template/template.h"

namespace ferro {
namespace {

// The line without the first occurrence of cut; the line itself when cut is
// empty or absent.
void AppendRest(LineSink& out, std::string_view line, std::string_view cut, std::string& scratch) {
    const std::size_t p = cut.empty() ? std::string_view::npos : line.find(cut);
    if (p == std::string_view::npos) {
        out.push_back(line);
        return;
    }
    scratch.assign(line.substr(0, p));
    scratch.append(line.substr(p + cut.size()));
    out.push_back(scratch);
}

}  // namespace

void CutLines(const LineCutSettings& s, const LineList& in, LineSink& out) {
    std::string scratch;
    CompiledTemplate format(s.format);
    if (s.choice == LineChoice::LineNumber) {
        if (in.empty()) return;
        const std::size_t target = ClampedLineIndex(s.lineNumber, in.size());
        out.reserve(in.size(), in.byteSize());
        for (std::size_t i = 0; i < in.size(); ++i) {
            ProcessPendingMessages();
            const std::string_view line = in[i];
            if (i != target) {
                out.push_back(line);
                continue;
            }
            const std::string_view r = format.Evaluate(line);
            if (s.keepCut)
                out.push_back(r);
            else
                AppendRest(out, line, r, scratch);
        }
        return;
    }
    // ${RegGet(..)} gives nothing for a line it finds nothing in: nothing
    // was cut out of it, as with a result that is the line itself (so a
    // cut keeps the matches alone, as grep -o does).
    const bool emptyIsUncut = s.keepCut && AnsiLower(s.format).find("${regget(") != std::string::npos;
    // Keep-cut results are parts of their lines, so no output outgrows its input
    // unless a template adds text; reserving the input's size is a good guess.
    // Lines are walked in order, without cutting the whole text first.
    if (out.HoldsLines()) out.reserve(in.size(), in.byteSize());
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        if (!IsChosenLine(s.choice, line, s.keyword)) {
            // The result is the line itself.
            if (!s.keepCut) out.push_back(line);
            continue;
        }
        const std::string_view r = format.Evaluate(line);
        if (r == line || (emptyIsUncut && r.empty())) {
            if (!s.keepCut) out.push_back(line);
        } else if (s.keepCut) {
            out.push_back(r);
        } else {
            AppendRest(out, line, r, scratch);
        }
    }
}

LineOperation LineCutOperation(const LineCutSettings& s) {
    LineOperation op([s](const LineList& in, LineSink& out) { CutLines(s, in, out); });
    op.parallel = true;
    // The one line by number needs the count of lines first.
    if (s.choice != LineChoice::LineNumber)
        op.linewise = [s] {
            return [s](const LineList& in, LineBytes, LineSink& out) { CutLines(s, in, out); };
        };
    return op;
}

}  // namespace ferro
