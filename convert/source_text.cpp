#include "convert/source_text.h"

#include <uchardet/uchardet.h>

#include <memory>
#include <type_traits>

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

// Every byte beyond ASCII in a pair of the EUC form GB2312 is written in
// (both bytes 0xA1 to 0xFE): Chinese text of common characters looks so.
bool ShapedLikeGb2312(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) continue;
        if (c < 0xA1 || c == 0xFF || i + 1 >= s.size()) return false;
        const unsigned char t = static_cast<unsigned char>(s[i + 1]);
        if (t < 0xA1 || t == 0xFF) return false;
        ++i;
    }
    return true;
}

// What uchardet names, as ICU knows it; empty for what is read as GBK (the
// GB family, ASCII, Unicode) or not known.
struct DetectedSet {
    const char* detector;
    const char* icu;
    bool eastAsian;  // a multi-byte set of China, Taiwan, Japan or Korea
};
constexpr DetectedSet kSets[] = {
    {"BIG5", "Big5", true},
    {"EUC-TW", "x-euc-tw", true},
    {"SHIFT_JIS", "Shift_JIS", true},
    {"EUC-JP", "EUC-JP", true},
    {"ISO-2022-JP", "ISO-2022-JP", true},
    {"EUC-KR", "EUC-KR", true},
    {"UHC", "windows-949", true},
    {"ISO-2022-KR", "ISO-2022-KR", true},
    {"JOHAB", "ibm-1363", true},
};

// Characters a single-byte set gives for letters in words: the Latin,
// Greek, Cyrillic, Hebrew, Arabic and Thai letters and the quotes and dashes
// of typeset text.
bool LetterLike(char16_t c) {
    return (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x386 && c <= 0x3FF) ||
           (c >= 0x400 && c <= 0x52F) || (c >= 0x5D0 && c <= 0x5EA) ||
           (c >= 0x620 && c <= 0x65F) || (c >= 0xE01 && c <= 0xE5B) ||
           (c >= 0x1E00 && c <= 0x1EFF) || (c >= 0x2013 && c <= 0x2014) ||
           (c >= 0x2018 && c <= 0x201E) || c == 0x2026 || c == 0xA0;
}

std::string Detect(std::string_view bytes) {
    struct Closer {
        void operator()(uchardet_t u) const { uchardet_delete(u); }
    };
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, Closer> detector(uchardet_new());
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0)
        return {};
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name ? AnsiUpper(name) : std::string();
}

}  // namespace

std::string DetectLegacyCharset(std::string_view bytes) {
    bool ascii = true;
    for (unsigned char c : bytes) ascii = ascii && c < 0x80;
    if (ascii || IsMultiByteUtf8(bytes)) return {};
    const std::string found = Detect(bytes);
    if (found.empty() || found == "ASCII" || found.rfind("UTF-", 0) == 0 ||
        found.rfind("GB", 0) == 0 || found == "HZ-GB-2312" || found == "ISO-2022-CN")
        return {};
    const char* icu = nullptr;
    bool eastAsian = false;
    for (const DetectedSet& set : kSets) {
        if (found == set.detector) {
            icu = set.icu;
            eastAsian = set.eastAsian;
        }
    }
    // Short Chinese text draws all sorts of single-byte guesses; a text of
    // GB2312's shape is taken from no single-byte set.
    if (!eastAsian && ShapedLikeGb2312(bytes)) return {};
    const std::string name = icu ? std::string(icu) : found;
    std::string gbk;
    if (!CodePageToGbkStrict(bytes, name.c_str(), gbk)) return {};
    if (!eastAsian) {
        for (char16_t c : GbkToUtf16(gbk))
            if (c >= 0x80 && !LetterLike(c)) return {};
    }
    return name;
}

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

std::string CreatedText(const LineList& lines, TextMode mode, bool commaTable) {
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
    if (classic) return gbk;
    return commaTable ? std::string(kUtf8Bom) + GbkToUtf8(gbk) : GbkToUtf8(gbk);
}

}  // namespace ferro
