// The SDL host: window, events, keyboard and mouse through SDL2; clocks from CLOCK_MONOTONIC; the
// single-instance lock as an exclusive flock on a file in the runtime (else temp) directory.
//
// SDL's video subsystem is started on first need (ReadDesktop, OpenWindow) and stopped by
// CloseWindow, so a later OpenWindow starts afresh and nothing waits when there is no display.
// SDL's environment variables are honoured (SDL_VIDEODRIVER=offscreen runs headless). A picture is
// presented by one SDL blit from its own memory into the window's pixel buffer.
#include "platform/host_sdl.h"

#include "zqlib.h"
#include "platform/keymap_sdl.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zq {

namespace {

// Events handled per PollEvent call before it gives up, so a flood of motion or key events cannot
// stall a frame; the rest wait for the next call.
constexpr int kMaxEventsPerPoll = 64;
// Longest instance name kept in a lock file name (file names hold at most 255 bytes).
constexpr size_t kMaxLockNameBytes = 200;

// Base name of the running executable, or empty when it cannot be read.
std::string ExecutableBaseName() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return program_invocation_short_name ? program_invocation_short_name : "";
    path[length] = '\0';
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

// Hints set once, before the first video start.
void SetVideoHints() {
    // X11 window managers match windows by WM_CLASS; name it after the program, as SDL does by
    // default, but explicitly, so that a different SDL default cannot change it.
    if (!std::getenv("SDL_VIDEO_X11_WMCLASS")) {
        std::string name = ExecutableBaseName();
        if (!name.empty()) setenv("SDL_VIDEO_X11_WMCLASS", name.c_str(), 0);
    }
    // A window on the desktop must not switch the compositor off, and the screen saver is the
    // library's to switch (SetScreenSaver), not SDL's at start-up.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The picture is drawn in software: the window's own pixel buffer (shared memory under X11)
    // takes it directly. Left to itself SDL would back that buffer with a 3D renderer, loading a
    // software 3D driver with its threads (tens of megabytes) only to copy one picture per frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

// SDL's video drivers that show nothing.
bool IsHeadlessDriver(const char *driver) {
    return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "evdev") == 0;
}

// True when SDL_VIDEODRIVER (environment or hint) names this driver.
bool RequestedDriver(const char *driver) {
    const char *requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return requested && std::strstr(requested, driver) != nullptr;
}

void CopyText(char *out, size_t size, const char *text) {
    size_t length = std::min(std::strlen(text), size - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

int DesktopBitsPerPixel(int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 2: return 16;
    case 3: return 24;
    case 4: return 32;
    default: return bytesPerPixel * 8;
    }
}

int MouseBitForSdlButton(int sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return MOUSE_LEFT;
    case SDL_BUTTON_RIGHT: return MOUSE_RIGHT;
    case SDL_BUTTON_MIDDLE: return MOUSE_MIDDLE;
    case SDL_BUTTON_X1: return 8;
    case SDL_BUTTON_X2: return 16;
    default: return 0;
    }
}

int MouseBitsForSdlMask(uint32_t mask) {
    int bits = 0;
    for (int button = SDL_BUTTON_LEFT; button <= SDL_BUTTON_X2; ++button)
        if (mask & SDL_BUTTON(button)) bits |= MouseBitForSdlButton(button);
    return bits;
}

std::string InstanceLockPath(const char *name, const char *runtimeDir, const char *tempDir) {
    std::string dir = runtimeDir && *runtimeDir ? runtimeDir : tempDir && *tempDir ? tempDir : "/tmp";
    std::string key = name ? name : "";
    if (key.size() > kMaxLockNameBytes) {
        size_t cut = kMaxLockNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(key[cut]) & 0xC0) == 0x80) --cut;
        key.resize(cut);
    }
    std::replace(key.begin(), key.end(), '/', '_');
    if (dir.back() != '/') dir += '/';
    return dir + "zqlib-" + key + ".lock";
}

HostSdl::HostSdl() = default;

HostSdl::~HostSdl() {
    CloseAudioDevice();
    CloseWindow();
    StopVideo();
    ReleaseInstanceLock();
}

const char *HostSdl::LastError() { return lastError_.c_str(); }

uint32_t HostSdl::Milliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000);
}

int64_t HostSdl::Nanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void HostSdl::Sleep(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    else std::this_thread::yield();
}

bool HostSdl::ReadDesktop(DesktopInfo *out) {
    if (!StartVideo()) return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        Fail("cannot read the desktop display mode", true);
        return false;
    }
    out->width = mode.w;
    out->height = mode.h;
    out->bitsPerPixel = DesktopBitsPerPixel(SDL_BYTESPERPIXEL(mode.format));
    out->refreshRate = mode.refresh_rate;
    return true;
}

