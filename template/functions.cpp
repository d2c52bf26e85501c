// The template functions. Each takes the working text and the arguments and
// returns the new working text; every edge rule follows from the primitives
// (Find, Copy, Delete, Insert, ReplaceAll) and the checks written here.
#include "template/functions.h"

#include <algorithm>
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

using Fn = std::string (*)(std::string_view, const Arguments&);

std::string Unchanged(std::string_view w) {
    return std::string(w);
}

std::string Decimal(long long v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, end);
}

long long Length(std::string_view w) {
    return static_cast<long long>(w.size());
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

std::string Date(std::string_view, const Arguments& a) {
    DateTime t = LocalNow();
    t.hour = t.minute = t.second = t.millisecond = 0;
    return FormatDateTime(a.a1, t);
}

std::string Time(std::string_view, const Arguments& a) {
    const DateTime now = LocalNow();
    // The time of day alone, on the zero date.
    const DateTime t{1899, 12, 30, now.hour, now.minute, now.second, now.millisecond};
    return FormatDateTime(a.a1, t);
}

// Replacements that would exceed the limit leave the text as it was.
std::string RepStr(std::string_view w, const Arguments& a) {
    std::string r(w);
    ReplaceAllBounded(r, a.a1, a.a2, ReplacementLimit(w.size()));
    return r;
}

std::string DelStr(std::string_view w, const Arguments& a) {
    return ReplaceAll(w, a.a1, {});
}

std::string DelRange(std::string_view w, const Arguments& a) {
    std::size_t begin, end;
    if (!FindRange(w, a.a1, a.a2, begin, end)) return Unchanged(w);
    std::string r(w.substr(0, begin));
    r.append(w.substr(end));
    return r;
}

std::string DelLeft(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1);
    std::string r(w);
    if (n > 0) Delete(r, 1, n);
    return r;
}

std::string DelRight(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1);
    std::string r(w);
    // More than the whole text starts before position 1, which Delete refuses.
    if (n > 0) Delete(r, Length(w) - n + 1, n);
    return r;
}

std::string DelMid(std::string_view w, const Arguments& a) {
    std::string r(w);
    Delete(r, NumberArgument(a.a1), NumberArgument(a.a2));
    return r;
}

std::string AddLeft(std::string_view w, const Arguments& a) {
    std::string r;
    r.reserve(a.a1.size() + w.size());
    r.append(a.a1);
    r.append(w);
    return r;
}

std::string AddRight(std::string_view w, const Arguments& a) {
    std::string r;
    r.reserve(a.a1.size() + w.size());
    r.append(w);
    r.append(a.a1);
    return r;
}

std::string AddMid(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1);
    std::string r(w);
    if (n > 0) Insert(r, a.a2, n);
    return r;
}

std::string GetLeft(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1);
    return n > 0 ? Copy(w, 1, n) : Unchanged(w);
}

std::string GetRight(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1);
    return n > 0 ? Copy(w, Length(w) - n + 1, n) : Unchanged(w);
}

std::string GetMid(std::string_view w, const Arguments& a) {
    const long long n = NumberArgument(a.a1), m = NumberArgument(a.a2);
    return n > 0 && m > 0 ? Copy(w, n, m) : Unchanged(w);
}

std::string GetStr(std::string_view w, const Arguments& a) {
    const std::size_t p = Find(w, a.a1);
    const long long n = NumberArgument(a.a2);
    return p != 0 && n > 0 ? Copy(w, static_cast<long long>(p), n) : Unchanged(w);
}

std::string GetStr2(std::string_view w, const Arguments& a) {
    std::size_t begin, end;
    if (!FindRange(w, a.a1, a.a2, begin, end)) return Unchanged(w);
    return std::string(w.substr(begin, end - begin));
}

std::string AddMid2(std::string_view w, const Arguments& a) {
    const std::size_t p = Find(w, a.a1);
    std::string r(w);
    if (p != 0) Insert(r, a.a3, static_cast<long long>(p) + NumberArgument(a.a2));
    return r;
}

