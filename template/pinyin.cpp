#include "template/pinyin.h"

#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/codec.h"

namespace ferro {

namespace {

// The syllable of one Han character, toneless, lower case; empty when ICU
// has none. Transliterators are not thread-safe: one is made per thread,
// and each character is read once per thread.
std::string Syllable(UChar32 han) {
    thread_local std::unique_ptr<icu::Transliterator> reader;
    thread_local bool failed = false;
    thread_local std::unordered_map<UChar32, std::string> known;
    if (const auto it = known.find(han); it != known.end()) return it->second;
    if (!reader && !failed) {
        UErrorCode status = U_ZERO_ERROR;
        reader.reset(icu::Transliterator::createInstance("Han-Latin; Latin-ASCII; Lower", UTRANS_FORWARD,
                                                         status));
        if (U_FAILURE(status)) {
            reader.reset();
            failed = true;
        }
    }
    std::string syllable;
    if (reader) {
        icu::UnicodeString text(han);
        reader->transliterate(text);
        for (int32_t i = 0; i < text.length(); ++i) {
            const char16_t c = text.charAt(i);
            if (c >= 'a' && c <= 'z') syllable.push_back(static_cast<char>(c));
        }
    }
    known.emplace(han, syllable);
    return syllable;
}

bool IsHan(UChar32 c) {
    UErrorCode status = U_ZERO_ERROR;
    return uscript_getScript(c, &status) == USCRIPT_HAN && U_SUCCESS(status);
}

}  // namespace

std::string ToPinyin(std::string_view gbk, PinyinForm form) {
    const std::u16string text = GbkToUtf16(gbk);
    std::u16string out;
    out.reserve(text.size() * 3);
    bool lastWasSyllable = false;
    for (std::size_t i = 0; i < text.size();) {
        UChar32 c = text[i];
        std::size_t length = 1;
        if (U16_IS_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
            c = U16_GET_SUPPLEMENTARY(text[i], text[i + 1]);
            length = 2;
        }
        const std::string syllable = IsHan(c) ? Syllable(c) : std::string();
        if (syllable.empty()) {
            // Text between syllables is set apart from them in the spaced form.
            if (form == PinyinForm::Spaced && lastWasSyllable && c != u' ') out.push_back(u' ');
            out.append(text, i, length);
            lastWasSyllable = false;
        } else {
            if (form == PinyinForm::Spaced && !out.empty() && out.back() != u' ') out.push_back(u' ');
            if (form == PinyinForm::Initials) out.push_back(static_cast<char16_t>(syllable[0]));
            else out.append(syllable.begin(), syllable.end());
            lastWasSyllable = true;
        }
        i += length;
    }
    return Utf16ToGbk(out);
}

}  // namespace ferro
