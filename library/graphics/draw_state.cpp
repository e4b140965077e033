// The draw state: blend mode and parameter, brightness, draw area, draw target, blend image and
// filter mode, one record for the library, reset at every graphics start-up; and the operations
// that set it or clear the draw target.
#include "graphics/draw_state.h"

#include <utility>

#include "core/window.h"
#include "graphics/blend_tables.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kTargetBackAlias1 = -3;  // accepted, the same surface as SCREEN_BACK
constexpr int kTargetBackAlias2 = -5;

struct DrawState {
    SoftDrawSettings soft;       // blend mode, parameter, brightness and draw area
    int drawAreaEmpty;
    int requestedArea[4];        // the corners last asked of SetClipArea
    int drawTarget;
    MEMIMG *targetImage;
    int blendImageHandle;
    int blendImagePosition, blendImageRange;
    int filterMode;
    int targetWidth, targetHeight;
};

struct DrawStateHolder {
    DrawState state = {};
    int backgroundRed = 0, backgroundGreen = 0, backgroundBlue = 0;  // a setting: survives resets
};

DrawStateHolder &Holder() {
    static DrawStateHolder holder;
    return holder;
}

DrawState &State() { return Holder().state; }

bool IsScreenTarget(int target) {
    return target == SCREEN_BACK || target == SCREEN_FRONT || target == kTargetBackAlias1 || target == kTargetBackAlias2;
}

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

}  // namespace

void ResetDrawSettings() {
    // The settings read when graphs are made start over with graphics too.
    ResetGraphMakingSettings();
    DrawState &d = State();
    d = DrawState{};
    d.soft.blendMode = BLEND_NONE;
    d.soft.brightRed = d.soft.brightGreen = d.soft.brightBlue = 255;
    d.filterMode = 0;
    d.blendImageHandle = -1;
    d.drawTarget = SCREEN_BACK;
    d.targetImage = ScreenImage();
    ScreenSize(&d.targetWidth, &d.targetHeight);
    SetDrawTarget(SCREEN_FRONT);
    SetClipArea(0, 0, d.targetWidth, d.targetHeight);
}

int CurrentDrawTarget() { return State().drawTarget; }
MEMIMG *DrawTargetImage() { return State().targetImage; }
const SoftDrawSettings &CurrentSoftDrawSettings() { return State().soft; }
bool IsDrawAreaEmpty() { return State().drawAreaEmpty != 0; }

void BackgroundColor(int *red, int *green, int *blue) {
    *red = Holder().backgroundRed;
    *green = Holder().backgroundGreen;
    *blue = Holder().backgroundBlue;
}

int CurrentBlendImageHandle() { return State().blendImageHandle; }

MEMIMG *CurrentBlendImage(bool *valid) {
    *valid = true;
    const int handle = State().blendImageHandle;
    if (handle == -1) return nullptr;
    // Looked up at every use: the graph may have been released since it was set.
    GraphRecord *graph = GraphFromHandle(handle);
    MEMIMG *image = graph != nullptr ? GraphBlendImage(*graph) : nullptr;
    *valid = image != nullptr;
    return image;
}

MemImgRect CurrentDrawArea() { return State().soft.drawArea; }

void SetDrawAreaDirect(const MemImgRect &area) {
    DrawState &d = State();
    d.soft.drawArea = area;
    d.drawAreaEmpty = area.left >= area.right || area.top >= area.bottom;
}

void ForgetDrawTargetGraph(int handle) {
    if (State().drawTarget != handle) return;
    DrawState &d = State();
    d.drawTarget = SCREEN_BACK;
    d.targetImage = ScreenImage();
    ScreenSize(&d.targetWidth, &d.targetHeight);
    SetClipArea(0, 0, d.targetWidth, d.targetHeight);
}

}  // namespace zq

using namespace zq;

extern "C" int SetBackgroundColor(int red, int green, int blue) {
    DrawStateHolder &h = Holder();
    h.backgroundRed = Clamp(red, 0, 255);
    h.backgroundGreen = Clamp(green, 0, 255);
    h.backgroundBlue = Clamp(blue, 0, 255);
    return 0;
}

