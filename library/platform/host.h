// What a host must provide to the library: clocks, the desktop, one window with its events, the
// single-instance lock, keyboard and mouse state, the cursor, the screen saver switch and glyphs.
//
// The library calls only this interface, never the platform's own libraries, so the same code runs
// on the SDL host (the real program) and on the scriptable virtual host (unit tests). Strings
// handed to a host are UTF-8; the library converts its Shift-JIS texts before the call.
#pragma once

#include <cstdint>

#include "platform/audio_mixer.h"

namespace zq {

// Host events that the message handling reacts to; everything else stays inside the host.
enum class HostEventType {
    Close,        // the user or the window manager asks the window to close
    Quit,         // the whole program is asked to end
    FocusGained,  // the window became the active one
    FocusLost,
    Exposed,      // part of the window must be painted again
    Moved,        // the client area moved on the desktop
    ButtonDown,   // button = MOUSE_* bit, x and y in client coordinates
    Wheel,        // wheel = +1 or -1 per notch
    DropFile,     // path = the dropped file's name
};

constexpr int kHostPathSize = 4096;

struct HostEvent {
    HostEventType type;
    int button;
    int x, y;
    int wheel;
    char path[kHostPathSize];
};

struct DesktopInfo {
    int width, height;
    int bitsPerPixel;  // 16, 24 (packed 3-byte pixels) or 32
    int refreshRate;   // Hz; 0 when the display does not say
};

struct WindowRequest {
    const char *caption;  // UTF-8
    int clientWidth, clientHeight;
    bool fullScreen;
};

// A picture to show in the window: the rectangle (srcX, srcY, srcWidth, srcHeight) of a top-down
// pixel block, copied or stretched over the whole client area. Pixels are R5G6B5 (16 bits) or
// X8R8G8B8 (32 bits), as the screen image holds them: no conversion is asked of the library.
struct PresentRequest {
    const void *pixels;
    int width, height, pitch;
    int bitsPerPixel;
    int srcX, srcY, srcWidth, srcHeight;
};

struct DisplayModeInfo {
    int width, height, bitsPerPixel, refreshRate;
};

// ---- Glyphs ----
// Per face: the cell height in pixels, the ascent (baseline below the cell's top) and the widest
// advance of any glyph.
struct FontMetrics {
    int height, ascent, maxAdvance;
};

enum class GlyphFormat {
    Mono,      // 1 bit per pixel, most significant bit leftmost
    Levels17,  // 1 byte per pixel, coverage 0..16
};

// Per glyph: the black box (the inked pixels' bounding box), its top-left corner relative to the pen
// position on the baseline (originY counts upwards), and the pen's advance.
struct GlyphMetrics {
    int blackBoxX, blackBoxY;
    int originX, originY;
    int advance;
};
// ---- End of glyphs ----

// Number of key codes; key state bytes hold bit 7 while the key is down.
constexpr int kKeyCodeCount = 256;

// An audio output device as the sound start-up log names it.
struct AudioDeviceInfo {
    char module[64];        // the driver
    char description[256];  // the device
};

class Host {
public:
    virtual ~Host() = default;

    // Why the last failing call failed, for the log and for the user.
    virtual const char *LastError() = 0;

    // Clocks: monotonic milliseconds (wrapping at 2^32) and nanoseconds; a sleep of the main thread.
    virtual uint32_t Milliseconds() = 0;
    virtual int64_t Nanoseconds() = 0;
    virtual void Sleep(int milliseconds) = 0;

    // The desktop: false when there is no display to open a window on.
    virtual bool ReadDesktop(DesktopInfo *out) = 0;

    // Single instance: false when another process holds the lock of this name. The lock ends with
    // the process, so a crashed copy never blocks the next start.
    virtual bool AcquireInstanceLock(const char *name) = 0;
    virtual void ReleaseInstanceLock() = 0;

    // The one window. OpenWindow centres a non-resizable window with exactly the client size asked.
    virtual bool OpenWindow(const WindowRequest &request) = 0;
    virtual void CloseWindow() = 0;
    virtual void SetCaption(const char *caption) = 0;
    virtual void SetClientSize(int width, int height) = 0;
    virtual void SetFullScreen(bool fullScreen) = 0;
    virtual void RaiseWindow() = 0;
    // Screen position of the client area's top-left corner.
    virtual void ClientOrigin(int *x, int *y) = 0;

