// The program's one pseudo-random generator: seeded once from the clock at
// start-up, shared by every feature that picks something at random.
#pragma once

#include <cstdint>

namespace ferro {

void SeedRandomFromClock();
void SeedRandom(uint64_t seed);
// A whole number r with 0 <= r < bound; 0 when bound < 1.
int RandomBelow(int bound);

}  // namespace ferro
