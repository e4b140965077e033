// Start-up after the library runs: drawing settings, the sounds and pictures in their fixed order
// (3,336 graph handles: three single pictures, thirteen per target slot for 256 slots, three
// creature cells, two overlays), the state of a new game and the two score files.
#include <cstdio>
#include <initializer_list>

#include "game.h"
#include "texts.h"
#include "zqlib.h"

namespace gazumo {
namespace {

constexpr int kSoundBuffers = 3;
constexpr int kSoundVolume = 80;

int LoadSound(const char *path) {
    const int handle = LoadSoundFile(path, kSoundBuffers, -1);
    SetSoundVolume(kSoundVolume, handle);
    return handle;
}

// Thirteen pictures per slot, slot by slot, each load its own handle.
void LoadSlotPictures(GameState &s) {
    for (int i = 0; i < kSlotsPerGroup; ++i) {
        TargetSlot &person = s.people.slots[i];
        TargetSlot &car = s.cars.slots[i];
        TargetSlot &plane = s.aeroplane.slots[i];
        TargetSlot &offering = s.offerings.slots[i];
        person.alive[0] = LoadGraphFile("GAZUMO\\hito.bmp", 0);
        person.alive[1] = LoadGraphFile("GAZUMO\\hito2.bmp", 0);
        person.bitten = LoadGraphFile("GAZUMO\\he.bmp", 0);
        person.remains = LoadGraphFile("GAZUMO\\he-2.bmp", 0);
        car.bitten = LoadGraphFile("GAZUMO\\he2.bmp", 0);
        car.remains = LoadGraphFile("GAZUMO\\he2-2.bmp", 0);
        plane.bitten = LoadGraphFile("GAZUMO\\he3.bmp", 0);
        plane.remains = LoadGraphFile("GAZUMO\\he3-2.bmp", 0);
        offering.bitten = LoadGraphFile("GAZUMO\\he.bmp", 0);
        offering.remains = LoadGraphFile("GAZUMO\\he-2.bmp", 0);
        car.alive[0] = LoadGraphFile("GAZUMO\\quluma.bmp", 0);
        plane.alive[0] = LoadGraphFile("GAZUMO\\hikoki.bmp", 0);
        offering.alive[0] = LoadGraphFile("GAZUMO\\ikenie.png", 0);
        car.alive[1] = car.alive[0];
        plane.alive[1] = plane.alive[0];
        offering.alive[1] = offering.alive[0];
    }
}

// A missing score file is told to the player, shown at once (the wait presents nothing itself),
// and passed with any key or click; the score stays as it was.
void ReadScoreOrTell(const GameState &s, const char *path, int *value) {
    if (ReadScoreFile(path, value)) return;
    DrawStringAt(250, 208, Texts().noSaveData, s.red, 0);
    FlipScreen();
    WaitForKey();
}

}  // namespace

void ResetGameState(GameState &s) {
    for (TargetGroup *group : {&s.people, &s.cars, &s.aeroplane, &s.offerings}) {
        for (TargetSlot &slot : group->slots) {
            slot.state = TARGET_SPAWN;
            slot.timer = 0;
        }
    }
    s.animFrame = s.animCounter = 0;
    s.walkPhase = 0;
    s.biteFlash = s.biteFlashCounter = 0;
    s.score = 0;
    s.eatenSinceSpeedUp = 0;
    s.hitPoints = kStartHitPoints;
    s.speed = 1;
    s.scrollA = 0;
    s.scrollB = -640;
    s.scene = SCENE_TITLE;
    s.clickLatch = 1;
}

void StartGame(GameState &s) {
    SetDrawTarget(SCREEN_BACK);
    SetTransparentColor(0, 255, 0);
    SetMouseCursorVisible(0);
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    s.red = MakeColor(255, 0, 0);

    s.playMusic = LoadSound("GAZUMO\\hentai.mp3");
    s.titleMusic = LoadSound("GAZUMO\\hushuu.mp3");
    s.hitSound = LoadSound("GAZUMO\\hit.wav");
    s.offeringSound = LoadSound("GAZUMO\\hit2.wav");
    s.resultBackground = LoadGraphFile("GAZUMO\\GO.bmp", 0);
    s.street = LoadGraphFile("GAZUMO\\mahi.bmp", 0);
    s.backdrop = LoadGraphFile("GAZUMO\\mahi2.bmp", 0);

    s.bestScore = 0;
    s.totalScore = 0;
    ResetGameState(s);
    LoadSlotPictures(s);
    s.scene = SCENE_TITLE;
    LoadDividedGraphFile("GAZUMO\\gazumo.bmp", kCreatureCells, kCreatureCells, 1, 100, 133, s.creature, 0);
    s.biteOverlay = LoadGraphFile("GAZUMO\\gazumo2.bmp", 0);
    s.idleOverlay = LoadGraphFile("GAZUMO\\gazumo3.bmp", 0);

    ReadScoreOrTell(s, "save\\s.dat", &s.bestScore);
    ReadScoreOrTell(s, "save\\s2.dat", &s.totalScore);
}

}  // namespace gazumo
