// Sound handles and playback on the virtual host: start-up with and without an audio device,
// loading, buffer rotation and the top flag, play types, volume, deletion and the log lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/handles.h"
#include "sound/sound.h"
#include "sound_test_support.h"
#include "support/log_file_fixture.h"

using namespace soundtest;

namespace {

// A log text as the file holds it: Shift-JIS, lines ending in CR LF.
std::string Sjis(const char *utf8) {
    char out[1024];
    Utf8ToShiftJis(utf8, out, sizeof out);
    std::string text;
    for (const char *p = out; *p != '\0'; ++p) text += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    return text;
}

class SoundTest : public LogFileTest {
protected:
    void SetUp() override {
        LogFileTest::SetUp();
        std::filesystem::create_directory(scratch_ / "GAZUMO");
        for (const char *name : {"hit.wav", "hushuu.mp3"}) {
            std::filesystem::copy_file(SourceDir() + "/assets/GAZUMO/" + name, scratch_ / "GAZUMO" / name);
        }
    }

    zq::SoundRecord *Record(int handle) { return static_cast<zq::SoundRecord *>(zq::ValidateHandle(handle, zq::HandleKind::Sound)); }

    // A sound of a constant level, so that mixed copies add up visibly.
    int ConstantSound(int level, int frames, int buffers) {
        const Bytes file = PcmWave(std::vector<int16_t>(static_cast<size_t>(2 * frames), static_cast<int16_t>(level)), 2, 44100);
        return CreateSoundFromMemory(file.data(), static_cast<int>(file.size()), buffers, -1);
    }

    std::vector<int16_t> Mix(int frames) {
        std::vector<int16_t> out(2 * static_cast<size_t>(frames));
        host.MixAudio(out.data(), frames);
        return out;
    }

    int Position(int buffer) {
        int bytes = -1;
        host.GetSoundBufferPosition(buffer, &bytes);
        return bytes;
    }
};

TEST_F(SoundTest, StartsTheDeviceWithASilentLoopAndLogsIt) {
    Start();
    EXPECT_TRUE(host.AudioDeviceOpen());
    const std::string log = ReadLog();
    for (const char *line : {"DirectSound の初期化を行います\n", "成功\n", "DirectSound デバイスを列挙します\n",
                             "モジュール名:        virtual  ドライバ記述:virtual output ", "利用可能チャンネル\n",
                             "DirectSound の初期化は正常に終了しました\n"}) {
        EXPECT_NE(log.find(Sjis(line)), std::string::npos) << line;
    }
    // The silent buffer plays and adds nothing.
    const std::vector<int16_t> out = Mix(1000);
    EXPECT_EQ(Peak(Channel(out, 0)), 0);
    EndLibrary();
    EXPECT_FALSE(host.AudioDeviceOpen());
    EXPECT_NE(ReadLog().find(Sjis("DirectSound の終了処理は正常に終了しました\n")), std::string::npos);
}

TEST_F(SoundTest, WithoutADeviceEverythingFailsQuietlyAndTheProgramRuns) {
    host.SetNoAudioDevice(true);
    Start();
    EXPECT_NE(ReadLog().find(Sjis("DirectSoundインターフェースの作成に失敗しました\n")), std::string::npos);
    const int handle = LoadSoundFile("GAZUMO\\hit.wav", 3, -1);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), -1);
    EXPECT_EQ(IsSoundPlaying(handle), -1);
    EXPECT_EQ(SetSoundVolume(80, handle), -1);
    EXPECT_EQ(DeleteAllSounds(), -1);
    EXPECT_EQ(ProcessMessages(), 0);
}

TEST_F(SoundTest, GameSoundsLoadFromTheirPaths) {
    Start();
    for (const char *path : {"GAZUMO\\hit.wav", "GAZUMO/hushuu.mp3"}) {
        SCOPED_TRACE(path);
        const int handle = LoadSoundFile(path, 3, -1);
        ASSERT_NE(handle, -1);
        EXPECT_EQ(Record(handle)->bufferCount, 3);
        EXPECT_EQ(SetSoundVolume(80, handle), 0);
    }
    const zq::SoundRecord *hit = Record(LoadSoundFile("GAZUMO\\hit.wav", 20, -1));
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->bufferCount, 10);  // capped
    EXPECT_EQ(hit->format.sampleRate, 22050u);
    EXPECT_EQ(hit->pcmSize, 9261 * 2);
}

