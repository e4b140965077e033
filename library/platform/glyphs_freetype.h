// The glyph service both hosts share: faces chosen through fontconfig and rendered with FreeType,
// glyphs as 1-bit bitmaps or as 17 coverage levels, in rows padded to 4 bytes.
//
// Relies on FreeType (outline loading, hinting, rendering, synthetic bold and oblique) and
// fontconfig (family matching). Files and faces live in fixed tables; nothing here uses the
// library's allocator, the two libraries keep their own memory.
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
    // The font file and face index a family (empty: the default face) resolves to; false when none.
    bool FaceFile(const char *name, int weight, bool italic, const char **path, int *index);

    // Glyphs FreeType has rendered so far (a measure and a fetch of one glyph render it once).
    long Renderings() const { return renderings_; }

    static constexpr int kFaceLimit = 64;

private:
    // One open FreeType face per font file, shared by every face id made from it, each with its own
    // size: a new font of another size costs a size request, not a reopened and reparsed file.
    // Files stay open when their last face id goes, as the default font is remade at every size
    // switch; they close when the table needs room, and at the end.
    static constexpr int kFileLimit = 8;
    static constexpr int kPathSize = 4096;
    struct File {
        void *ftFace;       // FT_Face; null while the entry is free
        char path[kPathSize];
        int index;
        int users;          // face ids made from it
        // The glyph the face's slot holds rendered: the face id, character and format, so that the
        // second call for one glyph (measure, then fetch) does not render it again.
        int lastFace;
        uint32_t lastUnicode;
        GlyphFormat lastFormat;
    };
    struct Face {
        int file;           // the files_ entry
        void *ftSize;       // FT_Size of this face id on its file's face; null while the entry is free
        bool embolden;      // bold asked of a face that has none
        bool oblique;       // italic asked of a face that has none
        FontMetrics metrics;
    };
    Face *FaceAt(int face);
    bool Start();
    // The open file for a path and index, opening it when needed; -1 when it cannot be opened.
    int OpenFile(const char *path, int index);
    // fontconfig's choice of file for a family, weight and slant, remembered: the default font is
    // made again whenever its size changes, and matching costs more than the rest of it.
    bool FindFaceFile(const char *family, int weight, bool italic, const char **path, int *index);
    // Coverage 0..255 of a FreeType bitmap with `grays` levels to the 17 levels, by table.
    const uint8_t *LevelTable(int grays);

    static constexpr int kMatchMemory = 8;
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
    File files_[kFileLimit] = {};
    Face faces_[kFaceLimit] = {};
    long renderings_ = 0;
    int levelGrays_ = 0;       // the gray count levels_ was made for
    uint8_t levels_[256] = {};
};

// The one service of the process, started on first use.
FreeTypeGlyphs &SharedGlyphService();

// The face that an empty name asks for: a Japanese monospace gothic.
constexpr const char *kDefaultFaceFamily = "IPAGothic";

}  // namespace zq
