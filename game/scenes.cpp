// The title and play scenes: music, the mouse clamp, the scrolling background, the creature with
// its overlays, hit points, speed-up, the walk phase and the status texts.
#include "game.h"
#include "texts.h"
#include "zqlib.h"

namespace gazumo {
namespace {

constexpr int kScreenWidth = 640;
constexpr int kTopClamp = 20;
constexpr int kAnimationSteps = 5;
constexpr int kBiteFlashFrames = 10;
constexpr int kEatenPerSpeedUp = 5;
constexpr int kWalkPhases = 14;

void ClampMouse(GameState &s) {
    if (s.mouseX <= 0) {
        s.mouseX = 0;
    } else if (s.mouseX >= kScreenWidth) {
        s.mouseX = kScreenWidth;
    }
    if (s.mouseY <= kTopClamp) s.mouseY = kTopClamp;
}

void DrawBackground(const GameState &s) {
    DrawGraphAt(0, 0, s.backdrop, 0);
    DrawGraphAt(s.scrollA, 0, s.street, 0);
    DrawGraphAt(s.scrollB, 0, s.street, 0);
}

void DrawCreature(GameState &s) {
    s.animCounter += s.speed;
    if (s.animCounter >= kAnimationSteps) {
        s.animFrame += 1;
        s.animCounter = 0;
    }
    if (s.animFrame == kCreatureCells) s.animFrame = 0;
    DrawGraphAt(s.mouseX, s.mouseY, s.creature[s.animFrame], 1);
    if (s.biteFlash == 1) {
        DrawGraphAt(s.mouseX, s.mouseY, s.biteOverlay, 1);
        if (++s.biteFlashCounter == kBiteFlashFrames) {
            s.biteFlash = 0;
            s.biteFlashCounter = 0;
        }
    } else {
        DrawGraphAt(s.mouseX, s.mouseY, s.idleOverlay, 1);
    }
}

}  // namespace

bool TakeClick(GameState &s) {
    if ((GetMouseButtons() & MOUSE_LEFT) == 0) {
        s.clickLatch = 0;
        return false;
    }
    if (s.clickLatch == 1) return false;
    s.clickLatch = 1;
    return true;
}

void TitleWork(GameState &s) {
    if (IsSoundPlaying(s.titleMusic) == 0) StartSound(s.titleMusic, PLAY_LOOP, 1);
    ClampMouse(s);
    s.scrollB += s.speed;
    s.scrollA += s.speed;
    if (s.scrollA > kScreenWidth) s.scrollA = -kScreenWidth;
    if (s.scrollB > kScreenWidth) s.scrollB = -kScreenWidth;
    DrawBackground(s);
    DrawCreature(s);
    const GameTexts &t = Texts();
    SetDefaultFontSize(64);
    DrawStringAt(100, 140, t.title, s.red, 0);
    SetDefaultFontSize(18);
    DrawStringAt(100, 340, t.quitHint, s.red, 0);
    DrawFormattedString(0, 0, s.red, t.bestFormat, s.bestScore);
    DrawFormattedString(0, 20, s.red, t.totalFormat, s.totalScore);
    if (TakeClick(s)) s.scene = SCENE_PLAY;
}

void PlayWork(GameState &s) {
    StopSound(s.titleMusic);
    if (IsSoundPlaying(s.playMusic) == 0) StartSound(s.playMusic, PLAY_LOOP, 1);
    ClampMouse(s);
    s.hitPoints -= 1;
    if (s.hitPoints <= 0) s.scene = SCENE_RESULT;
    if (s.eatenSinceSpeedUp >= kEatenPerSpeedUp) {
        s.speed += 1;
        s.eatenSinceSpeedUp = 0;
    }
    s.scrollB += s.speed;
    s.scrollA += s.speed;
    if (s.scrollA >= kScreenWidth) s.scrollA = -kScreenWidth;
    if (s.scrollB >= kScreenWidth) s.scrollB = -kScreenWidth;
    DrawBackground(s);
    DrawCreature(s);
    s.walkPhase = s.walkPhase == kWalkPhases ? 1 : s.walkPhase + 1;
    CrowdWork(s);
    const GameTexts &t = Texts();
    DrawFormattedString(0, 0, s.red, t.scoreFormat, s.score);
    DrawFormattedString(0, 20, s.red, t.hitPointsFormat, s.hitPoints);
}

}  // namespace gazumo
