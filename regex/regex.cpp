#include "regex/regex.h"

#include <re2/re2.h>

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/codec.h"
#include "platform/error.h"
#include "platform/text.h"
#include "regex/syntax.h"

namespace ferro {

namespace {

using re2::StringPiece;

// Groups a replacement or ${RegGet} can name: \0 to \9.
constexpr int kMaxGroup = 9;

std::string Gbk(std::u16string_view text) { return Utf16ToGbk(text); }

std::string Refusal(std::u16string_view reason, std::string_view gbkDetail = {}) {
    std::string m = Gbk(u"正则表达式不正确：");
    m += Gbk(reason);
    if (!gbkDetail.empty()) {
        m += Gbk(u"：“");
        m += gbkDetail;
        m += Gbk(u"”");
    }
    return m;
}

// The engine's refusal: its reason in Chinese where there are words for it
// (else its own), and the part of the pattern it points at.
std::string EngineRefusal(const RE2& re) {
    std::u16string reason = regex_detail::ReasonText(re.error_code());
    std::string detail;
    if (!Utf8ToGb18030(re.error_arg(), detail)) detail.clear();
    if (reason.empty()) {
        const std::string& english = re.error();
        reason.assign(english.begin(), english.end());  // RE2's words are ASCII
        detail.clear();
    }
    return Refusal(reason, detail);
}

bool IsAscii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        if (w & 0x8080808080808080ull) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

// A growing buffer that is never cleared to zeros (it is written before it
// is read).
struct Buffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    char* Room(std::size_t n) {
        if (n > capacity) {
            capacity = std::max(n, capacity + capacity / 2);
            data = std::make_unique_for_overwrite<char[]>(capacity);
        }
        return data.get();
    }
};

// The UTF-8 copy of a GBK subject, one per thread (nothing here calls out
// while one is in use).
Buffer& Scratch() {
    thread_local Buffer b;
    return b;
}

// A subject as the engine sees it: UTF-8, and the way back to the
// subject's own positions.
struct Subject {
    std::string_view own;   // as given
    std::string_view utf8;  // what is matched
    bool same = true;       // positions are the same in both
};

Subject MakeSubject(std::string_view text, SubjectBytes bytes) {
    Subject s{text, text, true};
    if (bytes == SubjectBytes::Utf8 || IsAscii(text)) return s;
    char* out = Scratch().Room(3 * text.size() + 32);
    s.utf8 = std::string_view(out, Gb18030PieceToUtf8(text, out));
    s.same = false;
    return s;
}

// UTF-8 positions of a GBK subject's copy carried back to the GBK bytes,
// walking forward one character at a time: each character of the copy is
// one GB18030 character of the subject, or one byte that begins none (as
// U+FFFD).
class GbkPositions {
public:
    explicit GbkPositions(const Subject& s) : g_(s.own), u_(s.utf8), same_(s.same) {}

    // u must not be below the last position asked for, and must be a
    // character boundary of the copy.
    std::size_t At(std::size_t u) {
        if (same_) return u;
        while (u8_ < u) {
            const auto c = static_cast<unsigned char>(u_[u8_]);
            if (c < 0x80) {
                ++u8_;
                ++gb_;
                continue;
            }
            const std::size_t ulen = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            gb_ += GbkLength(ulen);
            u8_ += ulen;
        }
        return gb_;
    }

private:
    std::size_t GbkLength(std::size_t ulen) const {
        if (ulen == 3 && u_.compare(u8_, 3, "\xEF\xBF\xBD") == 0)
            return g_.compare(gb_, 4, "\x84\x31\xA4\x37") == 0 ? 4 : 1;  // U+FFFD itself
        const bool four = gb_ + 1 < g_.size() && g_[gb_ + 1] >= '0' && g_[gb_ + 1] <= '9';
        return four ? 4 : 2;
    }

