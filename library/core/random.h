// The random generator's state for tests: the raw tempered words it hands out.
#pragma once

#include <cstdint>

namespace zq {

// The next raw 32-bit output (what GetRandom scales), seeding with 4357 when never seeded.
uint32_t NextRandomWord();

}  // namespace zq
