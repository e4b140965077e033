// What each decoder of the codec layer provides; codec_table.cpp picks one by format tag.
#pragma once

#include "platform/codec.h"

namespace zq {

class CodecStream {
public:
    virtual ~CodecStream() = default;
    virtual bool Convert(const uint8_t *source, int sourceBytes, uint8_t *destination, int destinationBytes,
                         int *used, int *produced) = 0;
    virtual int64_t PcmSize(int64_t sourceBytes) const = 0;
};

// Each returns a stream built with new (placement into tracked memory by the table), or null.
CodecStream *NewImaAdpcmStream(const CodecSourceFormat &source, void *memory);
CodecStream *NewMsAdpcmStream(const CodecSourceFormat &source, void *memory);
CodecStream *NewG711Stream(const CodecSourceFormat &source, void *memory);
CodecStream *NewMp3Stream(const CodecSourceFormat &source, void *memory);
constexpr int kCodecStreamMaxSize = 1024;

bool ValidImaAdpcmFormat(const CodecSourceFormat &source);
bool ValidMsAdpcmFormat(const CodecSourceFormat &source);

}  // namespace zq