    std::string_view g_, u_;
    bool same_;
    std::size_t u8_ = 0, gb_ = 0;
};

// The groups of a match in the subject's own positions. Offsets are
// carried back in increasing order, as GbkPositions needs.
void MapGroups(const Subject& s, GbkPositions& map, const StringPiece* subs, int n,
               std::vector<RegexSpan>& spans) {
    spans.assign(static_cast<std::size_t>(n), RegexSpan());
    std::array<std::size_t, 2 * (kMaxGroup + 1)> offsets;
    std::size_t count = 0;
    for (int i = 0; i < n; ++i) {
        if (subs[i].data() == nullptr) continue;
        const auto b = static_cast<std::size_t>(subs[i].data() - s.utf8.data());
        offsets[count++] = b;
        offsets[count++] = b + subs[i].size();
    }
    std::sort(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(count));
    std::array<std::size_t, 2 * (kMaxGroup + 1)> mapped;
    for (std::size_t k = 0; k < count; ++k) mapped[k] = map.At(offsets[k]);
    auto back = [&](std::size_t u) {
        const auto k = std::lower_bound(offsets.begin(),
                                        offsets.begin() + static_cast<std::ptrdiff_t>(count), u) -
                       offsets.begin();
        return mapped[static_cast<std::size_t>(k)];
    };
    for (int i = 0; i < n; ++i) {
        if (subs[i].data() == nullptr) continue;
        const auto b = static_cast<std::size_t>(subs[i].data() - s.utf8.data());
        spans[static_cast<std::size_t>(i)] = RegexSpan{back(b), back(b + subs[i].size())};
    }
}

// Bytes of the UTF-8 character at text[i] (at least 1).
std::size_t Utf8CharLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return std::min(n, text.size() - i);
}

// Every line break (CR LF, LF, CR) as one LF, from in to out (which may be
// in itself: out never runs ahead of in). Returns the bytes written.
std::size_t JoinWithLf(const char* in, std::size_t n, char* out) {
    std::size_t r = 0, w = 0;
    while (r < n) {
        const void* cr = std::memchr(in + r, '\r', n - r);
        const std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - in) : n;
        if (out + w != in + r) std::memmove(out + w, in + r, stop - r);
        w += stop - r;
        r = stop;
        if (r == n) break;
        out[w++] = '\n';
        ++r;
        if (r < n && in[r] == '\n') ++r;
    }
    return w;
}

// Line breaks (LF, lone CR, CR LF) that begin in [b, e) of a text ending
// at end: a CR LF counts at its LF.
std::size_t CountBreaks(const char* b, const char* e, const char* end) {
    std::size_t n = 0;
    const char* p = b;
#if defined(__SSE2__)
    // Sixteen bytes at a time, with the byte after each (is a CR's next an
    // LF?): each break adds one to its lane, the lanes summed before any
    // can pass 255.
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), zero = _mm_setzero_si128();
    while (p + 16 <= e && p + 17 <= end) {
        __m128i lanes = zero;
        for (int k = 0; k < 255 && p + 16 <= e && p + 17 <= end; ++k, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i lone = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(v, cr));
            lanes = _mm_sub_epi8(lanes, _mm_or_si128(_mm_cmpeq_epi8(v, lf), lone));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        n += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    }
#endif
    for (; p < e; ++p)
        n += static_cast<std::size_t>(*p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n')));
    return n;
}

// The first place of needle (two bytes or more) in [from, end); null when
// none.
const char* FindLiteral(const char* from, const char* end, std::string_view needle) {
    const std::size_t n = needle.size();
    const char* p = from;
#if defined(__SSE2__)
    // Sixteen starts at a time, kept where both the first and the last
    // byte agree; those are compared whole.
    const __m128i first = _mm_set1_epi8(needle[0]), last = _mm_set1_epi8(needle[n - 1]);
    for (; p + n - 1 + 16 <= end; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(z, last))));
        while (mask != 0) {
            const int bit = __builtin_ctz(mask);
            if (std::memcmp(p + bit + 1, needle.data() + 1, n - 2) == 0) return p + bit;
            mask &= mask - 1;
        }
    }
