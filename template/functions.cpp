// The template functions. Each takes the working text and the arguments and
// writes the new working text; every edge rule follows from the primitives
// (Find, Copy, Delete, Insert, ReplaceAll) and the checks written here.
#include "template/functions.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <utility>

#include "platform/text.h"
#include "platform/times.h"
#include "template/arithmetic.h"
#include "template/datetime_format.h"
#include "template/template.h"

namespace ferro::detail {
namespace {

constexpr std::size_t kDefaultValueLimit = std::size_t{256} << 20;
std::atomic<std::size_t> valueLimitForTesting{0};
std::atomic<Clock> clockForTesting{nullptr};

DateTime Now() {
    const Clock clock = clockForTesting.load(std::memory_order_relaxed);
    return clock ? clock() : LocalNow();
}

void Decimal(long long v, std::string& out) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    out.assign(buf, end);
}

long long Length(std::string_view w) {
    return static_cast<long long>(w.size());
}

// Copy(text, start, count) into out.
void CopyInto(std::string_view text, long long start, long long count, std::string& out) {
    out.clear();
    if (count < 1) return;
    if (start < 1) start = 1;
    const long long len = Length(text);
    if (start > len) return;
    out.assign(text.substr(static_cast<std::size_t>(start - 1),
                           static_cast<std::size_t>(std::min(count, len - start + 1))));
}

// The span of w from the first a1 through the first a2 after it, as 0-based
// [begin, end); false when either marker is missing.
bool FindRange(std::string_view w, std::string_view a1, std::string_view a2, std::size_t& begin,
               std::size_t& end) {
    const std::size_t p = Find(w, a1);
    if (p == 0) return false;
    const std::size_t after = p - 1 + a1.size();
    const std::size_t q = Find(w.substr(after), a2);
    if (q == 0) return false;
    begin = p - 1;
    end = after + q - 1 + a2.size();
    return true;
}

void Date(std::string_view, const Arguments& a, std::string& out, Workspace&) {
    DateTime t = Now();
    t.hour = t.minute = t.second = t.millisecond = 0;
    out = FormatDateTime(a.a1, t);
}

void Time(std::string_view, const Arguments& a, std::string& out, Workspace&) {
    const DateTime now = Now();
    // The time of day alone, on the zero date.
    const DateTime t{1899, 12, 30, now.hour, now.minute, now.second, now.millisecond};
    out = FormatDateTime(a.a1, t);
}

void RepStr(std::string_view w, const Arguments& a, std::string& out, Workspace& work) {
    if (!ReplaceAllInto(w, a.a1, a.a2, out, work, ValueLimit())) out.assign(w);
}

void DelStr(std::string_view w, const Arguments& a, std::string& out, Workspace& work) {
    if (!ReplaceAllInto(w, a.a1, {}, out, work, ValueLimit())) out.assign(w);
}

void DelRange(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    std::size_t begin, end;
    if (!FindRange(w, a.a1, a.a2, begin, end)) {
        out.assign(w);
        return;
    }
    out.assign(w.substr(0, begin));
    out.append(w.substr(end));
}

void DelLeft(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1);
    out.assign(n > 0 ? w.substr(static_cast<std::size_t>(std::min(n, Length(w)))) : w);
}

void DelRight(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1);
    // More than the whole text would start before position 1, which Delete
    // refuses: the text stays.
    out.assign(n > 0 && n <= Length(w) ? w.substr(0, w.size() - static_cast<std::size_t>(n)) : w);
}

void DelMid(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    out.assign(w);
    Delete(out, NumberArgument(a.a1), NumberArgument(a.a2));
}

void AddLeft(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    out.assign(a.a1);
    out.append(w);
}

void AddRight(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    out.assign(w);
    out.append(a.a1);
}

void AddMid(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1);
    out.assign(w);
    if (n > 0) Insert(out, a.a2, n);
}

void GetLeft(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1);
    if (n > 0)
        CopyInto(w, 1, n, out);
    else
        out.assign(w);
}

void GetRight(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1);
    if (n > 0)
        CopyInto(w, Length(w) - n + 1, n, out);
    else
        out.assign(w);
}

void GetMid(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long n = NumberArgument(a.a1), m = NumberArgument(a.a2);
    if (n > 0 && m > 0)
        CopyInto(w, n, m, out);
    else
        out.assign(w);
}

void GetStr(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const std::size_t p = Find(w, a.a1);
    const long long n = NumberArgument(a.a2);
    if (p != 0 && n > 0)
        CopyInto(w, static_cast<long long>(p), n, out);
    else
        out.assign(w);
}

