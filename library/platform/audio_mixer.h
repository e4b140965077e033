// The software mixer behind a host's audio service: sound buffers of linear PCM (8 or 16 bits, mono
// or stereo, any rate) mixed into 16-bit stereo output at the device rate. Duplicates share their
// buffer's PCM data. Each buffer has a play cursor, a looping flag, volume (hundredths of a decibel,
// 0 to -10000), pan (-10000 left .. 10000 right) and a playback frequency; resampling interpolates
// linearly, and a looping buffer interpolates across its end into its start so loops do not click.
//
// Buffers are created, changed and released on the caller's thread; Mix runs on the audio thread.
// Both hold the mixer's lock, and Mix neither allocates nor frees. Mixing saturates.
#pragma once

#include <cstdint>
#include <mutex>

namespace zq {

constexpr int kMixerRate = 44100;
constexpr int kMixerChannels = 2;
constexpr int kMixerBufferLimit = 16384;
constexpr int kMinBufferFrequency = 100;
constexpr int kMaxBufferFrequency = 200000;
constexpr int kSilentVolume = -10000;

// Format of a sound buffer's PCM data.
struct SoundBufferFormat {
    int channels;       // 1 or 2
    int sampleRate;     // frames per second
    int bitsPerSample;  // 8 (unsigned) or 16 (signed)
};

// Status bits of a buffer.
constexpr int kBufferPlaying = 1;
constexpr int kBufferLooping = 4;

class AudioMixer {
public:
    AudioMixer() = default;
    ~AudioMixer();
    AudioMixer(const AudioMixer &) = delete;
    AudioMixer &operator=(const AudioMixer &) = delete;

    // Starts with an empty buffer table (tracked allocation); false when it cannot be allocated.
    bool Open();
    // Releases every buffer and the table.
    void Close();
    bool IsOpen() const { return voices_ != nullptr; }

    // Buffer ids are 1 and up; 0 means failure.
    int Create(const SoundBufferFormat &format, int bytes);
    int Duplicate(int id);
    bool Release(int id);
    bool Play(int id, bool loop);
    bool Stop(int id);
    int Status(int id);  // kBuffer* bits, -1 for an unknown id
    bool SetVolume(int id, int hundredthsOfDecibel);
    bool SetPan(int id, int pan);
    bool SetFrequency(int id, int hertz);  // 0: the data's own rate
    bool GetPosition(int id, int *bytes);
    bool SetPosition(int id, int bytes);
    // The region [offset, offset + bytes) of the data as one or two parts (wrapping at the end).
    bool Lock(int id, int offset, int bytes, void **part1, int *size1, void **part2, int *size2);
    bool Unlock(int id);

    // Adds every playing buffer into `frames` stereo frames of output (overwritten, not added to).
    void Mix(int16_t *out, int frames);

private:
    struct SharedData;
    struct Voice;
    Voice *Find(int id);
    int FreeSlot() const;

    std::mutex lock_;
    Voice *voices_ = nullptr;
    int highest_ = 0;  // slots [0, highest_) may be in use
};

// Linear gain in 1/65536 units of an attenuation in hundredths of a decibel (0 = unity).
int32_t GainOfAttenuation(int hundredthsOfDecibel);

}  // namespace zq
