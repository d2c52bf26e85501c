// UTF-8 and UTF-16 file contents to GB18030 and back. ICU's gb18030
// converter decides the mapping: it is read once into tables, so that large
// files convert at memory speed instead of through UTF-16 and a converter
// call per piece.
//
// GB18030 has one, two and four-byte characters. Every BMP character has a
// two or four-byte code (ASCII one byte); the four-byte codes of the
// supplementary planes follow the code points in order from 0x90308130.
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/codec.h"
#include "platform/pump.h"

namespace ferro {
namespace {

// Four-byte codes counted from 0x81308130: ((b1-0x81)*10 + b2-0x30)*1260 +
// (b3-0x81)*10 + b4-0x30. BMP characters use the first kFourBmp of them;
// U+10000 is number kSupplementaryBase.
constexpr uint32_t kFourBmp = 39420;
constexpr uint32_t kSupplementaryBase = 189000;
constexpr uint32_t kTwoTrails = 191;  // 0x40..0xFE (0x7F is never a trail)

struct Tables {
    // Per BMP code point: the GB18030 bytes packed big-endian; below 0x100 one
    // byte, below 0x10000 two bytes, else four. 0 for surrogates.
    std::array<uint32_t, 0x10000> fromBmp{};
    // Two-byte codes and the BMP four-byte codes to code points; 0 for none
    // (U+0000 is the one-byte 0x00).
    std::array<uint16_t, 126 * kTwoTrails> fromTwo{};
    std::array<uint16_t, kFourBmp> fromFour{};
    // The hot paths store whole words: a BMP character's GB18030 bytes and a
    // two-byte code's UTF-8 bytes, in memory order, zero-padded.
    std::array<uint32_t, 0x10000> bmpBytes{};
    std::array<uint32_t, 126 * kTwoTrails> twoUtf8{};
    bool ok = false;
};

inline void PutUtf8(uint32_t c, char*& o) {
    // a trail byte, or an overlong lead
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
}

uint32_t FourByteNumber(uint32_t packed) {
    const uint32_t b1 = packed >> 24, b2 = (packed >> 16) & 0xFF, b3 = (packed >> 8) & 0xFF,
                   b4 = packed & 0xFF;
    return ((b1 - 0x81) * 10 + (b2 - 0x30)) * 1260 + (b3 - 0x81) * 10 + (b4 - 0x30);
}

std::unique_ptr<Tables> BuildTables() {
    auto t = std::make_unique<Tables>();
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("gb18030", &status);
    if (U_FAILURE(status)) return t;
    ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    // Every BMP character but the surrogates, in one call.
    std::u16string all;
    all.reserve(0x10000);
    for (uint32_t c = 0; c < 0x10000; ++c)
        if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<char16_t>(c));
    std::string bytes(all.size() * 4, '\0');
    status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv, bytes.data(), static_cast<int32_t>(bytes.size()),
                                      reinterpret_cast<const UChar*>(all.data()),
                                      static_cast<int32_t>(all.size()), &status);
    ucnv_close(cnv);
    if (U_FAILURE(status)) return t;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t k = 0;
    for (char16_t ch : all) {
        const uint32_t c = ch;
        if (k >= static_cast<std::size_t>(n)) return t;
        uint32_t packed = 0;
        if (b[k] < 0x80) {
            packed = b[k];
            k += 1;
        } else if (b[k + 1] >= 0x30 && b[k + 1] <= 0x39) {
            packed = (uint32_t{b[k]} << 24) | (uint32_t{b[k + 1]} << 16) |
                     (uint32_t{b[k + 2]} << 8) | b[k + 3];
            const uint32_t number = FourByteNumber(packed);
            if (number >= kFourBmp) return t;
            t->fromFour[number] = static_cast<uint16_t>(c);
            k += 4;
        } else {
            packed = (uint32_t{b[k]} << 8) | b[k + 1];
            t->fromTwo[(b[k] - 0x81) * kTwoTrails + (b[k + 1] - 0x40)] = static_cast<uint16_t>(c);
            k += 2;
        }
        t->fromBmp[c] = packed;
    }
    t->ok = k == static_cast<std::size_t>(n);
    for (uint32_t c = 0; c < 0x10000; ++c) {
        const uint32_t packed = t->fromBmp[c];
        const int length = packed < 0x100 ? 1 : packed < 0x10000 ? 2 : 4;
        unsigned char bytes[4] = {};
        for (int i = 0; i < length; ++i)
            bytes[i] = static_cast<unsigned char>(packed >> (8 * (length - 1 - i)));
        std::memcpy(&t->bmpBytes[c], bytes, 4);
    }
    for (std::size_t i = 0; i < t->fromTwo.size(); ++i) {
        const uint32_t c = t->fromTwo[i];
        if (c == 0) continue;
        char bytes[4] = {};
        char* o = bytes;
        PutUtf8(c, o);
        std::memcpy(&t->twoUtf8[i], bytes, 4);
    }
    return t;
}

