// The game's driver: start-up, one frame of each scene, and the loop that runs them.
#pragma once

#include "game_state.h"

namespace gazumo {

// Runs the game until Escape or the window closes: 0 after a normal end, -1 when the library
// could not start (the reason is printed on standard error).
int RunGame();

// Loads every picture and sound, sets the state to a new game and reads the score files. The
// library must have been started.
void StartGame(GameState &state);

// One frame's scene work: title, play and result, each run when the scene is (or has just become)
// theirs. Drawing goes to the back buffer; the caller clears, flips and paces the frame.
void RunScenes(GameState &state);

// The scenes one by one (for tests).
void TitleWork(GameState &state);
void PlayWork(GameState &state);
void ResultWork(GameState &state);
// The targets of one play frame, in group order.
void CrowdWork(GameState &state);

// A left click that began after the button was seen up (the click latch); a held button never
// counts twice.
bool TakeClick(GameState &state);

// Score files: "save\s.dat" (best) and "save\s2.dat" (total), one little-endian int32 each.
// Reading returns false when the file does not open (the value is then left as it was).
bool ReadScoreFile(const char *path, int *value);
// Writes the value, creating "save" when it is missing; false (reported on standard error) when
// the file still cannot be written.
bool WriteScoreFile(const char *path, int value);

}  // namespace gazumo
