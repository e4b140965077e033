// Graph records on the virtual host: graphs made from standard images (direct, alpha, indexed),
// the transparent color captured when a picture is made, cells cut from one shared picture and
// their release, refills, restore sources, release at graphics shutdown; and graphs loaded from
// the game's image files, keyed with pure green, with the log lines of the failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/handles.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "support/log_file_fixture.h"

namespace {

using zq::GraphRecord;
using zq::MEMIMG;
using zq::StandardImage;

uint32_t ReadPixel(const MEMIMG &m, int x, int y) {
    const int bytes = zq::MemImgBytesPerPixel(*m.base);
    uint32_t v = 0;
    std::memcpy(&v, m.pixels + y * m.base->pitch + x * bytes, bytes);
    return v;
}

std::string ShiftJis(const char *utf8) {
    char out[512];
    Utf8ToShiftJis(utf8, out, sizeof out);
    return out;
}

// Owns a standard image for the length of a test.
struct Image {
    StandardImage image{};
    ~Image() { zq::ReleaseImage(&image); }
    StandardImage *operator->() { return &image; }
    StandardImage *get() { return &image; }
};

class GraphTest : public LogFileTest {
protected:
    void SetUp() override {
        LogFileTest::SetUp();
        Start();
    }

    // An XRGB8 picture whose pixel (x, y) is (x, y, x + y) in red, green, blue.
    void MakeGradient(Image &image, int width, int height) {
        ASSERT_EQ(zq::CreateImageXRGB8(width, height, image.get()), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) zq::SetImagePixel(image.get(), x, y, x & 0xFF, y & 0xFF, (x + y) & 0xFF, 255);
    }

    // The pixel the screen layout gives a color.
    uint32_t ScreenColor(int red, int green, int blue) {
        return zq::PackColor(zq::MemImgPixelFormat(zq::ScreenImage()->base->colorType, false, false), red, green,
                             blue, 255);
    }

