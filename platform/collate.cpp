#include "platform/collate.h"

#include <memory>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uscript.h>

#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {
namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* Collator() {
    thread_local std::unique_ptr<UCollator, CollatorCloser> coll = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open("zh", &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            c = ucol_open("", &status);
        }
        // The Chinese rules put Han before Latin; the Windows Chinese locale
        // that users know lists Latin names first, then Han by pinyin.
        const int32_t order[] = {USCRIPT_LATIN, USCRIPT_HAN};
        status = U_ZERO_ERROR;
        ucol_setReorderCodes(c, order, 2, &status);
        return std::unique_ptr<UCollator, CollatorCloser>(c);
    }();
    return coll.get();
}

// The sort key of ucol_getSortKey without its closing zero byte. No other
// byte of a key is zero, so keys joined by zero bytes compare part by part.
void AppendSortKey(std::string_view text, std::string& out) {
    const std::u16string u = GbkToUtf16(text);
    const std::size_t at = out.size();
    out.resize(at + u.size() * 4 + 16);
    auto fill = [&] {
        return ucol_getSortKey(Collator(), reinterpret_cast<const UChar*>(u.data()),
                               static_cast<int32_t>(u.size()),
                               reinterpret_cast<uint8_t*>(out.data() + at),
                               static_cast<int32_t>(out.size() - at));
    };
    int32_t n = fill();
    if (n > static_cast<int32_t>(out.size() - at)) {
        out.resize(at + static_cast<std::size_t>(n));
        n = fill();
    }
    out.resize(at + (n > 0 ? static_cast<std::size_t>(n - 1) : 0));
}

bool IsAsciiText(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char16_t UpperUnit(char16_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a pair stay as they are
    const UChar32 u = u_toupper(c);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

}  // namespace

int CompareLocale(std::string_view a, std::string_view b) {
    std::u16string ua = GbkToUtf16(a), ub = GbkToUtf16(b);
    UCollationResult r = ucol_strcoll(Collator(), reinterpret_cast<const UChar*>(ua.data()),
                                      static_cast<int32_t>(ua.size()),
                                      reinterpret_cast<const UChar*>(ub.data()),
                                      static_cast<int32_t>(ub.size()));
    if (r == UCOL_EQUAL) {
        // Texts the collation cannot tell apart still have a fixed order.
        int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return r == UCOL_LESS ? -1 : 1;
}

std::string CollationKey(std::string_view text) {
    // The bytes after the key order texts the collation calls equal like
    // CompareLocale does.
    std::string key;
    AppendSortKey(text, key);
    key.push_back('\0');
    key.append(text);
    return key;
}

std::string WordSortKey(std::string_view text) {
    // Neither byte is ever part of a double-byte character (trail bytes
    // start at 0x40), so they can be dropped from GBK text as they stand.
    std::string key;
    if (text.find_first_of("-'") == std::string_view::npos) {
        AppendSortKey(text, key);
        const std::size_t n = key.size();
        key.push_back('\0');
        key.append(key.substr(0, n));
    } else {
        std::string words;
        words.reserve(text.size());
        for (char c : text)
            if (c != '-' && c != '\'') words.push_back(c);
        AppendSortKey(words, key);
        key.push_back('\0');
        AppendSortKey(text, key);
    }
    key.push_back('\0');
    key.append(text);
    return key;
}

void AppendFileNameKey(std::string_view gbkName, std::u16string& key) {
    if (IsAsciiText(gbkName)) {
        for (char c : gbkName) key.push_back(UpperUnit(static_cast<unsigned char>(c)));
        return;
    }
    for (char16_t c : GbkToUtf16(gbkName)) key.push_back(UpperUnit(c));
}

int CompareFileNames(std::string_view a, std::string_view b) {
    std::u16string ka, kb;
    AppendFileNameKey(a, ka);
    AppendFileNameKey(b, kb);
    const int c = ka.compare(kb);
    if (c != 0) return c < 0 ? -1 : 1;
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

bool SameTextLocale(std::string_view a, std::string_view b) {
    std::string la = AnsiLower(a), lb = AnsiLower(b);
    if (la == lb) return true;
    std::u16string ua = GbkToUtf16(la), ub = GbkToUtf16(lb);
    return ucol_strcoll(Collator(), reinterpret_cast<const UChar*>(ua.data()),
                        static_cast<int32_t>(ua.size()), reinterpret_cast<const UChar*>(ub.data()),
                        static_cast<int32_t>(ub.size())) == UCOL_EQUAL;
}

}  // namespace ferro
