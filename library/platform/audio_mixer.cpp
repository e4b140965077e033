// The software mixer: buffer table, shared PCM data with a reference count, and the mixing loop,
// one instantiation per sample layout so that no branch in the loop depends on the format.
#include "platform/audio_mixer.h"

#include "zqlib.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace zq {

struct AudioMixer::SharedData {
    int references;
    int size;
    uint8_t *bytes;  // follows the record in the same allocation
};

struct AudioMixer::Voice {
    bool used;
    SharedData *data;
    SoundBufferFormat format;
    int frameBytes;
    int frames;
    bool playing;
    bool looping;
    uint64_t position;  // frames in 32.32 fixed point
    uint64_t step;      // source frames per output frame in 32.32 fixed point
    int volume;
    int pan;
    int frequency;
    int32_t gainLeft, gainRight;  // 1/65536 units
};

namespace {

constexpr int kMixChunkFrames = 256;
constexpr int kUnityGain = 65536;

uint64_t StepOf(int frequency) { return (static_cast<uint64_t>(frequency) << 32) / kMixerRate; }

template <int Bits>
inline int32_t SampleAt(const uint8_t *p) {
    if constexpr (Bits == 16) {
        return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
    } else {
        return (static_cast<int32_t>(p[0]) - 128) << 8;
    }
}

// Mixes one voice into the accumulator; returns false once a one-shot voice has run out.
template <int Bits, int Channels>
bool MixVoice(const uint8_t *data, int frames, bool looping, uint64_t &position, uint64_t step, int32_t gainLeft,
              int32_t gainRight, int32_t *acc, int count) {
    constexpr int kSampleBytes = Bits / 8;
    constexpr int kFrameBytes = kSampleBytes * Channels;
    const uint64_t length = static_cast<uint64_t>(frames) << 32;
    for (int i = 0; i < count; ++i) {
        if (position >= length) {
            if (!looping) return false;
            position %= length;
        }
        const uint32_t index = static_cast<uint32_t>(position >> 32);
        uint32_t next = index + 1;
        if (next >= static_cast<uint32_t>(frames)) next = looping ? 0 : index;
        const int32_t fraction = static_cast<int32_t>((position >> 17) & 0x7FFF);
        const uint8_t *a = data + static_cast<size_t>(index) * kFrameBytes;
        const uint8_t *b = data + static_cast<size_t>(next) * kFrameBytes;
        const int32_t l0 = SampleAt<Bits>(a), l1 = SampleAt<Bits>(b);
        const int32_t left = l0 + (((l1 - l0) * fraction) >> 15);
        int32_t right = left;
        if constexpr (Channels == 2) {
            const int32_t r0 = SampleAt<Bits>(a + kSampleBytes), r1 = SampleAt<Bits>(b + kSampleBytes);
            right = r0 + (((r1 - r0) * fraction) >> 15);
        }
        acc[2 * i] += static_cast<int32_t>((static_cast<int64_t>(left) * gainLeft) >> 16);
        acc[2 * i + 1] += static_cast<int32_t>((static_cast<int64_t>(right) * gainRight) >> 16);
        position += step;
    }
    if (position >= length && !looping) return false;
    return true;
}

inline int16_t Saturate(int32_t value) { return static_cast<int16_t>(std::clamp(value, -32768, 32767)); }

}  // namespace

int32_t GainOfAttenuation(int hundredthsOfDecibel) {
    if (hundredthsOfDecibel >= 0) return kUnityGain;
    if (hundredthsOfDecibel <= kSilentVolume) return 0;
    return static_cast<int32_t>(std::lround(kUnityGain * std::pow(10.0, hundredthsOfDecibel / 2000.0)));
}

AudioMixer::~AudioMixer() { Close(); }

bool AudioMixer::Open() {
    if (voices_ != nullptr) return true;
    void *table = TrackedAllocZero(static_cast<int>(sizeof(Voice)) * kMixerBufferLimit, "", 0);
    if (table == nullptr) return false;
    std::lock_guard<std::mutex> guard(lock_);
    voices_ = static_cast<Voice *>(table);
    highest_ = 0;
    return true;
}