#endif
    const void* hit = p < end ? memmem(p, static_cast<std::size_t>(end - p), needle.data(), n) : nullptr;
    return static_cast<const char*>(hit);
}

// Whether gbk reads back as utf8 and nothing else, so that every GBK
// subject holding the characters holds these bytes.
bool RoundTrips(std::string_view gbk, std::string_view utf8) {
    std::string back;
    return Gb18030ToUtf8Exact(gbk, back) && back == utf8;
}

}  // namespace

std::string_view RegexMatch::Group(std::string_view subject, std::size_t n) const {
    if (n >= groups.size() || !groups[n].matched()) return {};
    return subject.substr(groups[n].begin, groups[n].end - groups[n].begin);
}

RegexReplacement::RegexReplacement(std::string_view gbk) {
    std::string text;
    auto flush = [&] {
        if (text.empty()) return;
        Piece p;
        p.gbk = std::move(text);
        if (!Gb18030ToUtf8Exact(p.gbk, p.utf8)) {
            exactUtf8_ = false;
            p.utf8.clear();
            Gb18030ToUtf8(p.gbk, p.utf8);
        }
        pieces_.push_back(std::move(p));
        text.clear();
    };
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t len = CharLength(gbk, i);
        if (gbk[i] == '\\' && i + 1 < gbk.size()) {
            const char d = gbk[i + 1];
            if (d >= '0' && d <= '9') {
                flush();
                Piece p;
                p.group = d - '0';
                highest_ = std::max(highest_, p.group);
                pieces_.push_back(std::move(p));
                i += 2;
                continue;
            }
            if (d == '\\') {
                text += '\\';
                i += 2;
                continue;
            }
        }
        text.append(gbk, i, len);
        i += len;
    }
    flush();
}

struct Regex::Compiled {
    std::string pattern;  // GBK, as given
    std::unique_ptr<RE2> whole;
    std::unique_ptr<RE2> lines;  // LF never matched, anchors at lines
    int groups = 0;
    // Bytes every match holds, in either encoding (empty: none worth a
    // search of its own).
    std::string literalUtf8, literalGbk;
};

std::optional<Regex> Regex::Compile(std::string_view gbkPattern, RegexFlags flags,
                                    std::string& message) {
    message.clear();
    std::string utf8;
    if (!Gb18030ToUtf8Exact(gbkPattern, utf8)) {
        message = Refusal(u"含有无法识别的字符");
        return std::nullopt;
    }
    RE2::Options options;
    options.set_log_errors(false);
    options.set_case_sensitive(!flags.ignoreCase);
    {
        // As written first, so that a reason points at the user's own text.
        const RE2 asWritten(utf8, options);
        if (!asWritten.ok()) {
            message = EngineRefusal(asWritten);
            return std::nullopt;
        }
    }
    regex_detail::PatternForms forms;
    std::u16string problem;
    if (!regex_detail::RewritePattern(utf8, forms, problem)) {
        message = Refusal(problem);
        return std::nullopt;
    }
    auto c = std::make_shared<Compiled>();
    c->pattern = std::string(gbkPattern);
    c->whole = std::make_unique<RE2>(forms.whole, options);
    if (!c->whole->ok()) {
        message = EngineRefusal(*c->whole);
        return std::nullopt;
    }
    RE2::Options lineOptions = options;
    lineOptions.set_never_nl(true);
    c->lines = std::make_unique<RE2>(forms.lines, lineOptions);
    if (!c->lines->ok()) {
        message = EngineRefusal(*c->lines);
        return std::nullopt;
    }
    c->groups = c->whole->NumberOfCapturingGroups();
    if (!flags.ignoreCase) {
        std::string literal = regex_detail::RequiredLiteral(utf8);
        std::string gbk;
        // U+FFFD also stands for a GBK byte that begins no character.
        if (literal.size() >= 2 && literal.find("\xEF\xBF\xBD") == std::string::npos &&
            Utf8ToGb18030(literal, gbk) && gbk.size() >= 2 && RoundTrips(gbk, literal)) {
            c->literalUtf8 = std::move(literal);
            c->literalGbk = std::move(gbk);
        }
    }
    Regex r;
    r.c_ = std::move(c);
    return r;
}