    int GraphCount() { return zq::HandleCount(zq::HandleKind::Graph); }
};

// A whole graph holds the picture in the screen's layout; the alpha picture, when given, must have
// the picture's size and makes an alpha graph; a one-byte picture makes an indexed graph whose key
// is the first palette entry equal to the transparent color.
TEST_F(GraphTest, GraphsFromStandardImages) {
    Image picture;
    MakeGradient(picture, 20, 10);
    const int graph = zq::MakeGraphFromImage(picture.get(), nullptr);
    ASSERT_NE(graph, -1);
    const MEMIMG &image = *zq::GraphImage(graph);
    EXPECT_EQ(image.width, 20);
    EXPECT_EQ(image.height, 10);
    EXPECT_EQ(image.base->hasAlpha, 0);
    EXPECT_EQ(ReadPixel(image, 13, 7), ScreenColor(13, 7, 20));
    int w = 0, h = 0;
    EXPECT_EQ(GetDrawTargetSize(graph, &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 2010);

    Image alpha, wrongAlpha;
    MakeGradient(alpha, 20, 10);
    MakeGradient(wrongAlpha, 20, 11);
    EXPECT_EQ(zq::MakeGraphFromImage(picture.get(), wrongAlpha.get()), -1);
    const int withAlpha = zq::MakeGraphFromImage(picture.get(), alpha.get());
    ASSERT_NE(withAlpha, -1);
    EXPECT_EQ(zq::GraphImage(withAlpha)->base->hasAlpha, 1);

    SetTransparentColor(0, 255, 0);
    zq::PixelFormat palette{};
    zq::CreatePaletteFormat(&palette);
    for (int i = 0; i < 256; ++i) palette.palette[i] = {uint8_t(i), 0, 0, 0};
    auto makeIndexed = [&] {
        uint8_t pixels[16] = {};
        StandardImage source{};
        source.format = palette;
        source.width = source.height = source.pitch = 4;
        source.pixels = pixels;
        return zq::MakeGraphFromImage(&source, nullptr);
    };
    const int noKeyEntry = makeIndexed();
    palette.palette[12] = palette.palette[9] = {0, 255, 0, 0};
    const int keyEntry = makeIndexed();
    ASSERT_NE(keyEntry, -1);
    EXPECT_EQ(zq::GraphImage(keyEntry)->base->usePalette, 1);
    EXPECT_EQ(zq::GraphImage(keyEntry)->base->transColor, 9u);
    EXPECT_EQ(zq::GraphImage(noKeyEntry)->base->transColor, 0u);
}

// The transparent color in effect when a picture is made is its key: pictures made before a change
// keep theirs; graphics starting again put it back to black.
TEST_F(GraphTest, TransparentColorIsCapturedWhenAPictureIsMade) {
    Image picture;
    MakeGradient(picture, 4, 4);
    const int before = zq::MakeGraphFromImage(picture.get(), nullptr);
    EXPECT_EQ(SetTransparentColor(0x100, 255, 0x200), 0);  // only the low eight bits count
    const int after = zq::MakeGraphFromImage(picture.get(), nullptr);
    EXPECT_EQ(zq::GraphImage(before)->base->transColor, ScreenColor(0, 0, 0));
    EXPECT_EQ(zq::GraphImage(after)->base->transColor, ScreenColor(0, 255, 0));
    EXPECT_EQ(zq::GraphImage(after)->base->transColor & 0xFFFF, 0x07E0u);  // the 16-bit screen
    EndLibrary();
    Start();
    EXPECT_EQ(GraphCount(), 0);
    EXPECT_EQ(zq::GetGraphMakingSettings().transparentColor, 0u);
}

// Cells are cut row by row from one picture they all share; a cell reaching past the picture is cut
// short; a grid stops after the cell count; the reverse flag runs the columns from the right.
TEST_F(GraphTest, DividedPictureSharesOnePicture) {
    struct Case {
        int width, count, across, down, reverse;
        int x[4], y[4], w[4], h[4];
    };
    const Case cases[] = {
        {300, 3, 3, 1, 0, {0, 100, 200}, {0, 0, 0}, {100, 100, 100}, {133, 133, 133}},
        {250, 3, 3, 1, 0, {0, 100, 200}, {0, 0, 0}, {100, 100, 50}, {133, 133, 133}},
        {300, 3, 2, 2, 0, {0, 100, 0}, {0, 0, 133}, {100, 100, 100}, {133, 133, 133}},
        {300, 3, 3, 1, 1, {200, 100, 0}, {0, 0, 0}, {100, 100, 100}, {133, 133, 133}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.width * 10 + c.reverse);
        const int height = c.down == 2 ? 266 : 133;
        Image picture;
        MakeGradient(picture, c.width, height);
        int cells[4] = {-2, -2, -2, -2};
        ASSERT_EQ(zq::CreateDivGraphFromGraphImage(picture.get(), nullptr, c.count, c.across, c.down, 100, 133, cells,
                                                   c.reverse),
                  0);
        EXPECT_EQ(GraphCount(), c.count);
        for (int i = 0; i < c.count; ++i) {
            const GraphRecord &cell = *zq::GraphFromHandle(cells[i]);
            EXPECT_EQ(cell.offsetX, c.x[i]) << i;
            EXPECT_EQ(cell.offsetY, c.y[i]) << i;
            EXPECT_EQ(cell.width, c.w[i]) << i;
            EXPECT_EQ(cell.height, c.h[i]) << i;
            EXPECT_EQ(cell.picture, zq::GraphFromHandle(cells[0])->picture);
            EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[i]), 5, 6),
                      ScreenColor(c.x[i] + 5, c.y[i] + 6, c.x[i] + c.y[i] + 11));
        }
        EXPECT_EQ(zq::GraphFromHandle(cells[0])->picture->refCount, c.count);
        for (int i = 0; i < c.count; ++i) ReleaseGraph(cells[i]);
    }
    // More cells asked for than the grid holds: the rest of the handles get none.
    Image picture;
    MakeGradient(picture, 300, 133);
    int cells[4] = {-2, -2, -2, -2};
    ASSERT_EQ(zq::CreateDivGraphFromGraphImage(picture.get(), nullptr, 4, 3, 1, 100, 133, cells, 0), 0);
    EXPECT_EQ(cells[3], -1);
}

