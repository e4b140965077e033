// The codec layer: decoders of compressed sound data into 16-bit linear PCM, in the shape the sound
// converter expects of them: suggest the PCM format for a source format, open a conversion stream,
// convert blocks of source bytes, close. Formats: IMA ADPCM, MS ADPCM, mu-law and A-law (our own
// decoders) and MPEG Layer-3 (libmpg123 in feed mode, gapless: an encoder's delay and padding are
// removed when the file says how long they are).
#pragma once

#include <cstdint>

namespace zq {

constexpr int kFormatPcm = 1;
constexpr int kFormatMsAdpcm = 2;
constexpr int kFormatALaw = 6;
constexpr int kFormatMuLaw = 7;
constexpr int kFormatImaAdpcm = 0x11;
constexpr int kFormatMpegLayer3 = 0x55;

// A sound data format, as a RIFF WAVE "fmt " chunk states it.
struct SoundFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t averageBytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
};

// A source format with the bytes that follow the fixed fields (ADPCM coefficients, MP3 settings).
struct CodecSourceFormat {
    SoundFormat format;
    const uint8_t *extra;
    int extraSize;
};

// The extra fields of an MPEG Layer-3 source format.
struct Mp3FormatExtra {
    uint16_t identifier;
    uint32_t flags;
    uint16_t blockSize;
    uint16_t framesPerBlock;
    uint16_t codecDelay;
};

class CodecStream;

// The PCM format a source format decodes to; false when no codec takes the source format.
bool CodecSuggestPcm(const CodecSourceFormat &source, SoundFormat *pcm);
// A conversion stream (tracked allocation), or null.
CodecStream *CodecOpen(const CodecSourceFormat &source);
void CodecClose(CodecStream *stream);
// Converts up to sourceBytes of source data into at most destinationBytes of PCM. *used tells how
// many source bytes were taken, *produced how many PCM bytes were written. Block codecs take whole
// blocks, and a source shorter than one block as the final, partial block. sourceBytes 0 asks for
// what the codec still holds. False on a decoding error.
bool CodecConvert(CodecStream *stream, const uint8_t *source, int sourceBytes, uint8_t *destination,
                  int destinationBytes, int *used, int *produced);
// PCM bytes that sourceBytes of source data decode to at most.
int64_t CodecPcmSize(const CodecStream *stream, int64_t sourceBytes);

}  // namespace zq
