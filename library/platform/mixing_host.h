// The part of a host's audio service that both hosts share: every sound-buffer operation goes to
// the software mixer. A host adds the device (OpenAudioDevice opens the mixer, CloseAudioDevice
// closes it) and whatever runs Mix.
#pragma once

#include "platform/audio_mixer.h"
#include "platform/host.h"

namespace zq {

class MixingHost : public Host {
public:
    int CreateSoundBuffer(const SoundBufferFormat &format, int bytes) override { return mixer_.Create(format, bytes); }
    int DuplicateSoundBuffer(int buffer) override { return mixer_.Duplicate(buffer); }
    bool ReleaseSoundBuffer(int buffer) override { return mixer_.Release(buffer); }
    bool PlaySoundBuffer(int buffer, bool loop) override { return mixer_.Play(buffer, loop); }
    bool StopSoundBuffer(int buffer) override { return mixer_.Stop(buffer); }
    int SoundBufferStatus(int buffer) override { return mixer_.Status(buffer); }
    bool SetSoundBufferVolume(int buffer, int volume) override { return mixer_.SetVolume(buffer, volume); }
    bool SetSoundBufferPan(int buffer, int pan) override { return mixer_.SetPan(buffer, pan); }
    bool SetSoundBufferFrequency(int buffer, int hertz) override { return mixer_.SetFrequency(buffer, hertz); }
    bool GetSoundBufferPosition(int buffer, int *bytes) override { return mixer_.GetPosition(buffer, bytes); }
    bool SetSoundBufferPosition(int buffer, int bytes) override { return mixer_.SetPosition(buffer, bytes); }
    bool LockSoundBuffer(int buffer, int offset, int bytes, void **part1, int *size1, void **part2,
                         int *size2) override {
        return mixer_.Lock(buffer, offset, bytes, part1, size1, part2, size2);
    }
    bool UnlockSoundBuffer(int buffer) override { return mixer_.Unlock(buffer); }

protected:
    AudioMixer mixer_;
};

}  // namespace zq
