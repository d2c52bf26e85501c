#include "cli/text.h"

#include <cstdint>
#include <cstdio>

#include "cli/console.h"
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

namespace {

// The length of the well-formed UTF-8 sequence at the start of text; 0 when
// there is none there.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

std::string Base64(std::string_view bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                           uint8_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t v =
            uint32_t(uint8_t(bytes[i])) << 16 | (two ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += two ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

std::string JsonPathMember(std::string_view name, std::string_view gbk) {
    std::string disk;
    bool exact = GbkToDisk(gbk, disk);
    for (std::size_t at = 0, n; exact && at < disk.size(); at += n)
        exact = (n = Utf8SequenceLength(std::string_view(disk).substr(at))) > 0;
    std::string out = "\"" + std::string(name) + "\":";
    if (exact) return out + JsonString(gbk);
    // The bytes that are not UTF-8 show as U+FFFD.
    std::string lossy = "\"";
    std::string valid;
    auto flush = [&] {
        if (valid.empty()) return;
        lossy += JsonString(FromUtf8(valid)).substr(1);
        lossy.pop_back();
        valid.clear();
    };
    for (std::size_t at = 0; at < disk.size();) {
        const std::size_t length = Utf8SequenceLength(std::string_view(disk).substr(at));
        if (length == 0) {
            flush();
            lossy += "\xef\xbf\xbd";
            ++at;
        } else {
            valid.append(disk, at, length);
            at += length;
        }
    }
    flush();
    lossy += '"';
    return out + lossy + ",\"" + std::string(name) + "_bytes\":\"" + Base64(disk) + '"';
}

void PrintOut(Console& console, std::string_view gbk) { console.Out(ToUtf8(gbk)); }
void PrintErr(Console& console, std::string_view gbk) { console.Err(ToUtf8(gbk)); }

}  // namespace ferro::cli
