// The sound converter: the four readers (PCM WAV, compressed WAV, Ogg Vorbis, MP3 with its frame
// scan), block refills per kind, whole-sound conversion and seeking. Compressed sources are read
// into memory once; a backward seek restarts decoding there on the spare stream opened in advance.
#include "sound/converter.h"

#include "zqlib.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace zq {

namespace {

constexpr int kCodecChunk = 2048;        // compressed bytes per conversion call
constexpr int kOggBlockSize = 4096;
constexpr int kMaxFormatChunk = 1024;    // larger "fmt " chunks are not sound files
constexpr int kSeekTolerance = 16;       // bytes; closer seeks do nothing
constexpr int kId3v1Size = 128;
constexpr int kMinMp3FileSize = kId3v1Size + 1;

uint32_t Le32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

int SourceRead(SoundConverter *c, void *buffer, int bytes) {
    if (bytes <= 0) return 0;
    return static_cast<int>(c->source.ops.Read(buffer, 1, static_cast<size_t>(bytes), c->source.data));
}
bool SourceSeek(SoundConverter *c, int32_t offset, int origin) { return c->source.ops.Seek(c->source.data, offset, origin) == 0; }
int32_t SourceTell(SoundConverter *c) { return c->source.ops.Tell(c->source.data); }

int32_t SourceSize(SoundConverter *c) {
    const int32_t here = SourceTell(c);
    SourceSeek(c, 0, 2);
    const int32_t size = SourceTell(c);
    SourceSeek(c, here, 0);
    return size;
}

// A format chunk read into fixed fields and its extra bytes.
struct FormatChunk {
    SoundFormat format;
    uint8_t bytes[kMaxFormatChunk];
    int size;
};

// "RIFF", "WAVE", then directly the "fmt " chunk; afterwards the source stands at the data chunk's
// first byte and dataSize holds its length (limited to what the source really has).
bool ReadWaveHeader(SoundConverter *c, FormatChunk *fmt, int *dataSize) {
    uint8_t header[12];
    if (SourceRead(c, header, 8) != 8 || std::memcmp(header, "RIFF", 4) != 0) return false;
    if (SourceRead(c, header, 4) != 4 || std::memcmp(header, "WAVE", 4) != 0) return false;
    if (SourceRead(c, header, 8) != 8 || std::memcmp(header, "fmt ", 4) != 0) return false;
    const uint32_t fmtSize = Le32(header + 4);
    if (fmtSize < 16 || fmtSize > kMaxFormatChunk) return false;
    fmt->size = static_cast<int>(fmtSize);
    if (SourceRead(c, fmt->bytes, fmt->size) != fmt->size) return false;
    if (fmtSize & 1) SourceSeek(c, 1, 1);
    SoundFormat &f = fmt->format;
    f = SoundFormat{};
    f.formatTag = Le16(fmt->bytes);
    f.channels = Le16(fmt->bytes + 2);
    f.sampleRate = Le32(fmt->bytes + 4);
    f.averageBytesPerSecond = Le32(fmt->bytes + 8);
    f.blockAlign = Le16(fmt->bytes + 12);
    f.bitsPerSample = Le16(fmt->bytes + 14);
    f.extraSize = fmt->size >= 18 ? Le16(fmt->bytes + 16) : 0;
    if (f.channels == 0 || f.blockAlign == 0 || f.sampleRate == 0) return false;

    const int32_t sourceSize = SourceSize(c);
    for (;;) {
        if (SourceRead(c, header, 8) != 8) return false;
        const uint32_t size = Le32(header + 4);
        if (std::memcmp(header, "data", 4) == 0) {
            const int64_t available = static_cast<int64_t>(sourceSize) - SourceTell(c);
            *dataSize = static_cast<int>(std::clamp<int64_t>(size, 0, std::max<int64_t>(available, 0)));
            return true;
        }
        const int64_t skip = static_cast<int64_t>(size) + (size & 1);
        const int64_t next = SourceTell(c) + skip;
        if (next >= sourceSize || !SourceSeek(c, static_cast<int32_t>(next), 0)) return false;
    }
}

bool TryPcmWave(SoundConverter *c) {
    FormatChunk fmt;
    int dataSize;
    if (!ReadWaveHeader(c, &fmt, &dataSize) || fmt.format.formatTag != kFormatPcm) return false;
    SoundFormat out = fmt.format;
    if (fmt.size == 16) {
        out.bitsPerSample = static_cast<uint16_t>(out.blockAlign / out.channels * 8);
        out.extraSize = 0;
    }
    // Only what the mixer plays: 8 or 16 bits, one or two channels, whole frames.
    if ((out.bitsPerSample != 8 && out.bitsPerSample != 16) || out.channels > 2 ||
        out.blockAlign != out.channels * out.bitsPerSample / 8) {
        return false;
    }
    out.extraSize = 0;
    c->outputFormat = out;
    c->dataStart = SourceTell(c);
    c->dataSize = dataSize;
    c->kind = kConverterPcm;
    c->blockSize = static_cast<int>(std::max<uint32_t>(out.averageBytesPerSecond, out.blockAlign));
    return true;
}

void ReleaseCodecState(SoundConverter *c) {
    CodecClose(c->mainStream);
    CodecClose(c->spareStream);
    TrackedFree(c->compressed);
    TrackedFree(c->sourceExtra);
    c->mainStream = c->spareStream = nullptr;
    c->compressed = c->sourceExtra = nullptr;
}

// Reads the compressed data into memory and opens both conversion streams; false (with everything
// released) on failure.
bool OpenCodecSource(SoundConverter *c, const uint8_t *extra, int extraSize) {
    c->sourceExtraSize = extraSize;
    if (extraSize > 0) {
        c->sourceExtra = static_cast<uint8_t *>(TrackedAlloc(extraSize, "", 0));
        if (c->sourceExtra == nullptr) return false;
        std::memcpy(c->sourceExtra, extra, static_cast<size_t>(extraSize));
    }
    const CodecSourceFormat source = {c->sourceFormat, c->sourceExtra, extraSize};
    bool ok = c->dataSize > 0 && CodecSuggestPcm(source, &c->outputFormat);
    if (ok) {
        c->compressed = static_cast<uint8_t *>(TrackedAlloc(c->dataSize, "", 0));
        ok = c->compressed != nullptr;
    }
    if (ok) {
        c->compressedSize = SourceRead(c, c->compressed, c->dataSize);
        ok = c->compressedSize == c->dataSize && SourceSeek(c, c->dataStart, 0);
    }
    if (ok) {
        c->mainStream = CodecOpen(source);
        c->spareStream = CodecOpen(source);
        ok = c->mainStream != nullptr && c->spareStream != nullptr;
    }
    if (!ok) {
        ReleaseCodecState(c);
        return false;
    }
    c->readOffset = 0;
    c->kind = kConverterCodec;
    return true;
}

bool TryCompressedWave(SoundConverter *c) {
    FormatChunk fmt;
    int dataSize;
    if (!ReadWaveHeader(c, &fmt, &dataSize)) return false;
    c->sourceFormat = fmt.format;
    c->dataStart = SourceTell(c);
    c->dataSize = dataSize;
    const int extraSize = fmt.size > 18 ? std::min<int>(fmt.format.extraSize, fmt.size - 18) : 0;
    if (!OpenCodecSource(c, fmt.bytes + 18, extraSize)) return false;
    c->totalSamples = -1;
    // One second of PCM, but never less than what one conversion call can produce.
    const int64_t perCall = CodecPcmSize(c->mainStream, std::max<int>(kCodecChunk, c->sourceFormat.blockAlign));
    c->blockSize = static_cast<int>(std::max<int64_t>(c->outputFormat.averageBytesPerSecond, perCall));
    return true;
}

// libvorbisfile's callbacks over the converter's source.
size_t OggRead(void *buffer, size_t size, size_t count, void *self) {
    auto *c = static_cast<SoundConverter *>(self);
    return c->source.ops.Read(buffer, size, count, c->source.data);
}
int OggSeek(void *self, ogg_int64_t offset, int origin) {
    auto *c = static_cast<SoundConverter *>(self);
    if (offset < INT32_MIN || offset > INT32_MAX) return -1;
    return c->source.ops.Seek(c->source.data, static_cast<int32_t>(offset), origin) == 0 ? 0 : -1;
}
long OggTell(void *self) {
    auto *c = static_cast<SoundConverter *>(self);
    return c->source.ops.Tell(c->source.data);
}
int OggClose(void *) { return 0; }

bool TryOggVorbis(SoundConverter *c) {
    auto *file = static_cast<OggVorbis_File *>(TrackedAllocZero(static_cast<int>(sizeof(OggVorbis_File)), "", 0));
    if (file == nullptr) return false;
    const ov_callbacks callbacks = {OggRead, OggSeek, OggClose, OggTell};
    if (ov_open_callbacks(c, file, nullptr, 0, callbacks) != 0) {
        TrackedFree(file);
        return false;
    }
    const vorbis_info *info = ov_info(file, -1);
    const ogg_int64_t total = ov_pcm_total(file, -1);
    const int64_t bytes = info != nullptr ? static_cast<int64_t>(info->channels) * total * 2 : -1;
    if (info == nullptr || info->channels < 1 || info->channels > 2 || total < 0 || bytes > INT_MAX - 44100 * 4) {
        ov_clear(file);
        TrackedFree(file);
        return false;
    }
    SoundFormat &f = c->outputFormat;
    f = SoundFormat{};
    f.formatTag = kFormatPcm;
    f.channels = static_cast<uint16_t>(info->channels);
    f.sampleRate = static_cast<uint32_t>(info->rate);
    f.bitsPerSample = 16;
    f.blockAlign = static_cast<uint16_t>(f.channels * 2);
    f.averageBytesPerSecond = f.blockAlign * f.sampleRate;
    c->ogg = file;
    c->oggBytesPerSample = 2;
    c->dataSize = static_cast<int>(bytes);
    c->blockSize = kOggBlockSize;
    c->kind = kConverterOgg;
    return true;
}

// Size of a leading ID3v2 tag, footer included; 0 without one.
int Id3v2Skip(SoundConverter *c) {
    uint8_t tag[10];
    if (SourceRead(c, tag, 10) != 10 || std::memcmp(tag, "ID3", 3) != 0) return 0;
    const int size = ((tag[6] & 0x7F) << 21) | ((tag[7] & 0x7F) << 14) | ((tag[8] & 0x7F) << 7) | (tag[9] & 0x7F);
    int skip = size + 10;
    if (tag[3] == 4 && (tag[5] & 0x10)) skip += 10;
    return skip;
}

bool TryMp3(SoundConverter *c) {
    const int32_t fileSize = SourceSize(c);
    SourceSeek(c, 0, 0);
    if (fileSize < kMinMp3FileSize) return false;
    const int skip = Id3v2Skip(c);
    int32_t dataEnd = fileSize;
    uint8_t tail[3];
    if (SourceSeek(c, fileSize - kId3v1Size, 0) && SourceRead(c, tail, 3) == 3 && std::memcmp(tail, "TAG", 3) == 0) {
        dataEnd = fileSize - kId3v1Size;
    }
    if (skip >= dataEnd || !SourceSeek(c, skip, 0)) return false;

    uint8_t first[4] = {};
    int32_t dataStart = -1, lastEnd = -1;
    int64_t totalSamples = 0;
    for (;;) {
        uint8_t header[4];
        if (SourceRead(c, header, 1) != 1) break;
        if (header[0] != 0xFF) continue;
        if (SourceRead(c, header + 1, 1) != 1) break;
        if ((header[1] & 0xF0) != 0xF0) {
            if (header[1] == 0xFF) SourceSeek(c, -1, 1);
            continue;
        }
        if (SourceRead(c, header + 2, 2) != 2) break;
        MpegFrameHeader frame;
        if (ParseMpegFrameHeader(header, &frame) != 0 || frame.layer != 3) return false;
        const int32_t start = SourceTell(c) - 4;
        if (dataStart < 0) {
            dataStart = start;
            std::memcpy(first, header, 4);
        }
        totalSamples += frame.samplesPerFrame;
        const int32_t end = start + frame.frameLength;
        lastEnd = end;
        if (end >= dataEnd) break;
        if (!SourceSeek(c, end, 0)) break;
    }
    if (dataStart < 0) return false;
    dataEnd = std::min(lastEnd, dataEnd);
    if (totalSamples > INT_MAX / 4) return false;

    MpegFrameHeader frame;
    ParseMpegFrameHeader(first, &frame);
    SoundFormat &f = c->sourceFormat;
    f = SoundFormat{};
    f.formatTag = kFormatMpegLayer3;
    f.channels = static_cast<uint16_t>(frame.channels);
    f.sampleRate = static_cast<uint32_t>(frame.sampleRate);
    f.averageBytesPerSecond = static_cast<uint32_t>(frame.bitrate * 1000 / 8);
    f.blockAlign = 1;
    f.bitsPerSample = 0;
    f.extraSize = 12;
    // The extra fields, laid out as the format block stores them: identifier, flags, block size,
    // frames per block, codec delay.
    uint8_t extra[12] = {};
    const Mp3FormatExtra settings = {1, static_cast<uint32_t>(frame.padding), static_cast<uint16_t>(frame.frameLength), 1, 700};
    extra[0] = static_cast<uint8_t>(settings.identifier);
    extra[2] = static_cast<uint8_t>(settings.flags);
    extra[6] = static_cast<uint8_t>(settings.blockSize & 0xFF);
    extra[7] = static_cast<uint8_t>(settings.blockSize >> 8);
    extra[8] = static_cast<uint8_t>(settings.framesPerBlock);
    extra[10] = static_cast<uint8_t>(settings.codecDelay & 0xFF);
    extra[11] = static_cast<uint8_t>(settings.codecDelay >> 8);

    c->dataStart = dataStart;
    c->dataSize = dataEnd - dataStart;
    if (!SourceSeek(c, dataStart, 0) || !OpenCodecSource(c, extra, sizeof extra)) return false;
    c->totalSamples = static_cast<int>(totalSamples);
    c->blockSize = static_cast<int>(c->outputFormat.averageBytesPerSecond * 4 / 3);
    return true;
}

// Converts the next block of sound into `destination` (capacity: the block size); the bytes
// produced, 0 when the source has no more data.
int ConvertNextBlock(SoundConverter *c, uint8_t *destination) {
    switch (c->kind) {
    case kConverterPcm: {
        const int left = c->dataSize - c->outputPosition;
        if (left <= 0) return 0;
        return std::max(SourceRead(c, destination, std::min(c->blockSize, left)), 0);
    }
    case kConverterCodec: {
        // A codec may take data without giving PCM yet (an MP3 frame not complete); feed on until it
        // does, then ask it to empty what it still holds once the data has run out.
        const int chunk = std::max<int>(kCodecChunk, c->sourceFormat.blockAlign);
        for (;;) {
            const int length = std::min(chunk, c->compressedSize - c->readOffset);
            int used = 0, produced = 0;
            if (!CodecConvert(c->mainStream, c->compressed + c->readOffset, length, destination, c->blockSize, &used, &produced)) {
                return 0;
            }
            c->readOffset += used;
            if (produced > 0) return produced;
            if (used == 0) return 0;
        }
    }
    case kConverterOgg: {
        int bitstream = 0;
        long got;
        do {  // a hole in the data (lost pages) is skipped
            got = ov_read(static_cast<OggVorbis_File *>(c->ogg), reinterpret_cast<char *>(destination), c->blockSize, 0, 2, 1,
                          &bitstream);
        } while (got == OV_HOLE);
        return got > 0 ? static_cast<int>(got) : 0;
    }
    default: return 0;
    }
}

// Refills the output block; false when the source has no more data.
bool RefillBlock(SoundConverter *c) {
    c->blockRead = 0;
    c->blockValid = ConvertNextBlock(c, c->block);
    return c->blockValid > 0;
}

void ClearConverter(SoundConverter *c) { *c = SoundConverter{}; }

}  // namespace

