// EvaluateTemplate, the reference evaluator: escapes, the call, its name and
// arguments, the nested ${...} items (innermost first, left to right), then
// the function, and then the text after the call. It reads the template anew on every call; CompiledTemplate
// (compiled.cpp) must give exactly its results.
#include <vector>

#include "platform/codec.h"
#include "platform/text.h"
#include "template/functions.h"
#include "template/small_stack.h"
#include "template/template.h"

namespace ferro {
namespace {

// How much of the reading an expression gets: the typed template (escapes,
// text after its call), one call of it (its nested items), or a nested item
// whose own items are values already.
enum class Level { kTemplate, kCall, kNested };

std::string EvaluateAt(std::string_view subject, std::string_view expression, Level level);

// Replaces each ${...} item of the argument text by its value, innermost
// first, in one left-to-right pass. Each "}" closes the nearest open "${".
// A value is text from then on: its "${" and "}" bytes (a subject may hold
// them) are never read as markers, neither here nor when the enclosing item
// is evaluated. A "}" that closes nothing is kept as text. So the pass always
// ends, evaluates every item once, and never feeds on its own results.
// Identical items (in any letter case, but for regular-expression calls)
// share the value of the first. Where a regular expression is written (the
// arguments of such a call: escapes, or of the call whose arguments these
// are: topEscapes), a backslash and the character after it are text.
std::string ResolveNested(std::string_view subject, std::string_view args, bool topEscapes) {
    struct Known {
        std::string key, value;
    };
    std::vector<Known> known;
    const std::size_t lastOpen = args.rfind("${");

    std::string out;
    out.reserve(args.size());
    SmallStack<std::size_t> open(args.size() / 2 + 1);
    std::string escapes;  // one per open item
    const std::size_t n = args.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = args[i];
        if (c == '\\' && i + 1 < n && (open.empty() ? topEscapes : escapes.back() != '\0')) {
            const std::size_t len = 1 + CharLength(args, i + 1);
            out.append(args.substr(i, len));
            i += len;
        } else if (c == '$' && i + 1 < n && args[i + 1] == '{') {
            open.push(out.size());
            escapes.push_back(detail::TakesEscapes(args, i) ? '\1' : '\0');
            out.append("${");
            i += 2;
        } else if (c == '}' && !open.empty()) {
            const std::size_t start = open.pop();
            escapes.pop_back();
            out.push_back('}');
            ++i;
            const std::string_view item(out.data() + start, out.size() - start);
            std::string value;
            bool found = false;
            std::string key;
            if (!known.empty() || (lastOpen != std::string_view::npos && i <= lastOpen)) {
                key.assign(item);
                detail::MakeItemKey(key);
            }
            if (!known.empty()) {
                for (const Known& k : known) {
                    if (k.key == key) {
                        value = k.value;
                        found = true;
                        break;
                    }
                }
            }
            if (!found) {
                // Every item inside this one has been replaced by its value
                // already, so what remains is evaluated as it stands.
                value = EvaluateAt(subject, item, Level::kNested);
                // Only worth keeping when another item can follow.
                if (lastOpen != std::string_view::npos && i <= lastOpen)
                    known.push_back({std::move(key), value});
            }
            out.resize(start);
            out.append(value);
        } else if (static_cast<unsigned char>(c) >= 0x81) {
            // A trail byte may look like "{" or "}"; it is part of its
            // character, not a marker.
            const std::size_t len = CharLength(args, i);
            out.append(args.substr(i, len));
            i += len;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

std::string ApplyEscapes(std::string_view expression) {
    std::string s(expression);
    detail::ApplyTemplateEscapes(s);
    return s;
}

// The text after the first call: literal text kept as written, each call in
// it evaluated as a call of its own; a "${" that no call closes is text.
void AppendTail(std::string_view subject, std::string_view tail, std::string& out) {
    std::size_t i = 0;
    while (i < tail.size()) {
        const std::size_t open = tail.find("${", i);
        const std::size_t end =
            open == std::string_view::npos ? open : detail::CallEnd(tail, open);
        if (end == std::string_view::npos) {
            out.append(tail.substr(i));
            break;
        }
        out.append(tail.substr(i, open - i));
        out += EvaluateAt(subject, tail.substr(open, end + 1 - open), Level::kCall);
        i = end + 1;
        if (out.size() > detail::ValueLimit()) throw ValueTooLong();
    }
}

std::string EvaluateAt(std::string_view subject, std::string_view expression, Level level) {
    // Escapes belong to the typed template. Nested items are evaluated
    // without them: an item may hold substituted text (the subject, say a
    // line with "C:\temp"), which must reach the function as it is.
    std::string escaped;
    if (level == Level::kTemplate && expression.find('\\') != std::string_view::npos) {
        escaped = ApplyEscapes(expression);
        expression = escaped;
    }
    const std::size_t a = expression.find("${");
    if (a == std::string_view::npos) return std::string(expression);
    if (level == Level::kTemplate) {
        const std::size_t end = detail::CallEnd(expression, a);
        if (end != std::string_view::npos && end + 1 < expression.size()) {
            std::string out = EvaluateAt(subject, expression.substr(0, end + 1), Level::kCall);
            AppendTail(subject, expression.substr(end + 1), out);
            return out;
        }
    }
    // Text before "${" is dropped; the last byte is taken as the closing "}".
    const std::string_view call = expression.size() >= a + 3
                                      ? expression.substr(a + 2, expression.size() - a - 3)
                                      : std::string_view();
    const std::size_t b = call.find('(');
    if (b == std::string_view::npos) return std::string(call);
    // The last byte of the call is taken as the closing ")".
    std::string_view args =
        call.size() >= b + 2 ? call.substr(b + 1, call.size() - b - 2) : std::string_view();
    const detail::TemplateFunction fn = detail::LookupFunction(call.substr(0, b));
    // An unknown function leaves the subject as it is; its arguments have no
    // effect, so they are not evaluated.
    if (!fn) return std::string(subject);
    std::string resolved;
    if (level != Level::kNested && args.find('}') != std::string_view::npos) {
        resolved = ResolveNested(subject, args, detail::IsRegexFunction(fn));
        args = resolved;
    }
    std::string out;
    detail::Workspace work;
    fn(subject, detail::SplitArguments(args), out, work);
    return out;
}

}  // namespace

std::string EvaluateTemplate(std::string_view subject, std::string_view expression) {
    return EvaluateAt(subject, expression, Level::kTemplate);
}

bool IsTemplateFunction(std::string_view name) {
    return detail::LookupFunction(name) != nullptr;
}

ValueTooLong::ValueTooLong() : TemplateError(Utf16ToGbk(u"结果超出长度限制")) {}

}  // namespace ferro
