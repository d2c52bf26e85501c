// Find, Copy, Delete, Insert and ReplaceAll: the byte-position primitives
// every template function is defined by.
#include <algorithm>

#include "platform/text.h"
#include "template/functions.h"
#include "template/template.h"

namespace ferro {
namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

inline unsigned char AsciiUpper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

// Byte length of the character at text[i]; plain bytes are the common case
// and need no call.
inline std::size_t StepAt(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) < 0x81 ? 1 : CharLength(text, i);
}

// Where a keyword matches a text, letter case aside. A keyword outside ASCII
// is compared with an upper-case copy of the text, made once in the
// workspace.
class Matcher {
public:
    Matcher(std::string_view text, std::string_view oldPart, detail::Workspace& work)
        : text_(text), old_(oldPart), ascii_(IsAscii(oldPart)) {
        if (ascii_) return;
        work.upperOld.assign(oldPart);
        AnsiUpperInPlace(work.upperOld);
        work.upperText.assign(text);
        AnsiUpperInPlace(work.upperText);
        upperOld_ = work.upperOld;
        upperText_ = work.upperText;
    }

    bool At(std::size_t i) const {
        const std::size_t m = old_.size();
        if (!ascii_) return upperText_.compare(i, m, upperOld_) == 0;
        // A plain ASCII keyword can only match single-byte characters, whose
        // upper case is plain ASCII upper case.
        for (std::size_t k = 0; k < m; ++k)
            if (AsciiUpper(static_cast<unsigned char>(text_[i + k])) !=
                AsciiUpper(static_cast<unsigned char>(old_[k])))
                return false;
        return true;
    }

    // The next position at or after i where a match may begin: the start of
    // a character of the text.
    std::size_t Next(std::size_t i) const { return i + StepAt(text_, i); }

private:
    std::string_view text_, old_;
    bool ascii_;
    std::string_view upperOld_, upperText_;
};

// Past the match at i: the next match may only begin where a character of
// the original text begins, even when the keyword ended inside one.
std::size_t AfterMatch(const Matcher& match, std::size_t i, std::size_t end) {
    while (i < end) i = match.Next(i);
    return i;
}

std::size_t CountMatches(std::string_view text, const Matcher& match, std::size_t m) {
    std::size_t count = 0;
    for (std::size_t i = 0; i + m <= text.size();) {
        if (match.At(i)) {
            ++count;
            i = AfterMatch(match, i, i + m);
        } else {
            i = match.Next(i);
        }
    }
    return count;
}

constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);

}  // namespace

std::size_t Find(std::string_view text, std::string_view part) {
    if (part.empty()) return 0;
    const std::size_t p = text.find(part);
    return p == std::string_view::npos ? 0 : p + 1;
}

std::string Copy(std::string_view text, long long start, long long count) {
    if (count < 1) return std::string();
    if (start < 1) start = 1;
    const auto len = static_cast<long long>(text.size());
    if (start > len) return std::string();
    return std::string(text.substr(static_cast<std::size_t>(start - 1),
                                   static_cast<std::size_t>(std::min(count, len - start + 1))));
}

void Delete(std::string& text, long long start, long long count) {
    const auto len = static_cast<long long>(text.size());
    if (start < 1 || start > len || count < 1) return;
    text.erase(static_cast<std::size_t>(start - 1),
               static_cast<std::size_t>(std::min(count, len - start + 1)));
}

void Insert(std::string& text, std::string_view part, long long at) {
    const auto len = static_cast<long long>(text.size());
    at = std::clamp(at, 1LL, len + 1);
    text.insert(static_cast<std::size_t>(at - 1), part);
}

std::string ReplaceAll(std::string_view text, std::string_view oldPart, std::string_view newPart) {
    std::string out;
    detail::Workspace work;
    if (!detail::ReplaceAllInto(text, oldPart, newPart, out, work, kUnbounded)) out.assign(text);
    return out;
}

bool ReplaceAllInPlace(std::string& text, std::string_view oldPart, std::string_view newPart) {
    std::string out;
    detail::Workspace work;
    if (!detail::ReplaceAllInto(text, oldPart, newPart, out, work, kUnbounded)) return false;
    text.swap(out);
    return true;
}

namespace detail {

bool ReplaceAllInto(std::string_view text, std::string_view oldPart, std::string_view newPart,
                    std::string& out, Workspace& work, std::size_t maxSize) {
    const std::size_t n = text.size(), m = oldPart.size();
    if (m == 0 || m > n) return false;
    // A keyword outside ASCII never matches plain ASCII text.
    if (!IsAscii(oldPart) && IsAscii(text)) return false;
    const Matcher match(text, oldPart, work);
    const std::size_t grow = newPart.size() > m ? newPart.size() - m : 0;
    // The bound is on growth: a replacement may leave a text that is already
    // longer as long, never make it longer. Matches are counted first only
    // when the result could pass the bound at all, so the usual short text
    // is scanned once.
    const std::size_t room = maxSize > n ? maxSize - n : 0;
    if (grow != 0 && n / m > room / grow) {
        const std::size_t count = CountMatches(text, match, m);
        if (count > room / grow) throw ValueTooLong();
    }

    bool any = false;
    std::size_t i = 0, copied = 0;
    while (i + m <= n) {
        if (!match.At(i)) {
            i = match.Next(i);
            continue;
        }
        if (!any) {
            out.clear();
            out.reserve(n + grow);
            any = true;
        }
        out.append(text.substr(copied, i - copied));
        out.append(newPart);
        copied = i + m;
        i = AfterMatch(match, i, copied);
    }
    if (!any) return false;
    out.append(text.substr(copied));
    return true;
}

}  // namespace detail

}  // namespace ferro
