// A scriptable host for unit tests: a clock that moves only when told to (or by a fixed step per
// reading, so busy waits end), events scheduled at chosen clock times, keys, mouse and focus set
// by the test, and counters of what the library asked of it. Nothing here touches a display.
#pragma once

#include <cstdint>

#include "platform/host.h"
#include "platform/mixing_host.h"
#include "platform/vertical_blank.h"

#include <vector>

namespace zq {

class VirtualHost : public MixingHost {
public:
    // Scripting.
    void SetNoDisplay(const char *reason);             // ReadDesktop and OpenWindow fail
    void SetDesktop(const DesktopInfo &desktop);
    void SetClockStep(uint32_t millisecondsPerReading);  // 0 stops the clock between sleeps
    void AdvanceClock(uint32_t milliseconds);
    // Delivers an event once the clock reaches `atMillisecond` (immediately when it has).
    void ScheduleEvent(uint32_t atMillisecond, const HostEvent &event);
    void PushEvent(const HostEvent &event);
    void SetKey(int keyCode, bool down);
    // Changes a key once the clock reaches `atMillisecond`.
    void ScheduleKey(uint32_t atMillisecond, int keyCode, bool down);
    void SetMouse(int desktopX, int desktopY, int buttons);
    void SetWindowOrigin(int x, int y);
    // Another process holds the instance lock of this name (empty name: none).
    void SetForeignInstanceLock(const char *name);

    // What the library did.
    bool windowOpen = false;
    char caption[1024] = "";
    int clientWidth = 0, clientHeight = 0;
    bool fullScreen = false;
    bool cursorVisible = true;
    bool screenSaverEnabled = true;
    bool instanceLockHeld = false;
    int sleepCount = 0;
    int pollCount = 0;
    int openCount = 0;
    // The last picture presented, packed rows of width * bitsPerPixel / 8 bytes.
    int presentCount = 0;
    PresentRequest lastPresent = {};
    std::vector<uint8_t> presented;
    bool failPresent = false;
    // The display's modes.
    std::vector<DisplayModeInfo> displayModes = {{640, 480, 16, 60}, {640, 480, 32, 60}, {800, 600, 32, 60},
                                                 {1920, 1080, 32, 60}};
    // Reads the presented pixel at (x, y) of the source rectangle.
    uint32_t PresentedPixel(int x, int y) const;

    // Host.
    const char *LastError() override;
    uint32_t Milliseconds() override;
    int64_t Nanoseconds() override;
    void Sleep(int milliseconds) override;
    bool ReadDesktop(DesktopInfo *out) override;
    bool AcquireInstanceLock(const char *name) override;
    void ReleaseInstanceLock() override;
    bool OpenWindow(const WindowRequest &request) override;
    void CloseWindow() override;
    void SetCaption(const char *caption) override;
    void SetClientSize(int width, int height) override;
    void SetFullScreen(bool fullScreen) override;
    void RaiseWindow() override;
    void ClientOrigin(int *x, int *y) override;
    bool PollEvent(HostEvent *out) override;
    void ReadKeyboard(uint8_t state[kKeyCodeCount]) override;
    int MouseButtons() override;
    void GlobalMousePosition(int *x, int *y) override;
    void ShowCursor(bool visible) override;
    void SetScreenSaver(bool enabled) override;
    bool Present(const PresentRequest &request) override;
    bool DisplayModeAt(int index, DisplayModeInfo *out) override;
    bool InVerticalBlank() override;
    void WaitVerticalBlank() override;

    // ---- Glyphs (forwarded to the shared FreeType service) ----
    int CreateFontFace(const char *name, int pixelHeight, int weight, bool italic) override;
    bool ReadFontMetrics(int face, FontMetrics *out) override;
    int RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics, uint8_t *buffer,
                    int bufferSize) override;
    void ReleaseFontFace(int face) override;

    // ---- Audio ----
    bool OpenAudioDevice() override;
    void CloseAudioDevice() override;
    bool AudioDeviceAt(int index, AudioDeviceInfo *out) override;
    // The sound-buffer operations come from MixingHost.

    // ---- Audio scripting ----
    // OpenAudioDevice fails, as on a machine without sound output.
    void SetNoAudioDevice(bool absent) { noAudioDevice_ = absent; }
    bool AudioDeviceOpen() const { return mixer_.IsOpen(); }
    // Mixes the next `frames` stereo frames of output, as the device would play them. Sleep also
    // plays the slept time's frames, appending them to capturedAudio while captureAudio is set.
    void MixAudio(int16_t *out, int frames);
    bool captureAudio = false;
    std::vector<int16_t> capturedAudio;

private:
    static constexpr int kQueueSize = 256;
    struct Scheduled {
        uint32_t at;
        HostEvent event;
    };

    uint32_t now_ = 0;
    VerticalBlankClock verticalBlank_;
    uint64_t nanosExtra_ = 0;
    uint32_t clockStep_ = 1;
    bool noDisplay_ = false;
    char error_[256] = "";
    DesktopInfo desktop_ = {1920, 1080, 32, 60};
    Scheduled queue_[kQueueSize] = {};
    int queued_ = 0;
    uint8_t keys_[kKeyCodeCount] = {};
    int mouseX_ = 0, mouseY_ = 0, buttons_ = 0;
    int originX_ = 640, originY_ = 300;
    char foreignLock_[256] = "";
    struct KeyChange {
        uint32_t at;
        int keyCode;
        bool down;
    };
    static constexpr int kKeyChangeLimit = 64;
    KeyChange keyChanges_[kKeyChangeLimit] = {};
    int keyChangeCount_ = 0;
    void ApplyDueKeyChanges();

    // ---- Audio (host_virtual_audio.cpp) ----
    void PlaySleptAudio(int milliseconds);
    bool noAudioDevice_ = false;
    uint64_t audioMilliseconds_ = 0;  // slept time since the device opened
    uint64_t audioFrames_ = 0;        // frames mixed for it
};

// Builds an event for scripting.
HostEvent MakeHostEvent(HostEventType type, int button = 0, int x = 0, int y = 0);

}  // namespace zq
