// Font handles: creation through the host's glyph service with its defaults and fallbacks, the
// cell geometry and the memory cache, deletion, the default font and its settings, and the start,
// end and rebuilding of the whole font system.
//
// Relies on the handle tables (kind Font, 40 slots), the host's glyphs and the tracked allocator.
#include "text/font.h"

#include <cstdio>
#include <cstring>

#include "core/handles.h"
#include "core/log.h"
#include "core/window.h"
#include "platform/host.h"
#include "platform/sjis.h"
#include "text/draw_string.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kDefaultSize = 16;
constexpr int kDefaultThickness = 6;
constexpr int kDefaultEdgeSize = 1;
constexpr int kDefaultCharSet = FONT_CHARSET_SHIFTJIS;
constexpr int kDefaultFaceNameSize = 128;

struct DefaultFontSettings {
    char faceName[kDefaultFaceNameSize];
    int size, thickness, type, charSet, edgeSize, italic, charSpacing;
};

struct FontManager {
    int defaultHandle;
    DefaultFontSettings defaults;
};

FontManager &Manager() {
    static FontManager manager = {-1, {}};
    return manager;
}

DefaultFontSettings InitialDefaults() {
    DefaultFontSettings d = {};
    d.size = kDefaultSize;
    d.thickness = kDefaultThickness;
    d.type = FONT_TYPE_NORMAL;
    d.charSet = kDefaultCharSet;
    d.edgeSize = kDefaultEdgeSize;
    return d;
}

// The settings a font was made with, enough to make it again.
struct FontSettings {
    char faceName[kFontFaceNameSize];
    int size, thickness, type, charSet, edgeSize, italic, charSpacing;
};

FontSettings SettingsOf(const FontRecord &font) {
    FontSettings s = {};
    std::memcpy(s.faceName, font.faceName, sizeof s.faceName);
    s.size = font.size;
    s.thickness = font.thickness;
    s.type = font.type;
    s.charSet = font.charSet;
    s.edgeSize = font.edgeSize;
    s.italic = font.italic;
    s.charSpacing = font.charSpacing;
    return s;
}

int RoundUp(int value, int multiple) { return (value + multiple - 1) / multiple * multiple; }

// The host face for the record's settings, with the fallbacks of a named and of the default face.
// The host knows no character sets, so a named face gets one attempt; the default face is tried
// as asked, then upright, then as whatever monospace face the system offers.
int CreateHostFace(const char *faceName, int size, int weight, bool italic) {
    Host &host = ActiveHost();
    if (faceName[0] != '\0') {
        char utf8[kFontFaceNameSize * 3];
        SjisToUtf8(faceName, utf8, sizeof utf8);
        const int face = host.CreateFontFace(utf8, size, weight, italic);
        if (face < 0) LogText("指定のフォントの作成に失敗しました\n");
        return face;
    }
    int face = host.CreateFontFace("", size, weight, italic);
    if (face < 0) face = host.CreateFontFace("", size, weight, false);
    if (face < 0) face = host.CreateFontFace("monospace", size, weight, false);
    if (face < 0) LogText("フォントの作成に失敗しました\n");
    return face;
}

// Cell geometry and the memory cache of a new record; false (logged) when memory runs out.
bool BuildMemoryCache(FontRecord *font, const FontMetrics &metrics) {
    const int edge = (font->type & FONT_TYPE_EDGE) ? font->edgeSize : 0;
    int cellWidth = RoundUp(metrics.maxAdvance + 2 + 2 * edge, 8);
    const int cellHeight = RoundUp(metrics.height + 2 * edge, 2);
    if (cellWidth < cellHeight) cellWidth = cellHeight;
    font->cellWidth = cellWidth;
    font->cellHeight = cellHeight;
    font->ascent = metrics.ascent;

    int slots = kMemoryCacheBytes / (cellWidth * cellWidth);
    if (slots < kMemoryCacheMinSlots) slots = kMemoryCacheMinSlots;
    if (slots > kGlyphSlotLimit) slots = kGlyphSlotLimit;
    font->slotCount = slots;
    font->surfaceWidth = cellWidth;
    font->surfaceHeight = slots * cellWidth;
    font->cellsPerColumn = slots;
    font->cacheBits = font->type == FONT_TYPE_NORMAL ? 1 : 8;
    font->cachePitch = (cellWidth * font->cacheBits + 7) / 8;
    // Not cleared here: caching a glyph clears its cell first, and only cached cells are read.
    font->cachePixels = static_cast<uint8_t *>(TrackedAlloc(font->surfaceHeight * font->cachePitch, "", 0));
    if (font->cachePixels == nullptr) {
        LogText("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        return false;
    }
    return true;
}

bool SameAsDefaults(const FontRecord &font, const DefaultFontSettings &d) {
    const int edgeSize = (d.type & FONT_TYPE_EDGE) ? d.edgeSize : kDefaultEdgeSize;
    return std::strcmp(font.faceName, d.faceName) == 0 && font.type == d.type && font.size == d.size &&
           font.thickness == d.thickness && font.charSet == d.charSet && font.edgeSize == edgeSize &&
           font.italic == d.italic;
}

}  // namespace

