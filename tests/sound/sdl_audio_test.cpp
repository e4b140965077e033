// The SDL host's audio service on SDL's "disk" driver, which writes the mixed output to a file: a
// tone comes out at its level, pan and pitch and loops cleanly. An unknown driver means no device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/host_sdl.h"
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

}  // namespace