extern "C" int SetDrawTarget(int target) {
    if (!AreGraphicsUp()) return -1;
    WaitWhileInactive();
    MEMIMG *image = ScreenImage();
    if (!IsScreenTarget(target)) {
        GraphRecord *graph = GraphFromHandle(target);
        if (graph == nullptr || !IsGraphDrawable(*graph) || GraphImage(target) == nullptr) return -1;
        image = GraphImage(target);
        // Drawing changes the picture: its skip table and premultiplied copy no longer describe it.
        MarkGraphPixelsChanged(*graph);
    }
    DrawState &d = State();
    d.targetImage = image;
    d.drawTarget = target;
    if (target == SCREEN_FRONT) StartPresentationTimer();

    int width, height;
    GetDrawTargetSize(IsScreenTarget(target) ? SCREEN_BACK : target, &width, &height);
    if (width != d.targetWidth || height != d.targetHeight) {
        d.targetWidth = width;
        d.targetHeight = height;
        SetClipArea(0, 0, width, height);
    } else {
        SetClipArea(d.requestedArea[0], d.requestedArea[1], d.requestedArea[2], d.requestedArea[3]);
    }
    return 0;
}

extern "C" int GetDrawTargetSize(int target, int *width, int *height) {
    int w, h;
    if (target == SCREEN_BACK || target == SCREEN_FRONT) {
        ScreenSize(&w, &h);
    } else {
        GraphRecord *graph = GraphFromHandle(target);
        if (graph == nullptr) return -1;
        w = graph->width;
        h = graph->height;
    }
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    return 0;
}

extern "C" int SetClipArea(int x1, int y1, int x2, int y2) {
    DrawState &d = State();
    d.requestedArea[0] = x1;
    d.requestedArea[1] = y1;
    d.requestedArea[2] = x2;
    d.requestedArea[3] = y2;
    int width, height;
    // The aliases of the back buffer have the screen's size too.
    if (GetDrawTargetSize(IsScreenTarget(d.drawTarget) ? SCREEN_BACK : d.drawTarget, &width, &height) != 0) return -1;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    d.soft.drawArea = {Clamp(x1, 0, width), Clamp(y1, 0, height), Clamp(x2, 0, width), Clamp(y2, 0, height)};
    d.drawAreaEmpty = d.soft.drawArea.left == d.soft.drawArea.right || d.soft.drawArea.top == d.soft.drawArea.bottom;
    return 0;
}

extern "C" int SetBlendMode(int mode, int param) {
    DrawState &d = State();
    if (mode == d.soft.blendMode && param == d.soft.blendParam) return 0;
    WaitWhileInactive();
    d.soft.blendMode = mode;
    d.soft.blendParam = Clamp(param, 0, 255);
    return 0;
}

extern "C" int SetDrawBrightness(int red, int green, int blue) {
    DrawState &d = State();
    if (red == d.soft.brightRed && green == d.soft.brightGreen && blue == d.soft.brightBlue) return 0;
    d.soft.brightRed = static_cast<uint8_t>(Clamp(red, 0, 255));
    d.soft.brightGreen = static_cast<uint8_t>(Clamp(green, 0, 255));
    d.soft.brightBlue = static_cast<uint8_t>(Clamp(blue, 0, 255));
    return 0;
}

extern "C" int SetBlendImage(int handle, int position, int range) {
    DrawState &d = State();
    if (handle == d.blendImageHandle && position == d.blendImagePosition && range == d.blendImageRange) return 0;
    if (handle != -1) {
        GraphRecord *graph = GraphFromHandle(handle);
        if (graph == nullptr || GraphBlendImage(*graph) == nullptr) return -1;
    }
    WaitWhileInactive();
    d.blendImageHandle = handle;
    d.blendImagePosition = Clamp(position, 0, 255);
    d.blendImageRange = Clamp(range, 0, 255);
    if (handle != -1) BuildBlendImageRamp(d.blendImagePosition, d.blendImageRange);
    return 0;
}

extern "C" int SetFilterMode(int mode) {
    // Only a hardware renderer filters; the setting is kept for it.
    State().filterMode = mode;
    return 0;
}

extern "C" int ClearDrawTarget(void) {
    MEMIMG *target = State().targetImage;
    if (target == nullptr || !MemImgIsValid(target)) return 0;
    int red, green, blue;
    BackgroundColor(&red, &green, &blue);
    FillMemImg(target, nullptr, PackColor(target->base->format, red, green, blue, 0));
    return 0;
}
