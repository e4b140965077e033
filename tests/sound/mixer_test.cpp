// The mixer on its own: level, pan, pitch through resampling, clean loops, saturation, shared data
// of duplicates, one-shot ends and locked regions.
#include <gtest/gtest.h>

#include "platform/audio_mixer.h"
#include "sound_test_support.h"

using namespace soundtest;
using zq::AudioMixer;

namespace {

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mixer.Open()); }

    // A buffer holding these samples.
    int Buffer(const std::vector<int16_t> &samples, int channels, int rate) {
        const int bytes = static_cast<int>(samples.size() * 2);
        const int id = mixer.Create({channels, rate, 16}, bytes);
        void *part1, *part2;
        int size1, size2;
        EXPECT_TRUE(mixer.Lock(id, 0, bytes, &part1, &size1, &part2, &size2));
        std::memcpy(part1, samples.data(), static_cast<size_t>(bytes));
        mixer.Unlock(id);
        return id;
    }
    std::vector<int16_t> Mix(int frames) {
        std::vector<int16_t> out(2 * static_cast<size_t>(frames));
        mixer.Mix(out.data(), frames);
        return out;
    }

    AudioMixer mixer;
};

TEST_F(MixerTest, VolumeAndPanScaleEachSide) {
    struct Case {
        int volume, pan;
        double left, right;  // expected gains
    } cases[] = {
        {0, 0, 1, 1},       {-600, 0, 0.501, 0.501}, {0, 2000, 0.1, 1},     {0, -2000, 1, 0.1},
        {0, 10000, 0, 1},   {-10000, 0, 0, 0},       {-600, -600, 0.501, 0.251},
    };
    const int id = Buffer(std::vector<int16_t>(2000, 20000), 2, zq::kMixerRate);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.volume << " " << c.pan);
        ASSERT_TRUE(mixer.SetPan(id, c.pan));
        ASSERT_TRUE(mixer.SetVolume(id, c.volume));
        mixer.SetPosition(id, 0);
        mixer.Play(id, true);
        const std::vector<int16_t> out = Mix(100);
        EXPECT_NEAR(out[0], 20000 * c.left, 20);
        EXPECT_NEAR(out[1], 20000 * c.right, 20);
    }
    EXPECT_FALSE(mixer.SetVolume(id, 1));
    EXPECT_FALSE(mixer.SetPan(id, 10001));
}

TEST_F(MixerTest, SumsSaturateInsteadOfWrapping) {
    const int a = Buffer(std::vector<int16_t>(200, 30000), 1, zq::kMixerRate);
    const int b = Buffer(std::vector<int16_t>(200, 30000), 1, zq::kMixerRate);
    const int c = Buffer(std::vector<int16_t>(200, -30000), 2, zq::kMixerRate);
    const int d = Buffer(std::vector<int16_t>(200, -30000), 2, zq::kMixerRate);
    mixer.Play(a, false);
    mixer.Play(b, false);
    EXPECT_EQ(Mix(10)[0], 32767);
    mixer.Stop(a);
    mixer.Stop(b);
    mixer.Play(c, false);
    mixer.Play(d, false);
    EXPECT_EQ(Mix(10)[1], -32768);
}

TEST_F(MixerTest, FrequencyResamplesAndLoopsHaveNoClick) {
    // 500 frames at 22050 Hz hold exactly 10 periods of 441 Hz; played looping at 44100 Hz output.
    const int id = Buffer(Sine(500, 1, 10.0 / 500, 16000), 1, 22050);
    struct Case {
        int frequency;
        double heard;
    } cases[] = {{0, 441}, {22050, 441}, {44100, 882}, {11025, 220.5}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.frequency);
        ASSERT_TRUE(mixer.SetFrequency(id, c.frequency));
        mixer.Play(id, true);
        const std::vector<int> left = Channel(Mix(44100), 0);
        EXPECT_NEAR(ZeroCrossingFrequency(left, zq::kMixerRate), c.heard, 1.0);
        EXPECT_NEAR(Rms(left), 16000 / std::sqrt(2.0), 200);
        // The steepest step of a clean sine of this pitch; a click at the loop point would exceed it.
        const double steepest = 16000 * 2 * M_PI * c.heard / zq::kMixerRate;
        EXPECT_LE(LargestStep(left), steepest * 1.05 + 2);
    }
    EXPECT_FALSE(mixer.SetFrequency(id, 50));
}

TEST_F(MixerTest, EightBitDataIsUnsignedAndDuplicatesShareData) {
    const int id = mixer.Create({1, 8000, 8}, 100);
    const int copy = mixer.Duplicate(id);
    ASSERT_NE(copy, 0);
    mixer.Play(copy, true);
    EXPECT_EQ(Mix(10)[0], 0);  // new 8-bit data is silence (0x80)
    void *part1, *part2;
    int size1, size2;
    ASSERT_TRUE(mixer.Lock(id, 0, 100, &part1, &size1, &part2, &size2));
    std::memset(part1, 0xC0, 100);
    mixer.Unlock(id);
    EXPECT_EQ(Mix(10)[0], 0x40 << 8);  // the copy plays what was written into the original
    // Releasing the original leaves the copy's data alive.
    EXPECT_TRUE(mixer.Release(id));
    EXPECT_EQ(Mix(10)[0], 0x40 << 8);
    EXPECT_EQ(mixer.Status(id), -1);
}

TEST_F(MixerTest, OneShotsEndAndLocksWrapAtTheEnd) {
    const int id = Buffer(std::vector<int16_t>(400, 1000), 2, zq::kMixerRate);
    mixer.SetPosition(id, 100 * 4);
    mixer.Play(id, false);
    EXPECT_EQ(mixer.Status(id), zq::kBufferPlaying);
    const std::vector<int16_t> out = Mix(150);
    EXPECT_EQ(out[2 * 99], 1000);
    EXPECT_EQ(out[2 * 100], 0);
    EXPECT_EQ(mixer.Status(id), 0);
    int position = -1;
    mixer.GetPosition(id, &position);
    EXPECT_EQ(position, 0);

    void *part1, *part2;
    int size1, size2;
    ASSERT_TRUE(mixer.Lock(id, 700, 200, &part1, &size1, &part2, &size2));
    EXPECT_EQ(size1, 100);
    EXPECT_EQ(size2, 100);
    EXPECT_NE(part2, nullptr);
    EXPECT_FALSE(mixer.Lock(id, 800, 10, &part1, &size1, &part2, &size2));
    EXPECT_FALSE(mixer.Lock(id, 0, 801, &part1, &size1, &part2, &size2));
    EXPECT_EQ(mixer.Create({3, 8000, 16}, 100), 0);
    EXPECT_EQ(mixer.Create({2, 8000, 24}, 100), 0);
}

}  // namespace
