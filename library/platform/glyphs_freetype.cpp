// The glyph service on FreeType and fontconfig: family matching, cell-height sizing, synthetic bold
// and oblique for faces without them, and glyph bitmaps in the two formats the font cache reads.
#include "platform/glyphs_freetype.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H

#include <cstring>

namespace zq {
namespace {

constexpr int kBoldWeight = 600;        // weights from here up are drawn bold

// Rounds a 26.6 value to whole pixels.
int Pixels(FT_Pos value) { return static_cast<int>((value + 32) >> 6); }
int PixelsUp(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

// The font file and face index fontconfig chooses for a family, weight and slant; false when none.
bool MatchFace(const char *family, int weight, bool italic, char *path, int pathSize, int *index) {
    FcPattern *pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    FcChar8 *file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr &&
                 std::strlen(reinterpret_cast<const char *>(file)) < static_cast<size_t>(pathSize);
    if (found) {
        std::strcpy(path, reinterpret_cast<const char *>(file));
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    }
    FcPatternDestroy(match);
    return found;
}

}  // namespace

FreeTypeGlyphs &SharedGlyphService() {
    static FreeTypeGlyphs service;
    return service;
}

FreeTypeGlyphs::~FreeTypeGlyphs() {
    for (int i = 0; i < kFaceLimit; ++i) ReleaseFontFace(i);
    for (File &file : files_) {
        if (file.ftFace != nullptr) FT_Done_Face(static_cast<FT_Face>(file.ftFace));
    }
    if (library_ == nullptr) return;
    FT_Done_FreeType(static_cast<FT_Library>(library_));
    FcFini();  // fontconfig's configuration and caches, kept from the first match to the end
}

bool FreeTypeGlyphs::Start() {
    if (library_ != nullptr) return true;
    if (!FcInit()) return false;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return false;
    library_ = library;
    return true;
}

bool FreeTypeGlyphs::FindFaceFile(const char *family, int weight, bool italic, const char **path, int *index) {
    if (std::strlen(family) >= sizeof matches_[0].family) return false;
    for (int i = 0; i < matchCount_; ++i) {
        const Match &m = matches_[i];
        if (m.weight == weight && m.italic == italic && std::strcmp(m.family, family) == 0) {
            *path = m.path;
            *index = m.index;
            return true;
        }
    }
    Match &m = matches_[nextMatch_];
    if (!MatchFace(family, weight, italic, m.path, sizeof m.path, &m.index)) return false;
    std::strcpy(m.family, family);
    m.weight = weight;
    m.italic = italic;
    nextMatch_ = (nextMatch_ + 1) % kMatchMemory;
    if (matchCount_ < kMatchMemory) ++matchCount_;
    *path = m.path;
    *index = m.index;
    return true;
}

bool FreeTypeGlyphs::FaceFile(const char *name, int weight, bool italic, const char **path, int *index) {
    if (!Start()) return false;
    return FindFaceFile(name == nullptr || name[0] == '\0' ? kDefaultFaceFamily : name, weight, italic, path, index);
}

int FreeTypeGlyphs::OpenFile(const char *path, int index) {
    for (int i = 0; i < kFileLimit; ++i) {
        const File &file = files_[i];
        if (file.ftFace != nullptr && file.index == index && std::strcmp(file.path, path) == 0) return i;
    }
    // A free entry, else one whose file no face id uses any more.
    int unused = -1;
    for (int i = 0; i < kFileLimit && unused < 0; ++i) {
        if (files_[i].ftFace == nullptr) unused = i;
    }
    for (int i = 0; i < kFileLimit && unused < 0; ++i) {
        if (files_[i].users == 0) unused = i;
    }
    if (unused < 0 || std::strlen(path) >= sizeof files_[0].path) return -1;
    File &file = files_[unused];
    if (file.ftFace != nullptr) FT_Done_Face(static_cast<FT_Face>(file.ftFace));
    file = File{};
    FT_Face ftFace = nullptr;
    if (FT_New_Face(static_cast<FT_Library>(library_), path, index, &ftFace) != 0) return -1;
    if (!FT_IS_SCALABLE(ftFace)) {
        FT_Done_Face(ftFace);
        return -1;
    }
    file.ftFace = ftFace;
    std::strcpy(file.path, path);
    file.index = index;
    file.lastFace = -1;
    return unused;
}

FreeTypeGlyphs::Face *FreeTypeGlyphs::FaceAt(int face) {
    if (face < 0 || face >= kFaceLimit || faces_[face].ftSize == nullptr) return nullptr;
    return &faces_[face];
}

int FreeTypeGlyphs::CreateFontFace(const char *name, int pixelHeight, int weight, bool italic) {
    if (pixelHeight <= 0 || !Start()) return -1;
    int id = 0;
    while (id < kFaceLimit && faces_[id].ftSize != nullptr) ++id;
    if (id == kFaceLimit) return -1;

    const char *path = nullptr;
    int index = 0;
    const char *family = (name == nullptr || name[0] == '\0') ? kDefaultFaceFamily : name;
    if (!FindFaceFile(family, weight, italic, &path, &index)) return -1;
    const int fileId = OpenFile(path, index);
    if (fileId < 0) return -1;
    File &file = files_[fileId];
    FT_Face ftFace = static_cast<FT_Face>(file.ftFace);
    FT_Size size = nullptr;
    if (FT_New_Size(ftFace, &size) != 0) return -1;
    // The cell height, ascent plus descent, is the size asked for.
    FT_Size_RequestRec request = {FT_SIZE_REQUEST_TYPE_CELL, 0, static_cast<FT_Long>(pixelHeight) * 64, 0, 0};
    if (FT_Activate_Size(size) != 0 || FT_Request_Size(ftFace, &request) != 0) {
        FT_Done_Size(size);
        return -1;
    }
    file.users += 1;
    Face &face = faces_[id];
    face.file = fileId;
    face.ftSize = size;
    face.embolden = weight >= kBoldWeight && !(ftFace->style_flags & FT_STYLE_FLAG_BOLD);
    face.oblique = italic && !(ftFace->style_flags & FT_STYLE_FLAG_ITALIC);
    const FT_Size_Metrics &m = size->metrics;
    face.metrics.ascent = Pixels(m.ascender);
    face.metrics.height = pixelHeight;
    // Synthetic bold widens every glyph by the strength FreeType uses, a 24th of the em.
    const int boldExtra = face.embolden ? PixelsUp(FT_MulFix(ftFace->units_per_EM, m.y_scale) / 24) : 0;
    face.metrics.maxAdvance = Pixels(m.max_advance) + boldExtra;
    return id;
}

bool FreeTypeGlyphs::ReadFontMetrics(int face, FontMetrics *out) {
    Face *f = FaceAt(face);
    if (f == nullptr) return false;
    *out = f->metrics;
    return true;
}

const uint8_t *FreeTypeGlyphs::LevelTable(int grays) {
    if (grays != levelGrays_) {
        for (int v = 0; v < 256; ++v) levels_[v] = static_cast<uint8_t>((v * 16 + grays / 2) / grays);
        levelGrays_ = grays;
    }
    return levels_;
}

int FreeTypeGlyphs::RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics,
                                uint8_t *buffer, int bufferSize) {
    Face *f = FaceAt(face);
    if (f == nullptr) return -1;
    File &file = files_[f->file];
    FT_Face ftFace = static_cast<FT_Face>(file.ftFace);
    const bool mono = format == GlyphFormat::Mono;
    FT_GlyphSlot slot = ftFace->glyph;
    if (file.lastFace != face || file.lastUnicode != unicode || file.lastFormat != format) {
        file.lastFace = -1;
        if (FT_Activate_Size(static_cast<FT_Size>(f->ftSize)) != 0) return -1;
        const FT_Int32 load = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Char(ftFace, unicode, load) != 0) return -1;
        if (f->oblique) FT_GlyphSlot_Oblique(slot);
        if (f->embolden) FT_GlyphSlot_Embolden(slot);
        if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return -1;
        renderings_ += 1;
        file.lastFace = face;
        file.lastUnicode = unicode;
        file.lastFormat = format;
    }