bool HostSdl::AcquireInstanceLock(const char *name) {
    ReleaseInstanceLock();
    // An unusable runtime directory falls back to the temp directory rather than refusing to start.
    const char *runtimeDirs[] = {std::getenv("XDG_RUNTIME_DIR"), nullptr};
    for (const char *runtimeDir : runtimeDirs) {
        std::string path = InstanceLockPath(name, runtimeDir, std::getenv("TMPDIR"));
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            lastError_ = "cannot open the lock file " + path + ": " + std::strerror(errno);
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            close(fd);
            if (error == EWOULDBLOCK) {
                lastError_ = "another copy of the program holds " + path;
                return false;
            }
            lastError_ = "cannot lock " + path + ": " + std::strerror(error);
            continue;
        }
        lockFd_ = fd;
        return true;
    }
    return false;
}

void HostSdl::ReleaseInstanceLock() {
    // The file stays: removing it would let a third process lock a new file while a second one
    // still waits on the old one.
    if (lockFd_ >= 0) close(lockFd_);
    lockFd_ = -1;
}

bool HostSdl::OpenWindow(const WindowRequest &request) {
    bool startedHere = !videoStarted_;
    if (!StartVideo()) return false;
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    Uint32 flags = SDL_WINDOW_SHOWN | (request.fullScreen ? SDL_WINDOW_FULLSCREEN : 0);
    window_ = SDL_CreateWindow(request.caption ? request.caption : "", SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, request.clientWidth, request.clientHeight, flags);
    if (!window_) {
        Fail("cannot create the window", true);
        if (startedHere) StopVideo();
        return false;
    }
    DetectLayout();
    SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
    SDL_DisplayMode mode;
    const int display = SDL_GetWindowDisplayIndex(window_);
    verticalBlank_.SetRefreshRate(SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 ? mode.refresh_rate : 0);
    return true;
}

void HostSdl::CloseWindow() {
    ReleasePresentation();
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    StopVideo();
}

void HostSdl::SetCaption(const char *caption) {
    if (window_) SDL_SetWindowTitle(window_, caption ? caption : "");
}

void HostSdl::SetClientSize(int width, int height) {
    if (window_) SDL_SetWindowSize(window_, width, height);
}

void HostSdl::SetFullScreen(bool fullScreen) {
    if (window_) SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN : 0);
}

void HostSdl::RaiseWindow() {
    if (window_) SDL_RaiseWindow(window_);
}

void HostSdl::ClientOrigin(int *x, int *y) {
    int left = 0, top = 0;
    if (window_) SDL_GetWindowPosition(window_, &left, &top);
    if (x) *x = left;
    if (y) *y = top;
}

bool HostSdl::PollEvent(HostEvent *out) {
    if (!videoStarted_) return false;
    SDL_Event event;
    for (int i = 0; i < kMaxEventsPerPoll; ++i) {
        if (!SDL_PollEvent(&event)) return false;
        if (TranslateEvent(event, out)) return true;
    }
    return false;
}

void HostSdl::ReadKeyboard(uint8_t state[kKeyCodeCount]) {
    std::memset(state, 0, kKeyCodeCount);
    if (!window_) {
        std::memset(pressedSinceRead_, 0, sizeof pressedSinceRead_);
        return;
    }
    SDL_PumpEvents();
    int count = 0;
    const Uint8 *held = SDL_GetKeyboardState(&count);
    for (int scancode = 0; scancode < count; ++scancode) {
        if (!held[scancode]) continue;
        uint8_t code = KeyCodeForScancode(scancode, japaneseLayout_);
        if (code) state[code] = 0x80;
    }
    for (int code = 0; code < kKeyCodeCount; ++code) state[code] |= pressedSinceRead_[code];
    std::memset(pressedSinceRead_, 0, sizeof pressedSinceRead_);
}

int HostSdl::MouseButtons() {
    if (!videoStarted_) return 0;
    return MouseBitsForSdlMask(SDL_GetGlobalMouseState(nullptr, nullptr));
}

void HostSdl::GlobalMousePosition(int *x, int *y) {
    int px = 0, py = 0;
    if (videoStarted_) SDL_GetGlobalMouseState(&px, &py);
    if (x) *x = px;
    if (y) *y = py;
}

