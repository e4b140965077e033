// The virtual host's glyphs: the shared FreeType service, so unit tests render real glyphs.
#include "platform/glyphs_freetype.h"
#include "platform/host_virtual.h"

namespace zq {

int VirtualHost::CreateFontFace(const char *name, int pixelHeight, int weight, bool italic) {
    return SharedGlyphService().CreateFontFace(name, pixelHeight, weight, italic);
}

bool VirtualHost::ReadFontMetrics(int face, FontMetrics *out) { return SharedGlyphService().ReadFontMetrics(face, out); }

int VirtualHost::RenderGlyph(int face, uint32_t unicode, GlyphFormat format, GlyphMetrics *metrics, uint8_t *buffer,
                       int bufferSize) {
    return SharedGlyphService().RenderGlyph(face, unicode, format, metrics, buffer, bufferSize);
}

void VirtualHost::ReleaseFontFace(int face) { SharedGlyphService().ReleaseFontFace(face); }

}  // namespace zq
