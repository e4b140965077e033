// String drawing on the virtual host's 16-bit screen: DrawStringAt of a 20-character string with
// every glyph already cached, for the plain and the anti-aliased default font; and a frame of the
// title screen's pattern, which switches the default size between 64 and 18 and so makes a new
// default font (new face, empty cache) at each switch.
#include <benchmark/benchmark.h>

#include "platform/host_virtual.h"
#include "zqlib.h"

namespace {

bool StartOnVirtualHost(zq::VirtualHost &host, benchmark::State &state) {
    zq::InstallHost(&host);
    ChangeWindowMode(1);
    SetScreenMode(640, 480, 16, 60);
    SetLogOutputEnabled(0);
    if (InitLibrary() == 0) return true;
    state.SkipWithError(GetStartupError());
    zq::InstallHost(nullptr);
    return false;
}

}  // namespace

static void BM_DrawStringAtWarmCache(benchmark::State &state) {
    zq::VirtualHost host;
    if (!StartOnVirtualHost(host, state)) return;
    SetDrawTarget(SCREEN_BACK);
    SetDefaultFontType(static_cast<int>(state.range(0)));
    SetDefaultFontSize(18);
    char text[128];
    Utf8ToShiftJis("最高殺人数 12345人ガズモ敵HP!!", text, sizeof text);  // 20 characters
    const uint32_t red = MakeColor(255, 0, 0);
    DrawStringAt(10, 10, text, red, 0);
    for (auto _ : state) DrawStringAt(10, 10, text, red, 0);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(state.range(0) == FONT_TYPE_ANTIALIAS ? "strings, anti-aliased" : "strings, plain");
    EndLibrary();
    zq::InstallHost(nullptr);
}
BENCHMARK(BM_DrawStringAtWarmCache)->Arg(FONT_TYPE_NORMAL)->Arg(FONT_TYPE_ANTIALIAS)->Unit(benchmark::kMicrosecond);

static void BM_DefaultFontSizeSwitchPerFrame(benchmark::State &state) {
    zq::VirtualHost host;
    if (!StartOnVirtualHost(host, state)) return;
    SetDrawTarget(SCREEN_BACK);
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    char title[32], line[64];
    Utf8ToShiftJis("ガズモ", title, sizeof title);
    Utf8ToShiftJis("最高殺人数 %d人", line, sizeof line);
    const uint32_t red = MakeColor(255, 0, 0);
    for (auto _ : state) {
        SetDefaultFontSize(64);
        DrawStringAt(40, 40, title, red, 0);
        SetDefaultFontSize(18);
        DrawFormattedString(40, 200, red, line, 42);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames");
    EndLibrary();
    zq::InstallHost(nullptr);
}
BENCHMARK(BM_DefaultFontSizeSwitchPerFrame)->Unit(benchmark::kMicrosecond);