void HostSdl::ShowCursor(bool visible) {
    cursorVisible_ = visible;
    if (videoStarted_) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void HostSdl::SetScreenSaver(bool enabled) {
    screenSaverEnabled_ = enabled;
    if (!videoStarted_) return;
    if (enabled) SDL_EnableScreenSaver();
    else SDL_DisableScreenSaver();
}

bool HostSdl::Present(const PresentRequest &request) {
    if (!window_) {
        lastError_ = "no window to present in";
        return false;
    }
    // SDL makes the window's buffer on first use and anew after a size change.
    SDL_Surface *target = SDL_GetWindowSurface(window_);
    SDL_Surface *picture = target ? WrapPicture(request) : nullptr;
    if (!picture) {
        Fail("cannot present the picture", true);
        return false;
    }
    const SDL_Rect from = {request.srcX, request.srcY, request.srcWidth, request.srcHeight};
    SDL_Rect to = {0, 0, target->w, target->h};
    int result;
    if (from.w == to.w && from.h == to.h) {
        // A plain copy, or SDL's conversion when the window's layout differs from the picture's.
        result = SDL_BlitSurface(picture, &from, target, &to);
    } else if (picture->format->format == target->format->format) {
        result = SDL_BlitScaled(picture, &from, target, &to);
    } else {
        SDL_Surface *source = StretchSource(picture, from, target);
        result = source ? SDL_BlitScaled(source, nullptr, target, &to) : -1;
    }
    if (result != 0 || SDL_UpdateWindowSurface(window_) != 0) {
        Fail("cannot present the picture", true);
        return false;
    }
    return true;
}

bool HostSdl::DisplayModeAt(int index, DisplayModeInfo *out) {
    if (!StartVideo()) return false;
    SDL_DisplayMode mode;
    if (index < 0 || SDL_GetDisplayMode(0, index, &mode) != 0) return false;
    *out = {mode.w, mode.h, DesktopBitsPerPixel(SDL_BYTESPERPIXEL(mode.format)), mode.refresh_rate};
    return true;
}

bool HostSdl::InVerticalBlank() { return verticalBlank_.InBlank(Nanoseconds()); }

void HostSdl::WaitVerticalBlank() {
    // Sleep most of the way, then yield until the period begins, so the wait is exact without
    // holding a core for a whole period.
    const int64_t deadline = Nanoseconds() + verticalBlank_.UntilNextBlank(Nanoseconds());
    const int64_t sleepNs = deadline - Nanoseconds() - 1500000;
    if (sleepNs > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(sleepNs));
    while (Nanoseconds() < deadline) std::this_thread::yield();
}

// The caller's pixels as a surface of their own layout, made again only when the block moves or
// its layout changes.
SDL_Surface *HostSdl::WrapPicture(const PresentRequest &request) {
    const Uint32 format = request.bitsPerPixel == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    if (picture_ && picture_->pixels == request.pixels && picture_->w == request.width &&
        picture_->h == request.height && picture_->pitch == request.pitch && picture_->format->format == format) {
        return picture_;
    }
    if (picture_) SDL_FreeSurface(picture_);
    picture_ = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<void *>(request.pixels), request.width, request.height,
                                                  request.bitsPerPixel, request.pitch, format);
    return picture_;
}

// The source rectangle converted to the window's layout, ready for a stretch within one layout.
SDL_Surface *HostSdl::StretchSource(SDL_Surface *picture, const SDL_Rect &from, const SDL_Surface *target) {
    if (!stretchSource_ || stretchSource_->w != from.w || stretchSource_->h != from.h ||
        stretchSource_->format->format != target->format->format) {
        if (stretchSource_) SDL_FreeSurface(stretchSource_);
        stretchSource_ = SDL_CreateRGBSurfaceWithFormat(0, from.w, from.h, target->format->BitsPerPixel,
                                                        target->format->format);
        if (!stretchSource_) return nullptr;
    }
    return SDL_BlitSurface(picture, &from, stretchSource_, nullptr) == 0 ? stretchSource_ : nullptr;
}

void HostSdl::ReleasePresentation() {
    if (picture_) SDL_FreeSurface(picture_);
    if (stretchSource_) SDL_FreeSurface(stretchSource_);
    picture_ = nullptr;
    stretchSource_ = nullptr;
}

std::string HostSdl::WindowCaption() const { return window_ ? SDL_GetWindowTitle(window_) : ""; }

bool HostSdl::WindowClientSize(int *width, int *height) const {
    if (!window_) return false;
    SDL_GetWindowSize(window_, width, height);
    return true;
}

