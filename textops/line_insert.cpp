#include "textops/line_insert.h"

#include <memory>
#include <optional>

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/pump.h"
#include "platform/text.h"
#include "regex/regex.h"
#include "template/template.h"

namespace ferro {

SequenceItem FindSequenceItem(std::string_view format) {
    SequenceItem item;
    const std::size_t at = AnsiLower(format).find("${sn(");
    if (at == std::string::npos) return item;
    const std::size_t close = format.find('}', at);
    // An item that is never closed has no number to read: say so with the
    // text that was typed.
    if (close == std::string_view::npos) {
        StrToInt(format.substr(at));  // throws: the text begins with "$"
        return item;
    }
    item.text.assign(format.substr(at, close - at + 1));
    // Between "${sn(" and the closing ")}".
    const std::string_view whole = item.text;
    const std::string_view args =
        whole.size() > 7 ? whole.substr(5, whole.size() - 7) : std::string_view();
    const std::size_t comma = args.find(',');
    const std::string_view first = comma == std::string_view::npos ? args : args.substr(0, comma);
    const std::string_view second =
        comma == std::string_view::npos ? std::string_view() : args.substr(comma + 1);
    item.start = StrToInt(Trim(first));
    item.width = StrToInt(Trim(second));
    return item;
}

std::string SequenceNumberText(long long n, int width) {
    std::string d = std::to_string(n);
    if (width > 0 && d.size() < static_cast<std::size_t>(width)) {
        const std::size_t pad =
            std::min<std::size_t>(static_cast<std::size_t>(width) - d.size(), 16);
        d.insert(0, pad, '0');
    }
    return d;
}

namespace {

// The template with the sequence item replaced by the number n.
std::string Numbered(const LineInsertSettings& s, long long n) {
    return ReplaceAll(s.format, s.sequence.text, SequenceNumberText(n, s.sequence.width));
}

}  // namespace

void InsertIntoLines(const LineInsertSettings& s, const LineList& in, LineSink& out) {
    const bool numbered = !s.sequence.text.empty();
    if (s.choice == LineChoice::LineNumber) {
        if (in.empty()) return;
        const std::size_t target = ClampedLineIndex(s.lineNumber, in.size());
        out.reserve(in.size(), in.byteSize() + 256);
        for (std::size_t i = 0; i < in.size(); ++i) {
            ProcessPendingMessages();
            if (i != target) {
                out.push_back(in[i]);
                continue;
            }
            out.push_back(EvaluateTemplate(
                in[i], numbered ? std::string_view(Numbered(s, s.sequence.start)) : s.format));
        }
        return;
    }

    long long n = s.sequence.start;
    // A numbered template is a new text for each line, read again into the
    // same storage.
    CompiledTemplate format(numbered ? std::string_view() : std::string_view(s.format));
    // Most templates add about the same to every line: measure the first
    // treated line and reserve for all, so a list is not regrown (and
    // briefly held twice) on large files. The lines are walked in order,
    // without cutting the whole text first, unless that hint is taken.
    bool reserved = !out.HoldsLines();
    std::size_t i = 0;  // the index of line
    for (const std::string_view line : in) {
        ProcessPendingMessages();
        if (!IsChosenLine(s.choice, line, s.keyword)) {
            out.push_back(line);
            ++i;
            continue;
        }
        if (numbered) format.Compile(Numbered(s, n++));
        const std::string_view r = format.Evaluate(line);
        if (!reserved) {
            reserved = true;
            const std::size_t grow = r.size() > line.size() ? r.size() - line.size() + 2 : 2;
            out.reserve(in.size(), in.byteSize() + grow * (in.size() - i) + (1 << 16));
        }
        out.push_back(r);
        ++i;
    }
}

namespace {

// Fixed texts added to the ends of the chosen lines, in UTF-8.
struct Affixes {
    std::string left, right;
};

// A template that is one ${RegRep(..)} with fixed arguments: the engine's
// replacement on each chosen line, in the file's own bytes (a UTF-8 file's
// lines are matched as they are).
struct RegexRule {
    Regex regex;
    RegexReplacement by;
    bool unbroken = true;  // the replacement holds no line break
};

// Each chosen line rewritten by rewrite(old, line), the others kept; in
// line-number mode the one line, nothing for an empty file. Keywords are
// looked for in the lines' own bytes.
template <class Rewrite>
void RewriteChosenLines(const LineInsertSettings& s, LineBytes bytes, bool unbroken, const LineList& in,
                        LineSink& out, Rewrite rewrite) {
    std::string line;
    auto add = [&](std::string_view old) {
        rewrite(old, line);
        if (unbroken) out.PushUnbroken(line);
        else out.push_back(line);
    };
    if (s.choice == LineChoice::LineNumber) {
        if (in.empty()) return;
        const std::size_t target = ClampedLineIndex(s.lineNumber, in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            ProcessPendingMessages();
            if (i == target) add(in[i]);
            else out.push_back(in[i]);
        }
        return;
    }
    const bool utf8Keyword = s.choice == LineChoice::Keyword && bytes == LineBytes::Utf8;
    const KeywordMatcher keyword(utf8Keyword ? std::vector<std::string>{s.keyword} : std::vector<std::string>{},
                                 LineBytes::Utf8);
    for (const std::string_view old : in) {
        ProcessPendingMessages();
        const bool chosen = utf8Keyword ? keyword.AnyIn(old) : IsChosenLine(s.choice, old, s.keyword);
        if (chosen) add(old);
        else out.push_back(old);
    }
}

void AddToUtf8Lines(const LineInsertSettings& s, const Affixes& a, const LineList& in,
                    LineSink& out) {
    // The added texts may hold breaks; a line of the file never does.
    const bool unbroken = FindLineBreak(a.left) == std::string_view::npos &&
                          FindLineBreak(a.right) == std::string_view::npos;
    RewriteChosenLines(s, LineBytes::Utf8, unbroken, in, out, [&](std::string_view old, std::string& line) {
        line.assign(a.left);
        line.append(old);
        line.append(a.right);
    });
}

void ReplaceInLines(const LineInsertSettings& s, const RegexRule& rule, LineBytes bytes, const LineList& in,
                    LineSink& out) {
    const SubjectBytes subject = bytes == LineBytes::Utf8 ? SubjectBytes::Utf8 : SubjectBytes::Gbk;
    const std::size_t limit = TemplateValueLimit();
    RewriteChosenLines(s, bytes, rule.unbroken, in, out, [&](std::string_view old, std::string& line) {
        line.clear();
        if (!rule.regex.ReplaceAll(old, subject, rule.by, line, limit)) throw ValueTooLong();
    });
}

std::shared_ptr<const RegexRule> RegexRuleOf(const LineInsertSettings& s) {
    std::string pattern, by, problem;
    if (!s.sequence.text.empty() || !CompiledTemplate(s.format).SingleRegRep(pattern, by)) return nullptr;
    std::optional<Regex> regex = Regex::Compile(pattern, {}, problem);
    // A bad pattern is the template's own to report.
    if (!regex) return nullptr;
    auto rule = std::make_shared<RegexRule>(RegexRule{std::move(*regex), RegexReplacement(by), true});
    rule->unbroken = FindLineBreak(by) == std::string_view::npos;
    return rule;
}

LineOperation RegexInsertOperation(const LineInsertSettings& s, std::shared_ptr<const RegexRule> rule) {
    auto apply = [s, rule](const LineList& in, LineBytes bytes, LineSink& out) {
        ReplaceInLines(s, *rule, bytes, in, out);
    };
    LineTransform gbk = [apply](const LineList& in, LineSink& out) { apply(in, LineBytes::Gbk, out); };
    // A replacement with no exact UTF-8 form, or a keyword that has none,
    // takes UTF-8 files through GBK as any template does.
    const bool onUtf8 = rule->by.exactInUtf8() &&
                        (s.choice != LineChoice::Keyword || KeywordMatcher({s.keyword}, LineBytes::Utf8).usable());
    LineOperation op = onUtf8 ? LineOperation(std::move(gbk),
                                              [apply](const LineList& in, LineSink& out) {
                                                  apply(in, LineBytes::Utf8, out);
                                              })
                              : LineOperation(std::move(gbk));
    op.parallel = true;
    if (s.choice != LineChoice::LineNumber) op.linewise = [apply] { return apply; };
    return op;
}

}  // namespace

LineOperation LineInsertOperation(const LineInsertSettings& s) {
    if (std::shared_ptr<const RegexRule> rule = RegexRuleOf(s)) return RegexInsertOperation(s, std::move(rule));
    LineTransform gbk = [s](const LineList& in, LineSink& out) { InsertIntoLines(s, in, out); };
    Affixes gb, utf8;
    const bool onUtf8 = s.sequence.text.empty() &&
                        CompiledTemplate(s.format).Affixes(gb.left, gb.right) &&
                        Gb18030ToUtf8Exact(gb.left, utf8.left) &&
                        Gb18030ToUtf8Exact(gb.right, utf8.right) &&
                        (s.choice != LineChoice::Keyword ||
                         KeywordMatcher({s.keyword}, LineBytes::Utf8).usable());
    LineOperation op = onUtf8 ? LineOperation(std::move(gbk),
                                              [s, utf8](const LineList& in, LineSink& out) {
                                                  AddToUtf8Lines(s, utf8, in, out);
                                              })
                              : LineOperation(std::move(gbk));
    // Each file is numbered from the start again: nothing goes from file to
    // file.
    op.parallel = true;
    // Numbered lines and the one line by number need what came before.
    if (s.sequence.text.empty() && s.choice != LineChoice::LineNumber)
        op.linewise = [s, utf8] {
            return [s, utf8](const LineList& in, LineBytes bytes, LineSink& out) {
                if (bytes == LineBytes::Utf8) AddToUtf8Lines(s, utf8, in, out);
                else InsertIntoLines(s, in, out);
            };
        };
    return op;
}

}  // namespace ferro