const Tables& GetTables() {
    static const std::unique_ptr<Tables> tables = BuildTables();
    return *tables;
}

using uchar = unsigned char;

// Converts in blocks of input, growing out by at most ratio bytes per input
// byte (plus room for a 16-byte store) for each block. step(p, stop, end, o)
// converts characters starting before stop (they may run on up to end),
// returns false on invalid input, and advances p and o.
constexpr std::size_t kBlock = 64 * 1024;

template <class Step>
bool InBlocks(std::string_view in, std::string& out, std::size_t ratio, Step step) {
    const auto* begin = reinterpret_cast<const uchar*>(in.data());
    const uchar* p = begin;
    const uchar* end = begin + in.size();
    while (p < end) {
        const uchar* stop = end - p > static_cast<std::ptrdiff_t>(kBlock) ? p + kBlock : end;
        const std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(stop - p) * ratio + 32);
        char* o = out.data() + start;
        const bool ok = step(p, stop, end, o);
        out.resize(static_cast<std::size_t>(o - out.data()));
        if (!ok) return false;
        ProcessPendingMessages();
    }
    return true;
}

inline void PutGb(uint32_t c, const Tables& t, char*& o) {
    if (c < 0x10000) {
        const uint32_t packed = t.fromBmp[c];
        if (packed < 0x100) {
            *o++ = static_cast<char>(packed);
        } else if (packed < 0x10000) {
            *o++ = static_cast<char>(packed >> 8);
            *o++ = static_cast<char>(packed & 0xFF);
        } else {
            *o++ = static_cast<char>(packed >> 24);
            *o++ = static_cast<char>((packed >> 16) & 0xFF);
            *o++ = static_cast<char>((packed >> 8) & 0xFF);
            *o++ = static_cast<char>(packed & 0xFF);
        }
        return;
    }
    uint32_t number = c - 0x10000 + kSupplementaryBase;
    *o++ = static_cast<char>(0x81 + number / 12600);
    number %= 12600;
    *o++ = static_cast<char>(0x30 + number / 1260);
    number %= 1260;
    *o++ = static_cast<char>(0x81 + number / 10);
    *o++ = static_cast<char>(0x30 + number % 10);
}

inline bool IsTrail(uchar c) {
    return (c & 0xC0) == 0x80;
}