int ParseMpegFrameHeader(const uint8_t header[4], MpegFrameHeader *out) {
    static const int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int kRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};
    if (header[0] != 0xFF || (header[1] & 0xF0) != 0xF0) return -1;
    MpegFrameHeader h = {};
    h.version = (header[1] & 0x08) ? 1 : 2;
    const int layerBits = (header[1] >> 1) & 3;
    if (layerBits == 0) return -1;
    h.layer = 4 - layerBits;
    const int bitrateIndex = header[2] >> 4;
    const int rateIndex = (header[2] >> 2) & 3;
    // Index 15 is forbidden; index 0 (free format) gives no frame length.
    if (bitrateIndex == 15 || bitrateIndex == 0 || rateIndex == 3) return -1;
    h.bitrate = kBitrates[h.version - 1][h.layer - 1][bitrateIndex];
    h.sampleRate = kRates[h.version - 1][rateIndex];
    h.padding = (header[2] >> 1) & 1;
    h.channels = (header[3] & 0xC0) == 0xC0 ? 1 : 2;
    switch (h.layer) {
    case 1:
        h.samplesPerFrame = 384;
        h.frameLength = (12000 * h.bitrate / h.sampleRate + h.padding) * 4;
        break;
    case 2:
        h.samplesPerFrame = 1152;
        h.frameLength = 144000 * h.bitrate / h.sampleRate + h.padding;
        break;
    default:
        h.samplesPerFrame = h.version == 1 ? 1152 : 576;
        h.frameLength = (h.version == 1 ? 144000 : 72000) * h.bitrate / h.sampleRate + h.padding;
        break;
    }
    *out = h;
    return 0;
}

