#include "encoding/encoding.h"

#include "platform/memory.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ferro {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// Room beyond the input size for the converters' last block, so that a
// file that does not grow is never copied to a larger buffer.
constexpr std::size_t kSlack = 256 * 1024;

bool HasHighByte(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
#if defined(__SSE2__)
    for (; end - p >= 64; p += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)))) break;
    }
#endif
    for (; p < end; ++p)
        if (*p >= 0x80) return true;
    return false;
}

// The encoding of bytes and, for a marked one, its text converted (into
// gbk). Unmarked UTF-8 is converted as it is validated, so a UTF-8 file is
// read in one pass; for GBK text the attempt ends at its first double-byte
// character.
DetectedEncoding Detect(std::string_view bytes, std::string& gbk) {
    gbk.clear();
    struct Marked {
        std::string_view bom;
        TextEncoding encoding;
    };
    for (const Marked& m : {Marked{kUtf8Bom, TextEncoding::Utf8},
                            Marked{kUtf16LeBom, TextEncoding::Utf16Le},
                            Marked{kUtf16BeBom, TextEncoding::Utf16Be}}) {
        if (!bytes.starts_with(m.bom)) continue;
        const std::string_view text = bytes.substr(m.bom.size());
        ReserveLarge(gbk, text.size() + kSlack);
        const bool ok = m.encoding == TextEncoding::Utf8
                            ? Utf8ToGb18030(text, gbk)
                            : Utf16ToGb18030(text, m.encoding == TextEncoding::Utf16Be, gbk);
        if (ok) return {m.encoding, m.bom.size()};
        gbk.clear();
        gbk.shrink_to_fit();
        return {TextEncoding::Gbk, 0};
    }
    if (!HasHighByte(bytes)) return {TextEncoding::Ascii, 0};
    ReserveLarge(gbk, bytes.size() + kSlack);
    if (Utf8ToGb18030(bytes, gbk)) return {TextEncoding::Utf8, 0};
    gbk.clear();
    gbk.shrink_to_fit();
    return {TextEncoding::Gbk, 0};
}

bool Converted(TextEncoding e) {
    return e == TextEncoding::Utf8 || e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be;
}

}  // namespace

TextFormat TextFormat::Classic() {
    TextFormat f;
    f.classic = true;
    return f;
}

TextFormat TextFormat::ForNewFile(TextMode mode) {
    if (mode == TextMode::ClassicGbk) return Classic();
    TextFormat f;
    f.encoding = TextEncoding::Utf8;
    f.lineBreak = LineBreak::Lf;
    return f;
}

DetectedEncoding DetectTextEncoding(std::string_view bytes) {
    std::string scratch;
    return Detect(bytes, scratch);
}

std::string DecodeToGbk(std::string&& bytes, TextMode mode, TextFormat& format) {
    if (mode == TextMode::ClassicGbk) {
        format = TextFormat::Classic();
        return std::move(bytes);
    }
    format = TextFormat();
    std::string gbk;
    const DetectedEncoding found = Detect(bytes, gbk);
    format.encoding = found.encoding;
    format.bom = found.bomLength > 0;
    if (!Converted(found.encoding)) gbk = std::move(bytes);
    FindLineBreaks(gbk, format);
    return gbk;
}

void FindLineBreaks(std::string_view gbk, TextFormat& format) {
    const std::size_t at = gbk.find_first_of("\r\n");
    if (at == std::string_view::npos)
        format.lineBreak = LineBreak::Lf;
    else if (gbk[at] == '\n')
        format.lineBreak = LineBreak::Lf;
    else if (at + 1 < gbk.size() && gbk[at + 1] == '\n')
        format.lineBreak = LineBreak::CrLf;
    else
        format.lineBreak = LineBreak::Cr;
    format.finalBreak = gbk.empty() || gbk.back() == '\n' || gbk.back() == '\r';
}

void AppendEncoded(std::string_view gbk, const TextFormat& format, std::string& out) {
    switch (format.encoding) {
        case TextEncoding::Gbk:
            out.append(gbk);
            break;
        case TextEncoding::Ascii:
        case TextEncoding::Utf8:
            Gb18030ToUtf8(gbk, out);
            break;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            Gb18030ToUtf16(gbk, format.encoding == TextEncoding::Utf16Be, out);
            break;
    }
}

std::string_view ByteOrderMark(const TextFormat& format) {
    if (!format.bom) return {};
    switch (format.encoding) {
        case TextEncoding::Utf8:
            return kUtf8Bom;
        case TextEncoding::Utf16Le:
            return kUtf16LeBom;
        case TextEncoding::Utf16Be:
            return kUtf16BeBom;
        default:
            return {};
    }
}

std::string_view LineBreakText(LineBreak lineBreak) {
    switch (lineBreak) {
        case LineBreak::Lf:
            return "\n";
        case LineBreak::Cr:
            return "\r";
        case LineBreak::CrLf:
            break;
    }
    return "\r\n";
}

std::string EncodeFromGbk(std::string_view gbk, const TextFormat& format) {
    std::string out(ByteOrderMark(format));
    AppendEncoded(gbk, format, out);
    return out;
}

}  // namespace ferro