std::string NewLine(std::string_view w, const Arguments& a) {
    const long long width = NumberArgument(a.a1);
    if (width <= 0 || Length(w) <= width) return Unchanged(w);
    const auto n = static_cast<std::size_t>(width);
    std::string r;
    r.reserve(w.size() + 2 * (w.size() / n + 1));
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
        if (off != 0) r.append("\r\n");
        r.append(w.substr(off, cut));
        off += cut;
    }
    // A whole character taken at the very end leaves nothing over; no empty
    // last line then.
    if (off < w.size()) {
        r.append("\r\n");
        r.append(w.substr(off));
    }
    return r;
}

std::string Xchg(std::string_view w, const Arguments& a) {
    // Marker text that real names and lines practically never hold.
    static constexpr std::string_view kMarker = "(!@#$%^&*)";
    const std::size_t limit = ReplacementLimit(w.size());
    std::string r(w);
    for (auto [from, to] : {std::pair{a.a1, kMarker}, {a.a2, a.a1}, {kMarker, a.a2}})
        if (ReplaceAllBounded(r, from, to, limit) == Replaced::kTooLong) return Unchanged(w);
    return r;
}

std::string DelStrL(std::string_view w, const Arguments& a) {
    const std::size_t p = Find(w, a.a1);
    if (p == 0) return Unchanged(w);
    // Through the end of the keyword: a longer keyword is removed whole, never
    // split (which for a Chinese keyword would split a character).
    return std::string(w.substr(p - 1 + a.a1.size()));
}

std::string DelStrR(std::string_view w, const Arguments& a) {
    const std::size_t p = Find(w, a.a1);
    return p == 0 ? Unchanged(w) : std::string(w.substr(0, p - 1));
}

std::string Pos(std::string_view w, const Arguments& a) {
    return Decimal(static_cast<long long>(Find(w, a.a1)));
}

std::string GetMid2(std::string_view w, const Arguments& a) {
    const std::size_t p = Find(w, a.a1);
    if (p == 0) return Unchanged(w);
    const long long start = static_cast<long long>(p) + NumberArgument(a.a2);
    const long long m = NumberArgument(a.a3);
    return m > 0 && start > 0 ? Copy(w, start, m) : Unchanged(w);
}

std::string Gb2Big(std::string_view w, const Arguments&) {
    return ConvertGbToBig5(w);
}

std::string Big2Gb(std::string_view w, const Arguments&) {
    return ConvertBig5ToGb(w);
}

std::string Len(std::string_view, const Arguments& a) {
    return Decimal(Length(a.a1));
}

std::string LineOrg(std::string_view w, const Arguments&) {
    return Unchanged(w);
}

std::string Chs2Num(std::string_view, const Arguments& a) {
    return ConvertChineseNumerals(a.a1);
}

struct Entry {
    std::string_view name;
    Fn fn;
};

constexpr Entry kFunctions[] = {
    {"date", Date},         {"time", Time},         {"repstr", RepStr},   {"delrange", DelRange},
    {"delleft", DelLeft},   {"delright", DelRight}, {"delmid", DelMid},   {"addleft", AddLeft},
    {"addright", AddRight}, {"addmid", AddMid},     {"getleft", GetLeft}, {"getright", GetRight},
    {"getmid", GetMid},     {"getstr", GetStr},     {"getstr2", GetStr2}, {"addmid2", AddMid2},
    {"newline", NewLine},   {"xchg", Xchg},         {"delstrl", DelStrL}, {"delstrr", DelStrR},
    {"pos", Pos},           {"getmid2", GetMid2},   {"gb2big", Gb2Big},   {"big2gb", Big2Gb},
    {"len", Len},           {"lineorg", LineOrg},   {"chs2num", Chs2Num}, {"delstr", DelStr},
};

}  // namespace

Arguments SplitArguments(std::string_view text) {
    Arguments a;
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

TemplateFunction FindFunction(std::string_view name) {
    for (const Entry& e : kFunctions)
        if (e.name == name) return e.fn;
    return nullptr;
}

std::size_t ReplacementLimit(std::size_t workingLength) {
    // Generous for real names and lines (a line may grow sixteen-fold, any
    // text to a megabyte), and small enough that a run of nested items stays
    // quick.
    return 16 * workingLength + (std::size_t{1} << 20);
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