FontRecord *ValidFont(int handle) { return static_cast<FontRecord *>(ValidateHandle(handle, HandleKind::Font)); }

int InitFontSystem() {
    FontManager &m = Manager();
    m.defaultHandle = -1;
    m.defaults = InitialDefaults();
    ReinitFonts();
    StartOnScreenLogDrawing();
    return 0;
}

int EndFontSystem() {
    EndOnScreenLogDrawing();
    ReinitFonts();
    DeleteFontHandle(Manager().defaultHandle);
    Manager().defaultHandle = -1;
    return 0;
}

}  // namespace zq

using namespace zq;

extern "C" int CreateFontToHandle(const char *faceName, int size, int thickness, int fontType, int charSet,
                                  int edgeSize, int italic, int slot, int check) {
    if (!MainWindowExists()) return -1;
    if (fontType < 0) fontType = FONT_TYPE_NORMAL;
    fontType &= FONT_TYPE_ANTIALIAS_EDGE;
    if (size < 0) size = kDefaultSize;
    if (edgeSize > 1) fontType |= FONT_TYPE_EDGE;
    // There is no OEM code page to choose by: the library's text is Shift-JIS.
    if (charSet < 0) charSet = kDefaultCharSet;
    if (thickness < 0) thickness = kDefaultThickness;
    if (edgeSize < 0) edgeSize = kDefaultEdgeSize;
    if (faceName == nullptr) faceName = "";

    const int handle = AllocateFontHandle(static_cast<int>(sizeof(FontRecord)), slot, check);
    if (handle < 0) {
        // The table logs a full table itself; a free slot that still failed ran out of memory.
        const bool slotWasFree = slot < 0 ? HandleCount(HandleKind::Font) < kFontTableSize
                                          : slot < kFontTableSize && HandleRecordAt(HandleKind::Font, slot) == nullptr;
        if (slotWasFree) LogText("フォント管理用メモリ領域の確保に失敗しました\n");
        return -1;
    }
    FontRecord *font = ValidFont(handle);
    font->hostFace = -1;
    font->size = size;
    font->type = fontType;
    font->thickness = thickness;
    font->edgeSize = edgeSize;
    font->italic = italic;
    std::snprintf(font->faceName, sizeof font->faceName, "%s", faceName);

    FontMetrics metrics = {};
    font->hostFace = CreateHostFace(font->faceName, size, thickness * 100, italic != 0);
    if (font->hostFace < 0 || !ActiveHost().ReadFontMetrics(font->hostFace, &metrics) ||
        !BuildMemoryCache(font, metrics)) {
        DeleteFontHandle(handle);
        return -1;
    }
    NumberGlyphSlots(font);  // the record comes zero-filled: its cache is empty already
    font->charSet = charSet;
    font->deleteNotice = nullptr;
    return handle;
}

extern "C" int DeleteFontHandle(int fontHandle) {
    FontRecord *font = ValidFont(fontHandle);
    if (font == nullptr) return -1;
    if (font->hostFace >= 0) ActiveHost().ReleaseFontFace(font->hostFace);
    if (font->cachePixels != nullptr) TrackedFree(font->cachePixels);
    if (font->deleteNotice != nullptr) *font->deleteNotice = 1;
    ReleaseHandle(fontHandle, HandleKind::Font);
    return 0;
}

extern "C" int IsFontHandleValid(int fontHandle) { return ValidFont(fontHandle) != nullptr ? 1 : 0; }

extern "C" int GetFontSize(int fontHandle) {
    const FontRecord *font = ValidFont(fontHandle);
    return font != nullptr ? font->size : -1;
}

