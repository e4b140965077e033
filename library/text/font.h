// The font system inside the library: the font record with its glyph cache, the cache operations
// that string drawing uses, and the start and end that graphics start-up and shutdown call.
//
// A font's glyph cache is a ring of square cells in system memory: each cell holds one glyph that
// the host's glyph service rendered, found through a code map indexed by the character's bytes.
#pragma once

#include <cstdint>

namespace zq {

constexpr int kFontFaceNameSize = 256;
constexpr int kGlyphSlotLimit = 2024;              // cells of one cache at most
constexpr int kGlyphEntryCount = kGlyphSlotLimit + 1;  // one more holds the terminator
constexpr int kCodeMapSize = 65536;
constexpr int kMemoryCacheBytes = 327680;          // cells of about this many pixels in all
constexpr int kMemoryCacheMinSlots = 20;

struct GlyphEntry {
    int16_t valid;
    int16_t xOffset;   // glyph origin x
    int16_t yOffset;   // font ascent minus glyph origin y
    int16_t advance;   // pen advance plus twice the edge size
    int32_t slot;      // entry i always owns cache slot i; -1 marks the terminator
    int16_t width;     // black box plus twice the edge size (0 for spaces before the edge)
    int16_t height;
    uint16_t key;      // the code-map pair that refers to this entry
};

// A character's place in the code map: whether it is cached, and the index of its entry. Four
// bytes, so that the map of a new font (every 16-bit key) is quick to clear.
struct CodeMapPair {
    int16_t cached;
    int16_t entry;
};
static_assert(kGlyphEntryCount <= INT16_MAX, "a code-map pair holds an entry index in 16 bits");

struct FontRecord {
    int check;
    int *deleteNotice;
    GlyphEntry entries[kGlyphEntryCount];
    CodeMapPair codeMap[kCodeMapSize];  // key: first byte | second byte << 8
    int nextSlot;
    int slotCount;
    uint8_t *cachePixels;
    int cachePitch;                     // bytes per row
    int cacheBits;                      // 1 for type 0, 8 otherwise
    char faceName[kFontFaceNameSize];   // empty: the default face
    int thickness, size, cellHeight, italic, charSpacing;
    int cellWidth;
    int hostFace;                       // the host's face id, -1 when none
    int ascent;
    int type, charSet, edgeSize;
    int surfaceWidth, surfaceHeight, cellsPerColumn;
};

// One character of a prepared string: first byte, second byte (0 for a single byte), 0.
struct CharRecord {
    uint8_t bytes[3];
};

constexpr int CharKey(const CharRecord &c) { return c.bytes[0] | (c.bytes[1] << 8); }
// Spaces (the byte 0x20 and the full-width 0x81 0x40) only advance.
constexpr bool IsSpace(const CharRecord &c) {
    return (c.bytes[0] == 0x20 && c.bytes[1] == 0) || (c.bytes[0] == 0x81 && c.bytes[1] == 0x40);
}

int InitFontSystem();   // the font system at its defaults (graphics start-up)
int EndFontSystem();    // every font released (graphics shutdown)

FontRecord *ValidFont(int handle);
// Empties the code map and every entry, entry i owning slot i, and restarts the ring.
void ResetGlyphCache(FontRecord *font);
// The same for a record whose map and entries are still all zero, as a new one is.
void NumberGlyphSlots(FontRecord *font);
// The entry of a cached character, or null.
inline GlyphEntry *CachedEntry(FontRecord &font, int key) {
    const CodeMapPair pair = font.codeMap[key];
    return pair.cached ? &font.entries[pair.entry] : nullptr;
}
// Splits the string into character records (records may be null; up to 256 bytes need no
// allocation) and caches its missing glyphs in one batch. 0, or -1 for an invalid handle or a
// failed allocation.
int PrepareStringGlyphs(int lengthLimit, int unused, const char *text, int handle, CharRecord *records,
                        int *countOut);
// Renders the characters into the ring; the entry of the last one, or null when none was given.
// A glyph the host cannot render ends the process.
GlyphEntry *CacheGlyphs(int handle, int count, const CharRecord *records);
// Whether the byte starts a double-byte character in the font's character set.
int IsLeadByte(const char *byte, int charSet);

}  // namespace zq