    // Next pending event of the window; false when none is waiting.
    virtual bool PollEvent(HostEvent *out) = 0;

    // Keyboard state in key codes (bit 7 = held). A key pressed and released since the last read
    // still reads as held once, so a short tap between two frames is not lost.
    virtual void ReadKeyboard(uint8_t state[kKeyCodeCount]) = 0;
    // MOUSE_* bits of the buttons held now, and the pointer's position on the desktop.
    virtual int MouseButtons() = 0;
    virtual void GlobalMousePosition(int *x, int *y) = 0;
    virtual void ShowCursor(bool visible) = 0;

    virtual void SetScreenSaver(bool enabled) = 0;

    // Shows a picture in the window; false with the reason when it cannot.
    virtual bool Present(const PresentRequest &request) = 0;
    // The display's modes, index 0 upwards; false past the last one.
    virtual bool DisplayModeAt(int index, DisplayModeInfo *out) = 0;
    // The display's vertical blank: whether it is in one now, and a wait for the next one to begin.
    virtual bool InVerticalBlank() = 0;
    virtual void WaitVerticalBlank() = 0;

    // ---- Glyphs ----
    // A face of a family (UTF-8; null or empty: the Japanese gothic the library uses by default) at a
    // pixel height (the cell's, ascent plus descent), weight 100..900 (600 and up thicken a face that
    // has no bold) and slant. A face id, or -1 when no face can be made.
    virtual int CreateFontFace(const char *name, int pixelHeight, int weight, bool italic) = 0;
    virtual bool ReadFontMetrics(int face, FontMetrics *out) = 0;
    // Renders one character into buffer, rows padded to 4 bytes, blackBoxY rows. Returns the bytes
    // the bitmap needs (0 for a glyph without ink) and fills metrics; with a null buffer or one too
    // small only measures. -1 for an unknown face or a failed rendering.
    virtual int RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics,
                            uint8_t *buffer, int bufferSize) = 0;
    virtual void ReleaseFontFace(int face) = 0;
    // ---- End of glyphs ----

    // ---- Audio ----
    // One output device, 16-bit stereo at kMixerRate, fed by a mixer of sound buffers (see
    // audio_mixer.h for what a buffer is). Buffer ids are 1 and up; 0 means failure. Without an
    // open device every buffer operation fails.
    virtual bool OpenAudioDevice() = 0;
    virtual void CloseAudioDevice() = 0;
    // The output devices the platform knows of, index 0 upwards; false past the last one.
    virtual bool AudioDeviceAt(int index, AudioDeviceInfo *out) = 0;
    virtual int CreateSoundBuffer(const SoundBufferFormat &format, int bytes) = 0;
    virtual int DuplicateSoundBuffer(int buffer) = 0;
    virtual bool ReleaseSoundBuffer(int buffer) = 0;
    virtual bool PlaySoundBuffer(int buffer, bool loop) = 0;
    virtual bool StopSoundBuffer(int buffer) = 0;
    virtual int SoundBufferStatus(int buffer) = 0;  // kBufferPlaying | kBufferLooping, -1 when unknown
    virtual bool SetSoundBufferVolume(int buffer, int hundredthsOfDecibel) = 0;  // 0 .. -10000
    virtual bool SetSoundBufferPan(int buffer, int pan) = 0;                     // -10000 .. 10000
    virtual bool SetSoundBufferFrequency(int buffer, int hertz) = 0;             // 0: the data's rate
    virtual bool GetSoundBufferPosition(int buffer, int *bytes) = 0;
    virtual bool SetSoundBufferPosition(int buffer, int bytes) = 0;
    virtual bool LockSoundBuffer(int buffer, int offset, int bytes, void **part1, int *size1, void **part2,
                                 int *size2) = 0;
    virtual bool UnlockSoundBuffer(int buffer) = 0;
};

// The host in use: the SDL host unless a test installed another one.
Host &ActiveHost();
// Installs a host for the rest of the process (tests); nullptr restores the SDL host.
void InstallHost(Host *host);

}  // namespace zq
