// The game's own pictures, loaded from their files with pure green as the key and drawn with
// transparency: the key lets the screen show through, for indexed and 24-bit pictures alike (an
// indexed picture learns its key's palette index only after its palette is loaded).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "graphics/draw_state.h"
#include "graphics/kernels.h"
#include "graphics/screen.h"
#include "virtual_library.h"

namespace {

using GraphKeyTest = VirtualLibraryTest;

uint16_t ScreenPixel(int x, int y) {
    const zq::MEMIMG *screen = zq::ScreenImage();
    return reinterpret_cast<const uint16_t *>(screen->pixels + y * screen->base->pitch)[x];
}

TEST_F(GraphKeyTest, PureGreenOfTheGamesPicturesIsTransparent) {
    Start();
    SetDrawTarget(SCREEN_BACK);
    SetTransparentColor(0, 255, 0);
    const std::string assets = std::string(std::getenv("ZQ_SOURCE_DIR")) + "/assets/GAZUMO/";
    for (const char *name : {"hito.bmp", "gazumo3.bmp", "quluma.bmp", "gazumo.bmp"}) {
        const int graph = LoadGraphFile((assets + name).c_str(), 0);
        ASSERT_NE(graph, -1) << name;
        SetBackgroundColor(0, 0, 255);
        ClearDrawTarget();
        ASSERT_EQ(DrawGraphAt(10, 10, graph, 1), 0);
        // The top-left corner of every one of these pictures is key green.
        EXPECT_EQ(ScreenPixel(10, 10), 0x001F) << name << " keyed";
        ASSERT_EQ(DrawGraphAt(10, 10, graph, 0), 0);
        EXPECT_EQ(ScreenPixel(10, 10), 0x07E0) << name << " opaque";
    }
    SetBackgroundColor(0, 0, 0);
}

}  // namespace
