// String drawing on the virtual host's 16-bit screen, side by side with SDL2_ttf on the same font
// file (the one the default face resolves to) and the same strings:
// - a 20-character Japanese string whose glyphs are all cached: ours through DrawStringAt with the
//   plain and the anti-aliased default font, SDL2_ttf's TTF_RenderUTF8_Blended on cache hits;
// - the same string with no glyph cached: ours with a freshly made font or an emptied cache,
//   SDL2_ttf with a freshly opened font or a flushed cache;
// - a frame of the title screen: default size 64 and the title, size 18 and three lines, which makes
//   a new default font (new handle, empty cache) at each switch; SDL2_ttf switching one font's size.
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/glyphs_freetype.h"
#include "platform/host_virtual.h"
#include "text/font.h"
#include "zqlib.h"

namespace {

// 20 characters from the game's texts. SDL2_ttf keeps glyphs in 256 entries by glyph index modulo
// 256: no two of these characters share an entry, so its cached renderings are all hits.
constexpr const char *kJapanese20 = "総合殺人数人類は逃げ切りました称号の勝利";
constexpr int kLineSize = 18;

bool StartOnVirtualHost(zq::VirtualHost &host, benchmark::State &state) {
    zq::InstallHost(&host);
    ChangeWindowMode(1);
    SetScreenMode(640, 480, 16, 60);
    SetLogOutputEnabled(0);
    if (InitLibrary() == 0) {
        SetDrawTarget(SCREEN_BACK);
        return true;
    }
    state.SkipWithError(GetStartupError());
    zq::InstallHost(nullptr);
    return false;
}

void EndOnVirtualHost() {
    EndLibrary();
    zq::InstallHost(nullptr);
}

std::string Sjis(const char *utf8) {
    char text[256];
    Utf8ToShiftJis(utf8, text, sizeof text);
    return text;
}

const char *TypeLabel(int type) { return type == FONT_TYPE_ANTIALIAS ? "anti-aliased" : "plain"; }

// The font file our default face uses, for SDL2_ttf to open.
const char *DefaultFaceFile() {
    const char *path = nullptr;
    int index = 0;
    if (!zq::SharedGlyphService().FaceFile("", 400, false, &path, &index)) return nullptr;
    return path;
}

// SDL2_ttf started with our default face's file at a size; null (and the benchmark skipped) when not.
TTF_Font *OpenReference(benchmark::State &state, int size) {
    const char *path = DefaultFaceFile();
    if (path == nullptr || TTF_Init() != 0) {
        state.SkipWithError("no font file or no SDL2_ttf");
        return nullptr;
    }
    TTF_Font *font = TTF_OpenFont(path, size);
    if (font == nullptr) {
        state.SkipWithError(TTF_GetError());
        TTF_Quit();
    }
    return font;
}

void CloseReference(TTF_Font *font) {
    TTF_CloseFont(font);
    TTF_Quit();
}

void RenderReference(benchmark::State &state, TTF_Font *font, const char *utf8) {
    const SDL_Color red = {255, 0, 0, 255};
    SDL_Surface *line = TTF_RenderUTF8_Blended(font, utf8, red);
    if (line == nullptr) state.SkipWithError(TTF_GetError());
    SDL_FreeSurface(line);
}

}  // namespace

static void BM_TextCachedString_Ours(benchmark::State &state) {
    zq::VirtualHost host;
    if (!StartOnVirtualHost(host, state)) return;
    SetDefaultFontType(static_cast<int>(state.range(0)));
    SetDefaultFontSize(kLineSize);
    const std::string text = Sjis(kJapanese20);
    const uint32_t red = MakeColor(255, 0, 0);
    DrawStringAt(10, 10, text.c_str(), red, 0);
    for (auto _ : state) DrawStringAt(10, 10, text.c_str(), red, 0);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string("strings, ") + TypeLabel(static_cast<int>(state.range(0))));
    EndOnVirtualHost();
}
BENCHMARK(BM_TextCachedString_Ours)->Arg(FONT_TYPE_NORMAL)->Arg(FONT_TYPE_ANTIALIAS)->Unit(benchmark::kMicrosecond);

