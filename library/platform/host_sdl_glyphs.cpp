// The SDL host's glyphs: the shared FreeType service, so the real program renders real glyphs.
#include "platform/glyphs_freetype.h"
#include "platform/host_sdl.h"

namespace zq {

int HostSdl::CreateFontFace(const char *name, int pixelHeight, int weight, bool italic) {
    return SharedGlyphService().CreateFontFace(name, pixelHeight, weight, italic);
}

bool HostSdl::ReadFontMetrics(int face, FontMetrics *out) { return SharedGlyphService().ReadFontMetrics(face, out); }

int HostSdl::RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics, uint8_t *buffer,
                       int bufferSize) {
    return SharedGlyphService().RenderGlyph(face, unicode, format, metrics, buffer, bufferSize);
}

void HostSdl::ReleaseFontFace(int face) { SharedGlyphService().ReleaseFontFace(face); }

}  // namespace zq