    const FT_Bitmap &bitmap = slot->bitmap;
    metrics->blackBoxX = static_cast<int>(bitmap.width);
    metrics->blackBoxY = static_cast<int>(bitmap.rows);
    metrics->originX = slot->bitmap_left;
    metrics->originY = slot->bitmap_top;
    metrics->advance = Pixels(slot->advance.x);
    if (bitmap.width == 0 || bitmap.rows == 0) {
        metrics->blackBoxX = metrics->blackBoxY = 0;
        return 0;
    }
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);
    const int pitch = mono ? ((width + 31) / 32) * 4 : (width + 3) & ~3;
    const int size = pitch * rows;
    if (buffer == nullptr || bufferSize < size) return size;

    std::memset(buffer, 0, size);
    const uint8_t *levels = mono ? nullptr : LevelTable(bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255);
    for (int y = 0; y < rows; ++y) {
        const uint8_t *src = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        uint8_t *dst = buffer + y * pitch;
        if (mono) {
            std::memcpy(dst, src, (width + 7) / 8);
        } else {
            for (int x = 0; x < width; ++x) dst[x] = levels[src[x]];
        }
    }
    return size;
}

void FreeTypeGlyphs::ReleaseFontFace(int face) {
    Face *f = FaceAt(face);
    if (f == nullptr) return;
    File &file = files_[f->file];
    if (file.lastFace == face) file.lastFace = -1;
    file.users -= 1;
    FT_Done_Size(static_cast<FT_Size>(f->ftSize));
    *f = Face{};
}

}  // namespace zq
