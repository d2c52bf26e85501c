// Simplified <-> Traditional Chinese. The character mapping is ICU's
// Hans-Hant / Hant-Hans transliteration on UTF-16; the code pages are GBK
// (936) and Big5 (950).
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <memory>

#include "platform/codec.h"
#include "template/arithmetic.h"

namespace ferro {
namespace {

constexpr const char* kBig5 = "windows-950";

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Creating a transliterator parses its rules and takes milliseconds; keep one
// per direction and thread (an instance must not be shared between threads).
const icu::Transliterator* Transliterator(bool toTraditional) {
    struct Cache {
        std::unique_ptr<icu::Transliterator> t;
        bool tried = false;
    };
    thread_local Cache caches[2];
    Cache& c = caches[toTraditional ? 1 : 0];
    if (!c.tried) {
        c.tried = true;
        UErrorCode status = U_ZERO_ERROR;
        c.t.reset(icu::Transliterator::createInstance(toTraditional ? "Hans-Hant" : "Hant-Hans",
                                                      UTRANS_FORWARD, status));
        if (U_FAILURE(status)) c.t.reset();
    }
    return c.t.get();
}

// Without the transliterator (ICU data lacking it) the text keeps its
// characters and only changes code page.
std::u16string Transliterate(std::u16string text, bool toTraditional) {
    const icu::Transliterator* t = Transliterator(toTraditional);
    if (!t || text.empty()) return text;
    icu::UnicodeString u(text.data(), static_cast<int32_t>(text.size()));
    t->transliterate(u);
    return std::u16string(reinterpret_cast<const char16_t*>(u.getBuffer()),
                          static_cast<std::size_t>(u.length()));
}

}  // namespace

std::string ConvertGbToBig5(std::string_view gbk) {
    // ASCII is the same in both code pages and has nothing to transliterate.
    if (IsAscii(gbk)) return std::string(gbk);
    return EncodeCodePage(Transliterate(GbkToUtf16(gbk), true), kBig5);
}

std::string ConvertBig5ToGb(std::string_view big5) {
    if (IsAscii(big5)) return std::string(big5);
    return Utf16ToGbk(Transliterate(DecodeCodePage(big5, kBig5), false));
}

}  // namespace ferro