// The code point of the GB18030 character at p (p < end), and its length;
// length 1 and code point ~0 for a byte that begins no valid character.
inline uint32_t NextGb(const uchar* p, const uchar* end, const Tables& t, int& length) {
    const uchar b1 = *p;
    length = 1;
    if (b1 < 0x80) return b1;
    if (b1 == 0x80 || b1 == 0xFF || end - p < 2) return ~0u;
    const uchar b2 = p[1];
    if (b2 >= 0x30 && b2 <= 0x39) {
        if (end - p < 4) return ~0u;
        const uchar b3 = p[2], b4 = p[3];
        if (b3 < 0x81 || b3 == 0xFF || b4 < 0x30 || b4 > 0x39) return ~0u;
        const uint32_t number =
            ((b1 - 0x81u) * 10 + (b2 - 0x30u)) * 1260 + (b3 - 0x81u) * 10 + (b4 - 0x30u);
        uint32_t c = ~0u;
        if (number < kFourBmp) {
            if (t.fromFour[number] != 0) c = t.fromFour[number];
        } else if (number >= kSupplementaryBase && number - kSupplementaryBase <= 0xFFFFF) {
            c = number - kSupplementaryBase + 0x10000;
        }
        if (c != ~0u) length = 4;
        return c;
    }
    if (b2 < 0x40 || b2 == 0x7F || b2 == 0xFF) return ~0u;
    const uint16_t c = t.fromTwo[(b1 - 0x81) * kTwoTrails + (b2 - 0x40)];
    if (c == 0) return ~0u;
    length = 2;
    return c;
}

inline void PutUnit(uint32_t u, bool bigEndian, char*& o) {
    if (bigEndian) {
        *o++ = static_cast<char>(u >> 8);
        *o++ = static_cast<char>(u & 0xFF);
    } else {
        *o++ = static_cast<char>(u & 0xFF);
        *o++ = static_cast<char>(u >> 8);
    }
}

inline void PutUtf16(uint32_t c, bool bigEndian, char*& o) {
    if (c < 0x10000) {
        PutUnit(c, bigEndian, o);
        return;
    }
    c -= 0x10000;
    PutUnit(0xD800 + (c >> 10), bigEndian, o);
    PutUnit(0xDC00 + (c & 0x3FF), bigEndian, o);
}

#if defined(__SSE2__)
// Copies the ASCII bytes among the sixteen at p to o (storing all sixteen):
// true when they all were, otherwise p and o are left at the first byte
// that is not.
inline bool CopyAscii16(const uchar*& p, char*& o) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
    const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
    const unsigned ascii = high == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(high));
    p += ascii;
    o += ascii;
    return high == 0;
}
#endif

// A three-byte UTF-8 character at p (Chinese text is made of them) as
// GB18030; false, with nothing done, for anything else (an overlong form or
// a surrogate included: the general path refuses those).
inline bool PutThreeByteUtf8(const uchar*& p, const uchar* end, char*& o, const Tables& t) {
    const uchar c = p[0];
    if ((c & 0xF0) != 0xE0 || end - p < 3) return false;
    const uchar c1 = p[1], c2 = p[2];
    if (((c1 & 0xC0) != 0x80) | ((c2 & 0xC0) != 0x80)) return false;
    const uint32_t cp = (uint32_t{c} & 0x0F) << 12 | uint32_t{c1 & 0x3Fu} << 6 | (c2 & 0x3Fu);
    if ((cp < 0x800) | (cp - 0xD800u < 0x800u)) return false;
    // Two bytes out, or four for the few without a two-byte code (their
    // second byte is a digit); the store is always four bytes.
    const uint32_t bytes = t.bmpBytes[cp];
    std::memcpy(o, &bytes, 4);
    o += ((bytes >> 8) & 0xFF) - 0x30u < 10u ? 4 : 2;
    p += 3;
    return true;
}

// A two-byte GB18030 character at p as UTF-8; false, with nothing done,
// for anything else.
inline bool PutTwoByteGb(const uchar*& p, const uchar* end, char*& o, const Tables& t) {
    const uchar b1 = p[0];
    if (end - p < 2 || b1 < 0x81 || b1 == 0xFF) return false;
    const uchar b2 = p[1];
    if ((b2 < 0x40) | (b2 == 0x7F) | (b2 == 0xFF)) return false;
    const uint32_t bytes = t.twoUtf8[(b1 - 0x81) * kTwoTrails + (b2 - 0x40)];
    if (bytes == 0) return false;
    std::memcpy(o, &bytes, 4);
    o += (bytes & 0xFF) >= 0xE0 ? 3 : 2;
    p += 2;
    return true;
}