Regex::Regex(std::string_view gbkPattern, RegexFlags flags) {
    std::string message;
    std::optional<Regex> r = Compile(gbkPattern, flags, message);
    if (!r) throw Error(message);
    c_ = std::move(r->c_);
}

const std::string& Regex::pattern() const { return c_->pattern; }
int Regex::groupCount() const { return c_->groups; }

bool Regex::Matches(std::string_view subject, SubjectBytes bytes) const {
    const Subject s = MakeSubject(subject, bytes);
    return c_->whole->Match(StringPiece(s.utf8.data(), s.utf8.size()), 0, s.utf8.size(),
                            RE2::UNANCHORED, nullptr, 0);
}

bool Regex::FirstMatch(std::string_view subject, SubjectBytes bytes, RegexMatch& match) const {
    match.groups.clear();
    const Subject s = MakeSubject(subject, bytes);
    const int n = std::min(c_->groups, kMaxGroup) + 1;
    std::array<StringPiece, kMaxGroup + 1> subs;
    const StringPiece text(s.utf8.data(), s.utf8.size());
    if (!c_->whole->Match(text, 0, text.size(), RE2::UNANCHORED, subs.data(), n)) return false;
    GbkPositions map(s);
    MapGroups(s, map, subs.data(), n, match.groups);
    return true;
}

bool Regex::ReplaceAll(std::string_view subject, SubjectBytes bytes,
                       const RegexReplacement& replacement, std::string& out,
                       std::size_t limit) const {
    const Subject s = MakeSubject(subject, bytes);
    const bool utf8Out = bytes == SubjectBytes::Utf8;
    const int n = std::min(std::max(replacement.highestGroup(), 0), std::min(c_->groups, kMaxGroup)) + 1;
    std::array<StringPiece, kMaxGroup + 1> subs;
    std::vector<RegexSpan> spans;
    GbkPositions map(s);
    const StringPiece text(s.utf8.data(), s.utf8.size());
    const std::size_t size = text.size();
    std::size_t pos = 0;       // where the next search starts (copy)
    std::size_t copied = 0;    // subject bytes already in out (own)
    std::size_t lastEnd = RegexSpan::npos;  // end of the last match (copy)
    while (pos <= size) {
        if (!c_->whole->Match(text, pos, size, RE2::UNANCHORED, subs.data(), n)) break;
        const auto b = static_cast<std::size_t>(subs[0].data() - text.data());
        const std::size_t e = b + subs[0].size();
        if (b == e && b == lastEnd) {
            if (b >= size) break;
            pos = b + Utf8CharLength(s.utf8, b);
            continue;
        }
        MapGroups(s, map, subs.data(), n, spans);
        out.append(subject, copied, spans[0].begin - copied);
        for (const RegexReplacement::Piece& p : replacement.pieces_) {
            if (p.group < 0) {
                out += utf8Out ? p.utf8 : p.gbk;
            } else if (static_cast<std::size_t>(p.group) < spans.size() &&
                       spans[static_cast<std::size_t>(p.group)].matched()) {
                const RegexSpan& g = spans[static_cast<std::size_t>(p.group)];
                out.append(subject, g.begin, g.end - g.begin);
            }
        }
        copied = spans[0].end;
        lastEnd = e;
        if (out.size() > limit) return false;
        if (b == e) {
            if (e >= size) break;
            pos = e + Utf8CharLength(s.utf8, e);
        } else {
            pos = e;
        }
    }
    out.append(subject, copied, subject.size() - copied);
    return out.size() <= limit;
}

