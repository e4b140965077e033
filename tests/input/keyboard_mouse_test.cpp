// Keyboard state, mouse position and buttons, the cursor and the check for any input, on the
// virtual host.
#include <gtest/gtest.h>

#include "virtual_library.h"

namespace {

class InputTest : public VirtualLibraryTest {
protected:
    static constexpr int kOriginX = 200, kOriginY = 100;

    void SetUp() override {
        VirtualLibraryTest::SetUp();
        host.SetWindowOrigin(kOriginX, kOriginY);
        Start();
    }

    // Lets the millisecond clock move on so the next read refreshes the key state.
    void NextMillisecond() { host.AdvanceClock(1); }
};

TEST(InputBeforeStartTest, KeyReadBeforeStartUpInitialisesAndReadsNothing) {
    zq::VirtualHost host;
    zq::InstallHost(&host);
    host.SetKey(KEY_ESCAPE, true);
    EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 0);
    zq::InstallHost(nullptr);
}

TEST_F(InputTest, HeldKeyReadsUntilReleased) {
    host.SetKey(KEY_ESCAPE, true);
    NextMillisecond();
    EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 1);
    EXPECT_EQ(IsKeyDown(KEY_SPACE), 0);
    host.SetKey(KEY_ESCAPE, false);
    NextMillisecond();
    EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 0);
}

TEST_F(InputTest, KeyCodesOutsideTheTableReadAsUp) {
    for (int code : {-1, 256, 100000}) EXPECT_EQ(IsKeyDown(code), 0) << code;
}

TEST_F(InputTest, MousePositionIsRelativeToTheClientArea) {
    struct Case {
        int desktopX, desktopY, x, y;
    };
    const Case cases[] = {
        {kOriginX, kOriginY, 0, 0},
        {kOriginX + 639, kOriginY + 479, 639, 479},
        {kOriginX - 5, kOriginY - 7, -5, -7},      // left of and above: negative, not clamped
        {kOriginX + 700, kOriginY + 500, 700, 500},  // beyond: larger than the screen
    };
    for (const Case &c : cases) {
        host.SetMouse(c.desktopX, c.desktopY, 0);
        int x = 12345, y = 12345;
        EXPECT_EQ(GetMousePosition(&x, &y), 0);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
    EXPECT_EQ(GetMousePosition(nullptr, nullptr), 0);
}

TEST_F(InputTest, MouseButtonsAreReadAsBits) {
    host.SetMouse(kOriginX, kOriginY, MOUSE_LEFT | MOUSE_MIDDLE);
    EXPECT_EQ(GetMouseButtons(), MOUSE_LEFT | MOUSE_MIDDLE);
}

TEST_F(InputTest, AnyInputReportsTheLowestHeldKeyAndSkipsToggleKeys) {
    host.SetKey(KEY_CAPSLOCK, true);
    host.SetKey(KEY_KANA, true);
    host.SetKey(KEY_KANJI, true);
    NextMillisecond();
    EXPECT_EQ(CheckAnyInput(7), 0);
    host.SetKey(KEY_Z, true);
    host.SetKey(KEY_A, true);
    NextMillisecond();
    EXPECT_EQ(CheckAnyInput(7), KEY_A);
}

TEST_F(InputTest, AnyInputCountsMouseButtonsOnlyInsideTheClientArea) {
    struct Case {
        int dx, dy, buttons, what, result;
    };
    const Case cases[] = {
        {10, 10, MOUSE_LEFT, 4, -1}, {640, 480, MOUSE_RIGHT, 7, -1},  // the far edge still counts
        {-1, 10, MOUSE_LEFT, 4, 0},  {10, -1, MOUSE_LEFT, 4, 0},   {641, 10, MOUSE_LEFT, 4, 0},
        {10, 10, 0, 4, 0},           {10, 10, MOUSE_LEFT, 1, 0},   // keyboard only: buttons ignored
    };
    for (const Case &c : cases) {
        host.SetMouse(kOriginX + c.dx, kOriginY + c.dy, c.buttons);
        NextMillisecond();
        EXPECT_EQ(CheckAnyInput(c.what), c.result) << c.dx << "," << c.dy << " what " << c.what;
    }
}

TEST_F(InputTest, CursorRequestIsAppliedOnceAndReappliedOnRequest) {
    EXPECT_TRUE(host.cursorVisible);  // shown by default in a window
    SetMouseCursorVisible(0);
    EXPECT_FALSE(host.cursorVisible);
    host.cursorVisible = true;  // something outside showed it
    SetMouseCursorVisible(0);
    EXPECT_TRUE(host.cursorVisible);  // same request again: nothing is done
    SetMouseCursorVisible(-1);
    EXPECT_FALSE(host.cursorVisible);  // -1 always re-applies
    SetMouseCursorVisible(1);
    EXPECT_TRUE(host.cursorVisible);
}

}  // namespace
