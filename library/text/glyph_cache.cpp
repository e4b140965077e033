// The glyph cache of a font: preparing a string's characters, rendering missing glyphs through the
// host into the ring of cells, and the edges drawn around glyph bodies for the edged font types.
#include <cstring>

#include "platform/host.h"
#include "platform/sjis.h"
#include "text/font.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kFixedStringBytes = 256;  // strings up to this length are prepared without allocation

struct PrepareBuffers {
    CharRecord records[kFixedStringBytes];
    CharRecord queue[kFixedStringBytes];
    CodeMapPair *queuedPairs[kFixedStringBytes];
};

PrepareBuffers &FixedBuffers() {
    static PrepareBuffers buffers;
    return buffers;
}

[[noreturn]] void ExitWithMessage(const char *utf8) {
    char message[256];
    Utf8ToShiftJis(utf8, message, sizeof message);
    ErrorExit(message);
}

// Edge masks of sizes 2, 3 and 4 ('#' marks a pixel around the body pixel at the centre); size 1 is
// the four direct neighbours, 5 and more the full square.
constexpr const char *kEdgeMask2[] = {".###.", "#####", "#####", "#####", ".###."};
constexpr const char *kEdgeMask3[] = {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."};
constexpr const char *kEdgeMask4[] = {"..#####..", ".#######.", "#########", "#########", "#########",
                                      "#########", "#########", ".#######.", "..#####.."};

bool EdgeMaskHas(int size, int dx, int dy) {
    if (size == 1) return (dx == 0) != (dy == 0) && dx * dx + dy * dy == 1;
    if (size >= 5) return true;
    const char *const *mask = size == 2 ? kEdgeMask2 : (size == 3 ? kEdgeMask3 : kEdgeMask4);
    return mask[dy + size][dx + size] == '#';
}

// The Unicode character of a Shift-JIS character record; '?' when it has none.
uint32_t UnicodeOf(const CharRecord &c) {
    const char sjis[3] = {static_cast<char>(c.bytes[0]), static_cast<char>(c.bytes[1]), 0};
    if (sjis[0] == 0) return 0;
    char utf8[8];
    SjisToUtf8(sjis, utf8, sizeof utf8);
    const auto *u = reinterpret_cast<const unsigned char *>(utf8);
    if (u[0] < 0x80) return u[0];
    if ((u[0] & 0xE0) == 0xC0) return ((u[0] & 0x1F) << 6) | (u[1] & 0x3F);
    if ((u[0] & 0xF0) == 0xE0) return ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
    if ((u[0] & 0xF8) == 0xF0) return ((u[0] & 0x07) << 18) | ((u[1] & 0x3F) << 12) | ((u[2] & 0x3F) << 6) | (u[3] & 0x3F);
    return '?';
}

// Writes a rendered glyph into its cell (the cell's rows start at cell) at (edge, edge), clipped
// to the cell, and draws the edge around it for the edged types.
void RenderIntoCell(const FontRecord &font, uint8_t *cell, const uint8_t *bitmap, int pitch, const GlyphMetrics &g) {
    const int cw = font.cellWidth;
    const int edge = (font.type & FONT_TYPE_EDGE) ? font.edgeSize : 0;
    const int rows = g.blackBoxY < cw - edge ? g.blackBoxY : cw - edge;
    const int columns = g.blackBoxX < cw - edge ? g.blackBoxX : cw - edge;
    const int cachePitch = font.cachePitch;
    if (rows <= 0 || columns <= 0) return;

    if (font.type == FONT_TYPE_NORMAL) {
        const int bytes = pitch < cachePitch ? pitch : cachePitch;
        for (int y = 0; y < rows; ++y) std::memcpy(cell + y * cachePitch, bitmap + y * pitch, bytes);
        return;
    }
    const bool levels = (font.type & FONT_TYPE_ANTIALIAS) != 0;
    auto levelAt = [&](int x, int y) -> int {
        if (levels) return bitmap[y * pitch + x];
        return (bitmap[y * pitch + (x >> 3)] >> (7 - (x & 7))) & 1;
    };
    for (int y = 0; y < rows; ++y) {
        uint8_t *row = cell + (y + edge) * cachePitch + edge;
        for (int x = 0; x < columns; ++x) {
            const int level = levelAt(x, y);
            if (level == 0) continue;
            if (font.type == FONT_TYPE_EDGE) row[x] = 1;
            else if (font.type == FONT_TYPE_ANTIALIAS) row[x] = static_cast<uint8_t>(level - 1);
            else row[x] |= static_cast<uint8_t>(level - 1);
        }
    }
    if (edge == 0) return;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const int level = levelAt(x, y);
            if (level == 0) continue;
            for (int dy = -edge; dy <= edge; ++dy) {
                const int cy = y + edge + dy;
                if (cy < 0 || cy >= cw) continue;
                for (int dx = -edge; dx <= edge; ++dx) {
                    const int cx = x + edge + dx;
                    if (cx < 0 || cx >= cw || !EdgeMaskHas(edge, dx, dy)) continue;
                    uint8_t &v = cell[cy * cachePitch + cx];
                    if (font.type == FONT_TYPE_EDGE) {
                        if (v != 1) v = 2;
                    } else if ((v >> 4) < level - 1) {
                        v = static_cast<uint8_t>((v & 0x0F) | ((level - 1) << 4));
                    }
                }
            }
        }
    }
}

}  // namespace

int IsLeadByte(const char *byte, int charSet) {
    const auto c = static_cast<unsigned char>(*byte);
    if (charSet == FONT_CHARSET_HANGUL) return c >= 0x80 ? 1 : 0;
    return IsSjisLeadByte(c) ? 1 : 0;
}

