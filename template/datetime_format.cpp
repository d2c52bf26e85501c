#include "template/datetime_format.h"

#include <array>

#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {
namespace {

// Chinese system settings: short date yyyy-mm-dd, long date with 年月日,
// 24-hour times.
constexpr std::string_view kShortDate = "yyyy-mm-dd";
constexpr std::string_view kShortTime = "hh:nn";
constexpr std::string_view kLongTime = "hh:nn:ss";
constexpr char kDateSeparator = '-';
constexpr char kTimeSeparator = ':';

struct Names {
    std::array<std::string, 12> months;
    std::array<std::string, 7> shortDays, longDays;
    std::string am, pm, longDate;
};

const Names& ChineseNames() {
    static const Names names = [] {
        static constexpr const char16_t* kMonths[] = {u"一月", u"二月", u"三月",   u"四月",
                                                      u"五月", u"六月", u"七月",   u"八月",
                                                      u"九月", u"十月", u"十一月", u"十二月"};
        static constexpr const char16_t* kShortDays[] = {u"周日", u"周一", u"周二", u"周三",
                                                         u"周四", u"周五", u"周六"};
        static constexpr const char16_t* kLongDays[] = {u"星期日", u"星期一", u"星期二", u"星期三",
                                                        u"星期四", u"星期五", u"星期六"};
        Names n;
        for (int i = 0; i < 12; ++i) n.months[i] = Utf16ToGbk(kMonths[i]);
        for (int i = 0; i < 7; ++i) {
            n.shortDays[i] = Utf16ToGbk(kShortDays[i]);
            n.longDays[i] = Utf16ToGbk(kLongDays[i]);
        }
        n.am = Utf16ToGbk(u"上午");
        n.pm = Utf16ToGbk(u"下午");
        n.longDate = Utf16ToGbk(u"yyyy'年'm'月'd'日'");
        return n;
    }();
    return names;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view word) {
    if (s.size() - i < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if (Upper(s[i + k]) != Upper(word[k])) return false;
    return true;
}

void AppendNumber(std::string& out, int value, int width) {
    char buf[16];
    int n = 0;
    bool negative = value < 0;
    unsigned v = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negative) out.push_back('-');
    for (int k = n; k < width; ++k) out.push_back('0');
    while (n > 0) out.push_back(buf[--n]);
}

// 0 = Sunday.
int DayOfWeek(const DateTime& t) {
    const int64_t days = DaysFromCivil(t.year, t.month, t.day);
    return static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
}

class Formatter {
public:
    Formatter(const DateTime& t, std::string& out) : t_(t), out_(out) {}

