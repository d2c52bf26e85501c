#include "cli/text.h"

#include <cstdio>

#include "platform/codec.h"

namespace ferro::cli {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Code points of UTF-16 text; a lone surrogate becomes U+FFFD.
template <class Visit>
void ForEachCodePoint(std::u16string_view text, Visit&& visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        visit(c);
    }
}

}  // namespace

std::string FromUtf8(std::string_view utf8) { return DiskToGbk(utf8); }

std::string ToUtf8(std::string_view gbk) {
    std::string out;
    if (GbkToDisk(gbk, out)) return out;
    out.clear();
    ForEachCodePoint(GbkToUtf16(gbk), [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::string JsonString(std::string_view gbk) {
    std::string out = "\"";
    ForEachCodePoint(GbkToUtf16(gbk), [&](char32_t c) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            AppendUtf8(out, c);
        }
    });
    out += '"';
    return out;
}

}  // namespace ferro::cli
