// The screen on the virtual host: presentation of the back and front buffers, 320 x 240
// emulation, screen mode changes and their fallbacks, the clip area, blend settings, draw
// targets, clearing and the BMP writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/draw_state.h"
#include "graphics/kernels.h"
#include "graphics/screen.h"
#include "virtual_library.h"

namespace {

class ScreenTest : public VirtualLibraryTest {
protected:
    // Fills a rectangle of the draw target through the drawing kernel, as drawing code does.
    void Fill(int left, int top, int right, int bottom, uint32_t color) {
        const zq::MemImgRect rect = {left, top, right, bottom};
        zq::FillMemImgRect(zq::CurrentSoftDrawSettings(), zq::DrawTargetImage(), &rect, color);
    }

    // Runs message processing until the virtual clock has moved on by `milliseconds`.
    void RunMessagesFor(uint32_t milliseconds) {
        const uint32_t end = host.Milliseconds() + milliseconds;
        while (static_cast<int32_t>(host.Milliseconds() - end) < 0) ProcessMessages();
    }
};

TEST_F(ScreenTest, StartUpLeavesTheFrontBufferPresentedEvery32Milliseconds) {
    Start();
    EXPECT_EQ(zq::CurrentDrawTarget(), SCREEN_FRONT);
    const uint32_t red = MakeColor(255, 0, 0);
    Fill(0, 0, 640, 480, red);
    const int before = host.presentCount;
    RunMessagesFor(40);
    EXPECT_GE(host.presentCount, before + 1);
    EXPECT_EQ(host.PresentedPixel(10, 10), red);
    RunMessagesFor(100);
    EXPECT_GE(host.presentCount, before + 3);  // it keeps presenting while the front is the target
}

TEST_F(ScreenTest, BackBufferIsPresentedOnlyByFlipScreen) {
    struct Case {
        int bits, bytes;
    };
    for (const Case c : {Case{16, 2}, Case{32, 4}}) {
        SetScreenMode(640, 480, c.bits, 60);
        Start();
        ASSERT_EQ(SetDrawTarget(SCREEN_BACK), 0);
        const uint32_t colors[4] = {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255), MakeColor(255, 255, 255)};
        Fill(0, 0, 320, 240, colors[0]);
        Fill(320, 0, 640, 240, colors[1]);
        Fill(0, 240, 320, 480, colors[2]);
        Fill(320, 240, 640, 480, colors[3]);
        const int before = host.presentCount;
        RunMessagesFor(100);
        EXPECT_EQ(host.presentCount, before) << c.bits;  // no timer for the back buffer
        ASSERT_EQ(FlipScreen(), 0);
        EXPECT_EQ(host.lastPresent.bitsPerPixel, c.bits);
        EXPECT_EQ(host.lastPresent.srcWidth, 640);
        EXPECT_EQ(host.PresentedPixel(100, 100), colors[0]);
        EXPECT_EQ(host.PresentedPixel(500, 100), colors[1]);
        EXPECT_EQ(host.PresentedPixel(100, 400), colors[2]);
        EXPECT_EQ(host.PresentedPixel(500, 400), colors[3]);
        EXPECT_EQ(c.bits == 16 ? colors[0] : colors[0] & 0xFFFFFF, c.bits == 16 ? 0xF800u : 0xFF0000u);
        EndLibrary();
    }
}

TEST_F(ScreenTest, EmulationPresentsTheTopLeftQuarter) {
    Start();
    SetDrawTarget(SCREEN_BACK);
    SetEmulate320x240(1);
    FlipScreen();
    EXPECT_EQ(host.lastPresent.srcWidth, 320);
    EXPECT_EQ(host.lastPresent.srcHeight, 240);
    SetEmulate320x240(0);
}

TEST_F(ScreenTest, FlipFailsBeforeStartAndAfterTheWindowClosed) {
    EXPECT_EQ(FlipScreen(), -1);
    Start();
    host.PushEvent(zq::MakeHostEvent(zq::HostEventType::Close));
    ProcessMessages();
    EXPECT_EQ(FlipScreen(), -1);
}

TEST_F(ScreenTest, ModeChangeToThirtyTwoBitsAndBackKeepsTheWindow) {
    Start();
    EXPECT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    EXPECT_EQ(zq::ScreenImage()->base->format->colorBitDepth, 32);
    EXPECT_EQ(SetScreenMode(640, 480, 16, 60), 0);
    EXPECT_EQ(zq::ScreenImage()->base->format->colorBitDepth, 16);
    EXPECT_EQ(host.clientWidth, 640);
    EXPECT_EQ(host.clientHeight, 480);
    EXPECT_EQ(zq::CurrentDrawTarget(), SCREEN_FRONT);  // the draw state is back at its defaults
}