void AudioMixer::Close() {
    if (voices_ == nullptr) return;
    for (int slot = 0; slot < highest_; ++slot) {
        if (voices_[slot].used) Release(slot + 1);
    }
    Voice *table;
    {
        std::lock_guard<std::mutex> guard(lock_);
        table = voices_;
        voices_ = nullptr;
        highest_ = 0;
    }
    TrackedFree(table);
}

AudioMixer::Voice *AudioMixer::Find(int id) {
    if (voices_ == nullptr || id < 1 || id > highest_ || !voices_[id - 1].used) return nullptr;
    return &voices_[id - 1];
}

int AudioMixer::FreeSlot() const {
    for (int slot = 0; slot < kMixerBufferLimit; ++slot) {
        if (!voices_[slot].used) return slot;
    }
    return -1;
}

int AudioMixer::Create(const SoundBufferFormat &format, int bytes) {
    if (voices_ == nullptr) return 0;
    if (format.channels < 1 || format.channels > 2 || (format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
        format.sampleRate < kMinBufferFrequency || format.sampleRate > kMaxBufferFrequency) {
        return 0;
    }
    const int frameBytes = format.channels * format.bitsPerSample / 8;
    if (bytes < frameBytes || bytes > INT_MAX - static_cast<int>(sizeof(SharedData))) return 0;
    const int slot = FreeSlot();
    if (slot < 0) return 0;
    auto *data = static_cast<SharedData *>(TrackedAllocZero(static_cast<int>(sizeof(SharedData)) + bytes, "", 0));
    if (data == nullptr) return 0;
    data->references = 1;
    data->size = bytes;
    data->bytes = reinterpret_cast<uint8_t *>(data + 1);
    if (format.bitsPerSample == 8) std::memset(data->bytes, 0x80, static_cast<size_t>(bytes));

    Voice voice = {};
    voice.used = true;
    voice.data = data;
    voice.format = format;
    voice.frameBytes = frameBytes;
    voice.frames = bytes / frameBytes;
    voice.frequency = format.sampleRate;
    voice.step = StepOf(format.sampleRate);
    voice.gainLeft = voice.gainRight = kUnityGain;
    std::lock_guard<std::mutex> guard(lock_);
    voices_[slot] = voice;
    highest_ = std::max(highest_, slot + 1);
    return slot + 1;
}

int AudioMixer::Duplicate(int id) {
    Voice *original = Find(id);
    if (original == nullptr) return 0;
    const int slot = FreeSlot();
    if (slot < 0) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    Voice voice = *original;
    voice.data->references += 1;
    voice.playing = voice.looping = false;
    voice.position = 0;
    voice.volume = voice.pan = 0;
    voice.frequency = voice.format.sampleRate;
    voice.step = StepOf(voice.frequency);
    voice.gainLeft = voice.gainRight = kUnityGain;
    voices_[slot] = voice;
    highest_ = std::max(highest_, slot + 1);
    return slot + 1;
}

bool AudioMixer::Release(int id) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    SharedData *unused = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (--voice->data->references == 0) unused = voice->data;
        *voice = Voice{};
        while (highest_ > 0 && !voices_[highest_ - 1].used) --highest_;
    }
    if (unused != nullptr) TrackedFree(unused);
    return true;
}

bool AudioMixer::Play(int id, bool loop) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    std::lock_guard<std::mutex> guard(lock_);
    voice->playing = true;
    voice->looping = loop;
    return true;
}

bool AudioMixer::Stop(int id) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    std::lock_guard<std::mutex> guard(lock_);
    voice->playing = false;
    return true;
}

int AudioMixer::Status(int id) {
    Voice *voice = Find(id);
    if (voice == nullptr) return -1;
    std::lock_guard<std::mutex> guard(lock_);
    if (!voice->playing) return 0;
    return kBufferPlaying | (voice->looping ? kBufferLooping : 0);
}

