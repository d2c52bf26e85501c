#include "convert/source_text.h"

#include "platform/text.h"

namespace ferro {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool IsGbkFamily(const std::string& lower) {
    return lower == "gbk" || lower == "gb2312" || lower == "gb18030" || lower == "cp936" ||
           lower == "x-gbk" || lower == "euc-cn" || lower == "windows-936" || lower == "ms936" ||
           lower == "gb_2312-80" || lower == "chinese";
}

}  // namespace

bool IsMultiByteUtf8(std::string_view s) {
    bool multi = false;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n) return false;
        const unsigned char second = static_cast<unsigned char>(s[i + 1]);
        if (second < lo || second > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        multi = true;
        i += len;
    }
    return multi;
}

FoundEncoding DetectEncoding(std::string_view bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) return FoundEncoding::Utf8Bom;
    if (StartsWith(bytes, "\xFF\xFE")) return FoundEncoding::Utf16Le;
    if (StartsWith(bytes, "\xFE\xFF")) return FoundEncoding::Utf16Be;
    return IsMultiByteUtf8(bytes) ? FoundEncoding::Utf8 : FoundEncoding::Gbk;
}

std::string Utf8ToGbk(std::string_view utf8) {
    return EncodeCodePage(DecodeCodePage(utf8, "utf-8"), "gb18030");
}

std::string GbkToUtf8(std::string_view gbk) {
    return EncodeCodePage(GbkToUtf16(gbk), "utf-8");
}

std::string SourceTextToGbk(std::string bytes) {
    switch (DetectEncoding(bytes)) {
        case FoundEncoding::Gbk:
            return bytes;
        case FoundEncoding::Utf8:
            return Utf8ToGbk(bytes);
        case FoundEncoding::Utf8Bom:
            return Utf8ToGbk(std::string_view(bytes).substr(3));
        case FoundEncoding::Utf16Le:
            return EncodeCodePage(DecodeCodePage(std::string_view(bytes).substr(2), "UTF-16LE"),
                                  "gb18030");
        case FoundEncoding::Utf16Be:
            return EncodeCodePage(DecodeCodePage(std::string_view(bytes).substr(2), "UTF-16BE"),
                                  "gb18030");
    }
    return bytes;
}

std::string CharsetToGbk(std::string_view bytes, std::string_view charset) {
    const std::string lower = AnsiLower(charset);
    if (bytes.empty() || IsGbkFamily(lower)) return std::string(bytes);
    if (lower == "utf-8" || lower == "utf8") return Utf8ToGbk(bytes);
    const std::string name(charset);
    const std::u16string text = DecodeCodePage(bytes, name.c_str());
    if (text.empty()) return std::string(bytes);  // a set the converter does not know
    return EncodeCodePage(text, "gb18030");
}

std::string CreatedText(const LineList& lines, TextMode mode) {
    const bool classic = mode == TextMode::ClassicGbk;
    std::string gbk;
    gbk.reserve(lines.byteSize() + lines.size() * 2);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (classic && line.find('\n') != std::string_view::npos) {
            for (char c : line) {
                if (c == '\n') gbk.push_back('\r');
                gbk.push_back(c);
            }
        } else {
            gbk.append(line);
        }
        gbk.append(classic ? "\r\n" : "\n");
    }
    return classic ? gbk : GbkToUtf8(gbk);
}

}  // namespace ferro
