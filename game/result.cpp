// The result scene: the score, the rank title, and on a click the score files and a new title.
#include "game.h"
#include "texts.h"
#include "zqlib.h"

namespace gazumo {
namespace {

constexpr int kMaxTotal = 2147483647;

}  // namespace

void ResultWork(GameState &s) {
    StopSound(s.playMusic);
    if (IsSoundPlaying(s.titleMusic) == 0) StartSound(s.titleMusic, PLAY_LOOP, 1);
    DrawGraphAt(0, 0, s.resultBackground, 0);
    const GameTexts &t = Texts();
    SetDefaultFontSize(64);
    DrawStringAt(100, 140, t.gameOver, s.red, 0);
    SetDefaultFontSize(18);
    if (s.score < 1) {
        DrawStringAt(100, 250, t.humansEscaped, s.red, 0);
        DrawStringAt(100, 300, t.rankLabel, s.red, 0);
        DrawStringAt(100, 320, t.humansWon, s.red, 0);
    } else {
        DrawFormattedString(100, 250, s.red, t.eatenFormat, s.score);
        DrawStringAt(100, 300, t.rankLabel, s.red, 0);
        DrawStringAt(100, 320, RankTitle(s.score), s.red, 0);
    }
    if (!TakeClick(s)) return;

    if (s.bestScore <= s.score) {
        s.bestScore = s.score;
        WriteScoreFile("save\\s.dat", s.bestScore);
    }
    // The running total saturates instead of wrapping negative.
    s.totalScore = s.totalScore > kMaxTotal - s.score ? kMaxTotal : s.totalScore + s.score;
    WriteScoreFile("save\\s2.dat", s.totalScore);
    ResetGameState(s);
}

}  // namespace gazumo
