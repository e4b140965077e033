// The random generator: a Mersenne Twister (MT19937) seeded as its 1998 reference code seeds it
// (each state word from the high halves of two steps of a 69069 linear congruential generator),
// refilled 624 words at a time, handing out one tempered word per draw.
#include "core/random.h"

#include "zqlib.h"

namespace zq {
namespace {

constexpr int kStateWords = 624;
constexpr int kShift = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;
constexpr int kDefaultSeed = 4357;

struct RandomState {
    uint32_t mt[kStateWords] = {};
    uint32_t out[kStateWords] = {};
    int index = kStateWords;  // empty until the first refill
    int seeded = 0;
};

RandomState &State() {
    static RandomState state;
    return state;
}

// Twists all 624 words in ascending order (words below k are already new) and tempers them.
void Refill(RandomState &s) {
    // Three runs so that no index wraps inside a loop: k + 397 wraps at 227, k + 1 at 623.
    auto twist = [&s](int k, int next, int far) {
        const uint32_t y = (s.mt[k] & kUpperMask) | (s.mt[next] & kLowerMask);
        s.mt[k] = s.mt[far] ^ (y >> 1) ^ ((0u - (y & 1u)) & kMatrix);
    };
    int k = 0;
    for (; k < kStateWords - kShift; ++k) twist(k, k + 1, k + kShift);
    for (; k < kStateWords - 1; ++k) twist(k, k + 1, k + kShift - kStateWords);
    twist(kStateWords - 1, 0, kShift - 1);
    for (int k = 0; k < kStateWords; ++k) {
        uint32_t y = s.mt[k];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        s.out[k] = y;
    }
    s.index = 0;
}

}  // namespace

uint32_t NextRandomWord() {
    RandomState &s = State();
    if (s.index >= kStateWords) {
        if (!s.seeded) SeedRandom(kDefaultSeed);
        else Refill(s);
    }
    return s.out[s.index++];
}

}  // namespace zq

extern "C" void SeedRandom(int seed) {
    zq::RandomState &s = zq::State();
    uint32_t x = static_cast<uint32_t>(seed);
    for (int i = 0; i < zq::kStateWords; ++i) {
        s.mt[i] = x & 0xFFFF0000u;
        x = 69069u * x + 1u;
        s.mt[i] |= x >> 16;
        x = 69069u * x + 1u;
    }
    s.seeded = 1;
    zq::Refill(s);
}

extern "C" int GetRandom(int max) {
    // The high half of the signed 64-bit product: 0..max, or max+1..0 for a negative max.
    const int64_t product = static_cast<int64_t>(zq::NextRandomWord()) * (static_cast<int64_t>(max) + 1);
    return static_cast<int>(product >> 32);
}