void GetStr2(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    std::size_t begin, end;
    if (FindRange(w, a.a1, a.a2, begin, end))
        out.assign(w.substr(begin, end - begin));
    else
        out.assign(w);
}

void AddMid2(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const std::size_t p = Find(w, a.a1);
    out.assign(w);
    if (p != 0) Insert(out, a.a3, static_cast<long long>(p) + NumberArgument(a.a2));
}

void NewLine(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const long long width = NumberArgument(a.a1);
    if (width <= 0 || Length(w) <= width) {
        out.assign(w);
        return;
    }
    const auto n = static_cast<std::size_t>(width);
    out.clear();
    out.reserve(w.size() + 2 * (w.size() / n + 1));
    std::size_t off = 0;
    while (w.size() - off > n) {
        // Cut at the last character boundary within the width, so that no
        // character is split. A width too narrow for the first character
        // takes that character whole: every piece holds at least one.
        std::size_t cut = 0;
        while (true) {
            const std::size_t len = CharLength(w, off + cut);
            if (cut + len > n) break;
            cut += len;
        }
        if (cut == 0) cut = CharLength(w, off);
        if (off != 0) out.append("\r\n");
        out.append(w.substr(off, cut));
        off += cut;
    }
    // A whole character taken at the very end leaves nothing over; no empty
    // last line then.
    if (off < w.size()) {
        out.append("\r\n");
        out.append(w.substr(off));
    }
}

void Xchg(std::string_view w, const Arguments& a, std::string& out, Workspace& work) {
    // Marker text that real names and lines practically never hold.
    static constexpr std::string_view kMarker = "(!@#$%^&*)";
    const std::size_t limit = ValueLimit();
    // Each pass reads the result of the one before and writes the other
    // buffer.
    std::string* buffers[2] = {&out, &work.spare};
    std::string_view current = w;
    int latest = -1;  // which buffer holds current; -1: none, it is w
    for (auto [from, to] : {std::pair{a.a1, kMarker}, {a.a2, a.a1}, {kMarker, a.a2}}) {
        const int target = latest == 0 ? 1 : 0;
        if (ReplaceAllInto(current, from, to, *buffers[target], work, limit)) {
            latest = target;
            current = *buffers[target];
        }
    }
    if (latest == -1)
        out.assign(w);
    else if (latest == 1)
        out.swap(work.spare);
}

void DelStrL(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const std::size_t p = Find(w, a.a1);
    // Through the end of the keyword: a longer keyword is removed whole, never
    // split (which for a Chinese keyword would split a character).
    out.assign(p == 0 ? w : w.substr(p - 1 + a.a1.size()));
}

void DelStrR(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const std::size_t p = Find(w, a.a1);
    out.assign(p == 0 ? w : w.substr(0, p - 1));
}

void Pos(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    Decimal(static_cast<long long>(Find(w, a.a1)), out);
}

void GetMid2(std::string_view w, const Arguments& a, std::string& out, Workspace&) {
    const std::size_t p = Find(w, a.a1);
    if (p == 0) {
        out.assign(w);
        return;
    }
    const long long start = static_cast<long long>(p) + NumberArgument(a.a2);
    const long long m = NumberArgument(a.a3);
    if (m > 0 && start > 0)
        CopyInto(w, start, m, out);
    else
        out.assign(w);
}

void Gb2Big(std::string_view w, const Arguments&, std::string& out, Workspace&) {
    out = ConvertGbToBig5(w);
}

void Big2Gb(std::string_view w, const Arguments&, std::string& out, Workspace&) {
    out = ConvertBig5ToGb(w);
}

void Len(std::string_view, const Arguments& a, std::string& out, Workspace&) {
    Decimal(Length(a.a1), out);
}

void LineOrg(std::string_view w, const Arguments&, std::string& out, Workspace&) {
    out.assign(w);
}

void Chs2Num(std::string_view, const Arguments& a, std::string& out, Workspace&) {
    out = ConvertChineseNumerals(a.a1);
}

struct Entry {
    std::string_view name;
    TemplateFunction fn;
};

constexpr Entry kFunctions[] = {
    {"date", Date},         {"time", Time},         {"repstr", RepStr},   {"delrange", DelRange},
    {"delleft", DelLeft},   {"delright", DelRight}, {"delmid", DelMid},   {"addleft", AddLeft},
    {"addright", AddRight}, {"addmid", AddMid},     {"getleft", GetLeft}, {"getright", GetRight},
    {"getmid", GetMid},     {"getstr", GetStr},     {"getstr2", GetStr2}, {"addmid2", AddMid2},
    {"newline", NewLine},   {"xchg", Xchg},         {"delstrl", DelStrL}, {"delstrr", DelStrR},
    {"pos", Pos},           {"getmid2", GetMid2},   {"gb2big", Gb2Big},   {"big2gb", Big2Gb},
    {"len", Len},           {"lineorg", LineOrg},   {"chs2num", Chs2Num}, {"delstr", DelStr},
    {"regrep", RegRep},     {"regget", RegGet},
};