int64_t HostSdl::WindowPixel(int x, int y) const {
    SDL_Surface *surface = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    if (!surface || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return -1;
    const int bytes = surface->format->BytesPerPixel;
    const uint8_t *p = static_cast<const uint8_t *>(surface->pixels) + y * surface->pitch + x * bytes;
    Uint32 value = 0;
    std::memcpy(&value, p, static_cast<size_t>(std::min(bytes, 4)));
    Uint8 red, green, blue;
    SDL_GetRGB(value, surface->format, &red, &green, &blue);
    return red << 16 | green << 8 | blue;
}

// Starts SDL's video (and with it the event) subsystem once; false with the reason when there is
// no display to use.
bool HostSdl::StartVideo() {
    if (videoStarted_) return true;
    SetVideoHints();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Fail("cannot start the display", true);
        return false;
    }
    // SDL falls back to its window-less drivers when no display answers; they are for headless
    // runs that ask for them by name, never a silent substitute for a missing display.
    const char *driver = SDL_GetCurrentVideoDriver();
    if (driver && IsHeadlessDriver(driver) && !RequestedDriver(driver)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        const char *display = std::getenv("DISPLAY");
        lastError_ = std::string("no display to open a window on (DISPLAY=") + (display ? display : "") + ")";
        return false;
    }
    videoStarted_ = true;
    std::memset(pressedSinceRead_, 0, sizeof pressedSinceRead_);
    SDL_AddEventWatch(&HostSdl::WatchKeys, this);
    if (!screenSaverEnabled_) SDL_DisableScreenSaver();
    return true;
}

void HostSdl::StopVideo() {
    if (!videoStarted_) return;
    SDL_DelEventWatch(&HostSdl::WatchKeys, this);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
}

// Records a one-line reason, followed by SDL's own when asked.
void HostSdl::Fail(const char *what, bool withSdlError) {
    lastError_ = what;
    if (withSdlError) {
        std::string reason = SDL_GetError();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        if (!reason.empty()) lastError_ += ": " + reason;
    }
}

// The four keys whose Japanese legend has its own key code read that code when the keyboard
// layout puts ':' where a US keyboard has the apostrophe.
void HostSdl::DetectLayout() {
    japaneseLayout_ = SDL_GetKeyFromScancode(SDL_SCANCODE_APOSTROPHE) == SDLK_COLON;
}

// Fills out for the events the library reacts to; false for events that stay inside the host.
bool HostSdl::TranslateEvent(const SDL_Event &event, HostEvent *out) {
    switch (event.type) {
    case SDL_QUIT:
        out->type = HostEventType::Quit;
        return true;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out->type = HostEventType::Close; return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out->type = HostEventType::FocusGained; return true;
        case SDL_WINDOWEVENT_FOCUS_LOST: out->type = HostEventType::FocusLost; return true;
        case SDL_WINDOWEVENT_EXPOSED: out->type = HostEventType::Exposed; return true;
        case SDL_WINDOWEVENT_MOVED:
            out->type = HostEventType::Moved;
            out->x = event.window.data1;
            out->y = event.window.data2;
            return true;
        default: return false;
        }
    case SDL_MOUSEBUTTONDOWN: {
        int bit = MouseBitForSdlButton(event.button.button);
        if (bit != MOUSE_LEFT && bit != MOUSE_RIGHT && bit != MOUSE_MIDDLE) return false;
        out->type = HostEventType::ButtonDown;
        out->button = bit;
        out->x = event.button.x;
        out->y = event.button.y;
        return true;
    }
    case SDL_MOUSEWHEEL: {
        int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        if (notches == 0) return false;
        out->type = HostEventType::Wheel;
        out->wheel = notches > 0 ? 1 : -1;
        return true;
    }
    case SDL_DROPFILE: {
        bool named = event.drop.file != nullptr;
        if (named) {
            out->type = HostEventType::DropFile;
            CopyText(out->path, sizeof out->path, event.drop.file);
        }
        SDL_free(event.drop.file);
        return named;
    }
    case SDL_DROPTEXT:
        SDL_free(event.drop.file);
        return false;
    case SDL_KEYMAPCHANGED:
        DetectLayout();
        return false;
    default:
        return false;
    }
}

// Latches key presses as SDL queues them, so a key pressed and released between two reads is seen.
int HostSdl::WatchKeys(void *self, SDL_Event *event) {
    if (event->type == SDL_KEYDOWN) {
        auto *host = static_cast<HostSdl *>(self);
        uint8_t code = KeyCodeForScancode(event->key.keysym.scancode, host->japaneseLayout_);
        if (code) host->pressedSinceRead_[code] = 0x80;
    }
    return 1;
}

}  // namespace zq
