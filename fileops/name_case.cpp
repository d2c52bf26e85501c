#include "fileops/name_case.h"

#include "platform/text.h"
#include "template/template.h"

namespace ferro {

namespace {

// Where the extension starts: the last "." of the last part, not its first
// character; the end when there is none.
std::size_t ExtensionStart(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot <= start ? name.size() : dot;
}

// ASCII letters and digits, and the full-width ones (A3 B0..B9, C1..DA,
// E1..FA).
bool IsWordChar(std::string_view name, std::size_t i, std::size_t length) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (length == 1)
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (length != 2 || c != 0xA3) return false;
    const auto t = static_cast<unsigned char>(name[i + 1]);
    return (t >= 0xB0 && t <= 0xB9) || (t >= 0xC1 && t <= 0xDA) || (t >= 0xE1 && t <= 0xFA);
}

std::string TitleCase(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    const std::size_t end = ExtensionStart(name);
    bool inWord = false;
    for (std::size_t i = 0; i < end;) {
        const std::size_t length = std::min(CharLength(name, i), end - i);
        const std::string_view ch = name.substr(i, length);
        const bool word = IsWordChar(name, i, length);
        out += word && !inWord ? AnsiUpper(ch) : AnsiLower(ch);
        inWord = word;
        i += length;
    }
    out += AnsiLower(name.substr(end));
    return out;
}

}  // namespace

std::string WithLetterCase(std::string_view name, LetterCase c) {
    switch (c) {
        case LetterCase::Keep: return std::string(name);
        case LetterCase::Lower: return AnsiLower(name);
        case LetterCase::Upper: return AnsiUpper(name);
        case LetterCase::Title: return TitleCase(name);
    }
    return std::string(name);
}

std::string LowerItemNames(std::string_view pattern) {
    std::string out(pattern);
    for (std::size_t i = 0; i + 1 < out.size(); i += CharLength(out, i)) {
        if (out[i] != '$' || out[i + 1] != '{') continue;
        for (std::size_t j = i + 2; j < out.size(); ++j) {
            char& c = out[j];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
            else if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) break;
        }
    }
    return out;
}

std::string PatternLetters(std::string_view typed, bool keepCase) {
    if (keepCase) return LowerItemNames(typed);
    std::string out = AnsiLower(typed);
    for (const auto& [begin, end] : RegexCallSpans(typed))
        out.replace(begin, end - begin, LowerItemNames(typed.substr(begin, end - begin)));
    return out;
}

std::string NumberedName(std::string_view name, int number) {
    const std::size_t end = ExtensionStart(name);
    std::string out(name.substr(0, end));
    out += " (" + std::to_string(number) + ")";
    out += name.substr(end);
    return out;
}

}  // namespace ferro
