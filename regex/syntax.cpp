#include "regex/syntax.h"

#include <re2/re2.h>

#include <cctype>

namespace ferro::regex_detail {

namespace {

// Unicode's classes for RE2's ASCII ones: as a class of their own, and as
// members of a bracket expression.
constexpr std::string_view kDigit = "\\p{Nd}";
constexpr std::string_view kNotDigit = "\\P{Nd}";
constexpr std::string_view kWordMembers = "\\p{L}\\p{N}_";
constexpr std::string_view kSpaceMembers = "\\t\\n\\v\\f\\r \\x{85}\\p{Z}";

constexpr std::u16string_view kNoSingleByte = u"不支持 \\C（单个字节会切开汉字）";

// Appends to both forms.
struct Out {
    PatternForms& f;
    void Both(std::string_view s) {
        f.whole += s;
        f.lines += s;
    }
    void Split(std::string_view whole, std::string_view lines) {
        f.whole += whole;
        f.lines += lines;
    }
};

// The bytes of the UTF-8 character at p[i] (1 for a stray byte).
std::size_t Utf8Length(std::string_view p, std::size_t i) {
    const auto c = static_cast<unsigned char>(p[i]);
    std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return i + n <= p.size() ? n : p.size() - i;
}

// A bracket expression from its "[" at p[i]: written to out, i moved past
// its "]". In Unicode, "not a letter" or "not a space" cannot be a member
// of a class, so a class holding \W or \S becomes an alternation of its
// other members and those complements; a negated one is refused.
bool RewriteClass(std::string_view p, std::size_t& i, Out& out, std::u16string& problem) {
    const std::size_t n = p.size();
    std::size_t j = i + 1;
    const bool negated = j < n && p[j] == '^';
    if (negated) ++j;
    const std::size_t body = j;  // a "]" here is a member
    std::string members;
    bool notWord = false, notSpace = false;
    while (j < n) {
        const char c = p[j];
        if (c == '\\' && j + 1 < n) {
            const char d = p[j + 1];
            switch (d) {
                case 'd':
                    members += kDigit;
                    break;
                case 'D':
                    members += kNotDigit;
                    break;
                case 'w':
                    members += kWordMembers;
                    break;
                case 's':
                    members += kSpaceMembers;
                    break;
                case 'W':
                    notWord = true;
                    break;
                case 'S':
                    notSpace = true;
                    break;
                case 'C':
                    problem = kNoSingleByte;
                    return false;
                default: {
                    const std::size_t len = 1 + Utf8Length(p, j + 1);
                    members += p.substr(j, len);
                    j += len;
                    continue;
                }
            }
            j += 2;
            continue;
        }
        if (c == '[' && j + 1 < n && p[j + 1] == ':') {
            // [:alpha:] and the like.
            const std::size_t e = p.find(":]", j + 2);
            const std::size_t stop = e == std::string_view::npos ? n : e + 2;
            members += p.substr(j, stop - j);
            j = stop;
            continue;
        }
        if (c == ']' && j > body) break;
        const std::size_t len = Utf8Length(p, j);
        members += p.substr(j, len);
        j += len;
    }
    i = j < n ? j + 1 : n;
    if (!notWord && !notSpace) {
        out.Both(negated ? "[^" : "[");
        out.Both(members);
        out.Both("]");
        return true;
    }
    if (negated) {
        problem = notWord ? u"[^...] 中不能使用 \\W"
                          : u"[^...] 中不能使用 \\S";
        return false;
    }
    std::string alt = "(?:";
    auto add = [&](std::string_view open, std::string_view m) {
        if (alt.size() > 3) alt += '|';
        alt += open;
        alt += m;
        alt += ']';
    };
    if (!members.empty()) add("[", members);
    if (notWord) add("[^", kWordMembers);
    if (notSpace) add("[^", kSpaceMembers);
    alt += ')';
    out.Both(alt);
    return true;
}

}  // namespace

bool RewritePattern(std::string_view p, PatternForms& forms, std::u16string& problem) {
    forms.whole.clear();
    forms.lines.clear();
    forms.whole.reserve(p.size() + 16);
    forms.lines.reserve(p.size() + 32);
    Out out{forms};
    const std::size_t n = p.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = p[i];
        if (c == '\\' && i + 1 < n) {
            const char d = p[i + 1];
            switch (d) {
                case 'Q': {
                    // Literal text up to \E (or the end): copied as it is.
                    const std::size_t e = p.find("\\E", i + 2);
                    const std::size_t stop = e == std::string_view::npos ? n : e + 2;
                    out.Both(p.substr(i, stop - i));
                    i = stop;
                    continue;
                }
                case 'd':
                    out.Both(kDigit);
                    break;
                case 'D':
                    out.Both(kNotDigit);
                    break;
                case 'w':
                case 'W':
                    out.Both(d == 'w' ? "[" : "[^");
                    out.Both(kWordMembers);
                    out.Both("]");
                    break;
                case 's':
                case 'S':
                    out.Both(d == 's' ? "[" : "[^");
                    out.Both(kSpaceMembers);
                    out.Both("]");
                    break;
                case 'C':
                    problem = kNoSingleByte;
                    return false;
                case 'A':
                    out.Split("\\A", "(?m:^)");
                    break;
                case 'z':
                    out.Split("\\z", "(?m:$)");
                    break;
                default: {
                    // Any other escape, an escaped backslash included, is
                    // copied whole, so what follows it is read afresh.
                    const std::size_t len = 1 + Utf8Length(p, i + 1);
                    out.Both(p.substr(i, len));
                    i += len;
                    continue;
                }
            }
            i += 2;
            continue;
        }
        switch (c) {
            case '[':
                if (!RewriteClass(p, i, out, problem)) return false;
                continue;
            case '^':
                out.Split("^", "(?m:^)");
                ++i;
                continue;
            case '$':
                out.Split("$", "(?m:$)");
                ++i;
                continue;
            default: {
                const std::size_t len = Utf8Length(p, i);
                out.Both(p.substr(i, len));
                i += len;
            }
        }
    }
    return true;
}

