// Sound output's part in start-up and shutdown. There is no sound output in the library yet, so
// start-up is told what it is told on a machine without an audio device: the program runs silent.
#include "sound/sound.h"

#include "core/log.h"

namespace zq {

int InitSound() {
    LogText("サウンドデバイスが使用できないため、サウンドなしで動作します\n");
    return -1;
}

int EndSound() { return 0; }

void StepSoundStreams() {}

}  // namespace zq
