// The game's texts, kept readable here in UTF-8 and converted to Shift-JIS once at start-up,
// because the library takes Shift-JIS.
#pragma once

namespace gazumo {

struct GameTexts {
    char title[64];
    char quitHint[64];
    char bestFormat[64];
    char totalFormat[64];
    char scoreFormat[32];
    char hitPointsFormat[32];
    char noSaveData[64];
    char gameOver[64];
    char humansEscaped[64];
    char rankLabel[32];
    char humansWon[64];
    char eatenFormat[96];
    char ranks[13][64];
};

const GameTexts &Texts();

// The rank title for a score of 1 or more.
const char *RankTitle(int score);

}  // namespace gazumo