extern "C" int GetFontInfo(char *faceName, int *size, int *thickness, int fontHandle) {
    const FontRecord *font = ValidFont(fontHandle);
    if (font == nullptr) return -1;
    if (faceName != nullptr) std::memcpy(faceName, font->faceName, std::strlen(font->faceName) + 1);
    if (size != nullptr) *size = font->size;
    if (thickness != nullptr) *thickness = font->thickness;
    return 0;
}

extern "C" int SetFontCharSpacing(int spacing, int fontHandle) {
    FontRecord *font = ValidFont(fontHandle);
    if (font == nullptr) return -1;
    font->charSpacing = spacing;
    return 0;
}

extern "C" int SetFontDeleteNotice(int fontHandle, int *notice) {
    FontRecord *font = ValidFont(fontHandle);
    if (font == nullptr) return -1;
    font->deleteNotice = notice;
    if (notice != nullptr) *notice = 0;
    return 0;
}

extern "C" int GetDefaultFontHandle(void) { return Manager().defaultHandle; }

extern "C" int RefreshDefaultFont(void) {
    FontManager &m = Manager();
    const FontRecord *current = ValidFont(m.defaultHandle);
    if (current != nullptr && SameAsDefaults(*current, m.defaults)) return 0;
    DeleteFontHandle(m.defaultHandle);
    const DefaultFontSettings &d = m.defaults;
    m.defaultHandle = CreateFontToHandle(d.faceName, d.size, d.thickness, d.type, d.charSet,
                                         (d.type & FONT_TYPE_EDGE) ? d.edgeSize : -1, d.italic, -1, -1);
    SetFontCharSpacing(d.charSpacing, m.defaultHandle);
    return 0;
}

extern "C" int SetDefaultFontSize(int size) {
    Manager().defaults.size = size < 0 ? kDefaultSize : size;
    return RefreshDefaultFont();
}

extern "C" int SetDefaultFontType(int fontType) {
    Manager().defaults.type = fontType < 0 ? FONT_TYPE_NORMAL : fontType;
    return RefreshDefaultFont();
}

extern "C" int SetDefaultFontSizeThickness(const char *, int size, int thickness) {
    Manager().defaults.size = size < 0 ? kDefaultSize : size;
    Manager().defaults.thickness = thickness < 0 ? kDefaultThickness : thickness;
    return RefreshDefaultFont();
}

extern "C" int ReinitFonts(void) {
    FontManager &m = Manager();
    LogText("フォントの初期化を行います\n");
    RaiseLogIndent();
    const FontRecord *current = ValidFont(m.defaultHandle);
    const bool hadDefault = current != nullptr;
    FontSettings previous = hadDefault ? SettingsOf(*current) : FontSettings{};
    for (int slot = 0; slot < kFontTableSize; ++slot) {
        const FontRecord *font = static_cast<const FontRecord *>(HandleRecordAt(HandleKind::Font, slot));
        if (font != nullptr) DeleteFontHandle(MakeHandle(HandleKind::Font, slot, font->check));
    }
    if (hadDefault) {
        m.defaultHandle = CreateFontToHandle(previous.faceName, previous.size, previous.thickness, previous.type,
                                             previous.charSet, previous.edgeSize, previous.italic, -1, -1);
    } else {
        m.defaultHandle = CreateFontToHandle("", kDefaultSize, kDefaultThickness, -1, -1, -1, 0, -1, -1);
    }
    LowerLogIndent();
    LogText("フォントの初期化は正常に終了しました\n");
    return 0;
}

extern "C" int RecreateAllFonts(void) {
    for (int slot = 0; slot < kFontTableSize; ++slot) {
        const FontRecord *font = static_cast<const FontRecord *>(HandleRecordAt(HandleKind::Font, slot));
        if (font == nullptr) continue;
        const FontSettings s = SettingsOf(*font);
        const int check = font->check;
        int *notice = font->deleteNotice;
        const int handle = MakeHandle(HandleKind::Font, slot, check);
        // The font itself goes on living under the same handle: the notice is not a deletion.
        const_cast<FontRecord *>(font)->deleteNotice = nullptr;
        DeleteFontHandle(handle);
        if (CreateFontToHandle(s.faceName, s.size, s.thickness, s.type, s.charSet, s.edgeSize, s.italic, slot,
                               check) == handle) {
            SetFontCharSpacing(s.charSpacing, handle);
            ValidFont(handle)->deleteNotice = notice;
        } else if (notice != nullptr) {
            *notice = 1;
        }
    }
    return 0;
}