int SetupSoundConverter(const StreamSource &source, SoundConverter *converter) {
    SoundConverter *c = converter;
    ClearConverter(c);
    c->source = source;
    bool (*const readers[])(SoundConverter *) = {TryPcmWave, TryCompressedWave, TryOggVorbis, TryMp3};
    bool accepted = false;
    for (auto reader : readers) {
        SourceSeek(c, 0, 0);
        if (reader(c)) {
            accepted = true;
            break;
        }
    }
    if (!accepted) {
        ClearConverter(c);
        return -1;
    }
    // A block never needs to hold more than the whole sound: the rate fields of a damaged header
    // must not make it huge.
    c->blockSize = std::max(std::min(c->blockSize, GetConvertedSize(c)), 1);
    c->block = static_cast<uint8_t *>(TrackedAlloc(c->blockSize, "", 0));
    c->active = 1;
    if (c->block == nullptr) {
        EndSoundConverter(c);
        return -1;
    }
    c->blockValid = c->blockRead = c->outputPosition = 0;
    c->ended = 0;
    return 0;
}

int GetConverterFormat(const SoundConverter *converter, SoundFormat *format) {
    *format = converter->outputFormat;
    return 0;
}

int GetConvertedSize(SoundConverter *c) {
    switch (c->kind) {
    case kConverterPcm: return c->dataSize;
    case kConverterCodec: {
        const int64_t size = c->totalSamples >= 0 ? static_cast<int64_t>(c->totalSamples) * c->outputFormat.blockAlign
                                                  : CodecPcmSize(c->mainStream, c->dataSize);
        return static_cast<int>(std::min<int64_t>(size, INT_MAX));
    }
    case kConverterOgg: {
        const ogg_int64_t total = ov_pcm_total(static_cast<OggVorbis_File *>(c->ogg), -1);
        return c->outputFormat.channels * static_cast<int>(total + 44100) * 2;
    }
    default: return 0;
    }
}

