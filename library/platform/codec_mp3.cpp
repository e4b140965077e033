// MPEG Layer-3 through libmpg123 in feed mode: source bytes are fed as they come and 16-bit PCM is
// read out at the file's rate and channel count. Gapless decoding is on, so when the stream carries
// an encoder's delay and padding in its first frame, those samples are cut from both ends.
#include "platform/codec_internal.h"

#include <mpg123.h>

#include <new>

namespace zq {

namespace {

// libmpg123's one-time set-up (a no-op in current versions, required by older ones).
bool StartMpg123() {
    static const bool started = mpg123_init() == MPG123_OK;
    return started;
}

class Mp3Stream final : public CodecStream {
public:
    Mp3Stream(mpg123_handle *handle, int channels) : handle_(handle), channels_(channels) {}
    ~Mp3Stream() override { mpg123_delete(handle_); }

    bool Convert(const uint8_t *source, int sourceBytes, uint8_t *destination, int destinationBytes, int *used,
                 int *produced) override {
        if (sourceBytes > 0) {
            if (mpg123_feed(handle_, source, static_cast<size_t>(sourceBytes)) != MPG123_OK) return false;
            *used = sourceBytes;
        }
        while (*produced < destinationBytes) {
            size_t done = 0;
            const int result = mpg123_read(handle_, destination + *produced,
                                           static_cast<size_t>(destinationBytes - *produced), &done);
            *produced += static_cast<int>(done);
            if (result == MPG123_OK || result == MPG123_NEW_FORMAT) continue;
            if (result == MPG123_NEED_MORE || result == MPG123_DONE) break;
            return *produced > 0;
        }
        return true;
    }
    // A Layer-3 frame of 1152 samples takes at least 96 bytes (32 kbit/s at 48 kHz, MPEG-1); a
    // 576-sample frame of MPEG-2 at least 24 bytes (8 kbit/s at 24 kHz). 24 samples per byte covers both.
    int64_t PcmSize(int64_t sourceBytes) const override { return sourceBytes * 24 * 2 * channels_; }

private:
    mpg123_handle *handle_;
    int channels_;
};

}  // namespace

CodecStream *NewMp3Stream(const CodecSourceFormat &source, void *memory) {
    static_assert(sizeof(Mp3Stream) <= kCodecStreamMaxSize);
    if (!StartMpg123()) return nullptr;
    int error = MPG123_OK;
    mpg123_handle *handle = mpg123_new(nullptr, &error);
    if (handle == nullptr) return nullptr;
    const int channels = source.format.channels;
    const bool ready = mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0) == MPG123_OK &&
                       mpg123_format_none(handle) == MPG123_OK &&
                       mpg123_format(handle, static_cast<long>(source.format.sampleRate),
                                     channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK &&
                       mpg123_open_feed(handle) == MPG123_OK;
    if (!ready) {
        mpg123_delete(handle);
        return nullptr;
    }
    return new (memory) Mp3Stream(handle, channels);
}

}  // namespace zq
