// Sound: the mixer's throughput in voices mixed per second of output (how many voices one core
// could keep up with in real time), and MP3 decoding speed as a multiple of real time, ours and
// SDL2_mixer's on the same minute of music.
#include <SDL.h>
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "platform/audio_mixer.h"
#include "sound/converter.h"
#include "zqlib.h"

namespace {

constexpr int kPeriodFrames = 1024;  // one audio callback's worth

// args: voice count, 1 when the voices are resampled (22050 Hz mono data) instead of plain.
void BM_MixVoices(benchmark::State &state) {
    const int voices = static_cast<int>(state.range(0));
    const bool resampled = state.range(1) != 0;
    zq::AudioMixer mixer;
    mixer.Open();
    const zq::SoundBufferFormat format = resampled ? zq::SoundBufferFormat{1, 22050, 16} : zq::SoundBufferFormat{2, 44100, 16};
    const int bytes = 44100 * 2 * format.channels / (resampled ? 2 : 1);
    for (int v = 0; v < voices; ++v) {
        const int id = mixer.Create(format, bytes);
        void *part1, *part2;
        int size1, size2;
        mixer.Lock(id, 0, bytes, &part1, &size1, &part2, &size2);
        auto *samples = static_cast<int16_t *>(part1);
        for (int i = 0; i < bytes / 2; ++i) samples[i] = static_cast<int16_t>(8000 * std::sin(i * 0.01 * (v + 1)));
        mixer.SetVolume(id, -300);
        mixer.SetPan(id, (v % 5 - 2) * 1000);
        if (resampled) mixer.SetFrequency(id, 22050 + 300 * v);
        mixer.Play(id, true);
    }
    std::vector<int16_t> out(2 * kPeriodFrames);
    for (auto _ : state) {
        mixer.Mix(out.data(), kPeriodFrames);
        benchmark::DoNotOptimize(out.data());
    }
    const double seconds = static_cast<double>(state.iterations()) * kPeriodFrames / zq::kMixerRate;
    state.counters["voice_seconds_per_s"] = benchmark::Counter(seconds * voices, benchmark::Counter::kIsRate);
    mixer.Close();
}
BENCHMARK(BM_MixVoices)->Args({1, 0})->Args({16, 0})->Args({16, 1})->Args({64, 1});

std::vector<uint8_t> GameMusic() {
    const char *dir = std::getenv("ZQ_SOURCE_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/assets/GAZUMO/hushuu.mp3", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One minute of the game's 128 kbit/s music: its audio frames repeated until 60 s are reached.
// The leading information frame is left out, as it states the length of the 38.4 s original and
// a gapless decoder would stop there. Empty when the music is missing.
const std::vector<uint8_t> &OneMinuteMp3() {
    static const std::vector<uint8_t> minute = [] {
        const std::vector<uint8_t> music = GameMusic();
        std::vector<std::pair<size_t, size_t>> frames;  // offset, length
        for (size_t at = 0; at + 4 <= music.size();) {
            zq::MpegFrameHeader header;
            if (zq::ParseMpegFrameHeader(&music[at], &header) != 0 || at + header.frameLength > music.size()) break;
            frames.emplace_back(at, header.frameLength);
            at += header.frameLength;
        }
        std::vector<uint8_t> out;
        if (frames.size() < 2) return out;
        const int wanted = (60 * 44100 + 1151) / 1152;
        for (int n = 0; n < wanted; ++n) {
            const auto [offset, length] = frames[1 + n % (frames.size() - 1)];
            out.insert(out.end(), music.begin() + static_cast<long>(offset), music.begin() + static_cast<long>(offset + length));
        }
        return out;
    }();
    return minute;
}

// One minute of 128 kbit/s MP3 decoded whole by our converter, from a memory stream as loading a
// sound does; the counter is seconds of sound per second of decoding.
void BM_DecodeMp3Minute(benchmark::State &state) {
    const std::vector<uint8_t> &file = OneMinuteMp3();
    if (file.empty()) {
        state.SkipWithError("assets/GAZUMO/hushuu.mp3 not found (set ZQ_SOURCE_DIR)");
        return;
    }
    double soundSeconds = 0;
    for (auto _ : state) {
        zq::MemoryStream *stream = zq::CreateMemoryStream(file.data(), static_cast<int32_t>(file.size()));
        zq::SoundConverter converter;
        if (zq::SetupSoundConverter(zq::MemorySource(stream), &converter) != 0) {
            state.SkipWithError("the converter refused the file");
            zq::GetMemoryStreamOps().Close(stream);
            return;
        }
        zq::SoundFormat format;
        void *pcm = nullptr;
        int size = 0;
        zq::ConvertWholeSound(&converter, &format, &pcm, &size);
        soundSeconds += static_cast<double>(size) / format.averageBytesPerSecond;
        TrackedFree(pcm);
        zq::EndSoundConverter(&converter);
        zq::GetMemoryStreamOps().Close(stream);
    }
    state.counters["x_realtime"] = benchmark::Counter(soundSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeMp3Minute)->Unit(benchmark::kMillisecond);

// The same minute decoded whole by SDL2_mixer (Mix_LoadWAV_RW) into a 44.1 kHz 16-bit stereo
// chunk, the device format, so that it does no resampling either; on SDL's dummy audio driver.
void BM_DecodeMp3MinuteSdlMixer(benchmark::State &state) {
    const std::vector<uint8_t> &file = OneMinuteMp3();
    if (file.empty()) {
        state.SkipWithError("assets/GAZUMO/hushuu.mp3 not found (set ZQ_SOURCE_DIR)");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudioDevice(44100, AUDIO_S16LSB, 2, 1024, nullptr, 0) != 0) {
        state.SkipWithError(Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    double soundSeconds = 0;
    for (auto _ : state) {
        Mix_Chunk *chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
        if (chunk == nullptr) {
            state.SkipWithError(Mix_GetError());
            break;
        }
        soundSeconds += static_cast<double>(chunk->alen) / (44100 * 4);
        Mix_FreeChunk(chunk);
    }
    state.counters["x_realtime"] = benchmark::Counter(soundSeconds, benchmark::Counter::kIsRate);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
BENCHMARK(BM_DecodeMp3MinuteSdlMixer)->Unit(benchmark::kMillisecond);

}  // namespace
