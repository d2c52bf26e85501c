#include "textops/lines.h"

#include <cstring>

#include "platform/memory.h"
#include "platform/pump.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ferro {

namespace {

// Files of millions of short lines spend much of their time here: sixteen
// bytes are looked at a time, or thirty-two where the processor allows.
std::size_t FindBreakTail(const char* d, std::size_t n, std::size_t i) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < n; ++i)
        if (d[i] == '\n' || d[i] == '\r') return i;
    return std::string_view::npos;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) std::size_t FindBreakAvx2(const char* d, std::size_t n,
                                                          std::size_t i) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr))));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return FindBreakTail(d, n, i);
}
#endif

}  // namespace

std::size_t FindLineBreak(std::string_view text, std::size_t from) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return FindBreakAvx2(text.data(), text.size(), from);
#endif
    return FindBreakTail(text.data(), text.size(), from);
}

namespace {

// Where the line after a break at b starts.
inline std::size_t AfterBreak(const std::string& d, std::size_t b) {
    return b + (d[b] == '\r' && b + 1 < d.size() && d[b + 1] == '\n' ? 2 : 1);
}

inline std::size_t LineEnd(const std::string& d, std::size_t from) {
    const std::size_t b = FindLineBreak(d, from);
    return b == std::string_view::npos ? d.size() : b;
}

}  // namespace

LineList LineList::FromText(std::string&& text) {
    LineList list;
    list.data_ = std::move(text);
    list.text_ = true;
    list.indexed_ = false;
    return list;
}

void LineList::BuildIndex() const {
    // Count first, so the index is allocated once at its size.
    // Window messages are processed on the way: a large file takes a while.
    std::size_t count = 0;
    for (const_iterator it = begin(); it != end(); ++it) {
        ProcessPendingMessages();
        ++count;
    }
    ends_.clear();
    ReserveLarge(ends_, count);
    for (const_iterator it = begin(); it != end(); ++it) {
        ProcessPendingMessages();
        ends_.push_back(it.end_);
    }
    indexed_ = true;
}

void LineList::MakeCompact() {
    Index();
    std::size_t write = 0;
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        const std::size_t b = Start(i), e = ends_[i];
        if (write != b) std::memmove(data_.data() + write, data_.data() + b, e - b);
        write += e - b;
        ends_[i] = write;
    }
    data_.resize(write);
    text_ = false;
}

void LineList::push_back(std::string_view line) {
    if (text_) MakeCompact();
    data_.append(line.data(), line.size());
    ends_.push_back(data_.size());
}

std::string LineList::TakeText() {
    std::string text = std::move(data_);
    clear();
    return text;
}

void LineList::clear() {
    data_.clear();
    ends_.clear();
    text_ = false;
}

void LineList::reserve(std::size_t lines, std::size_t bytes) {
    if (text_) MakeCompact();
    ReserveLarge(ends_, lines);
    ReserveLarge(data_, bytes);
}

LineList::const_iterator LineList::begin() const {
    const_iterator it;
    it.list_ = this;
    if (empty()) return it;
    it.begin_ = 0;
    it.end_ = text_ ? LineEnd(data_, 0) : ends_[0];
    return it;
}

LineList::const_iterator& LineList::const_iterator::operator++() {
    const LineList& l = *list_;
    ++index_;
    if (!l.text_) {
        if (index_ >= l.ends_.size()) {
            begin_ = kDone;
        } else {
            begin_ = l.ends_[index_ - 1];
            end_ = l.ends_[index_];
        }
        return *this;
    }
    const std::size_t n = l.data_.size();
    const std::size_t next = end_ >= n ? n : AfterBreak(l.data_, end_);
    if (next >= n) {
        begin_ = kDone;
        return *this;
    }
    begin_ = next;
    end_ = LineEnd(l.data_, next);
    return *this;
}

std::string LineList::ToText() const {
    std::string out;
    out.reserve(data_.size() + 2 * size());
    for (std::string_view line : *this) {
        out.append(line);
        out.append("\r\n");
    }
    return out;
}

std::vector<std::string> LineList::ToStrings() const {
    std::vector<std::string> v;
    v.reserve(size());
    for (std::string_view line : *this) v.emplace_back(line);
    return v;
}

}  // namespace ferro
