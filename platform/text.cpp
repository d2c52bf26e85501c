#include "platform/text.h"

namespace ferro {

std::size_t CharLength(std::string_view text, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsLeadByte(c) || i + 1 >= text.size()) return 1;
    unsigned char c2 = static_cast<unsigned char>(text[i + 1]);
    if (c2 >= 0x30 && c2 <= 0x39) {
        // GB18030 four-byte sequence: lead, digit, lead, digit.
        if (i + 3 < text.size() && IsLeadByte(static_cast<unsigned char>(text[i + 2])) &&
            static_cast<unsigned char>(text[i + 3]) >= 0x30 &&
            static_cast<unsigned char>(text[i + 3]) <= 0x39)
            return 4;
        return 1;
    }
    return 2;
}

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
    return std::string(text.substr(b, e - b));
}

std::string TrimLeft(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
    return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
    return std::string(text.substr(0, e));
}

std::vector<std::string> SplitFields(std::string_view text, std::string_view separator) {
    std::vector<std::string> fields;
    if (text.empty() || separator.empty()) {
        fields.emplace_back(text);
        return fields;
    }
    const char sep = separator[0];
    std::string rest = Trim(text);
    std::size_t p;
    while ((p = rest.find(sep)) != std::string::npos) {
        fields.push_back(Trim(std::string_view(rest).substr(0, p)));
        rest = Trim(std::string_view(rest).substr(p + 1));
    }
    if (!rest.empty()) fields.push_back(std::move(rest));
    return fields;
}

namespace {

// Double-byte letter pairs of code page 936 that have a case: full-width
// Latin (A3C1..A3DA / A3E1..A3FA), Greek (A6A1..A6B8 / A6C1..A6D8) and
// Cyrillic (A7A1..A7C1 / A7D1..A7F1).
void MapDoubleByte(unsigned char lead, unsigned char& trail, bool toLower) {
    struct Range {
        unsigned char lead, upperFirst, upperLast, lowerFirst;
    };
    static constexpr Range kRanges[] = {
        {0xA3, 0xC1, 0xDA, 0xE1},
        {0xA6, 0xA1, 0xB8, 0xC1},
        {0xA7, 0xA1, 0xC1, 0xD1},
    };
    for (const Range& r : kRanges) {
        if (lead != r.lead) continue;
        unsigned char span = static_cast<unsigned char>(r.upperLast - r.upperFirst);
        if (toLower) {
            if (trail >= r.upperFirst && trail <= r.upperLast)
                trail = static_cast<unsigned char>(trail - r.upperFirst + r.lowerFirst);
        } else {
            if (trail >= r.lowerFirst && trail <= r.lowerFirst + span)
                trail = static_cast<unsigned char>(trail - r.lowerFirst + r.upperFirst);
        }
        return;
    }
}

void MapCase(std::string& text, bool toLower) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (toLower && c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c + 32);
            else if (!toLower && c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 32);
            ++i;
            continue;
        }
        std::size_t len = CharLength(text, i);
        if (len == 2) {
            unsigned char t = static_cast<unsigned char>(text[i + 1]);
            MapDoubleByte(c, t, toLower);
            text[i + 1] = static_cast<char>(t);
        }
        i += len;
    }
}

}  // namespace

void AnsiLowerInPlace(std::string& text) { MapCase(text, true); }
void AnsiUpperInPlace(std::string& text) { MapCase(text, false); }

std::string AnsiLower(std::string_view text) {
    std::string s(text);
    MapCase(s, true);
    return s;
}

std::string AnsiUpper(std::string_view text) {
    std::string s(text);
    MapCase(s, false);
    return s;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiLower(a) == AnsiLower(b);
}

}  // namespace ferro
