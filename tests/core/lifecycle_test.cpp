// Start-up, shutdown, the settings made before start-up and the fatal exit.
#include <gtest/gtest.h>

#include <cstring>

#include "core/lifecycle.h"
#include "core/window.h"
#include "virtual_library.h"

namespace {

using LifecycleTest = VirtualLibraryTest;

TEST_F(LifecycleTest, StartOpensCentredWindowWithCaptionAndScreenSize) {
    Start();
    EXPECT_TRUE(host.windowOpen);
    EXPECT_STREQ(host.caption, "テスト");
    EXPECT_EQ(host.clientWidth, 640);
    EXPECT_EQ(host.clientHeight, 480);
    EXPECT_FALSE(host.fullScreen);
    EXPECT_FALSE(host.screenSaverEnabled);
    EXPECT_TRUE(host.instanceLockHeld);
    EXPECT_STREQ(GetStartupError(), "");
}

TEST_F(LifecycleTest, StartAndEndAreIdempotent) {
    EXPECT_EQ(EndLibrary(), 0);  // not started: nothing to do
    Start();
    EXPECT_EQ(InitLibrary(), 0);
    EXPECT_EQ(host.openCount, 1);
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(host.windowOpen);
    EXPECT_FALSE(host.instanceLockHeld);
    EXPECT_TRUE(host.screenSaverEnabled);
    EXPECT_EQ(EndLibrary(), 0);
    Start();  // a stopped library starts again
    EXPECT_EQ(host.openCount, 2);
}

TEST_F(LifecycleTest, EmptyTitleGivesDefaultClassNameAndCaption) {
    SetWindowTitle("");
    zq::SetClassNameSetting("");
    Start();
    EXPECT_STREQ(zq::ClassNameSetting(), "D123987X");
    EXPECT_STREQ(host.caption, "ZqLib");
}

TEST_F(LifecycleTest, TitleSetAfterStartChangesTheCaption) {
    Start();
    char title[64];
    Utf8ToShiftJis("ガズモ", title, sizeof title);
    SetWindowTitle(title);
    EXPECT_STREQ(host.caption, "ガズモ");
}

TEST_F(LifecycleTest, SecondCopyIsRefused) {
    zq::SetClassNameSetting("");
    host.SetForeignInstanceLock("テスト");
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(host.windowOpen);
    EXPECT_NE(std::strstr(GetStartupError(), "already running"), nullptr);
    EXPECT_TRUE(host.screenSaverEnabled);
}

TEST_F(LifecycleTest, NoDisplayFailsWithTheHostsReason) {
    host.SetNoDisplay("no display to open a window on (DISPLAY=:9)");
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(host.windowOpen);
    EXPECT_NE(std::strstr(GetStartupError(), "DISPLAY=:9"), nullptr);
    EXPECT_FALSE(zq::IsLibraryInitialised());
    EXPECT_FALSE(zq::IsLibraryInitialising());
}

TEST_F(LifecycleTest, TwentyFourBitDesktopIsRefused) {
    host.SetDesktop({1920, 1080, 24, 60});
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(host.windowOpen);
    EXPECT_FALSE(zq::IsLibraryInitialising());
}

TEST_F(LifecycleTest, ScreenModeRejectsBadRequestsAndKeepsTheStoredMode) {
    struct Case {
        int width, height, bits, refresh, result;
    };
    const Case cases[] = {
        {640, 480, 24, 60, -1}, {0, 480, 16, 60, -1}, {640, 0, 16, 60, -1}, {640, 480, 15, 60, -1},
        {800, 600, 32, 0, 0},   {640, 480, 8, 60, 0}, {640, 480, 16, 60, 0},
    };
    for (const Case &c : cases) {
        const zq::ScreenModeSetting before = zq::RequestedScreenMode();
        EXPECT_EQ(SetScreenMode(c.width, c.height, c.bits, c.refresh), c.result) << c.width << "x" << c.height << "x" << c.bits;
        const zq::ScreenModeSetting after = zq::RequestedScreenMode();
        if (c.result == 0) {
            EXPECT_EQ(after.width, c.width);
            EXPECT_EQ(after.bits, c.bits);
        } else {
            EXPECT_EQ(after.width, before.width);
            EXPECT_EQ(after.bits, before.bits);
        }
    }
}

TEST_F(LifecycleTest, ScreenModeSizesTheWindow) {
    SetScreenMode(320, 240, 32, 0);
    Start();
    EXPECT_EQ(host.clientWidth, 320);
    EXPECT_EQ(host.clientHeight, 240);
}

TEST_F(LifecycleTest, ChangeWindowModeToTheCurrentModeChangesNothing) {
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_EQ(zq::WindowModeSetting(), 1);
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_EQ(zq::WindowModeSetting(), 0);
    EXPECT_EQ(ChangeWindowMode(1), 0);
}

TEST_F(LifecycleTest, WindowModeChangeAfterStartRestylesTheWindow) {
    Start();
    EXPECT_EQ(ChangeWindowMode(0), 0);
    EXPECT_TRUE(host.fullScreen);
    EXPECT_EQ(ChangeWindowMode(1), 0);
    EXPECT_FALSE(host.fullScreen);
    EXPECT_EQ(host.clientWidth, 640);
    EXPECT_EQ(host.clientHeight, 480);
}

TEST_F(LifecycleTest, FullScreenFallsBackToWindowWithoutADisplayModeOfTheScreenSize) {
    ChangeWindowMode(0);
    host.displayModes = {{800, 600, 32, 60}, {1024, 768, 32, 60}};
    Start();
    EXPECT_EQ(zq::WindowModeSetting(), 1);
    EXPECT_FALSE(host.fullScreen);
}

TEST_F(LifecycleTest, FullScreenHidesTheCursor) {
    ChangeWindowMode(0);
    Start();
    EXPECT_TRUE(host.fullScreen);
    EXPECT_FALSE(host.cursorVisible);
    EndLibrary();
    EXPECT_TRUE(host.cursorVisible);  // given back at shutdown
}

TEST_F(LifecycleTest, StartupLogsTheSystemAndTheDump) {
    Start();
    EndLibrary();
    FILE *file = std::fopen("Log.txt", "rb");
    ASSERT_NE(file, nullptr);
    char text[65536];
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    char expected[256];
    Utf8ToShiftJis("ＺＱライブラリ Ver3.01", expected, sizeof expected);
    EXPECT_NE(std::strstr(text, expected), nullptr);
    Utf8ToShiftJis("二重起動はされていませんでした", expected, sizeof expected);
    EXPECT_NE(std::strstr(text, expected), nullptr);
    EXPECT_NE(std::strstr(text, "Alloc memory dump\r\n"), nullptr);
}

TEST_F(LifecycleTest, ErrorExitShutsDownAndExitsWithMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Start();
    EXPECT_EXIT(ErrorExit("limit reached"), ::testing::ExitedWithCode(255), "fatal: limit reached");
}

}  // namespace
