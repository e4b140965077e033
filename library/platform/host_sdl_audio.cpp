// The SDL host's audio service: one SDL audio device, 16-bit stereo at the mixer rate, whose callback
// runs the software mixer in SDL's audio thread. SDL converts when the hardware wants another format.
// SDL_AUDIODRIVER is honoured (dummy and disk run without hardware).
#include "platform/host_sdl.h"

#include <SDL.h>

#include <cstdio>

namespace zq {

// SDL's audio callback: the mixer fills the whole period.
void HostSdl::FillAudio(void *self, uint8_t *stream, int length) {
    auto *host = static_cast<HostSdl *>(self);
    host->mixer_.Mix(reinterpret_cast<int16_t *>(stream), length / static_cast<int>(kMixerChannels * sizeof(int16_t)));
}

bool HostSdl::OpenAudioDevice() {
    if (audioDevice_ != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Fail("cannot start audio", true);
        return false;
    }
    if (!mixer_.Open()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Fail("no memory for the mixer", false);
        return false;
    }
    SDL_AudioSpec want = {};
    want.freq = kMixerRate;
    want.format = AUDIO_S16SYS;
    want.channels = kMixerChannels;
    want.samples = 1024;
    want.callback = &HostSdl::FillAudio;
    want.userdata = this;
    SDL_AudioSpec have = {};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        Fail("cannot open an audio device", true);
        mixer_.Close();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    audioDevice_ = device;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void HostSdl::CloseAudioDevice() {
    if (audioDevice_ == 0) return;
    SDL_CloseAudioDevice(audioDevice_);
    audioDevice_ = 0;
    mixer_.Close();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool HostSdl::AudioDeviceAt(int index, AudioDeviceInfo *out) {
    if (audioDevice_ == 0 || index < 0) return false;
    const int count = SDL_GetNumAudioDevices(0);
    const char *driver = SDL_GetCurrentAudioDriver();
    const char *name = nullptr;
    if (count > 0) {
        if (index >= count) return false;
        name = SDL_GetAudioDeviceName(index, 0);
    } else if (index > 0) {
        return false;  // a driver without a device list has its one default device
    }
    std::snprintf(out->module, sizeof out->module, "%s", driver ? driver : "");
    std::snprintf(out->description, sizeof out->description, "%s", name ? name : "default");
    return true;
}

}  // namespace zq
