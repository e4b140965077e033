// The SDL host's audio service on SDL's "disk" driver, which writes the mixed output to a file: a
// tone comes out at its level, pan and pitch and loops cleanly; sounds started, looped, stopped and
// attenuated through the sound calls come out as they should. An unknown driver means no device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/host_sdl.h"
#include "sound/sound.h"
#include "zqlib.h"
#include "sound_test_support.h"

using namespace soundtest;

namespace {

TEST(SdlAudio, DiskDriverRecordsTheMixedTone) {
    const std::string path = std::filesystem::temp_directory_path() / ("zq_disk_audio_" + std::to_string(getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    {
        zq::HostSdl host;
        ASSERT_TRUE(host.OpenAudioDevice()) << host.LastError();
        // 10 periods of 441 Hz in 500 frames at 22050 Hz, played at 33075 Hz: 661.5 Hz.
        const std::vector<int16_t> tone = Sine(500, 1, 10.0 / 500, 16000);
        const int id = host.CreateSoundBuffer({1, 22050, 16}, 1000);
        void *part1, *part2;
        int size1, size2;
        ASSERT_TRUE(host.LockSoundBuffer(id, 0, 1000, &part1, &size1, &part2, &size2));
        std::memcpy(part1, tone.data(), 1000);
        host.UnlockSoundBuffer(id);
        host.SetSoundBufferVolume(id, -600);
        host.SetSoundBufferPan(id, 2000);
        host.SetSoundBufferFrequency(id, 33075);
        host.PlaySoundBuffer(id, true);
        // Wait until the driver has written a second of sound (however long that takes).
        for (int i = 0; i < 600 && (!std::filesystem::exists(path) || std::filesystem::file_size(path) < 4u * 44100u * 3 / 2); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        host.CloseAudioDevice();
    }
    unsetenv("SDL_AUDIODRIVER");
    const Bytes raw = ReadFile(path);
    std::filesystem::remove(path);
    const std::vector<int16_t> out = BytesToSamples(raw.data(), raw.size());
    // Skip the silence before the start, then look at one second.
    size_t start = 0;
    while (start < out.size() / 2 && out[2 * start + 1] == 0) ++start;
    ASSERT_GE(out.size() / 2, start + 44100);
    const std::vector<int> left = Channel(out, 0, start + 100, 44000), right = Channel(out, 1, start + 100, 44000);
    const double level = 16000 * std::pow(10.0, -600 / 2000.0) / std::sqrt(2.0);
    EXPECT_NEAR(Rms(right), level, level * 0.03);
    EXPECT_NEAR(Rms(left), level * 0.1, level * 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(right, 44100), 661.5, 1.0);
    EXPECT_LE(LargestStep(right), 16000 * 0.501 * 2 * M_PI * 661.5 / 44100 * 1.05 + 2);
}

TEST(SdlAudio, UnknownDriverMeansNoDevice) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    zq::HostSdl host;
    EXPECT_FALSE(host.OpenAudioDevice());
    EXPECT_EQ(host.CreateSoundBuffer({2, 44100, 16}, 400), 0);
    EXPECT_EQ(host.SoundBufferStatus(1), -1);
    unsetenv("SDL_AUDIODRIVER");
}

// The sound calls on the real SDL host with the disk driver. Sounds are of a constant level, so
// that overlapping copies add up to plain multiples of it; times are counted in frames of the
// recorded output, which the driver writes at the pace of a real device.
class SdlSoundTest : public ::testing::Test {
protected:
    static constexpr int kSlack = 2048;  // frames: a start lands within a period or two

    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() / ("zq_disk_sound_" + std::to_string(getpid()) + ".raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
        SetLogOutputEnabled(0);
        zq::InstallHost(&host_);
        ASSERT_EQ(zq::InitSound(), 0) << host_.LastError();
    }
    void TearDown() override {
        zq::EndSound();
        zq::InstallHost(nullptr);
        unsetenv("SDL_AUDIODRIVER");
        SetLogOutputEnabled(1);
        std::filesystem::remove(path_);
    }

    static int ConstantSound(int level, int frames, int buffers) {
        const Bytes file = PcmWave(std::vector<int16_t>(2 * static_cast<size_t>(frames), static_cast<int16_t>(level)), 2, 44100);
        return CreateSoundFromMemory(file.data(), static_cast<int>(file.size()), buffers, -1);
    }
    // Frames the driver has written so far.
    size_t Written() const {
        std::error_code error;
        const auto size = std::filesystem::file_size(path_, error);
        return error ? 0 : size / 4;
    }
    // Waits until the driver has written `frames` frames (however long that takes under load).
    size_t WaitFor(size_t frames) const {
        for (int i = 0; i < 6000 && Written() < frames; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Written();
    }
    // Stops the device and returns the left channel of everything it wrote.
    std::vector<int> Recording() {
        zq::EndSound();
        const Bytes raw = ReadFile(path_);
        return Channel(BytesToSamples(raw.data(), raw.size()), 0);
    }

    // The runs of equal level after the first sound, as (level, length in frames), without the
    // silence at both ends.
    static std::vector<std::pair<int, int>> Plateaus(const std::vector<int> &out) {
        std::vector<std::pair<int, int>> runs;
        for (int v : out) {
            if (!runs.empty() && runs.back().first == v) {
                ++runs.back().second;
            } else {
                runs.emplace_back(v, 1);
            }
        }
        while (!runs.empty() && runs.front().first == 0) runs.erase(runs.begin());
        while (!runs.empty() && runs.back().first == 0) runs.pop_back();
        return runs;
    }

    zq::HostSdl host_;
    std::string path_;
};

TEST_F(SdlSoundTest, FourthTopStartRestartsTheOldestOfThreeBuffers) {
    const int level = 3000, length = 44100;
    const int handle = ConstantSound(level, length, 3);
    ASSERT_NE(handle, -1);
    // Starts 0.1, 0.2 and 0.3 s apart, all while the first copy still plays: unequal gaps tell
    // which copy the fourth start took over.
    const int gaps[] = {4410, 8820, 13230};
    size_t at[4];
    at[0] = WaitFor(4410);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) at[i] = WaitFor(at[i - 1] + gaps[i - 1]);
        ASSERT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
    }
    EXPECT_EQ(IsSoundPlaying(handle), 1);
    WaitFor(at[3] + length + 8820);
    const std::vector<int> out = Recording();
    EXPECT_EQ(Peak(out), 3 * level);  // never a fourth copy

    // Rising one copy per start, then the copies of the second and third starts end, and last the
    // restarted first one: 1, 2, 3 copies, then 2 for the second gap and 1 for the third.
    const std::vector<std::pair<int, int>> runs = Plateaus(out);
    ASSERT_EQ(runs.size(), 5u);
    const int levels[] = {1, 2, 3, 2, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(runs[i].first, levels[i] * level) << i;
    EXPECT_NEAR(runs[0].second, static_cast<int>(at[1] - at[0]), kSlack);
    EXPECT_NEAR(runs[1].second, static_cast<int>(at[2] - at[1]), kSlack);
    EXPECT_NEAR(runs[3].second, static_cast<int>(at[2] - at[1]), kSlack);
    EXPECT_NEAR(runs[4].second, static_cast<int>(at[3] - at[2]), kSlack);
    // From the first start to the end of the restarted copy.
    int total = 0;
    for (const auto &run : runs) total += run.second;
    EXPECT_NEAR(total, static_cast<int>(at[3] - at[0]) + length, kSlack);
}

TEST_F(SdlSoundTest, VolumeEightyScalesTheOutputByTheCurvesGain) {
    const int level = 20000, length = 8820;
    const int handle = ConstantSound(level, length, 1);
    ASSERT_NE(handle, -1);
    size_t at = WaitFor(4410);
    ASSERT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
    at = WaitFor(at + length + 4410);
    ASSERT_EQ(IsSoundPlaying(handle), 0);
    ASSERT_EQ(SetSoundVolume(80, handle), 0);
    ASSERT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
    WaitFor(at + length + 4410);
    const std::vector<std::pair<int, int>> runs = Plateaus(Recording());
    // Full level, silence between, the attenuated level; each as long as the sound.
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].first, level);
    EXPECT_EQ(runs[0].second, length);
    EXPECT_EQ(runs[1].first, 0);
    EXPECT_EQ(runs[2].second, length);
    const double gain = std::pow(10.0, zq::VolumeToAttenuation(80) / 2000.0);  // -5.03 dB
    EXPECT_NEAR(static_cast<double>(runs[2].first) / runs[0].first, gain, 1e-4);
}

TEST_F(SdlSoundTest, LoopingSoundPlaysUntilStoppedThenSilence) {
    const int level = 5000, length = 4410;
    const int handle = ConstantSound(level, length, 1);
    ASSERT_NE(handle, -1);
    const size_t start = WaitFor(4410);
    ASSERT_EQ(StartSound(handle, PLAY_LOOP, 1), 0);
    const size_t stop = WaitFor(start + 6 * length);
    EXPECT_EQ(IsSoundPlaying(handle), 1);
    ASSERT_EQ(StopSound(handle), 0);
    EXPECT_EQ(IsSoundPlaying(handle), 0);
    WaitFor(stop + 13230);
    const std::vector<int> out = Recording();
    const std::vector<std::pair<int, int>> runs = Plateaus(out);
    // One unbroken run at the sound's level, well past its length, ending at the stop.
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].first, level);
    EXPECT_NEAR(runs[0].second, static_cast<int>(stop - start), kSlack);
    EXPECT_GT(runs[0].second, 5 * length);
    size_t last = out.size();
    while (last > 0 && out[last - 1] == 0) --last;
    EXPECT_GE(out.size() - last, 8820u);  // silence after the stop
}

TEST(SdlSound, WithoutAnAudioDeviceTheCallsFailAndNothingBreaks) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SetLogOutputEnabled(0);
    zq::HostSdl host;
    zq::InstallHost(&host);
    EXPECT_EQ(zq::InitSound(), -1);
    const Bytes file = PcmWave(Sine(1000, 2, 0.01, 8000), 2, 44100);
    const int handle = CreateSoundFromMemory(file.data(), static_cast<int>(file.size()), 3, -1);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(LoadSoundFile("GAZUMO\\hit.wav", 3, -1), -1);
    EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), -1);
    EXPECT_EQ(StartSound(0x10000000, PLAY_LOOP, 1), -1);
    EXPECT_EQ(SetSoundVolume(80, handle), -1);
    EXPECT_EQ(IsSoundPlaying(handle), -1);
    EXPECT_EQ(StopSound(handle), -1);
    EXPECT_EQ(DeleteAllSounds(), -1);
    EXPECT_EQ(zq::EndSound(), -1);
    zq::InstallHost(nullptr);
    unsetenv("SDL_AUDIODRIVER");
    SetLogOutputEnabled(1);
}

}  // namespace
