#include "textops/pattern_replace.h"

#include <utility>
#include <vector>

#include "platform/pump.h"
#include "platform/text.h"
#include "template/template.h"
#include "textops/line_select.h"

namespace ferro {
namespace {

// The separator a line decides: tab before ";" before ":" before a space,
// whatever their order in the line.
std::string DecideSeparator(std::string_view line) {
    for (const char* c : {"\t", ";", ":", " "})
        if (line.find(c[0]) != std::string_view::npos) return c;
    return std::string();
}

// An item "${name(...)}" whose name the template language does not know. The
// language would give the whole subject as its value, which holds the item
// again; such an item is better left as it was typed. "${word}" (no
// parenthesis) is known: it gives the word.
bool IsUnknownCall(std::string_view item) {
    const std::string_view call = item.substr(2, item.size() - 3);
    const std::size_t paren = call.find('(');
    return paren != std::string_view::npos && !IsTemplateFunction(call.substr(0, paren));
}

// EvaluatePatternItems with the items compiled through templates.
std::string EvaluateItems(std::string text, TemplateCache& templates) {
    if (text.find('}') == std::string::npos) return text;
    struct Known {
        std::string key, value;
    };
    std::vector<Known> known;
    std::vector<std::size_t> open;  // where each unclosed "${" starts in out
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '$' && i + 1 < n && text[i + 1] == '{') {
            open.push_back(out.size());
            out.append("${");
            i += 2;
        } else if (c == '}' && !open.empty()) {
            const std::size_t start = open.back();
            open.pop_back();
            out.push_back('}');
            ++i;
            const std::string_view item(out.data() + start, out.size() - start);
            std::string key = AnsiUpper(item);
            const Known* hit = nullptr;
            for (const Known& k : known)
                if (k.key == key) hit = &k;
            std::string value;
            if (hit) {
                // Every copy of an item (in any letter case) takes the value
                // of the first.
                value = hit->value;
            } else if (IsUnknownCall(item)) {
                value.assign(item);
            } else {
                // The subject is the whole text as it stands: what is built so
                // far, this item included, and the rest not yet read.
                std::string subject = out;
                subject.append(text, i, std::string::npos);
                value.assign(templates.Evaluate(subject, item));
                known.push_back({std::move(key), value});
            }
            out.resize(start);
            out.append(value);
        } else if (static_cast<unsigned char>(c) >= 0x81) {
            // A trail byte may look like "{" or "}"; it belongs to its character.
            const std::size_t len = CharLength(text, i);
            out.append(text, i, len);
            i += len;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string EvaluatePatternItems(std::string text) {
    TemplateCache templates(1);
    return EvaluateItems(std::move(text), templates);
}

std::string FillFields(std::string_view pattern, std::string_view prefix, int count,
                       const std::vector<std::string>& fields) {
    std::string e(pattern);
    const std::size_t names = count <= 0 ? 0 : std::min<std::size_t>(count, fields.size());
    for (std::size_t k = 1; k <= names; ++k) {
        const std::string name = std::string(prefix) + std::to_string(k);
        ReplaceAllInPlace(e, name, fields[k - 1]);
    }
    return e;
}

std::string ApplyPattern(const PatternReplaceSettings& s, PatternReplaceState& state,
                         std::string_view line) {
    const std::string d = Trim(line);
    if (state.separator.empty()) state.separator = DecideSeparator(d);
    const std::vector<std::string> fields = SplitFields(d, state.separator);
    return EvaluateItems(FillFields(s.pattern, s.prefix, s.count, fields), state.templates);
}

void ReplaceByPattern(const PatternReplaceSettings& s, PatternReplaceState& state,
                      const LineList& in, LineSink& out) {
    // Lines are walked in order, without cutting the whole text first.
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        if (IsBlankLine(line)) continue;
        out.push_back(ApplyPattern(s, state, line));
    }
}

LineOperation PatternReplaceOperation(const PatternReplaceSettings& s,
                                      PatternReplaceState& state) {
    LineOperation op(
        [s, &state](const LineList& in, LineSink& out) { ReplaceByPattern(s, state, in, out); });
    op.linewise = [s, &state] {
        return [s, &state](const LineList& in, LineBytes, LineSink& out) {
            ReplaceByPattern(s, state, in, out);
        };
    };
    return op;
}

}  // namespace ferro
