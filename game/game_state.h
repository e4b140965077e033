// The game's one state record: scene, creature, counters, scores, the four target groups and the
// handles of every picture and sound. The game owns nothing but these integers.
#pragma once

namespace gazumo {

constexpr int SCENE_TITLE = 0;
constexpr int SCENE_PLAY = 3;
constexpr int SCENE_RESULT = 4;

constexpr int TARGET_SPAWN = 0;
constexpr int TARGET_ALIVE = 1;
constexpr int TARGET_BITTEN = 2;
constexpr int TARGET_REMAINS = 3;
constexpr int TARGET_GONE = 4;

constexpr int kSlotsPerGroup = 256;
constexpr int kCreatureCells = 3;
constexpr int kStartHitPoints = 1000;

struct TargetSlot {
    int state;
    int timer;
    int x, y;
    int alive[2];  // people have two walking pictures; the others use alive[0]
    int bitten;
    int remains;
};

struct TargetGroup {
    TargetSlot slots[kSlotsPerGroup];
};

struct GameState {
    int scene;
    int clickLatch;
    int mouseX, mouseY;
    int speed;
    int score;
    int hitPoints;
    int bestScore;
    int totalScore;
    int eatenSinceSpeedUp;
    int walkPhase;
    int animFrame, animCounter;
    int biteFlash, biteFlashCounter;
    int scrollA, scrollB;
    int frameStart;
    unsigned red;

    // Assets.
    int playMusic, titleMusic, hitSound, offeringSound;
    int resultBackground, street, backdrop;
    int creature[kCreatureCells];
    int biteOverlay, idleOverlay;

    TargetGroup people, cars, aeroplane, offerings;
};

// The fields a new game starts with, and all slots back to spawn (positions are kept).
void ResetGameState(GameState &state);

}  // namespace gazumo