// Converts UTF-8 characters starting before stop (they may run on up to
// end); false at the first invalid sequence, p then pointing at it.
inline bool Utf8Step(const uchar*& pIo, const uchar* stop, const uchar* end, char*& oIo,
                     const Tables& t) {
    // Locals, so that the stores into the output cannot be taken to change
    // them: they stay in registers.
    const uchar* p = pIo;
    char* o = oIo;
    bool ok = true;
    while (p < stop) {
#if defined(__SSE2__)
        // Sixteen bytes at a time while they are ASCII, then one character:
        // mixed Chinese and ASCII text goes without unforeseen branches.
        if (stop - p >= 16) {
            if (CopyAscii16(p, o)) continue;
            // A run of Chinese characters: the branch is foreseen, so the
            // next character's bytes are read before this one is done.
            if (PutThreeByteUtf8(p, end, o, t)) {
                while (stop - p >= 3 && PutThreeByteUtf8(p, end, o, t)) {
                }
                continue;
            }
        }
#endif
        const uchar c = *p;
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            ++p;
            continue;
        }
        if (PutThreeByteUtf8(p, end, o, t)) continue;
        // Two and four-byte characters; anything else is not UTF-8 (a trail
        // byte, an overlong form, a surrogate, a character cut off).
        uint32_t cp = 0;
        const std::ptrdiff_t left = end - p;
        if (c >= 0xC2 && c < 0xE0 && left >= 2 && IsTrail(p[1])) {
            cp = (uint32_t{c} & 0x1F) << 6 | (p[1] & 0x3F);
            p += 2;
        } else if (c >= 0xF0 && c < 0xF5 && left >= 4 && IsTrail(p[1]) && IsTrail(p[2]) &&
                   IsTrail(p[3]) && !(c == 0xF0 && p[1] < 0x90) &&  // overlong
                   !(c == 0xF4 && p[1] > 0x8F)) {                  // beyond U+10FFFF
            cp = (uint32_t{c} & 0x07) << 18 | uint32_t{p[1] & 0x3Fu} << 12 |
                 uint32_t{p[2] & 0x3Fu} << 6 | (p[3] & 0x3F);
            p += 4;
        } else {
            ok = false;
            break;
        }
        PutGb(cp, t, o);
    }
    pIo = p;
    oIo = o;
    return ok;
}

// Converts GB18030 characters starting before stop (they may run on up to
// end); bytes that begin no valid character become U+FFFD.
inline void Gb18030Step(const uchar*& pIo, const uchar* stop, const uchar* end, char*& oIo,
                        const Tables& t) {
    const uchar* p = pIo;  // locals: see Utf8Step
    char* o = oIo;
    while (p < stop) {
#if defined(__SSE2__)
        // As in Utf8Step.
        if (stop - p >= 16) {
            if (CopyAscii16(p, o)) continue;
            if (PutTwoByteGb(p, end, o, t)) {
                while (stop - p >= 2 && PutTwoByteGb(p, end, o, t)) {
                }
                continue;
            }
        }
#endif
        if (*p < 0x80) {
            *o++ = static_cast<char>(*p++);
            continue;
        }
        if (PutTwoByteGb(p, end, o, t)) continue;
        int length;
        const uint32_t c = NextGb(p, end, t, length);
        PutUtf8(c == ~0u ? 0xFFFD : c, o);
        p += length;
    }
    pIo = p;
    oIo = o;
}

}  // namespace

bool Utf8ToGb18030(std::string_view utf8, std::string& out) {
    const Tables& t = GetTables();
    if (!t.ok) return false;
    return InBlocks(utf8, out, 2,
                    [&](const uchar*& p, const uchar* stop, const uchar* end, char*& o) {
                        return Utf8Step(p, stop, end, o, t);
                    });
}

