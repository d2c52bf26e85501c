#include "platform/collate.h"

#include <memory>
#include <vector>
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

bool IsAsciiText(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The text as UTF-16 in a buffer of the thread's own: an ASCII text unit by
// byte (both encodings give those characters the same values), any other
// through the codec.
const std::u16string& WideText(std::string_view text) {
    thread_local std::u16string wide;
    if (IsAsciiText(text)) {
        wide.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<unsigned char>(text[i]);
    } else {
        wide = GbkToUtf16(text);
    }
    return wide;
}

// The sort key of ucol_getSortKey without its closing zero byte. No other
// byte of a key is zero, so keys joined by zero bytes compare part by part.
void AppendCollatorKey(std::string_view text, std::string& out) {
    const std::u16string& u = WideText(text);
    thread_local std::vector<uint8_t> key(256);
    auto fill = [&] {
        return ucol_getSortKey(Collator(), reinterpret_cast<const UChar*>(u.data()),
                               static_cast<int32_t>(u.size()), key.data(),
                               static_cast<int32_t>(key.size()));
    };
    int32_t n = fill();
    if (n > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(n));
        n = fill();
    }
    if (n > 1) out.append(reinterpret_cast<const char*>(key.data()), static_cast<std::size_t>(n - 1));
}

// The collator's keys of plain ASCII text, made without it, byte for byte.
// A character is plain when it gives one collation element of common
// secondary and tertiary weight (lower-case letters, digits, most
// punctuation). The key of a text of such characters is their primary
// weights, a lead byte that neighbours share written once when the
// collator compresses it (with a closing byte where the lead changes, low
// or high as the next weight is lower or higher), then the runs of common
// secondary and tertiary weights, which depend on the length alone. The
// weights and the runs are read from the collator's own keys, and the
// whole is used only if it gives the collator's keys exactly on a set of
// probes (every pair of plain characters, texts of every length, mixed
// texts); otherwise every key comes from the collator.
class PlainKeys {
public:
    static const PlainKeys& Get() {
        static const PlainKeys keys;
        return keys;
    }
    bool usable() const { return usable_; }

    // Appends the key of text and returns true, or returns false and
    // appends nothing for a text that is not all plain characters.
    bool Append(std::string_view text, std::string& out) const {
        if (!usable_ || text.empty() || text.size() > kLongest) return false;
        for (char c : text)
            if (static_cast<unsigned char>(c) >= 0x80 ||
                weights_[static_cast<unsigned char>(c)].primary == 0)
                return false;
        // At most a closing byte and four weight bytes a character.
        thread_local char buffer[kLongest * 5];
        char* at = buffer;
        uint32_t previous = 0;  // the last compressible primary whose lead was written
        for (char c : text) {
            const Weight& w = weights_[static_cast<unsigned char>(c)];
            std::size_t from = 1;
            if (!w.compressible || w.bytes[0] != previous >> 24) {
                if (previous != 0) {
                    if (w.primary >= previous) *at++ = static_cast<char>(kHighEnd);
                    else if (w.bytes[0] > kMergeSeparator) *at++ = static_cast<char>(kLowEnd);
                }
                from = 0;
                previous = w.compressible ? w.primary : 0;
            }
            for (std::size_t i = from; i < w.size; ++i) *at++ = static_cast<char>(w.bytes[i]);
        }
        out.append(buffer, static_cast<std::size_t>(at - buffer));
        out += tails_[text.size()];
        return true;
    }

private:
    static constexpr std::size_t kLongest = 512;
    static constexpr uint8_t kLowEnd = 0x03, kHighEnd = 0xFF, kMergeSeparator = 0x02;
    struct Weight {
        uint32_t primary = 0;  // 0: not a plain character
        uint8_t bytes[4] = {};
        uint8_t size = 0;
        bool compressible = false;
    };

