// UTF-8 and UTF-16 file contents to GB18030 and back. ICU's gb18030
// converter decides the mapping: it is read once into tables, so that large
// files convert at memory speed instead of through UTF-16 and a converter
// call per piece.
//
// GB18030 has one, two and four-byte characters. Every BMP character has a
// two or four-byte code (ASCII one byte); the four-byte codes of the
// supplementary planes follow the code points in order from 0x90308130.
#include <unicode/ucnv.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
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
    bool ok = false;
};

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

// Copies the ASCII bytes at p (at most up to stop) to o; afterwards *p is
// not ASCII or p == stop.
inline void CopyAscii(const uchar*& p, const uchar* stop, char*& o) {
#if defined(__SSE2__)
    while (stop - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
        const int high = _mm_movemask_epi8(v);
        if (high != 0) {
            const int n = __builtin_ctz(static_cast<unsigned>(high));
            p += n;
            o += n;
            return;
        }
        p += 16;
        o += 16;
    }
#endif
    while (p < stop && *p < 0x80) *o++ = static_cast<char>(*p++);
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

inline bool IsTrail(uchar c) { return (c & 0xC0) == 0x80; }

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
        const uint32_t number = ((b1 - 0x81u) * 10 + (b2 - 0x30u)) * 1260 + (b3 - 0x81u) * 10 +
                                (b4 - 0x30u);
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

inline void PutUtf8(uint32_t c, char*& o) {
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

}  // namespace

bool Utf8ToGb18030(std::string_view utf8, std::string& out) {
    const Tables& t = GetTables();
    if (!t.ok) return false;
    return InBlocks(utf8, out, 2, [&](const uchar*& p, const uchar* stop, const uchar* end,
                                      char*& o) {
        while (p < stop) {
            const uchar c = *p;
            if (c < 0x80) {
                CopyAscii(p, stop, o);
                continue;
            }
            uint32_t cp;
            // Three bytes first: Chinese text is made of them.
            if ((c & 0xF0) == 0xE0 && end - p >= 3 && IsTrail(p[1]) && IsTrail(p[2])) {
                if (c == 0xE0 && p[1] < 0xA0) return false;  // overlong
                if (c == 0xED && p[1] > 0x9F) return false;  // a surrogate
                cp = (uint32_t{c} & 0x0F) << 12 | uint32_t{p[1] & 0x3Fu} << 6 | (p[2] & 0x3F);
                p += 3;
                PutGb(cp, t, o);
                continue;
            }
            if (c < 0xC2) return false;  // a trail byte, or an overlong lead
            if (c < 0xE0) {
                if (end - p < 2 || !IsTrail(p[1])) return false;
                cp = (uint32_t{c} & 0x1F) << 6 | (p[1] & 0x3F);
                p += 2;
            } else if (c < 0xF0) {
                if (end - p < 3 || !IsTrail(p[1]) || !IsTrail(p[2])) return false;
                if (c == 0xE0 && p[1] < 0xA0) return false;  // overlong
                if (c == 0xED && p[1] > 0x9F) return false;  // a surrogate
                cp = (uint32_t{c} & 0x0F) << 12 | uint32_t{p[1] & 0x3Fu} << 6 | (p[2] & 0x3F);
                p += 3;
            } else if (c < 0xF5) {
                if (end - p < 4 || !IsTrail(p[1]) || !IsTrail(p[2]) || !IsTrail(p[3]))
                    return false;
                if (c == 0xF0 && p[1] < 0x90) return false;  // overlong
                if (c == 0xF4 && p[1] > 0x8F) return false;  // beyond U+10FFFF
                cp = (uint32_t{c} & 0x07) << 18 | uint32_t{p[1] & 0x3Fu} << 12 |
                     uint32_t{p[2] & 0x3Fu} << 6 | (p[3] & 0x3F);
                p += 4;
            } else {
                return false;
            }
            PutGb(cp, t, o);
        }
        return true;
    });
}

bool Utf16ToGb18030(std::string_view bytes, bool bigEndian, std::string& out) {
    const Tables& t = GetTables();
    if (!t.ok || bytes.size() % 2 != 0) return false;
    return InBlocks(bytes, out, 2, [&](const uchar*& p, const uchar* stop, const uchar* end,
                                       char*& o) {
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
        while (p < stop) {
            const uchar b1 = *p;
            if (b1 < 0x80) {
                CopyAscii(p, stop, o);
                continue;
            }
            // Two bytes first: Chinese text is made of them.
            if (end - p >= 2 && b1 != 0x80 && b1 != 0xFF && p[1] >= 0x40 && p[1] != 0x7F &&
                p[1] != 0xFF) {
                const uint32_t c = t.fromTwo[(b1 - 0x81) * kTwoTrails + (p[1] - 0x40)];
                if (c != 0) {
                    PutUtf8(c, o);
                    p += 2;
                    continue;
                }
            }
            int length;
            const uint32_t c = NextGb(p, end, t, length);
            PutUtf8(c == ~0u ? 0xFFFD : c, o);
            p += length;
        }
        return true;
    });
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
