// Sound output as the life cycle sees it: start and end, and the per-frame streaming step that
// message processing runs.
#pragma once

namespace zq {

int InitSound();         // 0, or -1 when no sound output is available (the program runs silent)
int EndSound();
void StepSoundStreams();

}  // namespace zq
