// String drawing: DrawStringAt of a 20-character string with every glyph already cached, on the
// virtual host's 16-bit screen, for the plain and the anti-aliased default font.
#include <benchmark/benchmark.h>

#include "platform/host_virtual.h"
#include "zqlib.h"

static void BM_DrawStringAtWarmCache(benchmark::State &state) {
    zq::VirtualHost host;
    zq::InstallHost(&host);
    ChangeWindowMode(1);
    SetScreenMode(640, 480, 16, 60);
    SetLogOutputEnabled(0);
    if (InitLibrary() != 0) {
        state.SkipWithError(GetStartupError());
        zq::InstallHost(nullptr);
        return;
    }
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
