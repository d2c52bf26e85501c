#include "platform/memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace ferro {

void PreferLargePages(const void* p, std::size_t n) {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
    // Below a few large pages the hint is not worth a call.
    if (n < 4 * kLarge) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kLarge - 1) & ~(kLarge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(kLarge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

void ReserveLarge(std::string& s, std::size_t n) {
    if (n <= s.capacity()) return;
    s.reserve(n);
    PreferLargePages(s.data() + s.size(), s.capacity() - s.size());
}

}  // namespace ferro