    PlainKeys() {
        auto key = [](std::string_view text) {
            std::string k;
            AppendCollatorKey(text, k);
            return k;
        };
        // The primary weights, and the rest from the first level separator.
        auto split = [](const std::string& k, std::string& primary, std::string& tail) {
            const std::size_t at = k.find('\x01');
            if (at == std::string::npos) return false;
            primary.assign(k, 0, at);
            tail.assign(k, at);
            return true;
        };
        std::string primary, tail, run;
        tails_.resize(kLongest + 1);
        for (std::size_t n = 1; n <= kLongest; ++n) {
            run.push_back('a');
            if (!split(key(run), primary, tails_[n])) return;
        }
        for (unsigned c = 1; c < 0x80; ++c) {
            const std::string one(1, static_cast<char>(c));
            if (!split(key(one), primary, tail) || primary.empty() || primary.size() > 4 ||
                tail != tails_[1])
                continue;
            Weight w;
            w.size = static_cast<uint8_t>(primary.size());
            for (std::size_t i = 0; i < 4; ++i) {
                w.bytes[i] = i < primary.size() ? static_cast<uint8_t>(primary[i]) : 0;
                w.primary = w.primary << 8 | w.bytes[i];
            }
            std::string twice;
            if (!split(key(one + one), twice, tail) || tail != tails_[2]) continue;
            if (twice == primary + primary.substr(1)) w.compressible = true;
            else if (twice != primary + primary) continue;
            weights_[c] = w;
        }
        usable_ = true;  // for the probes
        std::string plain;
        for (unsigned c = 1; c < 0x80; ++c)
            if (weights_[c].primary != 0) plain.push_back(static_cast<char>(c));
        auto agrees = [&](std::string_view text) {
            std::string mine;
            return !Append(text, mine) || mine == key(text);
        };
        bool all = !plain.empty();
        for (char a : plain)
            for (char b : plain) all = all && agrees(std::string{a, b});
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return seed >> 8;
        };
        for (int i = 0; all && i < 2000; ++i) {
            std::string text(1 + next() % (i % 10 == 0 ? kLongest : 40), 'x');
            for (char& c : text) c = plain[next() % plain.size()];
            all = agrees(text);
        }
        for (const char* text : {"report_123_file.txt.57", "a.b-c'd e", "0.9z", "~!@#$%^&*()_+{}|"})
            all = all && agrees(text);
        usable_ = all;
    }

    Weight weights_[0x80];
    std::vector<std::string> tails_;  // by length: the key from the first level separator
    bool usable_ = false;
};

void AppendSortKey(std::string_view text, std::string& out) {
    if (!PlainKeys::Get().Append(text, out)) AppendCollatorKey(text, out);
}

char16_t UpperUnit(char16_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a pair stay as they are
    const UChar32 u = u_toupper(c);
    return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
}

}  // namespace

bool PlainKeysInUse() { return PlainKeys::Get().usable(); }

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
    std::string key;
    AppendWordSortKey(text, key);
    return key;
}

namespace {

bool HasWordBreaks(std::string_view text) {
    // Neither byte is ever part of a double-byte character (trail bytes
    // start at 0x40), so they can be dropped from GBK text as they stand.
    bool found = false;
    for (char c : text) found = found || c == '-' || c == '\'';
    return found;
}

std::string_view WithoutWordBreaks(std::string_view text) {
    thread_local std::string kept;
    kept.clear();
    for (char c : text)
        if (c != '-' && c != '\'') kept.push_back(c);
    return kept;
}

}  // namespace

void AppendWordSortKey(std::string_view text, std::string& out) {
    if (!HasWordBreaks(text)) {
        const std::size_t at = out.size();
        AppendSortKey(text, out);
        const std::size_t n = out.size() - at;
        out.reserve(out.size() + n + text.size() + 2);  // the copy below reads out itself
        out.push_back('\0');
        out.append(out.data() + at, n);
    } else {
        AppendSortKey(WithoutWordBreaks(text), out);
        out.push_back('\0');
        AppendSortKey(text, out);
    }
    out.push_back('\0');
    out.append(text);
}

void AppendWordSortKeyHead(std::string_view text, std::string& out) {
    AppendSortKey(HasWordBreaks(text) ? WithoutWordBreaks(text) : text, out);
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