namespace {

// The end of a piece's complete characters: a character cut off by the end
// waits for the next piece.
const uchar* CompleteEnd(const uchar* begin, const uchar* end) {
    const uchar* lead = end;
    while (lead > begin && end - lead < 4 && IsTrail(lead[-1])) --lead;
    if (lead > begin && end - lead < 4) {
        const uchar c = lead[-1];
        const std::ptrdiff_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (end - (lead - 1) < need) return lead - 1;
    }
    return end;
}

// Checks UTF-8 a block at a time, with no branch per character: each byte
// is classified by table lookups on its own high nibble and on both nibbles
// of the byte before it, which together tell every wrong pair (a lead
// without its trail bytes, a stray trail byte, overlong forms, surrogates,
// code points beyond U+10FFFF); the third and fourth bytes of longer
// sequences are checked from the bytes two and three before. Accepts
// exactly what Utf8Step converts.
#if defined(__x86_64__) || defined(__i386__)
#define FERRO_HAS_SIMD_CHECK 1
namespace utf8check {
constexpr uchar kTooShort = 1 << 0, kTooLong = 1 << 1, kOverlong3 = 1 << 2, kTooLarge = 1 << 3,
                kSurrogate = 1 << 4, kOverlong2 = 1 << 5, kTooLarge1000 = 1 << 6,
                kOverlong4 = 1 << 6, kTwoConts = 1 << 7;
constexpr uchar kCarry = kTooShort | kTooLong | kTwoConts;
constexpr uchar kLarge = kCarry | kTooLarge | kTooLarge1000;
constexpr uchar kCont1000 =
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
constexpr uchar kCont1001 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
constexpr uchar kCont101 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
// By the high nibble of the byte before.
alignas(16) constexpr uchar kByte1High[16] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
    kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
    kTooShort | kOverlong3 | kSurrogate, kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
// By the low nibble of the byte before.
alignas(16) constexpr uchar kByte1Low[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,
    kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
    kLarge | kSurrogate, kLarge, kLarge};
// By the high nibble of the byte itself.
alignas(16) constexpr uchar kByte2High[16] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kCont1000, kCont1001, kCont101, kCont101, kTooShort, kTooShort, kTooShort, kTooShort};
// A block ending inside a character: its last byte a lead of two or more
// bytes, the one before a lead of three or more, or the one before that a
// lead of four.
alignas(32) constexpr uchar kIncompleteBelow[32] = {
    255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
    255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0xEF, 0xDF, 0xBF};
}  // namespace utf8check

// kNoNul: a NUL byte counts as a fault too (text, not just UTF-8).
template <bool kNoNul>
__attribute__((target("ssse3"))) bool ValidUtf8Ssse3(const uchar* p, std::size_t n) {
    using namespace utf8check;
    const __m128i byte1High = _mm_load_si128(reinterpret_cast<const __m128i*>(kByte1High)),
                  byte1Low = _mm_load_si128(reinterpret_cast<const __m128i*>(kByte1Low)),
                  byte2High = _mm_load_si128(reinterpret_cast<const __m128i*>(kByte2High)),
                  incompleteBelow =
                      _mm_load_si128(reinterpret_cast<const __m128i*>(kIncompleteBelow + 16));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    __m128i error = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    __m128i incomplete = _mm_setzero_si128();
    for (std::size_t i = 0; i < n; i += 16) {
        __m128i input;
        if (n - i >= 16) {
            input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        } else {
            // Filled up with spaces: ASCII, and no NUL.
            alignas(16) uchar last[16];
            std::memset(last, ' ', sizeof last);
            std::memcpy(last, p + i, n - i);
            input = _mm_load_si128(reinterpret_cast<const __m128i*>(last));
        }
        if constexpr (kNoNul)
            error = _mm_or_si128(error, _mm_cmpeq_epi8(input, _mm_setzero_si128()));
        if (_mm_movemask_epi8(input) == 0) {
            error = _mm_or_si128(error, incomplete);
        } else {
            const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
            const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
            const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
            const __m128i special = _mm_and_si128(
                _mm_and_si128(
                    _mm_shuffle_epi8(byte1High, _mm_and_si128(_mm_srli_epi16(prev1, 4), nibble)),
                    _mm_shuffle_epi8(byte1Low, _mm_and_si128(prev1, nibble))),
                _mm_shuffle_epi8(byte2High, _mm_and_si128(_mm_srli_epi16(input, 4), nibble)));
            const __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(0xE0 - 0x80));
            const __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(0xF0 - 0x80));
            const __m128i must =
                _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(static_cast<char>(0x80)));
            error = _mm_or_si128(error, _mm_xor_si128(must, special));
            incomplete = _mm_subs_epu8(input, incompleteBelow);
        }
        previous = input;
    }
    error = _mm_or_si128(error, incomplete);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) == 0xFFFF;
}

