// A small program for the end-to-end tests: on a 16-bit screen, draws "ガズモ" with the default font
// anti-aliased at size 64 and "最高殺人数 %d人" at size 18, both red, presents them, prints for each
// the ink box the glyph service reported ("box left top right bottom", right and bottom exclusive),
// prints "ready" and runs until the window closes.
#include <climits>
#include <cstdio>
#include <cstring>

#include "text/font.h"
#include "zqlib.h"

namespace {

// The union of the black boxes of the string's glyphs drawn at (x, y), from the font's cache.
void PrintInkBox(const char *text, int x, int y) {
    zq::FontRecord *font = zq::ValidFont(GetDefaultFontHandle());
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN, pen = 0;
    for (size_t i = 0; text[i] != '\0';) {
        const bool pair = zq::IsLeadByte(text + i, font->charSet) && text[i + 1] != '\0';
        const zq::CharRecord c = {{static_cast<uint8_t>(text[i]), static_cast<uint8_t>(pair ? text[i + 1] : 0), 0}};
        i += pair ? 2 : 1;
        const zq::GlyphEntry *e = zq::CachedEntry(*font, zq::CharKey(c));
        if (!zq::IsSpace(c) && e->width > 0) {
            const int l = x + pen + e->xOffset, t = y + e->yOffset;
            if (l < left) left = l;
            if (t < top) top = t;
            if (l + e->width > right) right = l + e->width;
            if (t + e->height > bottom) bottom = t + e->height;
        }
        pen += e->advance + font->charSpacing;
    }
    std::printf("box %d %d %d %d\n", left, top, right, bottom);
}

}  // namespace

int main() {
    ChangeWindowMode(1);
    SetScreenMode(640, 480, 16, 60);
    SetWindowTitle("text strings");
    SetLogOutputEnabled(0);
    if (InitLibrary() == -1) {
        std::fprintf(stderr, "text_strings: %s\n", GetStartupError());
        return -1;
    }
    SetDrawTarget(SCREEN_BACK);
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    const uint32_t red = MakeColor(255, 0, 0);
    char title[64], format[64], line[64];
    Utf8ToShiftJis("ガズモ", title, sizeof title);
    Utf8ToShiftJis("最高殺人数 %d人", format, sizeof format);

    SetDefaultFontSize(64);
    DrawStringAt(40, 40, title, red, 0);
    PrintInkBox(title, 40, 40);
    SetDefaultFontSize(18);
    DrawFormattedString(40, 200, red, format, 42);
    std::snprintf(line, sizeof line, format, 42);
    PrintInkBox(line, 40, 200);
    FlipScreen();
    std::printf("ready\n");
    std::fflush(stdout);
    while (ProcessMessages() == 0) FlipScreen();
    EndLibrary();
    return 0;
}
