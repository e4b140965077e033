// The host of the real program: one SDL2 window with its events, the keyboard and mouse read
// through SDL, monotonic clocks, and the single-instance lock as an flock on a file.
//
// Relies on SDL2 (video and events, started lazily by ReadDesktop or OpenWindow and stopped by
// CloseWindow) and on POSIX clocks and file locks. The small pure helpers below are the rules the
// host applies to what SDL reports; they are declared here so that tests can check them without SDL.
#pragma once

#include "platform/host.h"
#include "platform/mixing_host.h"
#include "platform/vertical_blank.h"

#include <cstdint>
#include <string>

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;
struct SDL_Rect;

namespace zq {

// Desktop depth from the display mode's bytes per pixel: packed 3-byte pixels are 24-bit, 4-byte
// pixels 32-bit even when only 24 bits carry color, 2-byte pixels 16-bit, anything else 8 * bytes.
int DesktopBitsPerPixel(int bytesPerPixel);

// MOUSE_* bit of an SDL button number (1 left, 2 middle, 3 right, 4 and 5 the side buttons); 0 for others.
int MouseBitForSdlButton(int sdlButton);
// MOUSE_* bits of an SDL button mask (bit n-1 set while button n is held).
int MouseBitsForSdlMask(uint32_t mask);

// Path of the lock file for an instance name: "zqlib-<name>.lock" with '/' replaced by '_', in
// runtimeDir when it is set and not empty, else in tempDir, else in /tmp. Names too long for a file
// name are cut at a character boundary.
std::string InstanceLockPath(const char *name, const char *runtimeDir, const char *tempDir);

class HostSdl final : public MixingHost {
public:
    HostSdl();
    ~HostSdl() override;
    HostSdl(const HostSdl &) = delete;
    HostSdl &operator=(const HostSdl &) = delete;

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

    // What the window shows now, as SDL reports it: caption (empty without a window) and client size.
    std::string WindowCaption() const;
    bool WindowClientSize(int *width, int *height) const;
    // The colour (0xRRGGBB) of a pixel of the window's buffer as last presented; -1 outside it or
    // without a window.
    int64_t WindowPixel(int x, int y) const;

private:
    bool StartVideo();
    void StopVideo();
    void Fail(const char *what, bool withSdlError);
    void DetectLayout();
    bool TranslateEvent(const SDL_Event &event, HostEvent *out);
    SDL_Surface *WrapPicture(const PresentRequest &request);
    SDL_Surface *StretchSource(SDL_Surface *picture, const SDL_Rect &from, const SDL_Surface *target);
    void ReleasePresentation();
    static int WatchKeys(void *self, SDL_Event *event);

    std::string lastError_;
    SDL_Window *window_ = nullptr;
    // The caller's picture seen as an SDL surface (its pixels are not copied), kept while the
    // picture's memory and layout stay the same.
    SDL_Surface *picture_ = nullptr;
    // A stretch between two layouts goes through this copy of the source rectangle in the
    // window's layout, because SDL stretches quickly only within one layout.
    SDL_Surface *stretchSource_ = nullptr;
    VerticalBlankClock verticalBlank_;
    bool videoStarted_ = false;
    bool japaneseLayout_ = false;
    bool cursorVisible_ = true;
    bool screenSaverEnabled_ = true;
    int lockFd_ = -1;
    // Key codes pressed since the last ReadKeyboard, filled as SDL queues key events.
    uint8_t pressedSinceRead_[kKeyCodeCount] = {};

    // ---- Audio (host_sdl_audio.cpp) ----
    static void FillAudio(void *self, uint8_t *stream, int length);
    uint32_t audioDevice_ = 0;  // SDL_AudioDeviceID; 0 while closed
};

}  // namespace zq