bool AudioMixer::SetVolume(int id, int hundredthsOfDecibel) {
    Voice *voice = Find(id);
    if (voice == nullptr || hundredthsOfDecibel > 0 || hundredthsOfDecibel < kSilentVolume) return false;
    const int pan = voice->pan;
    const int32_t gain = GainOfAttenuation(hundredthsOfDecibel);
    const int32_t panGain = GainOfAttenuation(-std::abs(pan));
    std::lock_guard<std::mutex> guard(lock_);
    voice->volume = hundredthsOfDecibel;
    voice->gainLeft = pan > 0 ? static_cast<int32_t>((static_cast<int64_t>(gain) * panGain) >> 16) : gain;
    voice->gainRight = pan < 0 ? static_cast<int32_t>((static_cast<int64_t>(gain) * panGain) >> 16) : gain;
    return true;
}

bool AudioMixer::SetPan(int id, int pan) {
    Voice *voice = Find(id);
    if (voice == nullptr || pan < -10000 || pan > 10000) return false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        voice->pan = pan;
    }
    return SetVolume(id, voice->volume);
}

bool AudioMixer::SetFrequency(int id, int hertz) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    if (hertz == 0) hertz = voice->format.sampleRate;
    if (hertz < kMinBufferFrequency || hertz > kMaxBufferFrequency) return false;
    std::lock_guard<std::mutex> guard(lock_);
    voice->frequency = hertz;
    voice->step = StepOf(hertz);
    return true;
}

bool AudioMixer::GetPosition(int id, int *bytes) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    std::lock_guard<std::mutex> guard(lock_);
    const uint64_t frame = std::min<uint64_t>(voice->position >> 32, static_cast<uint64_t>(voice->frames - 1));
    *bytes = static_cast<int>(frame) * voice->frameBytes;
    return true;
}

bool AudioMixer::SetPosition(int id, int bytes) {
    Voice *voice = Find(id);
    if (voice == nullptr || bytes < 0 || bytes >= voice->data->size) return false;
    std::lock_guard<std::mutex> guard(lock_);
    voice->position = static_cast<uint64_t>(bytes / voice->frameBytes) << 32;
    return true;
}

bool AudioMixer::Lock(int id, int offset, int bytes, void **part1, int *size1, void **part2, int *size2) {
    Voice *voice = Find(id);
    if (voice == nullptr) return false;
    const int size = voice->data->size;
    if (offset < 0 || offset >= size || bytes <= 0 || bytes > size) return false;
    const int first = std::min(bytes, size - offset);
    *part1 = voice->data->bytes + offset;
    *size1 = first;
    if (part2 != nullptr) *part2 = first < bytes ? voice->data->bytes : nullptr;
    if (size2 != nullptr) *size2 = bytes - first;
    return true;
}

bool AudioMixer::Unlock(int id) { return Find(id) != nullptr; }

void AudioMixer::Mix(int16_t *out, int frames) {
    std::lock_guard<std::mutex> guard(lock_);
    int32_t acc[kMixChunkFrames * kMixerChannels];
    while (frames > 0) {
        const int count = std::min(frames, kMixChunkFrames);
        std::memset(acc, 0, sizeof(int32_t) * kMixerChannels * static_cast<size_t>(count));
        for (int slot = 0; voices_ != nullptr && slot < highest_; ++slot) {
            Voice &v = voices_[slot];
            if (!v.used || !v.playing) continue;
            bool more;
            const uint8_t *data = v.data->bytes;
            if (v.format.bitsPerSample == 16) {
                more = v.format.channels == 2
                           ? MixVoice<16, 2>(data, v.frames, v.looping, v.position, v.step, v.gainLeft, v.gainRight, acc, count)
                           : MixVoice<16, 1>(data, v.frames, v.looping, v.position, v.step, v.gainLeft, v.gainRight, acc, count);
            } else {
                more = v.format.channels == 2
                           ? MixVoice<8, 2>(data, v.frames, v.looping, v.position, v.step, v.gainLeft, v.gainRight, acc, count)
                           : MixVoice<8, 1>(data, v.frames, v.looping, v.position, v.step, v.gainLeft, v.gainRight, acc, count);
            }
            if (!more) {
                v.playing = false;
                v.position = 0;
            }
        }
        for (int i = 0; i < count * kMixerChannels; ++i) out[i] = Saturate(acc[i]);
        out += count * kMixerChannels;
        frames -= count;
    }
}

}  // namespace zq