static void BM_TextCachedString_SdlTtf(benchmark::State &state) {
    TTF_Font *font = OpenReference(state, kLineSize);
    if (font == nullptr) return;
    RenderReference(state, font, kJapanese20);
    for (auto _ : state) RenderReference(state, font, kJapanese20);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("strings, blended");
    CloseReference(font);
}
BENCHMARK(BM_TextCachedString_SdlTtf)->Unit(benchmark::kMicrosecond);

// Ours with no glyph cached: arg 1 a fresh font made, drawn with and deleted each time; arg 0 one
// font whose cache is emptied before each draw.
static void BM_TextUncachedString_Ours(benchmark::State &state) {
    zq::VirtualHost host;
    if (!StartOnVirtualHost(host, state)) return;
    const bool fresh = state.range(0) == 1;
    const std::string text = Sjis(kJapanese20);
    const uint32_t red = MakeColor(255, 0, 0);
    int font = CreateFontToHandle(nullptr, kLineSize, -1, FONT_TYPE_ANTIALIAS, -1, -1, 0, -1, -1);
    for (auto _ : state) {
        if (fresh) {
            DeleteFontHandle(font);
            font = CreateFontToHandle(nullptr, kLineSize, -1, FONT_TYPE_ANTIALIAS, -1, -1, 0, -1, -1);
        } else {
            zq::ResetGlyphCache(zq::ValidFont(font));
        }
        DrawStringWithFont(10, 10, text.c_str(), red, font, 0);
    }
    DeleteFontHandle(font);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(fresh ? "strings, anti-aliased, fresh font" : "strings, anti-aliased, emptied cache");
    EndOnVirtualHost();
}
BENCHMARK(BM_TextUncachedString_Ours)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// SDL2_ttf with no glyph cached: arg 1 the font opened, rendered with and closed each time; arg 0
// one font whose cache is flushed by setting its size again before each rendering.
static void BM_TextUncachedString_SdlTtf(benchmark::State &state) {
    TTF_Font *font = OpenReference(state, kLineSize);
    if (font == nullptr) return;
    const bool fresh = state.range(0) == 1;
    const char *path = DefaultFaceFile();
    for (auto _ : state) {
        if (fresh) {
            TTF_CloseFont(font);
            font = TTF_OpenFont(path, kLineSize);
        } else {
            TTF_SetFontSize(font, kLineSize);
        }
        RenderReference(state, font, kJapanese20);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(fresh ? "strings, blended, fresh font" : "strings, blended, flushed cache");
    CloseReference(font);
}
BENCHMARK(BM_TextUncachedString_SdlTtf)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The title screen's text, as the game draws it each frame with its anti-aliased default font.
static void BM_TextTitleFrame_Ours(benchmark::State &state) {
    zq::VirtualHost host;
    if (!StartOnVirtualHost(host, state)) return;
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    const std::string title = Sjis("ガズモ"), quit = Sjis("Escキーで終了");
    const std::string best = Sjis("最高殺人数 %d人"), total = Sjis("総合殺人数 %d人");
    const uint32_t red = MakeColor(255, 0, 0);
    for (auto _ : state) {
        SetDefaultFontSize(64);
        DrawStringAt(100, 140, title.c_str(), red, 0);
        SetDefaultFontSize(18);
        DrawStringAt(100, 340, quit.c_str(), red, 0);
        DrawFormattedString(0, 0, red, best.c_str(), 1234);
        DrawFormattedString(0, 20, red, total.c_str(), 56789);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames");
    EndOnVirtualHost();
}
BENCHMARK(BM_TextTitleFrame_Ours)->Unit(benchmark::kMicrosecond);

// The same frame on SDL2_ttf: one font whose size is switched (which flushes its cache).
static void BM_TextTitleFrame_SdlTtf(benchmark::State &state) {
    TTF_Font *font = OpenReference(state, 64);
    if (font == nullptr) return;
    char best[64], total[64];
    std::snprintf(best, sizeof best, "最高殺人数 %d人", 1234);
    std::snprintf(total, sizeof total, "総合殺人数 %d人", 56789);
    for (auto _ : state) {
        TTF_SetFontSize(font, 64);
        RenderReference(state, font, "ガズモ");
        TTF_SetFontSize(font, 18);
        RenderReference(state, font, "Escキーで終了");
        RenderReference(state, font, best);
        RenderReference(state, font, total);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames");
    CloseReference(font);
}
BENCHMARK(BM_TextTitleFrame_SdlTtf)->Unit(benchmark::kMicrosecond);