TEST_F(SoundTest, LoadFailuresAreLoggedWithThePath) {
    Start();
    std::FILE *junk = std::fopen("junk.wav", "wb");
    std::fputs("not a sound at all, not even close to one", junk);
    std::fclose(junk);
    const size_t mark = ReadLog().size();
    EXPECT_EQ(LoadSoundFile("junk.wav", 3, -1), -1);
    EXPECT_EQ(LoadSoundFile("missing.wav", 3, -1), -1);
    const std::string log = LogSince(mark);
    for (const char *line : {"音声ファイルのＰＣＭへの変換に失敗しました\n", "右記の音声ファイルのロードに失敗しました_2：junk.wav\n",
                             "右記のファイルのオープンに失敗しました：missing.wav\n",
                             "右記の音声ファイルのロードに失敗しました_1：missing.wav\n"}) {
        EXPECT_NE(log.find(Sjis(line)), std::string::npos) << line;
    }
    // Files a reader takes but no buffer can play fail the same way, and the program goes on.
    const Bytes unplayable[] = {PcmWave(Sine(100, 1, 0.1, 1000), 1, 50), PcmWave({}, 2, 22050)};
    for (const Bytes &file : unplayable) EXPECT_EQ(CreateSoundFromMemory(file.data(), static_cast<int>(file.size()), 1, -1), -1);
    EXPECT_EQ(zq::HandleCount(zq::HandleKind::Sound), 0);  // nothing left behind
    const uint8_t image[] = {1, 2, 3};
    EXPECT_EQ(CreateSoundFromMemory(image, 3, 11, -1), -1);  // more than 10 buffers
}

TEST_F(SoundTest, DamagedFilesFailWithTheLogLineOrPlayWhatIsValid) {
    Start();
    // The fuzzing seeds' broken files: frames of sound when some of it is valid, 0 when refused.
    const std::pair<const char *, int> cases[] = {
        {"broken_truncated.wav", 128},          // the data chunk is cut short
        {"broken_data_size_lies.wav", 500},     // the data chunk claims 2 GB
        {"broken_fmt_size_lies.wav", 0},
        {"broken_chunk_skip_lies.wav", 0},      // a chunk that skips past the end
        {"broken_mp3_id3_size_lies.mp3", 0},    // the tag would cover the whole file
        {"broken_mp3_no_frame.mp3", 0},
        {"broken_mp3_truncated.mp3", -1},       // some frames
        {"broken_mp3_corrupt_frames.mp3", -1},
        {"broken_ogg_truncated.ogg", 0},
        {"broken_ogg_corrupt_page.ogg", 0},     // its one audio page is damaged
        {"broken_ogg_granule_large.ogg", -1},
    };
    for (const auto &[name, frames] : cases) {
        SCOPED_TRACE(name);
        const Bytes file = ReadFile(SourceDir() + "/fuzz/corpus/sound/" + name);
        ASSERT_FALSE(file.empty());
        const size_t mark = ReadLog().size();
        const int handle = CreateSoundFromMemory(file.data(), static_cast<int>(file.size()), 3, -1);
        if (frames == 0) {
            EXPECT_EQ(handle, -1);
            EXPECT_NE(LogSince(mark).find(Sjis("音声ファイルのＰＣＭへの変換に失敗しました")), std::string::npos);
            continue;
        }
        ASSERT_NE(handle, -1);
        const zq::SoundRecord *record = Record(handle);
        if (frames > 0) {
            EXPECT_EQ(record->pcmSize, frames * record->format.blockAlign);
        }
        EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
        Mix(1000);
        EXPECT_EQ(DeleteSoundHandle(handle), 0);
    }
    EXPECT_EQ(zq::HandleCount(zq::HandleKind::Sound), 0);
}

TEST_F(SoundTest, ThreeOverlappingStartsAllSound) {
    Start();
    const int handle = ConstantSound(3000, 20000, 3);
    ASSERT_NE(handle, -1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
        Mix(100);
    }
    const std::vector<int16_t> out = Mix(100);
    EXPECT_EQ(out[0], 9000);
    EXPECT_EQ(out[1], 9000);
}