// A second row that starts below the picture cannot be cut: the division fails with its log line
// and leaves no graph behind.
TEST_F(GraphTest, FailedDivisionLeavesNothing) {
    Image picture;
    MakeGradient(picture, 300, 133);
    const size_t mark = ReadLog().size();
    int cells[6];
    EXPECT_EQ(zq::CreateDivGraphFromGraphImage(picture.get(), nullptr, 6, 3, 2, 100, 133, cells, 0), -1);
    EXPECT_EQ(GraphCount(), 0);
    EXPECT_NE(LogSince(mark).find(ShiftJis("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage")),
              std::string::npos);
}

// CutGraph refuses a corner outside the parent; cells of cells add their offsets. Releasing two of
// three cells keeps the picture; the third frees it. The deletion notice is set on release, and a
// released handle stays invalid even when its slot is used again.
TEST_F(GraphTest, CuttingAndReleasing) {
    Image picture;
    MakeGradient(picture, 300, 133);
    const int base = zq::MakeGraphFromImage(picture.get(), nullptr);
    struct Corner {
        int x, y;
    };
    for (const Corner c : {Corner{-1, 0}, Corner{0, -1}, Corner{300, 0}, Corner{0, 133}}) {
        EXPECT_EQ(zq::CutGraph(c.x, c.y, 10, 10, base), -1) << c.x << "," << c.y;
    }
    const int a = zq::CutGraph(100, 20, 100, 100, base);
    const int b = zq::CutGraph(10, 30, 200, 200, a);
    ASSERT_NE(b, -1);
    const GraphRecord &cell = *zq::GraphFromHandle(b);
    EXPECT_EQ(cell.offsetX, 110);
    EXPECT_EQ(cell.offsetY, 50);
    EXPECT_EQ(cell.width, 90);
    EXPECT_EQ(cell.height, 70);
    EXPECT_EQ(ReadPixel(*zq::GraphImage(b), 0, 0), ScreenColor(110, 50, 160));

    zq::GraphPicture *shared = cell.picture;
    EXPECT_EQ(shared->refCount, 3);
    int notice = 0;
    ASSERT_EQ(zq::SetGraphDeletionNotice(a, &notice), 0);
    EXPECT_EQ(ReleaseGraph(a), 0);
    EXPECT_EQ(notice, 1);
    EXPECT_EQ(ReleaseGraph(a), -1);
    EXPECT_EQ(ReleaseGraph(base), 0);
    EXPECT_EQ(shared->refCount, 1);
    EXPECT_EQ(ReadPixel(*zq::GraphImage(b), 1, 1), ScreenColor(111, 51, 162));
    EXPECT_EQ(ReleaseGraph(b), 0);
    EXPECT_EQ(GraphCount(), 0);
    EXPECT_EQ(CheckAllocations(), 0);
}

// A refill must have the graph's size and changes only the graph's own rectangle of the picture.
TEST_F(GraphTest, RefillWritesOnlyTheGraphsRectangle) {
    Image picture, fill, wrong;
    MakeGradient(picture, 300, 133);
    int cells[3];
    ASSERT_EQ(zq::CreateDivGraphFromGraphImage(picture.get(), nullptr, 3, 3, 1, 100, 133, cells, 0), 0);
    ASSERT_EQ(zq::CreateImageXRGB8(100, 133, fill.get()), 0);
    for (int y = 0; y < 133; ++y)
        for (int x = 0; x < 100; ++x) zq::SetImagePixel(fill.get(), x, y, 255, 255, 255, 255);
    MakeGradient(wrong, 100, 132);
    EXPECT_EQ(zq::RefillGraphFromImage(wrong.get(), nullptr, cells[1]), -1);
    ASSERT_EQ(zq::RefillGraphFromImage(fill.get(), nullptr, cells[1]), 0);
    EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[1]), 99, 132), ScreenColor(255, 255, 255));
    EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[0]), 99, 132), ScreenColor(99, 132, 231));
    EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[2]), 0, 0), ScreenColor(200, 0, 200));
}

