// The SDL host run headless (SDL's offscreen video driver): window, events, keyboard and mouse
// without a display, and pictures presented into it; the scancode table; the instance lock across
// processes; the desktop depth rule.
#include "platform/host_sdl.h"
#include "platform/keymap_sdl.h"
#include "zqlib.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <unistd.h>

#include <sys/wait.h>

namespace zq {
namespace {

// Scancodes are USB HID keyboard usages.
constexpr int kUsageA = 4;
constexpr int kUsage1 = 30;
constexpr int kUsageEscape = 41;
constexpr int kUsageGrave = 53;
constexpr int kUsageApostrophe = 52;
constexpr int kUsageEquals = 46;
constexpr int kUsageLeftBracket = 47;

class HostSdlWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { host.CloseWindow(); }

    bool Open(const char *caption, int width, int height) {
        WindowRequest request{caption, width, height, false};
        return host.OpenWindow(request);
    }

    HostSdl host;
};

TEST_F(HostSdlWindow, OpensWithCaptionAndExactClientSize) {
    ASSERT_TRUE(Open("ガズモ", 640, 480)) << host.LastError();
    EXPECT_EQ(host.WindowCaption(), "ガズモ");
    int width = 0, height = 0;
    ASSERT_TRUE(host.WindowClientSize(&width, &height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);

    host.SetCaption("二つ目");
    host.SetClientSize(320, 240);
    EXPECT_EQ(host.WindowCaption(), "二つ目");
    ASSERT_TRUE(host.WindowClientSize(&width, &height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

TEST_F(HostSdlWindow, OpensAgainAfterClose) {
    ASSERT_TRUE(Open("one", 64, 48)) << host.LastError();
    host.CloseWindow();
    EXPECT_EQ(host.WindowCaption(), "");
    ASSERT_TRUE(Open("two", 80, 60)) << host.LastError();
    EXPECT_EQ(host.WindowCaption(), "two");
}

TEST_F(HostSdlWindow, PollDrainsWithoutBlocking) {
    ASSERT_TRUE(Open("poll", 64, 48)) << host.LastError();
    HostEvent event;
    int returned = 0;
    while (host.PollEvent(&event) && returned < 1000) ++returned;
    EXPECT_LT(returned, 1000);
    EXPECT_FALSE(host.PollEvent(&event));
}

TEST_F(HostSdlWindow, ReadsDesktop) {
    DesktopInfo desktop{};
    ASSERT_TRUE(host.ReadDesktop(&desktop)) << host.LastError();
    EXPECT_GT(desktop.width, 0);
    EXPECT_GT(desktop.height, 0);
    EXPECT_TRUE(desktop.bitsPerPixel == 16 || desktop.bitsPerPixel == 24 || desktop.bitsPerPixel == 32);
    EXPECT_GE(desktop.refreshRate, 0);
}

TEST_F(HostSdlWindow, KeyboardAndMouseReadNothingWithoutInput) {
    uint8_t keys[kKeyCodeCount];
    host.ReadKeyboard(keys);  // before any window: all zero, no SDL needed
    for (int code = 0; code < kKeyCodeCount; ++code) EXPECT_EQ(keys[code], 0) << code;
    ASSERT_TRUE(Open("keys", 64, 48)) << host.LastError();
    host.ReadKeyboard(keys);
    for (int code = 0; code < kKeyCodeCount; ++code) EXPECT_EQ(keys[code], 0) << code;
    EXPECT_EQ(host.MouseButtons(), 0);
}

// A picture in the screen's layout (R5G6B5 or X8R8G8B8) whose top-left region of regionWidth x
// regionHeight is four coloured quarters, black elsewhere, with a pitch wider than a line so that
// the host must honour it.
struct QuarterPicture {
    static constexpr int kColors[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    int width, height, bits, pitch;
    std::vector<uint8_t> pixels;

    QuarterPicture(int w, int h, int b, int regionWidth, int regionHeight)
        : width(w), height(h), bits(b), pitch(w * b / 8 + 16), pixels(size_t(pitch) * h) {
        for (int y = 0; y < regionHeight; ++y) {
            for (int x = 0; x < regionWidth; ++x) {
                const int rgb = kColors[(y >= regionHeight / 2) * 2 + (x >= regionWidth / 2)];
                uint8_t *p = pixels.data() + y * pitch + x * (b / 8);
                if (b == 16) {
                    const uint16_t v = uint16_t((rgb >> 19 & 0x1F) << 11 | (rgb >> 10 & 0x3F) << 5 | (rgb >> 3 & 0x1F));
                    std::memcpy(p, &v, 2);
                } else {
                    const uint32_t v = 0xFF000000u | uint32_t(rgb);
                    std::memcpy(p, &v, 4);
                }
            }
        }
    }
    QuarterPicture(int w, int h, int b) : QuarterPicture(w, h, b, w, h) {}
    PresentRequest Whole() const { return {pixels.data(), width, height, pitch, bits, 0, 0, width, height}; }
};

// The colour bits a 16-bit pixel keeps.
constexpr int64_t kKept = 0xF8FCF8;

TEST_F(HostSdlWindow, PresentsPicturesCopiedOrStretchedOverTheWindow) {
    struct Case {
        int bits;
        int windowWidth, windowHeight;
        int pictureWidth, pictureHeight;
        int sourceWidth, sourceHeight;  // the presented top-left rectangle, as 320 x 240 emulation has it
    };
    const Case cases[] = {
        {16, 64, 48, 64, 48, 64, 48},   {32, 64, 48, 64, 48, 64, 48},     // copied
        {16, 128, 96, 64, 48, 64, 48},  {32, 128, 96, 64, 48, 64, 48},    // the whole picture stretched
        {16, 128, 96, 128, 96, 64, 48}, {32, 128, 96, 128, 96, 64, 48},  // its top-left quarter stretched
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, window " << c.windowWidth << " x " << c.windowHeight
                                        << ", source " << c.sourceWidth << " x " << c.sourceHeight << " of "
                                        << c.pictureWidth << " x " << c.pictureHeight);
        ASSERT_TRUE(Open("present", c.windowWidth, c.windowHeight)) << host.LastError();
        QuarterPicture picture(c.pictureWidth, c.pictureHeight, c.bits, c.sourceWidth, c.sourceHeight);
        PresentRequest request = picture.Whole();
        request.srcWidth = c.sourceWidth;
        request.srcHeight = c.sourceHeight;
        ASSERT_TRUE(host.Present(request)) << host.LastError();
        const int w = c.windowWidth, h = c.windowHeight;
        for (int q = 0; q < 4; ++q) {
            const int64_t expected = QuarterPicture::kColors[q] & kKept;
            const int right = q % 2, bottom = q / 2;
            // The quarter's outer corner and its centre.
            EXPECT_EQ(host.WindowPixel(right ? w - 1 : 0, bottom ? h - 1 : 0) & kKept, expected) << q;
            EXPECT_EQ(host.WindowPixel(w / 4 + right * w / 2, h / 4 + bottom * h / 2) & kKept, expected) << q;
        }
        EXPECT_EQ(host.WindowPixel(w, 0), -1);
        host.CloseWindow();
    }
}

TEST_F(HostSdlWindow, PresentsIntoTheNewSizeAfterAResize) {
    ASSERT_TRUE(Open("resize", 64, 48)) << host.LastError();
    QuarterPicture picture(64, 48, 16);
    ASSERT_TRUE(host.Present(picture.Whole())) << host.LastError();
    host.SetClientSize(128, 96);
    ASSERT_TRUE(host.Present(picture.Whole())) << host.LastError();
    EXPECT_EQ(host.WindowPixel(127, 95) & kKept, 0xFFFFFF & kKept);
    EXPECT_EQ(host.WindowPixel(100, 20) & kKept, 0x00FF00 & kKept);
    EXPECT_EQ(host.WindowPixel(128, 0), -1);
}

TEST(HostSdlNoWindow, CallsWithoutWindowAreHarmless) {
    HostSdl host;
    HostEvent event;
    EXPECT_FALSE(host.PollEvent(&event));
    int x = -1, y = -1;
    host.ClientOrigin(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    host.GlobalMousePosition(&x, &y);
    EXPECT_EQ(host.MouseButtons(), 0);
    host.ShowCursor(false);
    host.SetScreenSaver(true);
    host.SetCaption("none");
    host.RaiseWindow();
    host.CloseWindow();
}

TEST(HostSdlClock, MonotonicAndConsistent) {
    HostSdl host;
    int64_t nsBefore = host.Nanoseconds();
    uint32_t msBefore = host.Milliseconds();
    host.Sleep(2);
    int64_t nsAfter = host.Nanoseconds();
    uint32_t msAfter = host.Milliseconds();
    EXPECT_GE(nsAfter - nsBefore, 2'000'000);
    EXPECT_GE(static_cast<uint32_t>(msAfter - msBefore), 2u);
}

TEST(HostSdlDesktop, BitsPerPixelFromBytes) {
    struct Case {
        int bytes, bits;
    } cases[] = {{2, 16}, {3, 24}, {4, 32}, {1, 8}};
    for (const Case &c : cases) EXPECT_EQ(DesktopBitsPerPixel(c.bytes), c.bits) << c.bytes << " bytes";
}

TEST(HostSdlMouse, ButtonNumbersToBits) {
    // SDL numbers the middle button 2 and the right one 3.
    std::map<int, int> expected = {{1, MOUSE_LEFT}, {2, MOUSE_MIDDLE}, {3, MOUSE_RIGHT}, {4, 8}, {5, 16}, {0, 0}, {6, 0}};
    for (auto [sdl, bit] : expected) EXPECT_EQ(MouseBitForSdlButton(sdl), bit) << "button " << sdl;
    EXPECT_EQ(MouseBitsForSdlMask(0), 0);
    EXPECT_EQ(MouseBitsForSdlMask(0b00001), MOUSE_LEFT);
    EXPECT_EQ(MouseBitsForSdlMask(0b00100), MOUSE_RIGHT);
    EXPECT_EQ(MouseBitsForSdlMask(0b00010), MOUSE_MIDDLE);
    EXPECT_EQ(MouseBitsForSdlMask(0b11111), MOUSE_LEFT | MOUSE_RIGHT | MOUSE_MIDDLE | 8 | 16);
}

TEST(HostSdlKeymap, LettersDigitsAndEscape) {
    // Letters A..Z in usage order and the key codes of the same letters.
    const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(KeyCodeForScancode(kUsageA + i, false), letters[i]) << static_cast<char>('A' + i);
    // Digits 1..9, 0 read 0x02..0x0B.
    for (int i = 0; i < 10; ++i) EXPECT_EQ(KeyCodeForScancode(kUsage1 + i, false), 0x02 + i) << i;
    EXPECT_EQ(KeyCodeForScancode(kUsageEscape, false), KEY_ESCAPE);
    EXPECT_EQ(KeyCodeForScancode(kUsageEscape, true), KEY_ESCAPE);
    EXPECT_EQ(KeyCodeForScancode(-1, false), 0);
    EXPECT_EQ(KeyCodeForScancode(100000, true), 0);
    EXPECT_EQ(KeyCodeForScancode(0, false), 0);
}

TEST(HostSdlKeymap, JapaneseLegendsOnlyUnderJapaneseLayout) {
    struct Case {
        int scancode;
        uint8_t us, japanese;
    } cases[] = {
        {kUsageGrave, 0x29, KEY_KANJI},
        {kUsageApostrophe, 0x28, KEY_COLON},
        {kUsageLeftBracket, KEY_LBRACKET, KEY_AT},
        {kUsageEquals, 0x0D, 0x90},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(KeyCodeForScancode(c.scancode, false), c.us) << c.scancode;
        EXPECT_EQ(KeyCodeForScancode(c.scancode, true), c.japanese) << c.scancode;
    }
}

TEST(HostSdlKeymap, EachKeyCodeHasOneScancodeExceptSharedKeys) {
    // Keys that the same physical key may report under different drivers share a code.
    const std::set<uint8_t> shared = {0x2B /* backslash, ISO hash */, 0x70 /* kana */,
                                      0xB7 /* print screen, sysreq */};
    std::map<uint8_t, int> uses;
    std::set<int> scancodes;
    for (const ScancodeKey &row : PositionalKeymap()) {
        EXPECT_NE(row.keyCode, 0) << row.scancode;
        EXPECT_TRUE(scancodes.insert(row.scancode).second) << "scancode twice: " << row.scancode;
        ++uses[row.keyCode];
    }
    for (auto [code, count] : uses)
        if (!shared.count(code)) {
            EXPECT_EQ(count, 1) << "key code 0x" << std::hex << int(code);
        }
    for (uint8_t code : shared) EXPECT_GE(uses[code], 2) << "0x" << std::hex << int(code);
    // The Japanese rows only replace positions the table has, with codes it gives no other key
    // (hankaku/zenkaku is also LANG5's).
    for (const ScancodeKey &row : JapaneseLayoutKeymap()) {
        EXPECT_TRUE(scancodes.count(row.scancode)) << row.scancode;
        if (row.keyCode != KEY_KANJI) {
            EXPECT_EQ(uses.count(row.keyCode), 0u) << std::hex << int(row.keyCode);
        }
    }
}

TEST(HostSdlKeymap, CoversTheLibraryKeyConstants) {
    const int constants[] = {
        KEY_ESCAPE, KEY_MINUS, KEY_BACK, KEY_TAB, KEY_LBRACKET, KEY_RBRACKET, KEY_RETURN, KEY_LCONTROL,
        KEY_SEMICOLON, KEY_LSHIFT, KEY_BACKSLASH, KEY_COMMA, KEY_PERIOD, KEY_SLASH, KEY_RSHIFT, KEY_MULTIPLY,
        KEY_LALT, KEY_SPACE, KEY_CAPSLOCK, KEY_F1, KEY_F10, KEY_NUMLOCK, KEY_SCROLL, KEY_NUMPAD0, KEY_NUMPAD9,
        KEY_SUBTRACT, KEY_ADD, KEY_DECIMAL, KEY_F11, KEY_F12, KEY_KANA, KEY_CONVERT, KEY_NOCONVERT, KEY_YEN,
        KEY_KANJI, KEY_NUMPADENTER, KEY_RCONTROL, KEY_DIVIDE, KEY_SYSRQ, KEY_RALT, KEY_PAUSE, KEY_HOME, KEY_UP,
        KEY_PGUP, KEY_LEFT, KEY_RIGHT, KEY_END, KEY_DOWN, KEY_PGDN, KEY_INSERT, KEY_DELETE, KEY_LWIN, KEY_RWIN,
        KEY_APPS, KEY_AT, KEY_COLON,
    };
    std::set<int> reachable;
    for (const ScancodeKey &row : PositionalKeymap()) reachable.insert(row.keyCode);
    for (const ScancodeKey &row : JapaneseLayoutKeymap()) reachable.insert(row.keyCode);
    for (int code : constants) EXPECT_TRUE(reachable.count(code)) << "0x" << std::hex << code;
}

TEST(HostSdlLock, PathNamesTheInstance) {
    struct Case {
        const char *name, *runtime, *temp, *path;
    } cases[] = {
        {"ガズモ", "/run/user/7", "/var/tmp", "/run/user/7/zqlib-ガズモ.lock"},
        {"a/b", "", "/var/tmp/", "/var/tmp/zqlib-a_b.lock"},
        {"x", nullptr, nullptr, "/tmp/zqlib-x.lock"},
    };
    for (const Case &c : cases) EXPECT_EQ(InstanceLockPath(c.name, c.runtime, c.temp), c.path) << c.name;
    // A long name is cut at a character boundary: each "あ" is three bytes.
    std::string longName;
    for (int i = 0; i < 100; ++i) longName += "あ";
    std::string path = InstanceLockPath(longName.c_str(), "/r", nullptr);
    std::string kept = path.substr(std::string("/r/zqlib-").size());
    kept.resize(kept.size() - std::string(".lock").size());
    EXPECT_LE(kept.size(), 200u);
    EXPECT_EQ(kept.size() % 3, 0u);
}

// The lock held by another process: refused while it lives, free once it is killed.
class HostSdlLockAcrossProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/zq-lock-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        lockDir = dir;
        setenv("XDG_RUNTIME_DIR", lockDir.c_str(), 1);
    }
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        for (const char *name : {kName, kOtherName}) unlink(InstanceLockPath(name, lockDir.c_str(), nullptr).c_str());
        rmdir(lockDir.c_str());
        unsetenv("XDG_RUNTIME_DIR");
    }

    // Starts a child that takes the lock and waits to be killed; returns once it holds the lock.
    void StartHolder() {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            HostSdl holder;
            char held = holder.AcquireInstanceLock(kName) ? 1 : 0;
            (void)!write(ready[1], &held, 1);
            for (;;) pause();
        }
        close(ready[1]);
        char held = 0;
        ASSERT_EQ(read(ready[0], &held, 1), 1);
        close(ready[0]);
        ASSERT_EQ(held, 1);
    }

    static constexpr const char *kName = "ロック試験/one";
    static constexpr const char *kOtherName = "another";
    std::string lockDir;
    pid_t child = -1;
};

TEST_F(HostSdlLockAcrossProcesses, RefusedWhileHeldFreeAfterHolderDies) {
    StartHolder();
    HostSdl host;
    EXPECT_FALSE(host.AcquireInstanceLock(kName));
    EXPECT_NE(std::string(host.LastError()).find("zqlib-"), std::string::npos) << host.LastError();
    // Another name is independent.
    HostSdl other;
    EXPECT_TRUE(other.AcquireInstanceLock(kOtherName));
    other.ReleaseInstanceLock();

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    child = -1;
    EXPECT_TRUE(host.AcquireInstanceLock(kName)) << host.LastError();
    // Held by this process now: a second holder here is refused too, and released it is free.
    HostSdl second;
    EXPECT_FALSE(second.AcquireInstanceLock(kName));
    host.ReleaseInstanceLock();
    EXPECT_TRUE(second.AcquireInstanceLock(kName));
    second.ReleaseInstanceLock();
}

}  // namespace
}  // namespace zq
