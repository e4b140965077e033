// The random generator against a plain generator written here from the published steps:
// reference seeding (high halves of two 69069 steps per word), twist, temper.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/random.h"
#include "zqlib.h"

namespace {

// One word at a time, twisting each word when it is needed: a different shape from the library's
// whole-table refill, so both must agree on the arithmetic, not on the structure.
class PlainTwister {
public:
    explicit PlainTwister(uint32_t seed) {
        for (int i = 0; i < 624; ++i) {
            state_[i] = seed & 0xFFFF0000u;
            seed = seed * 69069u + 1u;
            state_[i] |= (seed & 0xFFFF0000u) >> 16;
            seed = seed * 69069u + 1u;
        }
    }

    uint32_t Next() {
        if (position_ == 624) {
            for (int k = 0; k < 624; ++k) {
                const uint32_t mixed = (state_[k] & 0x80000000u) | (state_[(k + 1) % 624] & 0x7FFFFFFFu);
                uint32_t next = state_[(k + 397) % 624] ^ (mixed >> 1);
                if (mixed % 2 == 1) next ^= 0x9908B0DFu;
                state_[k] = next;
            }
            position_ = 0;
        }
        uint32_t y = state_[position_++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        return y;
    }

private:
    uint32_t state_[624];
    int position_ = 624;
};

TEST(RandomTest, SeedingFollowsTheReferenceSeedingForTwoThousandOutputs) {
    SeedRandom(4357);
    const uint32_t first[] = {2867219139u, 1585203162u, 3113124129u, 2953900839u, 2463794868u};
    for (uint32_t expected : first) EXPECT_EQ(zq::NextRandomWord(), expected);

    for (uint32_t seed : {4357u, 1u, 0u, 0x7FFFFFFFu, 123456789u}) {
        SeedRandom(static_cast<int>(seed));
        PlainTwister plain(seed);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(zq::NextRandomWord(), plain.Next()) << "seed " << seed << " output " << i;
    }
}

TEST(RandomTest, GetRandomIsTheHighHalfOfTheScaledWord) {
    SeedRandom(4357);
    PlainTwister plain(4357);
    for (int i = 0; i < 2000; ++i) {
        const uint64_t word = plain.Next();
        ASSERT_EQ(GetRandom(439), static_cast<int>((word * 440u) >> 32)) << i;
    }
}

TEST(RandomTest, RangesHoldForPositiveZeroAndNegativeMaxima) {
    SeedRandom(99);
    struct Case {
        int max, low, high;
    };
    const Case cases[] = {{439, 0, 439}, {0, 0, 0}, {-1, 0, 0}, {-780, -779, 0}, {1, 0, 1}, {2147483647, 0, 2147483647}};
    for (const Case &c : cases) {
        int seenLow = c.high, seenHigh = c.low;
        for (int i = 0; i < 5000; ++i) {
            const int value = GetRandom(c.max);
            ASSERT_GE(value, c.low) << c.max;
            ASSERT_LE(value, c.high) << c.max;
            seenLow = value < seenLow ? value : seenLow;
            seenHigh = value > seenHigh ? value : seenHigh;
        }
        // A non-negative range is reached whole (for a negative one, 0 needs a zero word).
        if (c.max > 0 && c.max < 1000) {
            EXPECT_EQ(seenLow, c.low) << c.max;
            EXPECT_EQ(seenHigh, c.high) << c.max;
        }
    }
}

TEST(RandomTest, DrawBeforeAnySeedingSeedsWith4357) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A fresh process: nothing has seeded the generator yet.
    EXPECT_EXIT(std::exit(zq::NextRandomWord() == 2867219139u ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