void ResetGlyphCache(FontRecord *font) {
    std::memset(font->codeMap, 0, sizeof font->codeMap);
    std::memset(font->entries, 0, sizeof font->entries);
    NumberGlyphSlots(font);
}

void NumberGlyphSlots(FontRecord *font) {
    for (int i = 0; i < font->slotCount; ++i) font->entries[i].slot = i;
    font->entries[font->slotCount].slot = -1;
    font->nextSlot = 0;
}

int PrepareStringGlyphs(int lengthLimit, int, const char *text, int handle, CharRecord *records, int *countOut) {
    FontRecord *font = ValidFont(handle);
    if (font == nullptr) return -1;
    int length = static_cast<int>(std::strlen(text));
    if (lengthLimit >= 0 && lengthLimit < length) length = lengthLimit;

    PrepareBuffers &fixed = FixedBuffers();
    CharRecord *queue = fixed.queue;
    CodeMapPair **queuedPairs = fixed.queuedPairs;
    void *block = nullptr;
    if (length > kFixedStringBytes) {
        const int bytes = length * static_cast<int>(2 * sizeof(CharRecord) + sizeof(CodeMapPair *));
        block = TrackedAlloc(bytes, "", 0);
        if (block == nullptr) return -1;
        queuedPairs = static_cast<CodeMapPair **>(block);
        queue = reinterpret_cast<CharRecord *>(queuedPairs + length);
        if (records == nullptr) records = queue + length;
    } else if (records == nullptr) {
        records = fixed.records;
    }

    int count = 0, queued = 0;
    for (int i = 0; i < length; ++count) {
        CharRecord &c = records[count];
        const bool pair = IsLeadByte(text + i, font->charSet) && i + 1 < length;
        c.bytes[0] = static_cast<uint8_t>(text[i]);
        c.bytes[1] = pair ? static_cast<uint8_t>(text[i + 1]) : 0;
        c.bytes[2] = 0;
        i += pair ? 2 : 1;
        CodeMapPair &entry = font->codeMap[CharKey(c)];
        if (entry.cached || queued >= font->slotCount) continue;
        entry.cached = 1;  // marks the character queued for the rest of the walk
        queuedPairs[queued] = &entry;
        queue[queued++] = c;
    }
    for (int i = 0; i < queued; ++i) queuedPairs[i]->cached = 0;
    CacheGlyphs(handle, queued, queue);
    if (countOut != nullptr) *countOut = count;
    if (block != nullptr) TrackedFree(block);
    return 0;
}

GlyphEntry *CacheGlyphs(int handle, int count, const CharRecord *records) {
    FontRecord *font = ValidFont(handle);
    if (font == nullptr) return nullptr;
    Host &host = ActiveHost();
    const GlyphFormat format = (font->type & FONT_TYPE_ANTIALIAS) ? GlyphFormat::Levels17 : GlyphFormat::Mono;
    const int edge = (font->type & FONT_TYPE_EDGE) ? font->edgeSize : 0;
    const int cw = font->cellWidth;
    GlyphEntry *last = nullptr;
    for (int i = 0; i < count; ++i) {
        const CharRecord &c = records[i];
        GlyphEntry *entry = &font->entries[font->nextSlot];
        if (entry->valid) {
            font->codeMap[entry->key] = CodeMapPair{0, 0};
            entry->valid = 0;
        }
        const int key = CharKey(c);
        font->codeMap[key] = CodeMapPair{1, static_cast<int16_t>(font->nextSlot)};
        entry->valid = 1;
        entry->key = static_cast<uint16_t>(key);

        const int slotY = (entry->slot % font->cellsPerColumn) * cw;
        uint8_t *cell = font->cachePixels + static_cast<ptrdiff_t>(slotY) * font->cachePitch;
        std::memset(cell, 0, static_cast<size_t>(cw) * font->cachePitch);

        GlyphMetrics g = {};
        const uint32_t unicode = UnicodeOf(c);
        const int size = host.RenderGlyph(font->hostFace, unicode, format, &g, nullptr, 0);
        if (size < 0) ExitWithMessage("GetGlyphOutline 関数が失敗しました");
        entry->advance = static_cast<int16_t>(g.advance);
        entry->xOffset = entry->yOffset = 0;
        entry->width = entry->height = 0;
        if (!IsSpace(c) && size > 0) {
            auto *bitmap = static_cast<uint8_t *>(TrackedAlloc(size, "", 0));
            if (bitmap == nullptr) ExitWithMessage("アンチエイリアス文字取得用バッファの確保に失敗しました");
            if (host.RenderGlyph(font->hostFace, unicode, format, &g, bitmap, size) != size) {
                ExitWithMessage("GetGlyphOutline 関数が失敗しました");
            }
            entry->xOffset = static_cast<int16_t>(g.originX);
            entry->yOffset = static_cast<int16_t>(font->ascent - g.originY);
            entry->width = static_cast<int16_t>(g.blackBoxX);
            entry->height = static_cast<int16_t>(g.blackBoxY);
            RenderIntoCell(*font, cell, bitmap, size / g.blackBoxY, g);
            TrackedFree(bitmap);
        }
        entry->advance = static_cast<int16_t>(entry->advance + 2 * edge);
        // A glyph larger than its cell keeps only what the cell holds.
        entry->width = static_cast<int16_t>(entry->width + 2 * edge > cw ? cw : entry->width + 2 * edge);
        entry->height = static_cast<int16_t>(entry->height + 2 * edge > cw ? cw : entry->height + 2 * edge);
        font->nextSlot = font->nextSlot + 1 == font->slotCount ? 0 : font->nextSlot + 1;
        last = entry;
    }
    return last;
}

}  // namespace zq