TEST_F(SoundTest, StartsRotateBuffersAndTheTopFlagDecidesOverAPlayingOne) {
    Start();
    const int handle = ConstantSound(1000, 20000, 3);
    const zq::SoundRecord *record = Record(handle);
    const int b0 = record->buffers[0].buffer, b1 = record->buffers[1].buffer, b2 = record->buffers[2].buffer;
    // Starts go to buffers 1, 2, 0 (the index starts at 0, and each start moves to the next).
    for (int i = 0; i < 3; ++i) {
        StartSound(handle, PLAY_BACKGROUND, 1);
        Mix(1000);
    }
    EXPECT_EQ(Position(b1), 3000 * 4);
    EXPECT_EQ(Position(b2), 2000 * 4);
    EXPECT_EQ(Position(b0), 1000 * 4);
    // The fourth start with the top flag restarts the oldest copy.
    EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 1), 0);
    EXPECT_EQ(Position(b1), 0);
    EXPECT_EQ(host.SoundBufferStatus(b1), zq::kBufferPlaying);
    // Without the top flag a playing buffer is left alone.
    Mix(500);
    EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 0), 0);
    EXPECT_EQ(Position(b2), 2500 * 4);
    EXPECT_EQ(record->currentIndex, 2);
    // Without the top flag a stopped buffer continues where the last one stands.
    StopSound(handle);
    EXPECT_EQ(StartSound(handle, PLAY_BACKGROUND, 0), 0);
    EXPECT_EQ(Position(b0), 2500 * 4);
}

TEST_F(SoundTest, LoopingPlaysUntilStoppedAndRestartsFromTheTop) {
    Start();
    const int handle = ConstantSound(1000, 1000, 1);
    ASSERT_EQ(StartSound(handle, PLAY_LOOP, 1), 0);
    Mix(5500);
    EXPECT_EQ(IsSoundPlaying(handle), 1);
    EXPECT_EQ(StopSound(handle), 0);
    EXPECT_EQ(IsSoundPlaying(handle), 0);
    const int buffer = Record(handle)->buffers[0].buffer;
    EXPECT_EQ(Position(buffer), 500 * 4);  // a stop keeps the position
    ASSERT_EQ(StartSound(handle, PLAY_LOOP, 1), 0);
    EXPECT_EQ(Position(buffer), 0);
    EXPECT_EQ(host.SoundBufferStatus(buffer), zq::kBufferPlaying | zq::kBufferLooping);
    // A one-shot ends by itself.
    StartSound(handle, 7, 1);
    Mix(1001);
    EXPECT_EQ(IsSoundPlaying(handle), 0);
}

TEST_F(SoundTest, PlayWaitReturnsOnceTheSoundHasEnded) {
    Start();
    const int handle = LoadSoundFile("GAZUMO\\hit.wav", 3, -1);
    host.captureAudio = true;
    ASSERT_EQ(StartSound(handle, PLAY_WAIT, 1), 0);
    EXPECT_EQ(IsSoundPlaying(handle), 0);
    // hit.wav is 9261 frames at 22050 Hz: 18522 output frames, all heard before the return.
    const std::vector<int> left = Channel(host.capturedAudio, 0);
    EXPECT_GE(left.size(), 18522u);
    EXPECT_GT(Peak(left), 1000);
}

TEST_F(SoundTest, VolumeFollowsTheAttenuationCurve) {
    const std::pair<int, int> cases[] = {{255, 0},      {200, -105},    {128, -299}, {80, -503},
                                         {1, -2406},    {0, -10000},    {-5, -10000}, {300, 0}};
    for (auto [volume, attenuation] : cases) EXPECT_EQ(zq::VolumeToAttenuation(volume), attenuation) << volume;

    Start();
    const int handle = ConstantSound(20000, 20000, 2);
    EXPECT_EQ(SetSoundVolume(80, handle), 0);
    StartSound(handle, PLAY_BACKGROUND, 1);
    EXPECT_NEAR(Mix(10)[0], 20000 * std::pow(10.0, -503 / 2000.0), 2);
    SetSoundVolume(0, handle);
    EXPECT_EQ(Mix(10)[0], 0);
    EXPECT_EQ(SetSoundVolume(80, handle + 1), -1);
}

TEST_F(SoundTest, DeletedHandlesAreInvalidAndEndFreesEverything) {
    Start();
    const int a = ConstantSound(1000, 100, 3), b = ConstantSound(1000, 100, 3);
    StartSound(a, PLAY_LOOP, 1);
    EXPECT_EQ(DeleteSoundHandle(a), 0);
    EXPECT_EQ(DeleteSoundHandle(a), -1);
    EXPECT_EQ(StartSound(a, PLAY_BACKGROUND, 1), -1);
    EXPECT_EQ(IsSoundPlaying(a), -1);
    EXPECT_EQ(StopSound(a), -1);
    EXPECT_EQ(DeleteAllSounds(), 0);
    EXPECT_EQ(IsSoundPlaying(b), -1);
    EXPECT_EQ(zq::HandleCount(zq::HandleKind::Sound), 0);
}

}  // namespace
