// The list's collation straight from ICU, with the list's settings (the
// Chinese rules, Latin before Han): the reference the program's own keys
// and sorts are held to.
#pragma once

#include <unicode/ucol.h>
#include <unicode/uscript.h>

#include <string>
#include <string_view>

#include "platform/codec.h"

namespace ferro::testing {

// The collator's key of a GBK text, its closing zero byte left out.
inline std::string CollatorKey(std::string_view gbk) {
    static UCollator* const coll = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open("zh", &status);
        const int32_t order[] = {USCRIPT_LATIN, USCRIPT_HAN};
        ucol_setReorderCodes(c, order, 2, &status);
        return c;
    }();
    const std::u16string u = GbkToUtf16(gbk);
    std::string key(u.size() * 8 + 64, '\0');
    const int32_t n = ucol_getSortKey(coll, reinterpret_cast<const UChar*>(u.data()),
                                      static_cast<int32_t>(u.size()),
                                      reinterpret_cast<uint8_t*>(key.data()),
                                      static_cast<int32_t>(key.size()));
    key.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    return key;
}

// The word sort key: the collation without hyphens and apostrophes, then
// of the whole text, then the text's bytes, joined by zero bytes.
inline std::string WordKeyFromCollator(std::string_view gbk) {
    std::string words;
    for (char c : gbk)
        if (c != '-' && c != '\'') words.push_back(c);
    std::string key = CollatorKey(words);
    key.push_back('\0');
    key += CollatorKey(gbk);
    key.push_back('\0');
    key.append(gbk);
    return key;
}

}  // namespace ferro::testing