// A restore source is the full path against the current directory; cells cut from a graph share
// it, and it is freed with its last graph.
TEST_F(GraphTest, RestoreSourcesAreFullPathsSharedByCells) {
    Image picture;
    MakeGradient(picture, 30, 30);
    const int graph = zq::MakeGraphFromImage(picture.get(), nullptr);
    ASSERT_EQ(zq::SetGraphRestoreSource(graph, "pics\\a.bmp", -1), 0);
    const std::string expected = std::filesystem::current_path().string() + "/pics\\a.bmp";
    EXPECT_EQ(std::string(zq::GraphFromHandle(graph)->restoreSource->path), expected);
    const int cell = zq::CutGraph(10, 10, 5, 5, graph);
    const int other = zq::MakeGraphFromImage(picture.get(), nullptr);
    ASSERT_EQ(zq::SetGraphRestoreSource(other, nullptr, graph), 0);
    EXPECT_EQ(zq::GraphFromHandle(cell)->restoreSource, zq::GraphFromHandle(graph)->restoreSource);
    EXPECT_EQ(zq::GraphFromHandle(other)->restoreSource->refCount, 3);
    EXPECT_EQ(zq::SetGraphRestoreSource(other, nullptr, -1), 0);
    EXPECT_EQ(zq::GraphFromHandle(other)->restoreSource, nullptr);
    ReleaseGraph(graph);
    EXPECT_EQ(zq::GraphFromHandle(cell)->restoreSource->refCount, 1);
    ReleaseGraph(cell);
    ReleaseGraph(other);
    EXPECT_EQ(CheckAllocations(), 0);
}


// Graphs from the game's image files, copied into the test's scratch directory.
class GraphFileTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        const char *source = std::getenv("ZQ_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        source_ = source;
        std::filesystem::copy(source_ / "assets" / "GAZUMO", scratch_ / "GAZUMO");
    }

    void ExpectLogged(size_t mark, const std::string &line) {
        EXPECT_NE(LogSince(mark).find(line), std::string::npos) << LogSince(mark);
    }

    std::filesystem::path source_;
};

// The game's sheet cut into three cells keyed with pure green: green pixels are left out by a draw
// with transparency, the others drawn as they are; every cell remembers its file.
TEST_F(GraphFileTest, GameSheetIsCutIntoThreeKeyedCells) {
    SetTransparentColor(0, 255, 0);
    int cells[3] = {-2, -2, -2};
    ASSERT_EQ(LoadDividedGraphFile("GAZUMO\\gazumo.bmp", 3, 3, 1, 100, 133, cells, 0), 0);
    for (int i = 0; i < 3; ++i) {
        const GraphRecord &cell = *zq::GraphFromHandle(cells[i]);
        EXPECT_EQ(cell.offsetX, 100 * i);
        EXPECT_EQ(cell.width * 1000 + cell.height, 100133);
        EXPECT_EQ(zq::GraphImage(cells[i])->base->transColor, 0x07E0u);
        ASSERT_NE(cell.restoreSource, nullptr);
        EXPECT_EQ(std::string(cell.restoreSource->path),
                  std::filesystem::current_path().string() + "/GAZUMO\\gazumo.bmp");
    }
    SetDrawTarget(SCREEN_BACK);
    SetBackgroundColor(0, 0, 255);
    ClearDrawTarget();
    ASSERT_EQ(DrawGraphAt(10, 20, cells[1], 1), 0);
    const MEMIMG &screen = *zq::ScreenImage();
    EXPECT_EQ(ReadPixel(screen, 10, 20), ScreenColor(0, 0, 255));              // green at the corner
    EXPECT_EQ(ReadPixel(screen, 10 + 50, 20 + 66), ScreenColor(0xD0, 0xD4, 0xE4));  // the sheet's (150, 66)

    // The same file again is a picture of its own.
    const int again = LoadGraphFile("GAZUMO\\gazumo.bmp", 0);
    ASSERT_NE(again, -1);
    EXPECT_NE(zq::GraphFromHandle(again)->picture, zq::GraphFromHandle(cells[0])->picture);
}