int ConvertWholeSound(SoundConverter *c, SoundFormat *format, void **data, int *size) {
    const int capacity = GetConvertedSize(c);
    void *block = TrackedAlloc(std::max(capacity, 1), "", 0);
    if (block == nullptr) return -1;
    SeekSoundConverter(c, 0);
    int delivered;
    if (c->kind == kConverterPcm) {
        SourceSeek(c, c->dataStart, 0);
        delivered = SourceRead(c, block, capacity);
    } else {
        delivered = std::max(ReadConvertedSound(c, block, capacity), 0);
    }
    *format = c->outputFormat;
    *data = block;
    *size = delivered;
    return 0;
}

int ReadConvertedSound(SoundConverter *c, void *destination, int bytes) {
    if (!c->active) return -1;
    if (c->ended || bytes <= 0) return 0;
    auto *out = static_cast<uint8_t *>(destination);
    int delivered = 0;
    while (delivered < bytes) {
        if (c->blockRead >= c->blockValid && bytes - delivered >= c->blockSize) {
            // A whole block wanted: convert it straight into the caller's buffer, one copy fewer.
            c->blockRead = c->blockValid = 0;
            const int produced = ConvertNextBlock(c, out + delivered);
            if (produced == 0) {
                c->ended = 1;
                return delivered;
            }
            c->outputPosition += produced;
            delivered += produced;
            continue;
        }
        if (c->blockRead >= c->blockValid && !RefillBlock(c)) {
            c->ended = 1;
            return delivered;
        }
        const int count = std::min(c->blockValid - c->blockRead, bytes - delivered);
        std::memcpy(out + delivered, c->block + c->blockRead, static_cast<size_t>(count));
        c->blockRead += count;
        c->outputPosition += count;
        delivered += count;
    }
    return delivered;
}

