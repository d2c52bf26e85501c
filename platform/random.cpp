#include "platform/random.h"

#include <chrono>
#include <random>

namespace ferro {
namespace {
std::mt19937_64& Generator() {
    static std::mt19937_64 gen(5489u);
    return gen;
}
}  // namespace

void SeedRandomFromClock() {
    SeedRandom(static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
}

void SeedRandom(uint64_t seed) { Generator().seed(seed); }

int RandomBelow(int bound) {
    if (bound < 1) return 0;
    std::uniform_int_distribution<int> d(0, bound - 1);
    return d(Generator());
}

}  // namespace ferro
