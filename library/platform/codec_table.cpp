// The codec layer's entry points: the format tag picks the decoder; streams live in tracked memory.
#include "platform/codec_internal.h"

#include "zqlib.h"

namespace zq {

bool CodecSuggestPcm(const CodecSourceFormat &source, SoundFormat *pcm) {
    const SoundFormat &f = source.format;
    switch (f.formatTag) {
    case kFormatImaAdpcm:
        if (!ValidImaAdpcmFormat(source)) return false;
        break;
    case kFormatMsAdpcm:
        if (!ValidMsAdpcmFormat(source)) return false;
        break;
    case kFormatMuLaw:
    case kFormatALaw:
    case kFormatMpegLayer3:
        break;
    default: return false;
    }
    if (f.channels < 1 || f.channels > 2 || f.sampleRate == 0 || f.blockAlign == 0) return false;
    *pcm = SoundFormat{};
    pcm->formatTag = kFormatPcm;
    pcm->channels = f.channels;
    pcm->sampleRate = f.sampleRate;
    pcm->bitsPerSample = 16;
    pcm->blockAlign = static_cast<uint16_t>(2 * f.channels);
    pcm->averageBytesPerSecond = pcm->blockAlign * f.sampleRate;
    return true;
}

CodecStream *CodecOpen(const CodecSourceFormat &source) {
    SoundFormat pcm;
    if (!CodecSuggestPcm(source, &pcm)) return nullptr;
    void *memory = TrackedAlloc(kCodecStreamMaxSize, "", 0);
    if (memory == nullptr) return nullptr;
    CodecStream *stream = nullptr;
    switch (source.format.formatTag) {
    case kFormatImaAdpcm: stream = NewImaAdpcmStream(source, memory); break;
    case kFormatMsAdpcm: stream = NewMsAdpcmStream(source, memory); break;
    case kFormatMuLaw:
    case kFormatALaw: stream = NewG711Stream(source, memory); break;
    case kFormatMpegLayer3: stream = NewMp3Stream(source, memory); break;
    default: break;
    }
    if (stream == nullptr) TrackedFree(memory);
    return stream;
}

void CodecClose(CodecStream *stream) {
    if (stream == nullptr) return;
    stream->~CodecStream();
    TrackedFree(stream);
}

bool CodecConvert(CodecStream *stream, const uint8_t *source, int sourceBytes, uint8_t *destination,
                  int destinationBytes, int *used, int *produced) {
    *used = 0;
    *produced = 0;
    if (stream == nullptr || sourceBytes < 0 || destinationBytes < 0) return false;
    return stream->Convert(source, sourceBytes, destination, destinationBytes, used, produced);
}

int64_t CodecPcmSize(const CodecStream *stream, int64_t sourceBytes) {
    return stream == nullptr ? 0 : stream->PcmSize(sourceBytes);
}

}  // namespace zq