// A file beside the picture named with "_a" gives its alpha; a PNG with an alpha channel makes an
// alpha graph by itself.
TEST_F(GraphFileTest, AlphaFromTheFileBesideOrTheChannel) {
    std::filesystem::copy_file(scratch_ / "GAZUMO" / "he.bmp", scratch_ / "GAZUMO" / "pic.bmp");
    std::filesystem::copy_file(scratch_ / "GAZUMO" / "he.bmp", scratch_ / "GAZUMO" / "pic_a.bmp");
    const int keyed = LoadGraphFile("GAZUMO/he.bmp", 0);
    const int withAlpha = LoadGraphFile("GAZUMO/pic.bmp", 0);
    std::filesystem::copy_file(source_ / "tests" / "graphics" / "data" / "rgba.png", scratch_ / "rgba.png");
    const int png = LoadGraphFile("rgba.png", 0);
    ASSERT_NE(keyed, -1);
    ASSERT_NE(withAlpha, -1);
    ASSERT_NE(png, -1);
    EXPECT_EQ(zq::GraphImage(keyed)->base->hasAlpha, 0);
    EXPECT_EQ(zq::GraphImage(withAlpha)->base->hasAlpha, 1);
    EXPECT_EQ(zq::GraphImage(png)->base->hasAlpha, 1);
}

// A missing file, a file that is no image, and a missing sheet each fail with their log lines.
TEST_F(GraphFileTest, FailuresAreLogged) {
    { std::ofstream("GAZUMO/notes.txt") << "not a picture"; }
    size_t mark = ReadLog().size();
    EXPECT_EQ(LoadGraphFile("GAZUMO\\nothing.bmp", 0), -1);
    ExpectLogged(mark, ShiftJis("グラフィックファイル GAZUMO\\nothing.bmp がありません"));
    mark = ReadLog().size();
    EXPECT_EQ(LoadGraphFile("GAZUMO\\notes.txt", 0), -1);
    ExpectLogged(mark, ShiftJis("右記のグラフィックファイルのロードに失敗しました：GAZUMO\\notes.txt \r\n"));
    mark = ReadLog().size();
    int cells[3];
    EXPECT_EQ(LoadDividedGraphFile("GAZUMO\\nothing.bmp", 3, 3, 1, 100, 133, cells, 0), -1);
    ExpectLogged(mark, ShiftJis("右記のグラフィックファイルのロードに失敗しました：GAZUMO\\nothing.bmp"));
    EXPECT_EQ(GraphCount(), 0);
}

