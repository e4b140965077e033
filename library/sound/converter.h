// The sound converter: turns a sound file read through a StreamSource into linear PCM, for loading
// whole sounds and for streaming them block by block. Readers are tried in order: PCM WAV,
// compressed WAV (the codec layer), Ogg Vorbis (libvorbisfile), MP3 (the codec layer).
#pragma once

#include <cstdint>

#include "core/file_stream.h"
#include "platform/codec.h"

namespace zq {

class CodecStream;

enum SoundConverterKind { kConverterPcm = 0, kConverterCodec = 1, kConverterOgg = 2 };

struct SoundConverter {
    int active;
    int ended;
    int kind;
    StreamSource source;
    int dataStart;
    int dataSize;
    SoundFormat outputFormat;
    // Codec sources: the source format and its extra bytes, the main and the spare conversion
    // stream, the whole compressed data, the main stream's read offset in it, and the total
    // samples (counted for MP3, -1 when unknown).
    SoundFormat sourceFormat;
    uint8_t *sourceExtra;
    int sourceExtraSize;
    CodecStream *mainStream;
    CodecStream *spareStream;
    uint8_t *compressed;
    int compressedSize;
    int readOffset;
    int totalSamples;
    // Ogg Vorbis: libvorbisfile's decoder (tracked allocation) and its bytes per sample.
    void *ogg;
    int oggBytesPerSample;
    // The output block: its size, the valid bytes, the read position in it, and the bytes
    // delivered since the data start.
    uint8_t *block;
    int blockSize;
    int blockValid;
    int blockRead;
    int outputPosition;
};

// The fields of an MPEG audio frame header.
struct MpegFrameHeader {
    int version;  // 1 (MPEG-1) or 2 (MPEG-2, low sampling frequencies)
    int layer;    // 1..3
    int bitrate;  // kbit/s
    int sampleRate;
    int padding;
    int channels;
    int frameLength;  // bytes, header included
    int samplesPerFrame;
};

// 0 with the fields, -1 when the four bytes are not a usable MPEG-1/2 frame header.
int ParseMpegFrameHeader(const uint8_t header[4], MpegFrameHeader *out);

int SetupSoundConverter(const StreamSource &source, SoundConverter *converter);
int GetConverterFormat(const SoundConverter *converter, SoundFormat *format);
int GetConvertedSize(SoundConverter *converter);
// The whole sound as PCM in a tracked block the caller frees.
int ConvertWholeSound(SoundConverter *converter, SoundFormat *format, void **data, int *size);
int ReadConvertedSound(SoundConverter *converter, void *destination, int bytes);
void SeekSoundConverter(SoundConverter *converter, int samples);
int EndSoundConverter(SoundConverter *converter);

}  // namespace zq