// The same, thirty-two bytes at a time.
template <bool kNoNul>
__attribute__((target("avx2"))) bool ValidUtf8Avx2(const uchar* p, std::size_t n) {
    using namespace utf8check;
#define FERRO_TABLE(t) \
    _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t)))
    const __m256i byte1High = FERRO_TABLE(kByte1High), byte1Low = FERRO_TABLE(kByte1Low),
                  byte2High = FERRO_TABLE(kByte2High);
#undef FERRO_TABLE
    const __m256i incompleteBelow =
        _mm256_load_si256(reinterpret_cast<const __m256i*>(kIncompleteBelow));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    __m256i error = _mm256_setzero_si256();
    __m256i previous = _mm256_setzero_si256();
    __m256i incomplete = _mm256_setzero_si256();
    for (std::size_t i = 0; i < n; i += 32) {
        __m256i input;
        if (n - i >= 32) {
            input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        } else {
            alignas(32) uchar last[32];
            std::memset(last, ' ', sizeof last);
            std::memcpy(last, p + i, n - i);
            input = _mm256_load_si256(reinterpret_cast<const __m256i*>(last));
        }
        if constexpr (kNoNul)
            error = _mm256_or_si256(error, _mm256_cmpeq_epi8(input, _mm256_setzero_si256()));
        if (_mm256_movemask_epi8(input) == 0) {
            error = _mm256_or_si256(error, incomplete);
        } else {
            // The bytes before each: the previous block's high half joins.
            const __m256i joined = _mm256_permute2x128_si256(previous, input, 0x21);
            const __m256i prev1 = _mm256_alignr_epi8(input, joined, 15);
            const __m256i prev2 = _mm256_alignr_epi8(input, joined, 14);
            const __m256i prev3 = _mm256_alignr_epi8(input, joined, 13);
            const __m256i special = _mm256_and_si256(
                _mm256_and_si256(
                    _mm256_shuffle_epi8(byte1High,
                                        _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
                    _mm256_shuffle_epi8(byte1Low, _mm256_and_si256(prev1, nibble))),
                _mm256_shuffle_epi8(byte2High,
                                    _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble)));
            const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(0xE0 - 0x80));
            const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(0xF0 - 0x80));
            const __m256i must = _mm256_and_si256(_mm256_or_si256(third, fourth),
                                                  _mm256_set1_epi8(static_cast<char>(0x80)));
            error = _mm256_or_si256(error, _mm256_xor_si256(must, special));
            incomplete = _mm256_subs_epu8(input, incompleteBelow);
        }
        previous = input;
    }
    error = _mm256_or_si256(error, incomplete);
    return _mm256_testz_si256(error, error) != 0;
}
#endif

bool g_narrowUtf8Check = false;