void SeekSoundConverter(SoundConverter *c, int samples) {
    if (!c->active) return;
    int64_t target = static_cast<int64_t>(std::max(samples, 0)) * c->outputFormat.blockAlign;
    if (c->kind == kConverterPcm) target = std::min<int64_t>(target, c->dataSize);
    target = std::min<int64_t>(target, INT_MAX);
    const int64_t distance = target - c->outputPosition;
    if (distance > -kSeekTolerance && distance < kSeekTolerance) return;
    c->ended = 0;
    switch (c->kind) {
    case kConverterPcm:
        SourceSeek(c, c->dataStart + static_cast<int32_t>(target), 0);
        c->blockValid = c->blockRead = 0;
        c->outputPosition = static_cast<int>(target);
        break;
    case kConverterCodec: {
        if (target < c->outputPosition) {
            // Restart from the data's start on the fresh spare stream; the used one becomes the spare.
            CodecClose(c->mainStream);
            c->mainStream = c->spareStream;
            c->spareStream = CodecOpen(CodecSourceFormat{c->sourceFormat, c->sourceExtra, c->sourceExtraSize});
            c->readOffset = 0;
            c->blockValid = c->blockRead = 0;
            c->outputPosition = 0;
        }
        for (;;) {
            const int blockStart = c->outputPosition - c->blockRead;
            if (target < blockStart + c->blockValid) {
                c->blockRead = static_cast<int>(target) - blockStart;
                c->outputPosition = static_cast<int>(target);
                break;
            }
            c->outputPosition = blockStart + c->blockValid;
            if (!RefillBlock(c)) {
                c->ended = 1;
                break;
            }
        }
        break;
    }
    case kConverterOgg:
        ov_pcm_seek(static_cast<OggVorbis_File *>(c->ogg), samples);
        c->outputPosition = static_cast<int>(target);
        c->blockValid = c->blockRead = 0;
        break;
    default: break;
    }
}

int EndSoundConverter(SoundConverter *c) {
    if (!c->active) return -1;
    TrackedFree(c->block);
    c->block = nullptr;
    if (c->kind == kConverterCodec) ReleaseCodecState(c);
    if (c->kind == kConverterOgg && c->ogg != nullptr) {
        ov_clear(static_cast<OggVorbis_File *>(c->ogg));
        TrackedFree(c->ogg);
        c->ogg = nullptr;
    }
    c->active = 0;
    return 0;
}

}  // namespace zq
