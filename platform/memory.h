// Large buffers. A buffer of hundreds of megabytes touched for the first
// time costs a page fault per 4 KiB page, and on virtual machines those
// faults cost more than the work done on the bytes; backed by 2 MiB pages
// the same buffer costs a few hundred faults.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ferro {

// Asks the system to back the untouched memory [p, p + n) with large pages
// where it can; only whole large pages inside the range are affected. A
// hint: nothing changes where the system refuses.
void PreferLargePages(const void* p, std::size_t n);

// Reserves room for n bytes or items, backed by large pages when that room
// is large and newly allocated.
void ReserveLarge(std::string& s, std::size_t n);
template <class T>
void ReserveLarge(std::vector<T>& v, std::size_t n) {
    if (n <= v.capacity()) return;
    v.reserve(n);
    PreferLargePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

}  // namespace ferro
