// The targets of a play frame: people, cars, the aeroplane and offerings crossing the street from
// left to right; spawning, the bitten and remains phases, the hit test against the creature's
// mouth and the effects of eating.
#include "game.h"
#include "zqlib.h"

namespace gazumo {
namespace {

constexpr int kScreenWidth = 640;
constexpr int kPhaseFrames = 10;
constexpr int kMaxScore = 2147483647;

// The mouth relative to the creature's picture: x 25..55, y 15..47.
constexpr int kMouthLeft = 25, kMouthRight = 55, kMouthTop = 15, kMouthBottom = 47;

struct GroupRules {
    int slots;
    int minimumSpeed;
    int stepLess;      // x step = speed - stepLess
    int spawnX;        // GetRandom argument for x
    int spawnY;        // GetRandom argument for y
    int yFloor;        // y raised to this when at or below it; -1 for none
    int boxWidth, boxHeight;
    int points;
    int hitPoints;
    bool countsForSpeed;
    bool offering;     // the offering sound instead of the hit sound
};

constexpr GroupRules kPeople = {13, 0, 0, -780, 439, 112, 32, 41, 1, 1, true, false};
constexpr GroupRules kCars = {5, 3, 2, -780, 439, 125, 75, 28, 100, 0, true, false};
constexpr GroupRules kAeroplane = {1, 10, 9, -480, 112, -1, 42, 31, 500, 0, true, false};
constexpr GroupRules kOfferings = {2, 2, 1, -780, 439, 112, 38, 35, 0, 50, false, true};

// Strict comparisons: a box edge exactly on the mouth's edge is not a hit.
bool HitsMouth(const GameState &s, int x, int y, int w, int h) {
    const int left = s.mouseX + kMouthLeft, right = s.mouseX + kMouthRight;
    const int top = s.mouseY + kMouthTop, bottom = s.mouseY + kMouthBottom;
    const bool across = (x < left && left < x + w) || (left < x && x < right);
    const bool down = (y < top && top < y + h) || (top < y && y < bottom);
    return across && down;
}

void Eat(GameState &s, const GroupRules &rules) {
    StartSound(rules.offering ? s.offeringSound : s.hitSound, PLAY_BACKGROUND, 1);
    // The score saturates instead of wrapping negative.
    s.score = s.score > kMaxScore - rules.points ? kMaxScore : s.score + rules.points;
    if (rules.countsForSpeed) s.eatenSinceSpeedUp += 1;
    s.hitPoints += rules.hitPoints;
    s.biteFlash = 1;
}

// Steps 4 to 6 of a slot: the bitten and remains phases, or the living target and its hit test.
void DrawAndTest(GameState &s, TargetSlot &slot, const GroupRules &rules, int alivePicture) {
    if (slot.state == TARGET_BITTEN) {
        DrawGraphAt(slot.x, slot.y, slot.bitten, 1);
        if (++slot.timer == kPhaseFrames) {
            slot.state = TARGET_REMAINS;
            slot.timer = 0;
        }
    }
    if (slot.state == TARGET_REMAINS) {
        DrawGraphAt(slot.x, slot.y, slot.remains, 1);
        if (++slot.timer == kPhaseFrames) {
            slot.state = TARGET_GONE;
            slot.timer = 0;
        }
    }
    if (slot.state == TARGET_ALIVE) {
        DrawGraphAt(slot.x, slot.y, alivePicture, 1);
        if (HitsMouth(s, slot.x, slot.y, rules.boxWidth, rules.boxHeight)) {
            Eat(s, rules);
            slot.state = TARGET_BITTEN;
            slot.timer = 0;
        }
    }
}

void Spawn(TargetSlot &slot, const GroupRules &rules) {
    slot.x = GetRandom(rules.spawnX);
    slot.y = GetRandom(rules.spawnY);
    if (rules.yFloor >= 0 && slot.y <= rules.yFloor) slot.y = rules.yFloor;
    slot.state = TARGET_ALIVE;
}

void RunGroup(GameState &s, TargetGroup &group, const GroupRules &rules) {
    if (s.speed < rules.minimumSpeed) return;
    for (int i = 0; i < rules.slots; ++i) {
        TargetSlot &slot = group.slots[i];
        slot.x += s.speed - rules.stepLess;
        if (slot.x >= kScreenWidth) slot.state = TARGET_SPAWN;
        if (slot.state == TARGET_SPAWN) Spawn(slot, rules);
        const int picture = slot.alive[&group == &s.people && s.walkPhase >= 8 ? 1 : 0];
        DrawAndTest(s, slot, rules, picture);
    }
}

}  // namespace

void CrowdWork(GameState &s) {
    RunGroup(s, s.people, kPeople);
    RunGroup(s, s.cars, kCars);
    RunGroup(s, s.aeroplane, kAeroplane);
    RunGroup(s, s.offerings, kOfferings);
}

}  // namespace gazumo
