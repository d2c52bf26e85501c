#include "platform/codec.h"

#include <QString>
#include <memory>
#include <unicode/ucnv.h>

namespace ferro {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opening a converter costs far more than a conversion; keep one per thread
// and name.
UConverter* Converter(const char* name) {
    thread_local ConverterPtr gb;
    thread_local ConverterPtr other;
    thread_local std::string otherName;
    if (std::string_view(name) == "gb18030") {
        if (!gb) {
            UErrorCode status = U_ZERO_ERROR;
            gb.reset(ucnv_open("gb18030", &status));
            if (U_FAILURE(status)) gb.reset();
        }
        return gb.get();
    }
    if (!other || otherName != name) {
        UErrorCode status = U_ZERO_ERROR;
        other.reset(ucnv_open(name, &status));
        if (U_FAILURE(status)) other.reset();
        otherName = name;
    }
    return other.get();
}

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

std::u16string Decode(std::string_view bytes, UConverter* cnv, bool strict, bool* ok) {
    if (ok) *ok = true;
    std::u16string out;
    if (bytes.empty()) return out;
    if (!cnv) {
        if (ok) *ok = false;
        return out;
    }
    ucnv_reset(cnv);
    UErrorCode status = U_ZERO_ERROR;
    if (strict) {
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    } else {
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                            &status);
    }
    out.resize(bytes.size() * 2 + 2);
    status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()),
                              static_cast<int32_t>(out.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        if (ok) *ok = false;
        out.clear();
        return out;
    }
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Encode(std::u16string_view text, UConverter* cnv) {
    std::string out;
    if (text.empty() || !cnv) return out;
    ucnv_reset(cnv);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                          &status);
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(cnv, "?", 1, &status);
    out.resize(text.size() * 4 + 4);
    status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar*>(text.data()),
                                static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status)) return std::string();
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// UTF-8 to UTF-16 that keeps every byte: a byte that does not start a valid
// sequence becomes U+F700 + byte.
std::u16string Utf8ToUtf16Escaped(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int len = 0;
        uint32_t cp = 0, min = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, cp = c & 0x07, min = 0x10000;
        }
        bool valid = len > 0 && i + len <= n;
        for (int k = 1; valid && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (valid && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        // A real private-use character of the escape range would not survive
        // the way back; escape its bytes instead.
        if (valid && cp >= 0xF780 && cp <= 0xF7FF) valid = false;
        if (!valid) {
            out.push_back(static_cast<char16_t>(0xF700 + c));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(len);
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
    return Decode(gbk, Converter("gb18030"), false, nullptr);
}

std::string Utf16ToGbk(std::u16string_view text) { return Encode(text, Converter("gb18030")); }

std::u16string DecodeCodePage(std::string_view bytes, const char* converter) {
    return Decode(bytes, Converter(converter), false, nullptr);
}

std::string EncodeCodePage(std::u16string_view text, const char* converter) {
    return Encode(text, Converter(converter));
}

bool CodePageToGbkStrict(std::string_view bytes, const char* converter, std::string& out) {
    out.clear();
    if (bytes.empty()) return true;
    UConverter* cnv = Converter(converter);
    if (!cnv) return false;
    bool ok = false;
    const std::u16string text = Decode(bytes, cnv, true, &ok);
    if (!ok) return false;
    for (char16_t c : text) {
        // Some sets map bytes they have no character for to SUB (U+001A).
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7F || c == 0xFFFD)
            return false;
    }
    out = Encode(text, Converter("gb18030"));
    return true;
}

QString GbkToQString(std::string_view gbk) {
    if (IsAscii(gbk)) return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
    std::u16string u = GbkToUtf16(gbk);
    return QString::fromUtf16(u.data(), static_cast<qsizetype>(u.size()));
}

std::string QStringToGbk(const QString& text) {
    std::u16string_view u(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
    bool ascii = true;
    for (char16_t c : u)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        std::string out(u.size(), '\0');
        for (std::size_t i = 0; i < u.size(); ++i) out[i] = static_cast<char>(u[i]);
        return out;
    }
    return Utf16ToGbk(u);
}

std::string DiskToGbk(std::string_view diskName) {
    if (IsAscii(diskName)) return std::string(diskName);
    return Utf16ToGbk(Utf8ToUtf16Escaped(diskName));
}

bool GbkToDisk(std::string_view gbk, std::string& out) {
    out.clear();
    if (IsAscii(gbk)) {
        out.assign(gbk);
        return true;
    }
    bool ok = true;
    std::u16string u = Decode(gbk, Converter("gb18030"), true, &ok);
    if (!ok) return false;
    out.reserve(u.size() * 3);
    for (std::size_t i = 0; i < u.size(); ++i) {
        uint32_t c = u[i];
        if (c >= 0xF780 && c <= 0xF7FF) {
            out.push_back(static_cast<char>(c - 0xF700));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
                   u[i + 1] <= 0xDFFF) {
            uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.clear();
            return false;
        } else {
            AppendUtf8(out, c);
        }
    }
    return true;
}

}  // namespace ferro