constexpr std::size_t kLongestName = 15;

}  // namespace

Arguments SplitArguments(std::string_view text) {
    Arguments a;
    a.all = text;
    const std::size_t c1 = text.find(',');
    if (c1 == std::string_view::npos) {
        a.a1 = text;
        return a;
    }
    a.a1 = text.substr(0, c1);
    const std::string_view rest = text.substr(c1 + 1);
    const std::size_t c2 = rest.find(',');
    if (c2 == std::string_view::npos) {
        a.a2 = rest;
    } else {
        a.a2 = rest.substr(0, c2);
        a.a3 = rest.substr(c2 + 1);
    }
    return a;
}

TemplateFunction LookupFunction(std::string_view name) {
    // Names are ASCII; any other byte (or a blank) makes an unknown name.
    if (name.empty() || name.size() > kLongestName) return nullptr;
    char lower[kLongestName];
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (static_cast<unsigned char>(c) >= 0x80) return nullptr;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        lower[i] = c;
    }
    const std::string_view key(lower, name.size());
    for (const Entry& e : kFunctions)
        if (e.name == key) return e.fn;
    return nullptr;
}

bool TakesEscapes(std::string_view text, std::size_t open) {
    const std::size_t name = open + 2;
    const std::size_t end = std::min(text.size(), name + kLongestName + 1);
    for (std::size_t i = name; i < end; ++i) {
        const char c = text[i];
        if (c == '(') return IsRegexFunction(LookupFunction(text.substr(name, i - name)));
        if (c == '$' || c == '}' || static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return false;
}

void MakeItemKey(std::string& text) {
    if (!TakesEscapes(text, 0)) AnsiUpperInPlace(text);
}

std::size_t CallEnd(std::string_view text, std::size_t open) {
    // Whether each item open inside the call (and the call itself, first)
    // takes backslash units.
    std::string escapes(1, TakesEscapes(text, open) ? '\1' : '\0');
    bool paren = false;       // the call's own "(" has been seen
    bool afterParen = false;  // the unit before is a ")"
    std::size_t i = open + 2;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\' && escapes.back() != '\0' && i + 1 < text.size()) {
            i += 1 + CharLength(text, i + 1);
            afterParen = false;
            continue;
        }
        if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            escapes.push_back(TakesEscapes(text, i) ? '\1' : '\0');
            i += 2;
            afterParen = false;
            continue;
        }
        if (c == '}') {
            if (escapes.size() > 1) escapes.pop_back();
            else if (!paren || afterParen) return i;
        } else if (c == '(' && escapes.size() == 1) {
            paren = true;
        } else if (static_cast<unsigned char>(c) >= 0x81) {
            i += CharLength(text, i);
            afterParen = false;
            continue;
        }
        afterParen = c == ')';
        ++i;
    }
    return std::string_view::npos;
}

void ApplyTemplateEscapes(std::string& text) {
    if (text.find('\\') == std::string::npos) return;
    ReplaceAllInPlace(text, "\\t", "\t");
    ReplaceAllInPlace(text, "\\r", "\r");
    ReplaceAllInPlace(text, "\\n", "\n");
}

bool IsRegexFunction(TemplateFunction fn) {
    return fn != nullptr && (fn == RegRep || fn == RegGet);
}

bool IsSubjectFunction(TemplateFunction fn) {
    return fn == LineOrg;
}

}  // namespace ferro::detail

namespace ferro {

std::size_t TemplateValueLimit() {
    return detail::ValueLimit();
}

}  // namespace ferro

namespace ferro::detail {

std::size_t ValueLimit() {
    const std::size_t forTesting = valueLimitForTesting.load(std::memory_order_relaxed);
    return forTesting != 0 ? forTesting : kDefaultValueLimit;
}

void SetValueLimitForTesting(std::size_t limit) {
    valueLimitForTesting.store(limit, std::memory_order_relaxed);
}

void SetClockForTesting(Clock clock) {
    clockForTesting.store(clock, std::memory_order_relaxed);
}

long long NumberArgument(std::string_view text) {
    const double v = EvaluateArithmetic(text);
    if (std::isnan(v)) return 0;
    // Far beyond any text length, and far from the limits of long long, so
    // that position sums such as p + n cannot overflow.
    constexpr double kLimit = 1e15;
    return static_cast<long long>(std::clamp(v, -kLimit, kLimit));
}

}  // namespace ferro::detail