// A 24-bit bottom-up BMP whose pixel (x, y) is (x, y, 7).
void WriteSheet(const char *path, int width, int height) {
    const int rowSize = (width * 3 + 3) & ~3;
    std::string file(54 + size_t(rowSize) * height, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = char(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    file[26] = 1, file[28] = 24;
    for (int y = 0; y < height; ++y) {
        char *row = &file[54 + size_t(rowSize) * (height - 1 - y)];
        for (int x = 0; x < width; ++x) row[3 * x] = 7, row[3 * x + 1] = char(y), row[3 * x + 2] = char(x);
    }
    std::ofstream(path, std::ios::binary) << file;
}

// The game's division of sheets 300 and 250 pixels wide: cells at x = 0, 100 and 200, the last
// one 50 wide on the narrower sheet; releasing two cells keeps the picture for the third. A grid
// whose second row starts below the picture fails with the division line and leaves no graph.
TEST_F(GraphFileTest, DividedFilesOfEitherWidthAndAGridPastThePicture) {
    for (const int width : {300, 250}) {
        SCOPED_TRACE(width);
        WriteSheet("sheet.bmp", width, 133);
        int cells[3] = {-2, -2, -2};
        ASSERT_EQ(LoadDividedGraphFile("sheet.bmp", 3, 3, 1, 100, 133, cells, 0), 0);
        EXPECT_EQ(GraphCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const GraphRecord &cell = *zq::GraphFromHandle(cells[i]);
            EXPECT_EQ(cell.offsetX, 100 * i);
            EXPECT_EQ(cell.width, i < 2 || width == 300 ? 100 : 50);
            EXPECT_EQ(cell.height, 133);
            EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[i]), 9, 4), ScreenColor(100 * i + 9, 4, 7));
        }
        zq::GraphPicture *picture = zq::GraphFromHandle(cells[2])->picture;
        EXPECT_EQ(ReleaseGraph(cells[0]), 0);
        EXPECT_EQ(ReleaseGraph(cells[1]), 0);
        EXPECT_EQ(picture->refCount, 1);
        EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[2]), 1, 2), ScreenColor(201, 2, 7));
        EXPECT_EQ(ReleaseGraph(cells[2]), 0);
        EXPECT_EQ(GraphCount(), 0);
    }
    const size_t mark = ReadLog().size();
    int cells[6];
    EXPECT_EQ(LoadDividedGraphFile("sheet.bmp", 6, 3, 2, 100, 133, cells, 0), -1);
    ExpectLogged(mark, ShiftJis("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage"));
    EXPECT_EQ(GraphCount(), 0);
    EXPECT_EQ(CheckAllocations(), 0);
}

// After the device was restored, graphs with a file get their pixels back from it, cells from their
// rectangle of the sheet; a graph whose file is gone keeps what it has.
TEST_F(GraphFileTest, RestoreReloadsGraphsFromTheirFiles) {
    int cells[3];
    ASSERT_EQ(LoadDividedGraphFile("GAZUMO\\gazumo.bmp", 3, 3, 1, 100, 133, cells, 0), 0);
    std::filesystem::copy_file(scratch_ / "GAZUMO" / "he.bmp", scratch_ / "GAZUMO" / "gone.bmp");
    const int gone = LoadGraphFile("GAZUMO\\gone.bmp", 0);
    const int single = LoadGraphFile("GAZUMO\\quluma.bmp", 0);
    ASSERT_NE(gone, -1);
    const uint32_t cellPixel = ReadPixel(*zq::GraphImage(cells[1]), 50, 66);
    const uint32_t singlePixel = ReadPixel(*zq::GraphImage(single), 37, 14);
    for (int graph : {cells[0], cells[1], cells[2], gone, single}) FillGraphColor(graph, 255, 0, 255, 0);
    std::filesystem::remove(scratch_ / "GAZUMO" / "gone.bmp");
    const size_t mark = ReadLog().size();
    ASSERT_EQ(RestoreGraphicsDevice(), 0);
    ExpectLogged(mark, ShiftJis("グラフィックを復帰します"));
    EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[1]), 50, 66), cellPixel);
    EXPECT_EQ(ReadPixel(*zq::GraphImage(cells[0]), 0, 0), ScreenColor(0, 255, 0));
    EXPECT_EQ(ReadPixel(*zq::GraphImage(single), 37, 14), singlePixel);
    EXPECT_EQ(ReadPixel(*zq::GraphImage(gone), 0, 0), ScreenColor(255, 0, 255));
}

}  // namespace
