// The game's driver: start-up settings, library start, and the frame loop.
#pragma once

// Runs the game until Escape or the window closes: 0 after a normal end, -1 when the library
// could not start (the reason is printed on standard error).
int RunGame();
