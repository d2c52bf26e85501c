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

using detail::Replaced;

// Writes text with every match replaced into out. Gives up (out then holds
// part of the result) as soon as the result grows beyond maxSize.
Replaced ReplaceInto(std::string_view text, std::string_view oldPart, std::string_view newPart,
                     std::string& out, std::size_t maxSize) {
    const std::size_t n = text.size(), m = oldPart.size();
    if (m == 0 || m > n) return Replaced::kNothing;
    const std::string upperOld = AnsiUpper(oldPart);
    // A pure ASCII keyword can only match single-byte characters, whose upper
    // case is plain ASCII upper case, so the text needs no mapped copy.
    const bool asciiOld = IsAscii(upperOld);
    std::string upperText;
    if (!asciiOld) {
        if (IsAscii(text)) return Replaced::kNothing;
        upperText = AnsiUpper(text);
    }
    const auto* up = reinterpret_cast<const unsigned char*>(upperOld.data());
    auto matchesAt = [&](std::size_t i) {
        if (asciiOld) {
            for (std::size_t k = 0; k < m; ++k)
                if (AsciiUpper(static_cast<unsigned char>(text[i + k])) != up[k]) return false;
            return true;
        }
        return upperText.compare(i, m, upperOld) == 0;
    };

    bool any = false;
    std::size_t i = 0, copied = 0;
    while (i + m <= n) {
        if (!matchesAt(i)) {
            i += StepAt(text, i);
            continue;
        }
        if (!any) {
            out.clear();
            out.reserve(n + (newPart.size() > m ? newPart.size() - m : 0));
            any = true;
        }
        out.append(text.substr(copied, i - copied));
        out.append(newPart);
        if (out.size() > maxSize) return Replaced::kTooLong;
        const std::size_t end = i + m;
        // The next match may only begin where a character of the original
        // text begins, even when the keyword ended inside one.
        while (i < end) i += StepAt(text, i);
        copied = end;
    }
    if (!any) return Replaced::kNothing;
    out.append(text.substr(copied));
    return out.size() > maxSize ? Replaced::kTooLong : Replaced::kDone;
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
    if (ReplaceInto(text, oldPart, newPart, out, kUnbounded) != Replaced::kDone) out.assign(text);
    return out;
}

bool ReplaceAllInPlace(std::string& text, std::string_view oldPart, std::string_view newPart) {
    return detail::ReplaceAllBounded(text, oldPart, newPart, kUnbounded) == Replaced::kDone;
}

namespace detail {

Replaced ReplaceAllBounded(std::string& text, std::string_view oldPart, std::string_view newPart,
                           std::size_t maxSize) {
    std::string out;
    const Replaced r = ReplaceInto(text, oldPart, newPart, out, maxSize);
    if (r == Replaced::kDone) text.swap(out);
    return r;
}

}  // namespace detail

}  // namespace ferro
