// IMA ADPCM and MS ADPCM decoders of RIFF WAVE data: blocks of blockAlign bytes, each starting with
// a header per channel, decoded to 16-bit PCM. A final block shorter than blockAlign is decoded as
// far as it goes.
#include "platform/codec_internal.h"

#include <algorithm>
#include <climits>
#include <new>

namespace zq {

namespace {

inline int16_t ReadInt16(const uint8_t *p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }
inline void WriteInt16(uint8_t *p, int value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}
inline int Clamp16(int value) { return std::clamp(value, -32768, 32767); }

constexpr int kImaIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr int kImaStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int kMsAdaptTable[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMaxMsCoefficients = 64;
constexpr int kMaxMsDelta = INT_MAX / 768;  // the largest step the adaptation can still multiply

// Shared block walking: whole blocks while they fit, else one partial final block.
class BlockStream : public CodecStream {
public:
    BlockStream(int blockAlign, int channels) : blockAlign_(blockAlign), channels_(channels) {}
    bool Convert(const uint8_t *source, int sourceBytes, uint8_t *destination, int destinationBytes, int *used,
                 int *produced) override {
        while (sourceBytes > 0) {
            const int take = std::min(sourceBytes, blockAlign_);
            if (take < blockAlign_ && *used > 0) break;  // a short tail waits to be the final block
            const int frames = FramesInBlock(take);
            if (frames <= 0) {
                *used += take;  // a fragment without a whole header decodes to nothing
                break;
            }
            const int bytes = frames * 2 * channels_;
            if (bytes > destinationBytes - *produced) break;
            DecodeBlock(source, take, frames, destination + *produced);
            source += take;
            sourceBytes -= take;
            *used += take;
            *produced += bytes;
        }
        return true;
    }
    // Whole blocks, and a shorter final one as far as it goes: exactly what Convert delivers.
    int64_t PcmSize(int64_t sourceBytes) const override {
        const int64_t frames = sourceBytes / blockAlign_ * FramesInBlock(blockAlign_) +
                               std::max(FramesInBlock(static_cast<int>(sourceBytes % blockAlign_)), 0);
        return frames * 2 * channels_;
    }

protected:
    virtual int FramesInBlock(int bytes) const = 0;
    virtual void DecodeBlock(const uint8_t *block, int bytes, int frames, uint8_t *out) const = 0;
    int blockAlign_;
    int channels_;
};

class ImaAdpcmStream final : public BlockStream {
public:
    using BlockStream::BlockStream;

protected:
    // The header holds one sample per channel; then every 4 bytes per channel hold 8 samples.
    int FramesInBlock(int bytes) const override {
        const int header = 4 * channels_;
        if (bytes < header) return 0;
        return 1 + (bytes - header) / (4 * channels_) * 8;
    }
    void DecodeBlock(const uint8_t *block, int, int frames, uint8_t *out) const override {
        for (int c = 0; c < channels_; ++c) {
            int predictor = ReadInt16(block + 4 * c);
            int index = std::clamp(static_cast<int>(block[4 * c + 2]), 0, 88);
            WriteInt16(out + 2 * c, predictor);
            const uint8_t *data = block + 4 * channels_ + 4 * c;
            for (int n = 1; n < frames; ++n) {
                const int group = (n - 1) / 8, within = (n - 1) % 8;
                const uint8_t byte = data[group * 4 * channels_ + within / 2];
                const int nibble = (within & 1) ? byte >> 4 : byte & 0x0F;
                const int step = kImaStepTable[index];
                int diff = step >> 3;
                if (nibble & 1) diff += step >> 2;
                if (nibble & 2) diff += step >> 1;
                if (nibble & 4) diff += step;
                predictor = Clamp16((nibble & 8) ? predictor - diff : predictor + diff);
                index = std::clamp(index + kImaIndexTable[nibble], 0, 88);
                WriteInt16(out + 2 * (n * channels_ + c), predictor);
            }
        }
    }
};

class MsAdpcmStream final : public BlockStream {
public:
    MsAdpcmStream(int blockAlign, int channels, const int16_t (*coefficients)[2], int count)
        : BlockStream(blockAlign, channels), count_(count) {
        for (int i = 0; i < count; ++i) {
            coefficients_[i][0] = coefficients[i][0];
            coefficients_[i][1] = coefficients[i][1];
        }
    }

protected:
    // The header holds two samples per channel; then every byte holds two nibbles.
    int FramesInBlock(int bytes) const override {
        const int header = 7 * channels_;
        if (bytes < header) return 0;
        return 2 + (bytes - header) * 2 / channels_;
    }
    void DecodeBlock(const uint8_t *block, int, int frames, uint8_t *out) const override {
        int coef1[2], coef2[2], delta[2], sample1[2], sample2[2];
        for (int c = 0; c < channels_; ++c) {
            const int predictor = std::min(static_cast<int>(block[c]), count_ - 1);
            coef1[c] = coefficients_[predictor][0];
            coef2[c] = coefficients_[predictor][1];
            delta[c] = ReadInt16(block + channels_ + 2 * c);
            sample1[c] = ReadInt16(block + 3 * channels_ + 2 * c);
            sample2[c] = ReadInt16(block + 5 * channels_ + 2 * c);
            WriteInt16(out + 2 * c, sample2[c]);
            WriteInt16(out + 2 * (channels_ + c), sample1[c]);
        }
        const uint8_t *data = block + 7 * channels_;
        const int nibbles = (frames - 2) * channels_;
        for (int i = 0; i < nibbles; ++i) {
            const int c = i % channels_;
            const int code = (i & 1) ? data[i / 2] & 0x0F : data[i / 2] >> 4;
            const int signedCode = code >= 8 ? code - 16 : code;
            // Damaged data can drive both terms past the int range: predict in 64 bits and keep
            // the step size where the adaptation cannot overflow.
            const int64_t prediction = (int64_t{sample1[c]} * coef1[c] + int64_t{sample2[c]} * coef2[c]) >> 8;
            const int predicted = static_cast<int>(std::clamp<int64_t>(prediction + int64_t{signedCode} * delta[c], -32768, 32767));
            sample2[c] = sample1[c];
            sample1[c] = predicted;
            delta[c] = std::clamp((kMsAdaptTable[code] * delta[c]) >> 8, 16, kMaxMsDelta);
            WriteInt16(out + 2 * (2 * channels_ + i), predicted);
        }
    }

private:
    int16_t coefficients_[kMaxMsCoefficients][2] = {};
    int count_;
};

// The extra bytes of an MS ADPCM format: samples per block, coefficient count, the pairs.
bool ReadMsCoefficients(const CodecSourceFormat &source, int16_t (*out)[2], int *count) {
    if (source.extra == nullptr || source.extraSize < 4) return false;
    const int n = static_cast<uint16_t>(ReadInt16(source.extra + 2));
    if (n < 1 || n > kMaxMsCoefficients || source.extraSize < 4 + 4 * n) return false;
    for (int i = 0; i < n; ++i) {
        out[i][0] = ReadInt16(source.extra + 4 + 4 * i);
        out[i][1] = ReadInt16(source.extra + 6 + 4 * i);
    }
    *count = n;
    return true;
}

}  // namespace

bool ValidImaAdpcmFormat(const CodecSourceFormat &source) {
    const SoundFormat &f = source.format;
    return f.bitsPerSample == 4 && f.channels >= 1 && f.channels <= 2 && f.blockAlign > 4 * f.channels;
}

bool ValidMsAdpcmFormat(const CodecSourceFormat &source) {
    const SoundFormat &f = source.format;
    int16_t coefficients[kMaxMsCoefficients][2];
    int count;
    return f.bitsPerSample == 4 && f.channels >= 1 && f.channels <= 2 && f.blockAlign > 7 * f.channels &&
           ReadMsCoefficients(source, coefficients, &count);
}

CodecStream *NewImaAdpcmStream(const CodecSourceFormat &source, void *memory) {
    static_assert(sizeof(ImaAdpcmStream) <= kCodecStreamMaxSize);
    return new (memory) ImaAdpcmStream(source.format.blockAlign, source.format.channels);
}

CodecStream *NewMsAdpcmStream(const CodecSourceFormat &source, void *memory) {
    static_assert(sizeof(MsAdpcmStream) <= kCodecStreamMaxSize);
    int16_t coefficients[kMaxMsCoefficients][2];
    int count;
    if (!ReadMsCoefficients(source, coefficients, &count)) return nullptr;
    return new (memory) MsAdpcmStream(source.format.blockAlign, source.format.channels, coefficients, count);
}

}  // namespace zq
