#include "platform/collate.h"

#include <memory>
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
    std::u16string u = GbkToUtf16(text);
    std::string key(u.size() * 4 + 16, '\0');
    int32_t n = ucol_getSortKey(Collator(), reinterpret_cast<const UChar*>(u.data()),
                                static_cast<int32_t>(u.size()),
                                reinterpret_cast<uint8_t*>(key.data()),
                                static_cast<int32_t>(key.size()));
    if (n > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(n));
        n = ucol_getSortKey(Collator(), reinterpret_cast<const UChar*>(u.data()),
                            static_cast<int32_t>(u.size()), reinterpret_cast<uint8_t*>(key.data()),
                            n);
    }
    // The key ends with a zero byte; drop it, then append the bytes so that
    // keys of texts the collation calls equal still order like CompareLocale.
    key.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    key.push_back('\0');
    key.append(text);
    return key;
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
