// Sound handles and playback as the rest of the library sees them: start and end, the per-frame
// streaming step that message processing runs, and the records the streaming code shares.
#pragma once

#include "platform/codec.h"

namespace zq {

constexpr int kMaxBuffersPerSound = 10;

int InitSound();         // 0, or -1 when no sound output is available (the program runs silent)
int EndSound();
void StepSoundStreams();
bool IsSoundOpen();

// A new sound record (handle -1) or the re-creation of a deleted handle; the handle or -1.
int AddSoundData(int handle);

// How loads keep their data: 0 decodes into memory (the default after start-up).
void SetSoundDataType(int type);
int SoundDataType();

// Sound-buffer attenuation in hundredths of a decibel for a volume of 0..255.
int VolumeToAttenuation(int volume);

struct SoundBufferEntry {
    int inUse;
    int buffer;  // the host's sound buffer id
};

enum SoundKind { kSoundInMemory = 0, kSoundStreamed = 1 };

struct SoundRecord {
    int check;
    SoundBufferEntry buffers[kMaxBuffersPerSound];
    SoundFormat format;
    int kind;
    int startTime;
    int pcmSize;
    void *pcm;
    int copyNeeded[kMaxBuffersPerSound];
    int bufferCount;
    int currentIndex;
};

}  // namespace zq