    void Format(std::string_view format, int depth) {
        // A format that holds an am/pm code shows hours on the 12-hour clock.
        const bool twelveHour = HasAmPm(format);
        char lastLetter = 0;
        std::size_t i = 0;
        const std::size_t n = format.size();
        while (i < n) {
            const char c = format[i];
            if (IsLeadByte(static_cast<unsigned char>(c))) {
                // A double-byte character is text even when its trail byte
                // looks like a format letter.
                const std::size_t len = CharLength(format, i);
                out_.append(format.substr(i, len));
                i += len;
                continue;
            }
            if (c == '\'' || c == '"') {
                const std::size_t close = format.find(c, i + 1);
                const std::size_t end = close == std::string_view::npos ? n : close;
                out_.append(format.substr(i + 1, end - i - 1));
                i = end == n ? n : end + 1;
                continue;
            }
            char token = Upper(c);
            if (token >= 'A' && token <= 'Z') {
                if (token == 'M' && lastLetter == 'H') token = 'N';
                lastLetter = token;
            }
            const std::size_t count = RunLength(format, i);
            switch (token) {
                case 'Y':
                    if (count <= 2) {
                        AppendNumber(out_, t_.year % 100, 2);
                    } else {
                        AppendNumber(out_, t_.year, 4);
                    }
                    i += count;
                    break;
                case 'M': {
                    const std::size_t use = std::min<std::size_t>(count, 4);
                    if (use <= 2) {
                        AppendNumber(out_, t_.month, static_cast<int>(use));
                    } else {
                        out_.append(MonthName());
                    }
                    i += use;
                    break;
                }
                case 'D': {
                    const std::size_t use = std::min<std::size_t>(count, 6);
                    if (use <= 2) {
                        AppendNumber(out_, t_.day, static_cast<int>(use));
                    } else if (use == 3) {
                        out_.append(ChineseNames().shortDays[DayOfWeek(t_)]);
                    } else if (use == 4) {
                        out_.append(ChineseNames().longDays[DayOfWeek(t_)]);
                    } else if (use == 5) {
                        Nested(kShortDate, depth);
                    } else {
                        Nested(ChineseNames().longDate, depth);
                    }
                    i += use;
                    break;
                }
                case 'H': {
                    int hour = t_.hour;
                    if (twelveHour) {
                        hour %= 12;
                        if (hour == 0) hour = 12;
                    }
                    AppendNumber(out_, hour, count >= 2 ? 2 : 1);
                    i += std::min<std::size_t>(count, 2);
                    break;
                }
                case 'N':
                    AppendNumber(out_, t_.minute, count >= 2 ? 2 : 1);
                    i += std::min<std::size_t>(count, 2);
                    break;
                case 'S':
                    AppendNumber(out_, t_.second, count >= 2 ? 2 : 1);
                    i += std::min<std::size_t>(count, 2);
                    break;
                case 'Z':
                    AppendNumber(out_, t_.millisecond, count >= 3 ? 3 : 1);
                    i += std::min<std::size_t>(count, 3);
                    break;
                case 'T':
                    Nested(count >= 2 ? kLongTime : kShortTime, depth);
                    i += std::min<std::size_t>(count, 2);
                    break;
                case 'C':
                    Nested(kShortDate, depth);
                    if (t_.hour != 0 || t_.minute != 0 || t_.second != 0) {
                        out_.push_back(' ');
                        Nested(kLongTime, depth);
                    }
                    ++i;
                    break;
                case 'A':
                    i += AmPm(format, i);
                    break;
                case '/':
                    out_.push_back(kDateSeparator);
                    ++i;
                    break;
                case ':':
                    out_.push_back(kTimeSeparator);
                    ++i;
                    break;
                default:
                    out_.push_back(c);
                    ++i;
                    break;
            }
        }
    }

private:
    static std::size_t RunLength(std::string_view s, std::size_t i) {
        std::size_t k = i + 1;
        while (k < s.size() && Upper(s[k]) == Upper(s[i])) ++k;
        return k - i;
    }

    static bool HasAmPm(std::string_view format) {
        for (std::size_t i = 0; i < format.size(); ++i) {
            const char c = format[i];
            if (IsLeadByte(static_cast<unsigned char>(c))) {
                i += CharLength(format, i) - 1;
            } else if (c == '\'' || c == '"') {
                const std::size_t close = format.find(c, i + 1);
                if (close == std::string_view::npos) return false;
                i = close;
            } else if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
                       StartsWithNoCase(format, i, "ampm")) {
                return true;
            }
        }
        return false;
    }

    // Writes the am/pm code at format[i] and returns its length; a lone "a"
    // is text.
    std::size_t AmPm(std::string_view format, std::size_t i) {
        const bool pm = t_.hour >= 12;
        const bool upper = format[i] == 'A';
        if (StartsWithNoCase(format, i, "am/pm")) {
            out_.append(pm ? (upper ? "PM" : "pm") : (upper ? "AM" : "am"));
            return 5;
        }
        if (StartsWithNoCase(format, i, "a/p")) {
            out_.push_back(pm ? (upper ? 'P' : 'p') : (upper ? 'A' : 'a'));
            return 3;
        }
        if (StartsWithNoCase(format, i, "ampm")) {
            out_.append(pm ? ChineseNames().pm : ChineseNames().am);
            return 4;
        }
        out_.push_back(format[i]);
        return 1;
    }

    std::string_view MonthName() const {
        return (t_.month >= 1 && t_.month <= 12)
                   ? std::string_view(ChineseNames().months[t_.month - 1])
                   : std::string_view();
    }

    // The built-in forms are formats themselves; they hold no further
    // built-in forms, but the depth guard keeps that a fact, not a hope.
    void Nested(std::string_view format, int depth) {
        if (depth < 2) Format(format, depth + 1);
    }

    const DateTime& t_;
    std::string& out_;
};

}  // namespace

std::string FormatDateTime(std::string_view format, const DateTime& t) {
    std::string out;
    Formatter f(t, out);
    f.Format(format.empty() ? std::string_view("c") : format, 0);
    return out;
}

}  // namespace ferro
