// The decoder chain: caller-registered decoders first, then the built-in ones in a fixed order;
// and the helpers every decoder shares.
#include "graphics/decode_image.h"

#include <cstring>

#include "zqlib.h"

namespace zq {
namespace {

struct DecoderTable {
    ImageDecoder user[kMaxUserDecoders];
    int userCount;
};

DecoderTable g_decoders = {};

constexpr ImageDecoder kBuiltInDecoders[] = {DecodeBmp, DecodeJpeg, DecodePng,
                                             DecodeBgra, DecodeTga, DecodeDds};

// Seeks to 0, zeroes the image and runs one decoder.
bool TryDecoder(ImageDecoder decoder, StreamSource *source, StandardImage *image) {
    source->ops.Seek(source->data, 0, 0);
    std::memset(image, 0, sizeof *image);
    return decoder(source, image) == 0;
}

}  // namespace

int RegisterImageDecoder(ImageDecoder decoder) {
    if (decoder == nullptr || g_decoders.userCount >= kMaxUserDecoders) return -1;
    g_decoders.user[g_decoders.userCount++] = decoder;
    return 0;
}

void ClearImageDecoders() { g_decoders = {}; }

int DecodeImage(StreamSource *source, StandardImage *image) {
    if (source == nullptr || image == nullptr) return -1;
    for (int i = 0; i < g_decoders.userCount; ++i) {
        if (TryDecoder(g_decoders.user[i], source, image)) return 0;
    }
    for (ImageDecoder decoder : kBuiltInDecoders) {
        if (TryDecoder(decoder, source, image)) return 0;
    }
    std::memset(image, 0, sizeof *image);
    return -1;
}

namespace decode {

int32_t StreamSize(StreamSource *source) {
    if (!SeekTo(source, 0, 2)) return -1;
    int32_t size = source->ops.Tell(source->data);
    if (!SeekTo(source, 0)) return -1;
    return size;
}

uint8_t *AllocBlock(uint64_t size, bool zero) {
    if (size == 0 || size > kMaxDecodedBytes) return nullptr;
    void *block = zero ? TrackedAllocZero(static_cast<int>(size), "", 0)
                       : TrackedAlloc(static_cast<int>(size), "", 0);
    return static_cast<uint8_t *>(block);
}

}  // namespace decode
}  // namespace zq