TEST_F(ScreenTest, ImpossibleModeFallsBack) {
    Start();
    // A window larger than the desktop: the previous mode comes back, -1.
    EXPECT_EQ(SetScreenMode(4000, 3000, 16, 60), -1);
    int width, height;
    GetDrawTargetSize(SCREEN_FRONT, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(SetScreenMode(640, 480, 24, 60), -1);  // not a depth the library draws in
}

TEST_F(ScreenTest, FullScreenModeFallsBackTo640x480x16WhenThePreviousModeIsGoneToo) {
    ChangeWindowMode(0);
    SetScreenMode(800, 600, 32, 60);
    Start();
    host.displayModes = {{640, 480, 16, 60}, {1024, 768, 32, 60}};
    EXPECT_EQ(SetScreenMode(1234, 567, 32, 60), -2);
    int width, height;
    GetDrawTargetSize(SCREEN_BACK, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST_F(ScreenTest, ClipAreaBlendSettingsAndTargetsFollowTheirRules) {
    Start();
    struct ClipCase {
        int x1, y1, x2, y2;
        zq::MemImgRect stored;
        bool empty;
    };
    const ClipCase clips[] = {
        {10, 20, 110, 220, {10, 20, 110, 220}, false},   {110, 220, 10, 20, {10, 20, 110, 220}, false},
        {-50, -50, 10000, 10000, {0, 0, 640, 480}, false}, {100, 100, 100, 300, {100, 100, 100, 300}, true},
        {700, 10, 800, 20, {640, 10, 640, 20}, true},      {0, 0, 640, 480, {0, 0, 640, 480}, false},
    };
    for (const ClipCase &c : clips) {
        EXPECT_EQ(SetClipArea(c.x1, c.y1, c.x2, c.y2), 0);
        const zq::MemImgRect area = zq::CurrentSoftDrawSettings().drawArea;
        EXPECT_EQ(area.left, c.stored.left) << c.x1;
        EXPECT_EQ(area.top, c.stored.top) << c.y1;
        EXPECT_EQ(area.right, c.stored.right) << c.x2;
        EXPECT_EQ(area.bottom, c.stored.bottom) << c.y2;
        EXPECT_EQ(zq::IsDrawAreaEmpty(), c.empty) << c.x1 << "," << c.y1;
    }

    struct BlendCase {
        int mode, param, storedParam;
    };
    for (const BlendCase &c : {BlendCase{BLEND_ALPHA, 300, 255}, BlendCase{BLEND_ADD, -5, 0}, BlendCase{BLEND_NONE, 128, 128}}) {
        SetBlendMode(c.mode, c.param);
        EXPECT_EQ(zq::CurrentSoftDrawSettings().blendMode, c.mode);
        EXPECT_EQ(zq::CurrentSoftDrawSettings().blendParam, c.storedParam);
    }
    SetDrawBrightness(300, -1, 77);
    EXPECT_EQ(zq::CurrentSoftDrawSettings().brightRed, 255);
    EXPECT_EQ(zq::CurrentSoftDrawSettings().brightGreen, 0);
    EXPECT_EQ(zq::CurrentSoftDrawSettings().brightBlue, 77);

    struct TargetCase {
        int target, result, current;
    };
    for (const TargetCase &c : {TargetCase{7, -1, SCREEN_FRONT}, TargetCase{SCREEN_BACK, 0, SCREEN_BACK},
                                TargetCase{-3, 0, -3}, TargetCase{0x08000000, -1, -3}, TargetCase{SCREEN_FRONT, 0, SCREEN_FRONT}}) {
        EXPECT_EQ(SetDrawTarget(c.target), c.result) << c.target;
        EXPECT_EQ(zq::CurrentDrawTarget(), c.current) << c.target;
    }
    EXPECT_EQ(GetDrawTargetSize(-3, nullptr, nullptr), -1);
}

TEST_F(ScreenTest, ClearFillsTheWholeTargetWithTheBackgroundWhateverTheClipArea) {
    SetBackgroundColor(0, 0, 255);
    Start();
    SetDrawTarget(SCREEN_BACK);
    Fill(0, 0, 640, 480, MakeColor(255, 255, 255));
    SetClipArea(10, 10, 20, 20);
    EXPECT_EQ(ClearDrawTarget(), 0);
    FlipScreen();
    EXPECT_EQ(host.PresentedPixel(0, 0), 0x001Fu);
    EXPECT_EQ(host.PresentedPixel(639, 479), 0x001Fu);
    SetBackgroundColor(0, 0, 0);
}

TEST_F(ScreenTest, DisplayModesEndWithMinusOnes) {
    Start();
    const int count = GetDisplayModeCount();
    EXPECT_EQ(count, static_cast<int>(host.displayModes.size()));
    const DisplayMode past = GetDisplayModeEntry(count);
    EXPECT_EQ(past.width, -1);
    EXPECT_EQ(past.refresh, -1);
    EXPECT_EQ(GetDisplayModeEntry(0).width, host.displayModes[0].width);
    EXPECT_EQ(SetHardwareRendering(0), -1);  // too late once started
}

std::string ReadFile(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Little(const std::string &bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

TEST_F(ScreenTest, DrawTargetIsWrittenToABmpAsItIs) {
    struct Case {
        int bits;
        uint32_t compression, dataOffset;
    };
    for (const Case c : {Case{16, 3, 66}, Case{32, 0, 54}}) {
        SetScreenMode(640, 480, c.bits, 60);
        Start();
        SetDrawTarget(SCREEN_BACK);
        const uint32_t corner = MakeColor(10, 200, 30);
        Fill(0, 0, 640, 480, MakeColor(0, 0, 0));
        Fill(0, 0, 1, 1, corner);
        ASSERT_EQ(WriteDrawTargetToFile("shot.bmp"), 0);
        const std::string bmp = ReadFile("shot.bmp");
        const int bytes = c.bits / 8;
        ASSERT_EQ(bmp.size(), c.dataOffset + 640u * 480u * bytes);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(Little(bmp, 10, 4), c.dataOffset);
        EXPECT_EQ(Little(bmp, 28, 2), static_cast<uint32_t>(c.bits));
        EXPECT_EQ(Little(bmp, 30, 4), c.compression);
        if (c.bits == 16) {
            EXPECT_EQ(Little(bmp, 54, 4), 0xF800u);
        }
        // Rows are stored bottom-up: the top-left pixel starts the last row.
        const size_t topLeft = c.dataOffset + 479u * 640u * bytes;
        EXPECT_EQ(Little(bmp, topLeft, bytes), corner);
        EndLibrary();
    }
    EXPECT_EQ(WriteDrawTargetToFile("no_target.bmp"), -1);
}

}  // namespace
