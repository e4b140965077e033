// Helpers for the sound tests: RIFF WAVE files built in memory, the test data files, signals and
// their measurement (level, dominant frequency, largest step between neighbouring samples), and a
// converter run over a memory image.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "sound/converter.h"

namespace soundtest {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes &b, int v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
inline void Put32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutTag(Bytes &b, const char *tag) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(tag[i]));
}
inline void PutChunk(Bytes &b, const char *tag, const Bytes &body) {
    PutTag(b, tag);
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
}

// A "fmt " chunk body of 16 bytes (fmtSize 16) or 18 (with the extra size field 0).
inline Bytes FormatBody(int tag, int channels, int rate, int bits, int fmtSize = 18, int blockAlign = -1) {
    Bytes f;
    if (blockAlign < 0) blockAlign = channels * bits / 8;
    Put16(f, tag);
    Put16(f, channels);
    Put32(f, static_cast<uint32_t>(rate));
    Put32(f, static_cast<uint32_t>(rate * blockAlign));
    Put16(f, blockAlign);
    Put16(f, bits);
    if (fmtSize >= 18) Put16(f, 0);
    return f;
}

// RIFF WAVE from chunks given in order.
inline Bytes Riff(const std::vector<std::pair<const char *, Bytes>> &chunks) {
    Bytes body;
    PutTag(body, "WAVE");
    for (const auto &[tag, data] : chunks) PutChunk(body, tag, data);
    Bytes file;
    PutTag(file, "RIFF");
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

inline Bytes SamplesToBytes(const std::vector<int16_t> &samples) {
    Bytes b;
    for (int16_t s : samples) Put16(b, s);
    return b;
}
inline std::vector<int16_t> BytesToSamples(const uint8_t *data, size_t size) {
    std::vector<int16_t> s(size / 2);
    std::memcpy(s.data(), data, s.size() * 2);
    return s;
}

// A 16-bit PCM WAV of interleaved samples.
inline Bytes PcmWave(const std::vector<int16_t> &samples, int channels, int rate) {
    return Riff({{"fmt ", FormatBody(1, channels, rate, 16)}, {"data", SamplesToBytes(samples)}});
}

// A sine of `frames` frames (both channels alike when stereo).
inline std::vector<int16_t> Sine(int frames, int channels, double cyclesPerFrame, double amplitude) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * cyclesPerFrame * i)));
        for (int c = 0; c < channels; ++c) s.push_back(v);
    }
    return s;
}

inline std::string SourceDir() {
    const char *dir = std::getenv("ZQ_SOURCE_DIR");
    return dir ? dir : ".";
}
inline Bytes ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline Bytes DataFile(const char *name) { return ReadFile(SourceDir() + "/tests/sound/data/" + name); }
inline Bytes AssetFile(const char *name) { return ReadFile(SourceDir() + "/assets/GAZUMO/" + name); }

// One channel of interleaved stereo output.
inline std::vector<int> Channel(const std::vector<int16_t> &stereo, int channel, size_t from = 0, size_t frames = SIZE_MAX) {
    std::vector<int> out;
    for (size_t i = from; i < stereo.size() / 2 && out.size() < frames; ++i) out.push_back(stereo[2 * i + channel]);
    return out;
}
inline double Rms(const std::vector<int> &s) {
    double sum = 0;
    for (int v : s) sum += static_cast<double>(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}
inline int Peak(const std::vector<int> &s) {
    int peak = 0;
    for (int v : s) peak = std::max(peak, std::abs(v));
    return peak;
}
// Frequency from the count of upward zero crossings over the samples.
inline double ZeroCrossingFrequency(const std::vector<int> &s, int rate) {
    int crossings = 0, first = -1, last = -1;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            if (first < 0) first = static_cast<int>(i);
            last = static_cast<int>(i);
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * static_cast<double>(rate) / (last - first);
}
inline int LargestStep(const std::vector<int> &s) {
    int step = 0;
    for (size_t i = 1; i < s.size(); ++i) step = std::max(step, std::abs(s[i] - s[i - 1]));
    return step;
}

// The converter over a memory image, for one test.
class MemoryConverter {
public:
    explicit MemoryConverter(const Bytes &image) : image_(image) {
        stream_ = zq::CreateMemoryStream(image_.data(), static_cast<int32_t>(image_.size()));
        setup_ = zq::SetupSoundConverter(zq::MemorySource(stream_), &converter);
    }
    ~MemoryConverter() {
        if (setup_ == 0) zq::EndSoundConverter(&converter);
        zq::GetMemoryStreamOps().Close(stream_);
    }
    bool ok() const { return setup_ == 0; }
    // The whole sound as samples (the format in `format`).
    std::vector<int16_t> Whole() {
        void *data = nullptr;
        int size = 0;
        EXPECT_EQ(zq::ConvertWholeSound(&converter, &format, &data, &size), 0);
        std::vector<int16_t> samples = BytesToSamples(static_cast<uint8_t *>(data), static_cast<size_t>(size));
        TrackedFree(data);
        return samples;
    }
    zq::SoundConverter converter = {};
    zq::SoundFormat format = {};

private:
    Bytes image_;
    zq::MemoryStream *stream_ = nullptr;
    int setup_ = -1;
};

}  // namespace soundtest