template <bool kNoNul>
bool ValidUtf8(const uchar* p, std::size_t n) {
#if defined(FERRO_HAS_SIMD_CHECK)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (avx2 && !g_narrowUtf8Check) return ValidUtf8Avx2<kNoNul>(p, n);
    if (ssse3) return ValidUtf8Ssse3<kNoNul>(p, n);
#endif
    // Without it: the converter's own check.
    if (kNoNul && std::memchr(p, 0, n)) return false;
    std::string scratch;
    return Utf8ToGb18030(std::string_view(reinterpret_cast<const char*>(p), n), scratch);
}

}  // namespace

void SetNarrowUtf8CheckForTesting(bool narrow) { g_narrowUtf8Check = narrow; }

bool Utf8PieceValid(std::string_view in, bool last, std::size_t& consumed, bool noNul) {
    consumed = 0;
    const auto* begin = reinterpret_cast<const uchar*>(in.data());
    const uchar* end = begin + in.size();
    if (!last) end = CompleteEnd(begin, end);
    const auto n = static_cast<std::size_t>(end - begin);
    if (!(noNul ? ValidUtf8<true>(begin, n) : ValidUtf8<false>(begin, n))) return false;
    consumed = n;
    return true;
}

bool Utf8PieceToGb18030(std::string_view in, bool last, char* out, std::size_t& consumed,
                        std::size_t& written) {
    const Tables& t = GetTables();
    consumed = written = 0;
    if (!t.ok) return false;
    const auto* begin = reinterpret_cast<const uchar*>(in.data());
    const uchar* end = begin + in.size();
    if (!last) end = CompleteEnd(begin, end);
    const uchar* p = begin;
    char* o = out;
    const bool ok = Utf8Step(p, end, end, o, t);
    consumed = static_cast<std::size_t>(p - begin);
    written = static_cast<std::size_t>(o - out);
    return ok;
}

bool Utf16ToGb18030(std::string_view bytes, bool bigEndian, std::string& out) {
    const Tables& t = GetTables();
    if (!t.ok || bytes.size() % 2 != 0) return false;
    return InBlocks(
        bytes, out, 2, [&](const uchar*& p, const uchar* stop, const uchar* end, char*& o) {
            auto unit = [bigEndian](const uchar* q) {
                return bigEndian ? (uint32_t{q[0]} << 8 | q[1]) : (uint32_t{q[1]} << 8 | q[0]);
            };
            while (p < stop) {
                uint32_t c = unit(p);
                p += 2;
                if (c >= 0xD800 && c <= 0xDFFF) {
                    if (c > 0xDBFF || end - p < 2) return false;
                    const uint32_t low = unit(p);
                    if (low < 0xDC00 || low > 0xDFFF) return false;
                    p += 2;
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                }
                PutGb(c, t, o);
            }
            return true;
        });
}

void Gb18030ToUtf8(std::string_view gb, std::string& out) {
    const Tables& t = GetTables();
    InBlocks(gb, out, 3, [&](const uchar*& p, const uchar* stop, const uchar* end, char*& o) {
        Gb18030Step(p, stop, end, o, t);
        return true;
    });
}

bool Gb18030ToUtf8Exact(std::string_view gb, std::string& out) {
    out.clear();
    Gb18030ToUtf8(gb, out);
    std::string back;
    return Utf8ToGb18030(out, back) && back == gb;
}

std::size_t Gb18030PieceToUtf8(std::string_view gb, char* out) {
    const Tables& t = GetTables();
    const auto* p = reinterpret_cast<const uchar*>(gb.data());
    const uchar* end = p + gb.size();
    char* o = out;
    Gb18030Step(p, end, end, o, t);
    return static_cast<std::size_t>(o - out);
}

void Gb18030ToUtf16(std::string_view gb, bool bigEndian, std::string& out) {
    const Tables& t = GetTables();
    InBlocks(gb, out, 2, [&](const uchar*& p, const uchar* stop, const uchar* end, char*& o) {
        while (p < stop) {
            int length;
            const uint32_t c = NextGb(p, end, t, length);
            PutUtf16(c == ~0u ? 0xFFFD : c, bigEndian, o);
            p += length;
        }
        return true;
    });
}

}  // namespace ferro
