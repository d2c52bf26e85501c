#include "encoding/encoding.h"

#include <cstring>
#include <optional>

#include "platform/fs.h"
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
    for (const Marked& m :
         {Marked{kUtf8Bom, TextEncoding::Utf8}, Marked{kUtf16LeBom, TextEncoding::Utf16Le},
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

namespace {

// Decodes a file's pieces as they come. The first bytes tell a mark; then
// ASCII is taken as it is until the first byte above 0x7F, from where the
// text is converted as UTF-8. At the first sequence that is not UTF-8 the
// file is GBK: when nothing had been converted yet the bytes are taken as
// they are from there on, otherwise the file is read again as it is.
class PieceDecoder {
public:
    explicit PieceDecoder(std::string& gbk) : gbk_(gbk) {}

    void Begin(std::uint64_t size) {
        gbk_.clear();
        ReserveLarge(gbk_, static_cast<std::size_t>(size) + kSlack);
    }

    // False once the file has to be read again.
    bool Take(std::string_view piece) {
        if (state_ == State::Start) {
            head_.append(piece);
            if (head_.size() < kUtf8Bom.size()) return true;
            return Open();
        }
        return Feed(piece);
    }

    // After the last piece. False when the file has to be read again.
    bool Finish() {
        if (state_ == State::Start && !Open()) return false;
        if (state_ == State::Utf8 && !carry_.empty()) {
            const std::string raw = std::move(carry_);
            carry_.clear();
            std::size_t consumed = 0;
            if (!Convert(raw, true, consumed)) return Fallback(raw);
        }
        return true;
    }

    bool whole() const { return state_ == State::Whole; }
    TextEncoding encoding() const {
        return state_ == State::Ascii  ? TextEncoding::Ascii
               : state_ == State::Utf8 ? TextEncoding::Utf8
                                       : TextEncoding::Gbk;
    }
    bool marked() const { return marked_ && state_ == State::Utf8; }

private:
    enum class State { Start, Ascii, Utf8, Raw, Whole };

    bool Open() {
        const std::string head = std::move(head_);
        head_.clear();
        if (head.starts_with(kUtf16LeBom) || head.starts_with(kUtf16BeBom)) {
            // Rare: decoded whole, by the general path.
            state_ = State::Whole;
            gbk_.append(head);
            return true;
        }
        std::string_view rest = head;
        if (rest.starts_with(kUtf8Bom)) {
            marked_ = true;
            state_ = State::Utf8;
            rest.remove_prefix(kUtf8Bom.size());
        } else {
            state_ = State::Ascii;
        }
        return Feed(rest);
    }

    bool Feed(std::string_view piece) {
        switch (state_) {
            case State::Raw:
            case State::Whole:
                gbk_.append(piece);
                return true;
            case State::Ascii: {
                const std::size_t high = FirstHighByte(piece);
                gbk_.append(piece.substr(0, high));
                if (high == piece.size()) return true;
                state_ = State::Utf8;
                piece.remove_prefix(high);
                break;
            }
            default:
                break;
        }
        // UTF-8: first the character cut off at the end of the last piece.
        std::string_view rest = piece;
        if (!carry_.empty()) {
            const std::string raw = carry_ + std::string(piece.substr(0, 3));
            const std::size_t before = carry_.size();
            carry_.clear();
            std::size_t consumed = 0;
            if (!Convert(raw, false, consumed))
                return Fallback(raw.substr(0, before) + std::string(piece));
            if (consumed < before) {  // still cut off: a piece of a byte or two
                carry_ = raw.substr(0, before) + std::string(piece);
                return true;
            }
            rest.remove_prefix(consumed - before);
        }
        std::size_t consumed = 0;
        if (!Convert(rest, false, consumed)) return Fallback(piece);
        carry_.assign(rest.substr(consumed));
        return true;
    }

    // Converts the complete characters of in and appends them; on invalid
    // input nothing is appended.
    bool Convert(std::string_view in, bool last, std::size_t& consumed) {
        if (scratch_.size() < 2 * in.size() + 32) scratch_.resize(2 * in.size() + 32);
        std::size_t written = 0;
        const bool ok = Utf8PieceToGb18030(in, last, scratch_.data(), consumed, written);
        if (!ok) return false;
        gbk_.append(scratch_.data(), written);
        if (written > 0) converted_ = true;
        return true;
    }

    // The text is not UTF-8. raw: the file's bytes from the first one above
    // 0x7F, when nothing before them was converted.
    bool Fallback(std::string_view raw) {
        if (converted_ || marked_) return false;
        gbk_.append(raw);
        state_ = State::Raw;
        return true;
    }

    static std::size_t FirstHighByte(std::string_view s) {
        const auto* begin = reinterpret_cast<const unsigned char*>(s.data());
        const auto* p = begin;
        const auto* end = p + s.size();
#if defined(__SSE2__)
        for (; end - p >= 16; p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const int high = _mm_movemask_epi8(v);
            if (high != 0)
                return static_cast<std::size_t>(p - begin) +
                       __builtin_ctz(static_cast<unsigned>(high));
        }
#endif
        for (; p < end; ++p)
            if (*p >= 0x80) break;
        return static_cast<std::size_t>(p - begin);
    }

    std::string& gbk_;
    State state_ = State::Start;
    bool marked_ = false;
    bool converted_ = false;  // gbk_ holds text that is not the file's bytes
    std::string head_, carry_, scratch_;
};

// Watches a file's bytes go by, piece by piece, and tells what they are:
// whether they are UTF-8, so that a UTF-8 file can be worked on in its own
// bytes, and (when asked) the first line break, the last byte and any NUL.
// A byte-order mark is not part of the text (unless the file turns out not
// to be UTF-8 after all). The bytes can be kept as they go by.
class TextWatch {
public:
    // keep: where the text is appended (nothing is held without one);
    // otherwise breaks and NUL bytes are looked for. classic: the bytes are
    // code page 936 as they are, no mark is looked for.
    TextWatch(std::string* keep, bool classic)
        : keep_(keep), state_(classic ? State::Raw : State::Start) {}

    void Begin(std::uint64_t size) {
        if (!keep_) return;
        keep_->clear();
        ReserveLarge(*keep_, static_cast<std::size_t>(size));
    }

    void Take(std::string_view piece) {
        if (state_ == State::Start) {
            head_.append(piece);
            if (head_.size() >= kUtf8Bom.size()) Open();
            return;
        }
        Text(piece, false);
    }

    void Finish() {
        if (state_ == State::Start) Open();
        Check({}, true);
        if (state_ == State::Raw && marked_ && keep_) keep_->insert(0, kUtf8Bom);
    }

    // The file has a UTF-16 mark: to be decoded whole.
    bool whole() const { return state_ == State::Whole; }
    TextEncoding encoding() const {
        if (state_ != State::Utf8) return TextEncoding::Gbk;
        return high_ || marked_ ? TextEncoding::Utf8 : TextEncoding::Ascii;
    }
    bool marked() const { return marked_ && state_ == State::Utf8; }
    bool nul() const { return nul_; }
    // The line-break style and final break of what went by (without keep).
    void Breaks(TextFormat& format) const {
        format.lineBreak = lineBreak_ ? *lineBreak_ : crLast_ ? LineBreak::Cr : LineBreak::Lf;
        format.finalBreak = !any_ || last_ == '\n' || last_ == '\r';
    }

private:
    enum class State { Start, Utf8, Raw, Whole };

    void Open() {
        std::string_view head = head_;
        if (head.starts_with(kUtf16LeBom) || head.starts_with(kUtf16BeBom)) {
            state_ = State::Whole;
            if (keep_) keep_->append(head);
        } else {
            state_ = State::Utf8;
            if (head.starts_with(kUtf8Bom)) {
                marked_ = true;
                head.remove_prefix(kUtf8Bom.size());
            }
            Text(head, false);
        }
        head_.clear();
    }

    void Text(std::string_view text, bool last) {
        if (keep_) keep_->append(text);
        Check(text, last);
        if (!keep_) Look(text);
    }

    // Checks that text goes on as UTF-8; a character cut off at its end is
    // carried to the next.
    void Check(std::string_view text, bool last) {
        if (state_ != State::Utf8) return;
        if (!high_) high_ = HasHighByte(text);
        std::size_t consumed = 0;
        if (!carry_.empty()) {
            // The cut character, completed by the next bytes.
            const std::string joined = carry_ + std::string(text.substr(0, 3));
            const std::size_t before = carry_.size();
            const bool end = last || text.size() <= 3;
            if (!Valid(joined, last && text.size() <= 3, consumed) ||
                (!end && consumed < before)) {
                state_ = State::Raw;
                return;
            }
            if (text.size() <= 3) {
                carry_ = joined.substr(consumed);
                return;
            }
            carry_.clear();
            text.remove_prefix(consumed - before);
        }
        if (!Valid(text, last, consumed)) {
            state_ = State::Raw;
            return;
        }
        carry_.assign(text.substr(consumed));
    }

    // Whether bytes are UTF-8. While the file is looked through (nothing
    // kept), a NUL byte is looked for in the same pass.
    bool Valid(std::string_view bytes, bool last, std::size_t& consumed) {
        const bool noNul = !keep_ && !nul_;
        if (Utf8PieceValid(bytes, last, consumed, noNul)) return true;
        if (!noNul || !Utf8PieceValid(bytes, last, consumed)) return false;
        nul_ = true;  // UTF-8, but not text
        return true;
    }

    // The first line break, the last byte and NUL bytes (where the UTF-8
    // check did not look for them).
    void Look(std::string_view text) {
        if (text.empty()) return;
        // UTF-16 text is full of zero bytes: it is looked at once decoded.
        if (!nul_ && state_ == State::Raw)
            nul_ = std::memchr(text.data(), 0, text.size()) != nullptr;
        if (!lineBreak_) {
            if (crLast_) lineBreak_ = text[0] == '\n' ? LineBreak::CrLf : LineBreak::Cr;
            const std::size_t at = text.find_first_of("\r\n");
            if (!lineBreak_ && at != std::string_view::npos) {
                if (text[at] == '\n') lineBreak_ = LineBreak::Lf;
                else if (at + 1 < text.size())
                    lineBreak_ = text[at + 1] == '\n' ? LineBreak::CrLf : LineBreak::Cr;
                else crLast_ = true;  // told by the next byte
            }
        }
        any_ = true;
        last_ = text.back();
    }

    std::string* keep_;
    std::string head_, carry_;
    State state_;
    bool marked_ = false;
    bool high_ = false;  // a byte above 0x7F went by
    bool nul_ = false;
    std::optional<LineBreak> lineBreak_;
    bool crLast_ = false;  // the first break is a CR that ended a piece
    bool any_ = false;
    char last_ = 0;
};

}  // namespace

bool ScanTextFile(std::string_view path, TextMode mode, TextScan& scan) {
    scan = TextScan();
    const bool classic = mode == TextMode::ClassicGbk;
    TextWatch watch(nullptr, classic);
    if (!ReadFilePieces(
            path, [&](std::uint64_t size) { scan.size = size; },
            [&](std::string_view piece) {
                watch.Take(piece);
                return true;
            }))
        return false;
    watch.Finish();
    scan.whole = watch.whole();
    scan.nul = watch.nul();
    if (classic) {
        scan.format = TextFormat::Classic();
        return true;
    }
    scan.format.encoding = watch.encoding();
    scan.format.bom = watch.marked();
    scan.markLength = scan.format.bom ? kUtf8Bom.size() : 0;
    watch.Breaks(scan.format);
    return true;
}

bool ReadTextFile(std::string_view path, TextMode mode, std::string& gbk, TextFormat& format,
                  bool keepUtf8) {
    if (keepUtf8 && mode == TextMode::Auto) {
        TextWatch kept(&gbk, false);
        if (!ReadFilePieces(
                path, [&](std::uint64_t size) { kept.Begin(size); },
                [&](std::string_view piece) {
                    kept.Take(piece);
                    return true;
                }))
            return false;
        kept.Finish();
        if (kept.whole()) {
            gbk = DecodeToGbk(std::move(gbk), mode, format);
            return true;
        }
        format = TextFormat();
        format.encoding = kept.encoding();
        format.bom = kept.marked();
        FindLineBreaks(gbk, format);
        return true;
    }
    if (mode == TextMode::ClassicGbk) {
        format = TextFormat::Classic();
        gbk.clear();
        return ReadFilePieces(
            path, [&](std::uint64_t size) { ReserveLarge(gbk, static_cast<std::size_t>(size)); },
            [&](std::string_view piece) {
                gbk.append(piece);
                return true;
            });
    }
    PieceDecoder decoder(gbk);
    bool again = false;
    if (!ReadFilePieces(
            path, [&](std::uint64_t size) { decoder.Begin(size); },
            [&](std::string_view piece) {
                again = !decoder.Take(piece);
                return !again;
            }))
        return false;
    if (!again) again = !decoder.Finish();
    if (again) {
        // GBK after all, found late: its bytes as they are.
        if (!ReadFileBytes(path, gbk)) return false;
        format = TextFormat();
    } else if (decoder.whole()) {
        gbk = DecodeToGbk(std::move(gbk), mode, format);
        return true;
    } else {
        format = TextFormat();
        format.encoding = decoder.encoding();
        format.bom = decoder.marked();
    }
    FindLineBreaks(gbk, format);
    return true;
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