std::string Regex::ReplaceAll(std::string_view subject, const RegexReplacement& replacement,
                              SubjectBytes bytes) const {
    std::string out;
    ReplaceAll(subject, bytes, replacement, out);
    return out;
}

void Regex::MatchingLines(std::string_view text, SubjectBytes bytes,
                          std::vector<std::size_t>& lines) const {
    const std::string& literal = bytes == SubjectBytes::Gbk ? c_->literalGbk : c_->literalUtf8;
    if (literal.empty()) {
        ScanWhole(text, bytes, 0, lines);
        return;
    }
    // The lines that hold the literal, each matched alone: no copy of the
    // text is made, and a GBK text is not converted. While the literal
    // turns up too often for that to pay, the rest is scanned whole.
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    std::size_t line = 0, candidates = 0;  // line: the number of the line at from
    const char* from = begin;
    while (from < end) {
        const char* const at = FindLiteral(from, end, literal);
        if (at == nullptr) return;
        if (++candidates >= 256 && candidates * 96 > static_cast<std::size_t>(at - begin)) {
            ScanWhole(text.substr(static_cast<std::size_t>(from - begin)), bytes, line, lines);
            return;
        }
        const char* start = at;
        while (start > from && start[-1] != '\n' && start[-1] != '\r') --start;
        const char* stop = at + literal.size();
        const std::size_t rest = static_cast<std::size_t>(end - stop);
        const void* lf = std::memchr(stop, '\n', rest);
        const char* limit = lf ? static_cast<const char*>(lf) : end;
        const void* cr = std::memchr(stop, '\r', static_cast<std::size_t>(limit - stop));
        stop = cr ? static_cast<const char*>(cr) : limit;
        line += CountBreaks(from, start, end);
        if (Matches(std::string_view(start, static_cast<std::size_t>(stop - start)), bytes))
            lines.push_back(line);
        if (stop == end) return;
        from = stop + (*stop == '\r' && stop + 1 < end && stop[1] == '\n' ? 2 : 1);
        ++line;
    }
}

void Regex::ScanWhole(std::string_view text, SubjectBytes bytes, std::size_t firstLine,
                      std::vector<std::size_t>& lines) const {
    // One UTF-8 text whose lines end in LF alone: a UTF-8 text without CR
    // as it is, anything else copied (and converted) first.
    const char* buf = text.data();
    std::size_t size = text.size();
    if (bytes == SubjectBytes::Gbk) {
        char* out = Scratch().Room(3 * text.size() + 32);
        size = Gb18030PieceToUtf8(text, out);
        if (std::memchr(out, '\r', size)) size = JoinWithLf(out, size, out);
        buf = out;
    } else if (std::memchr(text.data(), '\r', text.size())) {
        char* out = Scratch().Room(text.size() + 1);
        size = JoinWithLf(text.data(), text.size(), out);
        buf = out;
    }
    // A break at the very end adds no line: a match there (an empty one)
    // is in no line, and an empty text has none.
    const bool endsInBreak = size == 0 || buf[size - 1] == '\n';
    const StringPiece all(buf, size);
    StringPiece m;
    std::size_t pos = 0, line = firstLine, counted = 0;  // LFs before counted make line
    while (pos <= size) {
        if (!c_->lines->Match(all, pos, size, RE2::UNANCHORED, &m, 1)) break;
        // The match lies inside one line: the one its end is in (an LF
        // belongs to the line it ends).
        const auto e = static_cast<std::size_t>(m.data() - buf) + m.size();
        if (e == size && endsInBreak) break;
        line += CountBreaks(buf + counted, buf + e, buf + size);
        lines.push_back(line);
        const void* lf = std::memchr(buf + e, '\n', size - e);
        if (lf == nullptr) break;
        pos = static_cast<std::size_t>(static_cast<const char*>(lf) - buf) + 1;
        counted = pos;
        ++line;
    }
}

}  // namespace ferro
