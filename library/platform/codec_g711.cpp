// Mu-law and A-law: one byte per sample, expanded to 16-bit linear PCM by the G.711 rules.
#include "platform/codec_internal.h"

#include <algorithm>
#include <new>

namespace zq {

int16_t MuLawToLinear(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    const int exponent = (code >> 4) & 7;
    const int mantissa = code & 0x0F;
    const int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return static_cast<int16_t>((code & 0x80) ? -magnitude : magnitude);
}

int16_t ALawToLinear(uint8_t code) {
    code ^= 0x55;
    const int exponent = (code >> 4) & 7;
    const int mantissa = code & 0x0F;
    int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return static_cast<int16_t>((code & 0x80) ? magnitude : -magnitude);
}

namespace {

class G711Stream final : public CodecStream {
public:
    explicit G711Stream(bool muLaw) {
        for (int code = 0; code < 256; ++code) {
            table_[code] = muLaw ? MuLawToLinear(static_cast<uint8_t>(code)) : ALawToLinear(static_cast<uint8_t>(code));
        }
    }
    bool Convert(const uint8_t *source, int sourceBytes, uint8_t *destination, int destinationBytes, int *used,
                 int *produced) override {
        const int count = std::min(sourceBytes, destinationBytes / 2);
        for (int i = 0; i < count; ++i) {
            const uint16_t sample = static_cast<uint16_t>(table_[source[i]]);
            destination[2 * i] = static_cast<uint8_t>(sample & 0xFF);
            destination[2 * i + 1] = static_cast<uint8_t>(sample >> 8);
        }
        *used = count;
        *produced = 2 * count;
        return true;
    }
    int64_t PcmSize(int64_t sourceBytes) const override { return 2 * sourceBytes; }

private:
    int16_t table_[256];
};

}  // namespace

CodecStream *NewG711Stream(const CodecSourceFormat &source, void *memory) {
    static_assert(sizeof(G711Stream) <= kCodecStreamMaxSize);
    return new (memory) G711Stream(source.format.formatTag == kFormatMuLaw);
}

}  // namespace zq