namespace {

// Where the "}" of a repetition {n}, {n,} or {n,m} that begins at p[i] is;
// npos when the "{" begins none.
std::size_t RepetitionEnd(std::string_view p, std::size_t i) {
    std::size_t j = i + 1;
    const std::size_t digits = j;
    while (j < p.size() && std::isdigit(static_cast<unsigned char>(p[j]))) ++j;
    if (j == digits) return std::string_view::npos;
    if (j < p.size() && p[j] == ',') {
        ++j;
        while (j < p.size() && std::isdigit(static_cast<unsigned char>(p[j]))) ++j;
    }
    return j < p.size() && p[j] == '}' ? j : std::string_view::npos;
}

}  // namespace

std::string RequiredLiteral(std::string_view p) {
    const std::size_t n = p.size();
    // Case may be ignored: (?i), (?i:, (?si) and the like.
    for (std::size_t at = p.find("(?"); at != std::string_view::npos; at = p.find("(?", at + 2)) {
        for (std::size_t k = at + 2; k < n && p[k] != ')' && p[k] != ':'; ++k)
            if (p[k] == 'i') return {};
    }
    std::string best, run;
    std::size_t lastStart = 0;  // where the run's last character begins
    auto endRun = [&] {
        if (run.size() > best.size()) best = run;
        run.clear();
    };
    int depth = 0;
    std::size_t i = 0;
    while (i < n) {
        const char c = p[i];
        if (c == '\\' && i + 1 < n) {
            const auto d = static_cast<unsigned char>(p[i + 1]);
            const bool punct = d < 0x80 && !std::isalnum(d) && d != ' ';
            if (d == 'Q') {
                const std::size_t e = p.find("\\E", i + 2);
                i = e == std::string_view::npos ? n : e + 2;
                if (depth == 0) endRun();
                continue;
            }
            if (depth == 0) {
                if (punct) {
                    lastStart = run.size();
                    run += static_cast<char>(d);
                } else {
                    endRun();
                }
            }
            i += 1 + Utf8Length(p, i + 1);
            // What the escape goes on with is its own, never a literal:
            // \pN, \p{Han}, \x41, \x{4E2D}, \123.
            if (d == 'p' || d == 'P' || d == 'x') {
                if (i < n && p[i] == '{') {
                    const std::size_t e = p.find('}', i);
                    i = e == std::string_view::npos ? n : e + 1;
                } else if (d != 'x') {
                    if (i < n) i += Utf8Length(p, i);
                } else {
                    for (int k = 0; k < 2 && i < n && std::isxdigit(static_cast<unsigned char>(p[i])); ++k) ++i;
                }
            } else if (d >= '0' && d <= '7') {
                for (int k = 0; k < 2 && i < n && p[i] >= '0' && p[i] <= '7'; ++k) ++i;
            }
            continue;
        }
        if (c == '[') {
            // Skipped whole: a class is no literal.
            std::size_t j = i + 1;
            if (j < n && p[j] == '^') ++j;
            const std::size_t body = j;
            while (j < n && !(p[j] == ']' && j > body)) {
                if (p[j] == '\\' && j + 1 < n) ++j;
                else if (p[j] == '[' && j + 1 < n && p[j + 1] == ':') {
                    const std::size_t e = p.find(":]", j + 2);
                    j = e == std::string_view::npos ? n : e + 1;
                }
                ++j;
            }
            i = j + 1;
            if (depth == 0) endRun();
            continue;
        }
        switch (c) {
            case '(':
                if (depth++ == 0) endRun();
                ++i;
                continue;
            case ')':
                --depth;
                ++i;
                continue;
            case '|':
                if (depth == 0) return {};
                ++i;
                continue;
            case '?':
            case '*':
            case '{': {
                // The character before may be missing. A "{" that begins
                // no repetition is a literal: the run just ends there.
                const std::size_t close = c == '{' ? RepetitionEnd(p, i) : i;
                if (depth == 0 && !run.empty()) {
                    if (close != std::string_view::npos) run.resize(lastStart);
                    endRun();
                }
                i = close == std::string_view::npos ? i + 1 : close + 1;
                continue;
            }
            case '+':
            case '.':
            case '^':
            case '$':
                if (depth == 0) endRun();
                ++i;
                continue;
            default:
                break;
        }
        const std::size_t len = Utf8Length(p, i);
        if (depth == 0) {
            if (c == '\r' || c == '\n') {
                endRun();
            } else {
                lastStart = run.size();
                run.append(p, i, len);
            }
        }
        i += len;
    }
    endRun();
    return best;
}

