#include "textops/lines.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ferro {

namespace {

// Index of the first CR or LF in d[from, n), or n. Sixteen bytes at a time
// where the processor allows: files of millions of short lines spend most of
// their reading time here.
std::size_t FindBreak(const char* d, std::size_t from, std::size_t n) {
    std::size_t i = from;
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
    return n;
}

}  // namespace

LineList LineList::FromText(std::string&& text) {
    LineList list;
    list.data_ = std::move(text);
    std::string& d = list.data_;
    const std::size_t n = d.size();
    // A rough guess of the line count saves most regrowth of the ends.
    list.ends_.reserve(n / 32 + 1);
    char* p = d.data();
    std::size_t read = 0, write = 0;
    while (read < n) {
        // Move the run up to the next break over the breaks removed so far.
        const std::size_t brk = FindBreak(p, read, n);
        const std::size_t run = brk - read;
        if (write != read && run) std::memmove(p + write, p + read, run);
        write += run;
        read = brk;
        list.ends_.push_back(write);
        if (read >= n) break;  // a last line without a break
        // A break: CR LF, LF or CR.
        read += (p[read] == '\r' && read + 1 < n && p[read + 1] == '\n') ? 2 : 1;
    }
    d.resize(write);
    return list;
}

std::string LineList::ToText() const {
    std::string out;
    out.reserve(data_.size() + 2 * ends_.size());
    for (std::size_t i = 0; i < size(); ++i) {
        out.append((*this)[i]);
        out.append("\r\n");
    }
    return out;
}

std::vector<std::string> LineList::ToStrings() const {
    std::vector<std::string> v;
    v.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) v.emplace_back((*this)[i]);
    return v;
}

}  // namespace ferro
