// The virtual host's audio service: the same mixer as the real host, without a device. A test mixes
// output on demand, and the host's sleeps play the slept time, so a wait for a sound to end ends.
#include "platform/host_virtual.h"

#include <algorithm>
#include <cstdio>

namespace zq {

namespace {
constexpr int kSleepMixFrames = 1024;
}

bool VirtualHost::OpenAudioDevice() {
    if (noAudioDevice_) {
        std::snprintf(error_, sizeof error_, "no audio device");
        return false;
    }
    audioMilliseconds_ = 0;
    audioFrames_ = 0;
    return mixer_.Open();
}

void VirtualHost::CloseAudioDevice() { mixer_.Close(); }

bool VirtualHost::AudioDeviceAt(int index, AudioDeviceInfo *out) {
    if (!mixer_.IsOpen() || index != 0) return false;
    std::snprintf(out->module, sizeof out->module, "virtual");
    std::snprintf(out->description, sizeof out->description, "virtual output");
    return true;
}

void VirtualHost::MixAudio(int16_t *out, int frames) { mixer_.Mix(out, frames); }

void VirtualHost::PlaySleptAudio(int milliseconds) {
    if (!mixer_.IsOpen() || milliseconds <= 0) return;
    audioMilliseconds_ += static_cast<uint64_t>(milliseconds);
    const uint64_t due = audioMilliseconds_ * kMixerRate / 1000;
    int16_t scratch[kSleepMixFrames * kMixerChannels];
    while (audioFrames_ < due) {
        const int frames = static_cast<int>(std::min<uint64_t>(due - audioFrames_, kSleepMixFrames));
        mixer_.Mix(scratch, frames);
        if (captureAudio) capturedAudio.insert(capturedAudio.end(), scratch, scratch + frames * kMixerChannels);
        audioFrames_ += static_cast<uint64_t>(frames);
    }
}

}  // namespace zq
