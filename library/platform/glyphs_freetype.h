// The glyph service both hosts share: faces chosen through fontconfig and rendered with FreeType,
// glyphs as 1-bit bitmaps or as 17 coverage levels, in rows padded to 4 bytes.
//
// Relies on FreeType (outline loading, hinting, rendering, synthetic bold and oblique) and
// fontconfig (family matching). Faces live in a fixed table; nothing here uses the library's
// allocator, the two libraries keep their own memory.
#pragma once

#include <cstdint>

#include "platform/host.h"

namespace zq {

class FreeTypeGlyphs {
public:
    FreeTypeGlyphs() = default;
    ~FreeTypeGlyphs();
    FreeTypeGlyphs(const FreeTypeGlyphs &) = delete;
    FreeTypeGlyphs &operator=(const FreeTypeGlyphs &) = delete;

    int CreateFontFace(const char *name, int pixelHeight, int weight, bool italic);
    bool ReadFontMetrics(int face, FontMetrics *out);
    int RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics, uint8_t *buffer,
                    int bufferSize);
    void ReleaseFontFace(int face);

    static constexpr int kFaceLimit = 64;

private:
    struct Face {
        void *ftFace;       // FT_Face; null while the entry is free
        bool embolden;      // bold asked of a face that has none
        bool oblique;       // italic asked of a face that has none
        FontMetrics metrics;
    };
    Face *FaceAt(int face);
    bool Start();
    // fontconfig's choice of file for a family, weight and slant, remembered: the default font is
    // made again whenever its size changes, and matching costs more than opening the file.
    bool FindFaceFile(const char *family, int weight, bool italic, const char **path, int *index);

    static constexpr int kMatchMemory = 8;
    static constexpr int kPathSize = 4096;
    struct Match {
        char family[256];
        int weight;
        bool italic;
        char path[kPathSize];
        int index;
    };
    Match matches_[kMatchMemory] = {};
    int matchCount_ = 0;
    int nextMatch_ = 0;

    void *library_ = nullptr;  // FT_Library
    Face faces_[kFaceLimit] = {};
};

// The one service of the process, started on first use.
FreeTypeGlyphs &SharedGlyphService();

// The face that an empty name asks for: a Japanese monospace gothic.
constexpr const char *kDefaultFaceFamily = "IPAGothic";

}  // namespace zq
