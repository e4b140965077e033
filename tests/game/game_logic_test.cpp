// The game's rules, one frame at a time on the virtual host with a fixed seed: the length of a
// game, spawning, the hit test's boundaries, speed-ups, the click latch within and across scenes,
// rank titles and the score files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "game.h"
#include "texts.h"
#include "virtual_library.h"

namespace {

using namespace gazumo;

class GameLogicTest : public VirtualLibraryTest {
protected:
    void SetUp() override {
        VirtualLibraryTest::SetUp();
        Start();
        state = std::make_unique<GameState>();
        std::memset(state.get(), 0xFF, sizeof(GameState));  // every handle -1: nothing loaded
        ResetGameState(*state);
        state->bestScore = state->totalScore = 0;
        SeedRandom(4357);
    }

    // Puts the first `count` people alive at the given box position (before this frame's step)
    // and every other person far off to the left, where nothing can reach the mouth.
    void PlacePeople(int count, int x, int y) {
        for (int i = 0; i < 13; ++i) {
            TargetSlot &slot = state->people.slots[i];
            slot.state = TARGET_ALIVE;
            slot.x = i < count ? x - state->speed : -700;
            slot.y = y;
        }
    }

    std::unique_ptr<GameState> state;
};

TEST_F(GameLogicTest, GameWithoutEatingLastsExactly1000PlayFrames) {
    state->scene = SCENE_PLAY;
    state->mouseX = 320;
    state->mouseY = 5000;  // far below the street: no target reaches the mouth
    int frames = 0;
    while (state->scene == SCENE_PLAY && frames < 2000) {
        RunScenes(*state);
        ++frames;
    }
    EXPECT_EQ(frames, 1000);
    EXPECT_EQ(state->hitPoints, 0);
    EXPECT_EQ(state->scene, SCENE_RESULT);
}

TEST_F(GameLogicTest, FirstPlayFrameSpawns13PeopleDrawingXBeforeY) {
    state->scene = SCENE_PLAY;
    state->mouseX = 320;
    state->mouseY = 5000;
    SeedRandom(99);
    PlayWork(*state);
    SeedRandom(99);
    for (int i = 0; i < 13; ++i) {
        const int x = GetRandom(-780);
        int y = GetRandom(439);
        if (y <= 112) y = 112;
        EXPECT_EQ(state->people.slots[i].x, x) << i;
        EXPECT_EQ(state->people.slots[i].y, y) << i;
        EXPECT_EQ(state->people.slots[i].state, TARGET_ALIVE) << i;
        EXPECT_LE(x, 0);
        EXPECT_GE(x, -779);
    }
    EXPECT_EQ(state->people.slots[13].state, TARGET_SPAWN);  // beyond the 13 used slots
    EXPECT_EQ(state->cars.slots[0].state, TARGET_SPAWN);      // cars wait for speed 3
}

TEST_F(GameLogicTest, HitTestBoundariesAreStrict) {
    struct Case {
        int x, y;
        bool eaten;
    };
    // Creature at (100, 100): the mouth spans x 125..155 and y 115..147, edges excluded.
    const Case cases[] = {
        {125, 120, false}, {126, 120, true}, {124, 120, true}, {155, 120, false}, {154, 120, true},
        {93, 120, false},  {94, 120, true},  {130, 115, false}, {130, 74, false},  {130, 75, true},
        {130, 147, false}, {130, 146, true},
    };
    for (const Case &c : cases) {
        ResetGameState(*state);
        state->scene = SCENE_PLAY;
        state->mouseX = 100;
        state->mouseY = 100;
        PlacePeople(1, c.x, c.y);
        CrowdWork(*state);
        EXPECT_EQ(state->people.slots[0].state == TARGET_BITTEN, c.eaten) << c.x << "," << c.y;
        EXPECT_EQ(state->score, c.eaten ? 1 : 0) << c.x << "," << c.y;
    }
}

TEST_F(GameLogicTest, SevenEatenInOneFrameRaiseSpeedByOneInTheNext) {
    state->scene = SCENE_PLAY;
    state->mouseX = 100;
    state->mouseY = 100;
    PlacePeople(7, 130, 120);
    PlayWork(*state);
    EXPECT_EQ(state->score, 7);
    EXPECT_EQ(state->eatenSinceSpeedUp, 7);
    EXPECT_EQ(state->speed, 1);
    EXPECT_EQ(state->biteFlash, 1);
    EXPECT_EQ(state->hitPoints, 1000 - 1 + 7);
    PlayWork(*state);
    EXPECT_EQ(state->speed, 2);
    EXPECT_EQ(state->eatenSinceSpeedUp, 0);  // the two beyond five are dropped
}

TEST_F(GameLogicTest, CarsAtSpeedThreeMoveOnePixelPerFrame) {
    state->speed = 3;
    state->mouseX = 320;
    state->mouseY = 5000;
    PlacePeople(0, 0, 0);
    for (int i = 0; i < 5; ++i) {
        state->cars.slots[i].state = TARGET_ALIVE;
        state->cars.slots[i].x = 10 * i;
        state->cars.slots[i].y = 200;
    }
    CrowdWork(*state);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(state->cars.slots[i].x, 10 * i + 1) << i;
}

TEST_F(GameLogicTest, OfferingEatenInTheLastFrameStillEndsTheGame) {
    state->scene = SCENE_PLAY;
    state->speed = 2;
    state->hitPoints = 1;
    state->mouseX = 100;
    state->mouseY = 100;
    PlacePeople(0, 0, 0);
    state->offerings.slots[0] = state->offerings.slots[1];
    state->offerings.slots[0].state = TARGET_ALIVE;
    state->offerings.slots[0].x = 130 - 1;  // the offering step is speed - 1
    state->offerings.slots[0].y = 120;
    state->offerings.slots[1].state = TARGET_ALIVE;
    state->offerings.slots[1].x = -700;
    PlayWork(*state);
    EXPECT_EQ(state->offerings.slots[0].state, TARGET_BITTEN);
    EXPECT_EQ(state->hitPoints, 50);
    EXPECT_EQ(state->scene, SCENE_RESULT);
    EXPECT_EQ(state->eatenSinceSpeedUp, 0);  // offerings do not count for speed
}

TEST_F(GameLogicTest, ClickLatchNeedsARelease) {
    state->mouseX = 320;
    state->mouseY = 5000;
    struct Step {
        int buttons, scene, latch;
    };
    // Held from start-up: nothing; released: latch opens; pressed: play starts.
    const Step steps[] = {{MOUSE_LEFT, SCENE_TITLE, 1}, {MOUSE_LEFT, SCENE_TITLE, 1}, {0, SCENE_TITLE, 0},
                          {MOUSE_RIGHT, SCENE_TITLE, 0}, {MOUSE_LEFT, SCENE_PLAY, 1}};
    for (const Step &step : steps) {
        host.SetMouse(0, 0, step.buttons);
        TitleWork(*state);
        EXPECT_EQ(state->scene, step.scene);
        EXPECT_EQ(state->clickLatch, step.latch);
    }
}

TEST_F(GameLogicTest, RankTitlesFollowTheScoreRanges) {
    const struct {
        int score;
        const char *title;
    } cases[] = {{1, "殺人者"}, {99, "殺人者"}, {100, "殺人鬼"}, {499, "殺人鬼"}, {500, "ガズモ"},
                 {9999, "人類の脅威"}, {10000, "グランド・オブ・ザ・ガズモ"}, {2000000000, "グランド・オブ・ザ・ガズモ"}};
    for (const auto &c : cases) {
        char expected[64];
        Utf8ToShiftJis(c.title, expected, sizeof expected);
        EXPECT_STREQ(RankTitle(c.score), expected) << c.score;
    }
}

std::string FileBytes(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LittleEndian(int value) {
    const uint32_t v = static_cast<uint32_t>(value);
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

TEST_F(GameLogicTest, ResultClickWritesScoresAsSpecifiedAndResets) {
    struct Case {
        int best, total, score;
        int savedBest;   // -1: s.dat not written
        int savedTotal;
    };
    const Case cases[] = {
        {50, 1000, 70, 70, 1070},  // a new best
        {80, 1000, 70, -1, 1070},  // below the best: only the total
        {70, 5, 70, 70, 75},       // equal to the best: rewritten
        {0, 0, 0, 0, 0},           // zero points with a best of 0
        {2000, 2147483000, 1000, -1, 2147483647},  // the total saturates
    };
    for (const Case &c : cases) {
        std::remove("save/s.dat");
        std::remove("save/s2.dat");
        ResetGameState(*state);
        state->scene = SCENE_RESULT;
        state->bestScore = c.best;
        state->totalScore = c.total;
        state->score = c.score;
        state->clickLatch = 0;
        host.SetMouse(0, 0, MOUSE_LEFT);
        ResultWork(*state);
        EXPECT_EQ(state->scene, SCENE_TITLE) << c.score;
        EXPECT_EQ(state->score, 0);
        EXPECT_EQ(state->hitPoints, 1000);
        EXPECT_EQ(FileBytes("save/s.dat"), c.savedBest < 0 ? std::string() : LittleEndian(c.savedBest)) << c.score;
        EXPECT_EQ(FileBytes("save/s2.dat"), LittleEndian(c.savedTotal)) << c.score;
        int read = -1;
        EXPECT_TRUE(ReadScoreFile("save\\s2.dat", &read));
        EXPECT_EQ(read, c.savedTotal);
    }
    int untouched = 42;
    EXPECT_FALSE(ReadScoreFile("save\\missing.dat", &untouched));
    EXPECT_EQ(untouched, 42);
}

TEST_F(GameLogicTest, HeldButtonIntoTheResultStoresNothingUntilReleased) {
    state->scene = SCENE_RESULT;
    state->score = 5;
    state->clickLatch = 1;  // the click that started the game
    host.SetMouse(0, 0, MOUSE_LEFT);
    ResultWork(*state);
    EXPECT_EQ(state->scene, SCENE_RESULT);
    EXPECT_EQ(FileBytes("save/s2.dat"), std::string());
}

TEST_F(GameLogicTest, ClickLatchCarriesOneHeldClickNoFurtherThanItsScene) {
    std::remove("save/s.dat");
    std::remove("save/s2.dat");
    state->mouseX = 320;
    state->mouseY = 5000;  // nothing is eaten
    state->score = 0;
    struct Step {
        const char *what;
        int buttons;
        int hitPoints;  // set before the frame; 0 keeps the running value
        int scene, latch;
        bool saved;
    };
    const Step steps[] = {
        {"held from start-up", MOUSE_LEFT, 0, SCENE_TITLE, 1, false},
        {"released on the title", 0, 0, SCENE_TITLE, 0, false},
        {"the click starts play", MOUSE_LEFT, 0, SCENE_PLAY, 1, false},
        {"held through play", MOUSE_LEFT, 0, SCENE_PLAY, 1, false},
        {"held into the result", MOUSE_LEFT, 1, SCENE_RESULT, 1, false},
        {"still held on the result", MOUSE_LEFT, 0, SCENE_RESULT, 1, false},
        {"released on the result", 0, 0, SCENE_RESULT, 0, false},
        {"the click stores and resets", MOUSE_LEFT, 0, SCENE_TITLE, 1, true},
        {"held into the new title", MOUSE_LEFT, 0, SCENE_TITLE, 1, true},
        {"released again", 0, 0, SCENE_TITLE, 0, true},
        {"the next click starts play", MOUSE_LEFT, 0, SCENE_PLAY, 1, true},
    };
    for (const Step &step : steps) {
        if (step.hitPoints) state->hitPoints = step.hitPoints;
        host.SetMouse(0, 0, step.buttons);
        RunScenes(*state);
        EXPECT_EQ(state->scene, step.scene) << step.what;
        EXPECT_EQ(state->clickLatch, step.latch) << step.what;
        EXPECT_EQ(!FileBytes("save/s2.dat").empty(), step.saved) << step.what;
    }
}

}  // namespace