std::u16string ReasonText(int code) {
    switch (code) {
        case RE2::ErrorBadEscape:
            return u"转义序列不正确";
        case RE2::ErrorBadCharClass:
            return u"字符类不正确";
        case RE2::ErrorBadCharRange:
            return u"字符范围不正确";
        case RE2::ErrorMissingBracket:
            return u"缺少右方括号 ]";
        case RE2::ErrorMissingParen:
            return u"缺少右括号 )";
        case RE2::ErrorUnexpectedParen:
            return u"多了右括号 )";
        case RE2::ErrorTrailingBackslash:
            return u"末尾多了反斜杠 \\";
        case RE2::ErrorRepeatArgument:
            return u"重复符号前面没有内容";
        case RE2::ErrorRepeatSize:
            return u"重复次数不正确（至多 1000）";
        case RE2::ErrorRepeatOp:
            return u"重复符号用法不正确";
        case RE2::ErrorBadPerlOp:
            return u"(? 后的写法不受支持";
        case RE2::ErrorBadUTF8:
            return u"含有无法识别的字符";
        case RE2::ErrorBadNamedCapture:
            return u"命名分组不正确";
        case RE2::ErrorPatternTooLarge:
            return u"表达式过大";
        default:
            return {};
    }
}

}  // namespace ferro::regex_detail
