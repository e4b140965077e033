// The virtual host: every answer comes from state the test scripted.
#include "platform/host_virtual.h"

#include <cstdio>
#include <cstring>

namespace zq {

HostEvent MakeHostEvent(HostEventType type, int button, int x, int y) {
    HostEvent event = {};
    event.type = type;
    event.button = button;
    event.x = x;
    event.y = y;
    event.wheel = 0;
    return event;
}

void VirtualHost::SetNoDisplay(const char *reason) {
    noDisplay_ = true;
    std::snprintf(error_, sizeof error_, "%s", reason);
}

void VirtualHost::SetDesktop(const DesktopInfo &desktop) { desktop_ = desktop; }
void VirtualHost::SetClockStep(uint32_t millisecondsPerReading) { clockStep_ = millisecondsPerReading; }
void VirtualHost::AdvanceClock(uint32_t milliseconds) { now_ += milliseconds; }

void VirtualHost::ScheduleEvent(uint32_t atMillisecond, const HostEvent &event) {
    if (queued_ == kQueueSize) return;
    // Keep the queue ordered by time; equal times keep their order.
    int i = queued_;
    while (i > 0 && static_cast<int32_t>(queue_[i - 1].at - atMillisecond) > 0) {
        queue_[i] = queue_[i - 1];
        --i;
    }
    queue_[i] = {atMillisecond, event};
    ++queued_;
}

void VirtualHost::PushEvent(const HostEvent &event) { ScheduleEvent(now_, event); }

void VirtualHost::SetKey(int keyCode, bool down) {
    if (keyCode >= 0 && keyCode < kKeyCodeCount) keys_[keyCode] = down ? 0x80 : 0;
}

void VirtualHost::ScheduleKey(uint32_t atMillisecond, int keyCode, bool down) {
    if (keyChangeCount_ < kKeyChangeLimit) keyChanges_[keyChangeCount_++] = {atMillisecond, keyCode, down};
}

void VirtualHost::ApplyDueKeyChanges() {
    int kept = 0;
    for (int i = 0; i < keyChangeCount_; ++i) {
        if (static_cast<int32_t>(keyChanges_[i].at - now_) <= 0) SetKey(keyChanges_[i].keyCode, keyChanges_[i].down);
        else keyChanges_[kept++] = keyChanges_[i];
    }
    keyChangeCount_ = kept;
}

void VirtualHost::SetMouse(int desktopX, int desktopY, int buttons) {
    mouseX_ = desktopX;
    mouseY_ = desktopY;
    buttons_ = buttons;
}

void VirtualHost::SetWindowOrigin(int x, int y) {
    originX_ = x;
    originY_ = y;
}

void VirtualHost::SetForeignInstanceLock(const char *name) {
    std::snprintf(foreignLock_, sizeof foreignLock_, "%s", name);
}

const char *VirtualHost::LastError() { return error_; }

uint32_t VirtualHost::Milliseconds() {
    const uint32_t reading = now_;
    now_ += clockStep_;
    return reading;
}

int64_t VirtualHost::Nanoseconds() {
    // Finer than the millisecond clock: every reading moves on by a microsecond.
    nanosExtra_ += 1000;
    return static_cast<int64_t>(now_) * 1000000 + static_cast<int64_t>(nanosExtra_ % 1000000);
}

void VirtualHost::Sleep(int milliseconds) {
    ++sleepCount;
    now_ += static_cast<uint32_t>(milliseconds > 0 ? milliseconds : 0);
    PlaySleptAudio(milliseconds);
}

bool VirtualHost::ReadDesktop(DesktopInfo *out) {
    if (noDisplay_) return false;
    *out = desktop_;
    return true;
}

bool VirtualHost::AcquireInstanceLock(const char *name) {
    if (instanceLockHeld || std::strcmp(name, foreignLock_) == 0) {
        std::snprintf(error_, sizeof error_, "the instance lock \"%s\" is held", name);
        return false;
    }
    instanceLockHeld = true;
    return true;
}

void VirtualHost::ReleaseInstanceLock() { instanceLockHeld = false; }

bool VirtualHost::OpenWindow(const WindowRequest &request) {
    if (noDisplay_) return false;
    windowOpen = true;
    ++openCount;
    std::snprintf(caption, sizeof caption, "%s", request.caption);
    clientWidth = request.clientWidth;
    clientHeight = request.clientHeight;
    fullScreen = request.fullScreen;
    return true;
}

void VirtualHost::CloseWindow() { windowOpen = false; }
void VirtualHost::SetCaption(const char *text) { std::snprintf(caption, sizeof caption, "%s", text); }

void VirtualHost::SetClientSize(int width, int height) {
    clientWidth = width;
    clientHeight = height;
}

void VirtualHost::SetFullScreen(bool enable) { fullScreen = enable; }

void VirtualHost::RaiseWindow() {}

void VirtualHost::ClientOrigin(int *x, int *y) {
    *x = originX_;
    *y = originY_;
}

bool VirtualHost::PollEvent(HostEvent *out) {
    ++pollCount;
    if (queued_ == 0 || static_cast<int32_t>(queue_[0].at - now_) > 0) return false;
    *out = queue_[0].event;
    --queued_;
    std::memmove(queue_, queue_ + 1, sizeof queue_[0] * static_cast<size_t>(queued_));
    return true;
}

void VirtualHost::ReadKeyboard(uint8_t state[kKeyCodeCount]) {
    ApplyDueKeyChanges();
    std::memcpy(state, keys_, sizeof keys_);
}
int VirtualHost::MouseButtons() { return buttons_; }

void VirtualHost::GlobalMousePosition(int *x, int *y) {
    *x = mouseX_;
    *y = mouseY_;
}

void VirtualHost::ShowCursor(bool visible) { cursorVisible = visible; }
void VirtualHost::SetScreenSaver(bool enabled) { screenSaverEnabled = enabled; }

bool VirtualHost::Present(const PresentRequest &request) {
    if (failPresent || !windowOpen) {
        std::snprintf(error_, sizeof error_, "presentation refused");
        return false;
    }
    ++presentCount;
    lastPresent = request;
    const int bytes = request.bitsPerPixel / 8;
    const size_t rowBytes = static_cast<size_t>(request.srcWidth) * bytes;
    presented.resize(rowBytes * static_cast<size_t>(request.srcHeight));
    for (int y = 0; y < request.srcHeight; ++y) {
        const uint8_t *row = static_cast<const uint8_t *>(request.pixels) + static_cast<size_t>(request.srcY + y) * request.pitch +
                             static_cast<size_t>(request.srcX) * bytes;
        std::memcpy(presented.data() + rowBytes * y, row, rowBytes);
    }
    lastPresent.pixels = nullptr;  // the caller's pixels may go away
    return true;
}

uint32_t VirtualHost::PresentedPixel(int x, int y) const {
    const int bytes = lastPresent.bitsPerPixel / 8;
    const uint8_t *p = presented.data() + (static_cast<size_t>(y) * lastPresent.srcWidth + x) * bytes;
    uint32_t value = 0;
    std::memcpy(&value, p, static_cast<size_t>(bytes));
    return value;
}

bool VirtualHost::DisplayModeAt(int index, DisplayModeInfo *out) {
    if (noDisplay_ || index < 0 || index >= static_cast<int>(displayModes.size())) return false;
    *out = displayModes[static_cast<size_t>(index)];
    return true;
}

bool VirtualHost::InVerticalBlank() { return verticalBlank_.InBlank(static_cast<int64_t>(now_) * 1000000); }

void VirtualHost::WaitVerticalBlank() {
    const int64_t until = verticalBlank_.UntilNextBlank(static_cast<int64_t>(now_) * 1000000);
    Sleep(static_cast<int>((until + 999999) / 1000000));
}

}  // namespace zq
