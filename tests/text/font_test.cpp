// Font handles on the virtual host with real glyphs: defaults of creation and of the default font,
// the 40-slot limit, cell geometry and cache size, the glyph ring and its eviction, edges and
// spaces, delete notices, re-creation with the same handles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log_file_fixture.h"
#include "platform/glyphs_freetype.h"
#include "text/draw_string.h"
#include "text/font.h"

namespace {

std::string Sjis(const char *utf8) {
    char out[4096];
    Utf8ToShiftJis(utf8, out, sizeof out);
    return out;
}

class FontTest : public LogFileTest {
protected:
    zq::FontRecord &Record(int handle) {
        zq::FontRecord *font = zq::ValidFont(handle);
        EXPECT_NE(font, nullptr);
        return *font;
    }
    // The cache entry of a character, or null when it is not cached.
    const zq::GlyphEntry *Cached(int handle, const char *utf8) {
        const std::string s = Sjis(utf8);
        zq::CharRecord c = {{static_cast<uint8_t>(s[0]), static_cast<uint8_t>(s.size() > 1 ? s[1] : 0), 0}};
        return zq::CachedEntry(Record(handle), zq::CharKey(c));
    }
    int Measure(int handle, const std::string &text) {
        return zq::DrawStringCore(0, 0, 0, text.c_str(), 0, nullptr, nullptr, handle, 0, -1, nullptr);
    }
};

TEST_F(FontTest, DefaultFontAndCreationDefaults) {
    Start();
    const int def = GetDefaultFontHandle();
    ASSERT_EQ(IsFontHandleValid(def), 1);
    EXPECT_EQ(def & 0x78000000, 0x20000000);
    char name[256] = "x";
    int size = 0, thickness = 0;
    ASSERT_EQ(GetFontInfo(name, &size, &thickness, def), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(size, 16);
    EXPECT_EQ(thickness, 6);
    EXPECT_EQ(Record(def).type, FONT_TYPE_NORMAL);
    EXPECT_EQ(Record(def).edgeSize, 1);
    EXPECT_EQ(Record(def).charSet, FONT_CHARSET_SHIFTJIS);

    const int h = CreateFontToHandle(nullptr, -1, -1, -1, -1, 3, 0, -1, -1);
    ASSERT_GE(h, 0);
    EXPECT_EQ(GetFontSize(h), 16);
    EXPECT_EQ(Record(h).type, FONT_TYPE_EDGE);  // an edge size above 1 turns the edge on
    EXPECT_EQ(Record(h).edgeSize, 3);
    EXPECT_EQ(GetFontInfo(nullptr, nullptr, nullptr, h), 0);
    EXPECT_EQ(DeleteFontHandle(h), 0);
    EXPECT_EQ(DeleteFontHandle(h), -1);
    for (int bad : {-1, 0, h, def ^ 0x00010000, (def & ~0xFFFF) | 45}) {
        EXPECT_EQ(IsFontHandleValid(bad), 0) << bad;
        EXPECT_EQ(GetFontSize(bad), -1);
        EXPECT_EQ(GetFontInfo(name, &size, &thickness, bad), -1);
        EXPECT_EQ(SetFontCharSpacing(1, bad), -1);
        EXPECT_EQ(SetFontDeleteNotice(bad, nullptr), -1);
    }
}

TEST_F(FontTest, CellGeometryAndMemoryCacheSize) {
    Start();
    struct Case {
        int size, type, edge;
    };
    for (const Case c : {Case{16, 2, -1}, Case{16, 0, -1}, Case{16, 1, 1}, Case{18, 3, 2}, Case{64, 2, -1}, Case{120, 0, -1}}) {
        const int h = CreateFontToHandle("", c.size, 6, c.type, -1, c.edge, 0, -1, -1);
        ASSERT_GE(h, 0);
        const zq::FontRecord &f = Record(h);
        const int e = (f.type & FONT_TYPE_EDGE) ? f.edgeSize : 0;
        SCOPED_TRACE(testing::Message() << "size " << c.size << " type " << c.type);
        EXPECT_EQ(f.cellWidth % 8 == 0 || f.cellWidth == f.cellHeight, true);
        EXPECT_GE(f.cellWidth, f.cellHeight);
        EXPECT_EQ(f.cellHeight % 2, 0);
        EXPECT_GE(f.cellHeight, c.size + 2 * e);
        EXPECT_LT(f.cellHeight, c.size + 2 * e + 2);
        int slots = 327680 / (f.cellWidth * f.cellWidth);
        slots = slots < 20 ? 20 : (slots > 2024 ? 2024 : slots);
        EXPECT_EQ(f.slotCount, slots);
        EXPECT_EQ(f.cacheBits, c.type == 0 ? 1 : 8);
        EXPECT_EQ(f.cachePitch, (f.cellWidth * f.cacheBits + 7) / 8);
        EXPECT_EQ(f.entries[f.slotCount].slot, -1);
        EXPECT_EQ(DeleteFontHandle(h), 0);
    }
}

TEST_F(FontTest, FortyFirstFontIsRefusedAndAFreedSlotGetsANewCheck) {
    Start();
    int handles[40];
    int made = 0;
    while (made < 39) {
        handles[made] = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, -1, -1);
        ASSERT_GE(handles[made], 0) << made;
        ++made;
    }
    const size_t mark = ReadLog().size();
    EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, -1, -1), -1);
    EXPECT_NE(LogSince(mark).find(Sjis("作成できるフォントハンドル数 40 の限界を超えました")), std::string::npos) << LogSince(mark);

    const int freed = handles[10];
    ASSERT_EQ(DeleteFontHandle(freed), 0);
    const int again = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, -1, -1);
    ASSERT_GE(again, 0);
    EXPECT_EQ(again & 0xFFFF, freed & 0xFFFF);
    EXPECT_NE(again, freed);
    EXPECT_EQ(IsFontHandleValid(freed), 0);
    // A wanted slot that is taken is refused without a message.
    EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, again & 0xFFFF, -1), -1);
}

TEST_F(FontTest, DefaultSettersRecreateOnlyOnChange) {
    Start();
    const int first = GetDefaultFontHandle();
    EXPECT_EQ(SetDefaultFontSize(-1), 0);
    EXPECT_EQ(GetDefaultFontHandle(), first);
    EXPECT_EQ(SetDefaultFontSize(16), 0);
    EXPECT_EQ(GetDefaultFontHandle(), first);
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    SetDefaultFontSize(64);
    const int big = GetDefaultFontHandle();
    EXPECT_NE(big, first);
    EXPECT_EQ(IsFontHandleValid(first), 0);
    EXPECT_EQ(GetFontSize(big), 64);
    EXPECT_EQ(Record(big).type, FONT_TYPE_ANTIALIAS);
    SetDefaultFontSizeThickness("ignored", 18, 3);
    int size, thickness;
    char name[256];
    GetFontInfo(name, &size, &thickness, GetDefaultFontHandle());
    EXPECT_EQ(size, 18);
    EXPECT_EQ(thickness, 3);
    EXPECT_STREQ(name, "");
}

TEST_F(FontTest, DeleteNoticeAndRecreationKeepHandles) {
    Start();
    int notice = 7;
    const int h = CreateFontToHandle(nullptr, 20, -1, FONT_TYPE_ANTIALIAS, -1, -1, 0, -1, -1);
    ASSERT_EQ(SetFontDeleteNotice(h, &notice), 0);
    EXPECT_EQ(notice, 0);
    ASSERT_EQ(SetFontCharSpacing(3, h), 0);
    DrawStringWithFont(0, 0, "AB", MakeColor(255, 255, 255), h, 0);
    ASSERT_NE(Cached(h, "A"), nullptr);

    const int def = GetDefaultFontHandle();
    ASSERT_EQ(RecreateAllFonts(), 0);
    EXPECT_EQ(IsFontHandleValid(h), 1);
    EXPECT_EQ(IsFontHandleValid(def), 1);
    EXPECT_EQ(notice, 0);  // the font lives on under its handle
    EXPECT_EQ(Record(h).charSpacing, 3);
    EXPECT_EQ(Cached(h, "A"), nullptr);  // with an empty cache
    EXPECT_EQ(GetFontSize(h), 20);

    EXPECT_EQ(DeleteFontHandle(h), 0);
    EXPECT_EQ(notice, 1);

    // ReinitFonts deletes every font and makes the default one again with its settings.
    const int other = CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0, -1, -1);
    SetDefaultFontSize(30);
    ASSERT_EQ(ReinitFonts(), 0);
    EXPECT_EQ(IsFontHandleValid(other), 0);
    EXPECT_EQ(GetFontSize(GetDefaultFontHandle()), 30);
}

TEST_F(FontTest, SpacesAdvanceOnlyAndEdgesWidenGlyphs) {
    Start();
    const int plain = CreateFontToHandle(nullptr, 24, -1, FONT_TYPE_NORMAL, -1, -1, 0, -1, -1);
    const int edged = CreateFontToHandle(nullptr, 24, -1, FONT_TYPE_EDGE, -1, 2, 0, -1, -1);
    const std::string text = Sjis("A 　ガ");
    ASSERT_GT(Measure(plain, text), 0);
    ASSERT_GT(Measure(edged, text), 0);
    for (const char *space : {" ", "　"}) {
        const zq::GlyphEntry *p = Cached(plain, space), *e = Cached(edged, space);
        ASSERT_NE(p, nullptr);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(p->width, 0);
        EXPECT_EQ(p->height, 0);
        EXPECT_GT(p->advance, 0);
        EXPECT_EQ(e->advance, p->advance + 4);
    }
    const zq::GlyphEntry *p = Cached(plain, "ガ"), *e = Cached(edged, "ガ");
    EXPECT_EQ(e->width, p->width + 4);
    EXPECT_EQ(e->height, p->height + 4);
    EXPECT_EQ(e->advance, p->advance + 4);
    EXPECT_EQ(Measure(edged, text), Measure(plain, text) + 4 * 4);
    SetFontCharSpacing(5, plain);
    EXPECT_EQ(Measure(plain, Sjis("AB")), 2 * Cached(plain, "A")->advance + 10);
}

TEST_F(FontTest, DrawingAStringAgainRendersNoGlyph) {
    Start();
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    SetDefaultFontSize(18);
    const std::string text = Sjis("最高殺人数 42人");  // 8 distinct characters, a space among them
    auto &service = zq::SharedGlyphService();
    const long before = service.Renderings();
    ASSERT_EQ(DrawStringAt(0, 0, text.c_str(), MakeColor(255, 0, 0), 0), 0);
    EXPECT_EQ(service.Renderings(), before + 8);  // each glyph once, though measured and fetched
    ASSERT_EQ(DrawStringAt(0, 40, text.c_str(), MakeColor(255, 0, 0), 0), 0);
    EXPECT_EQ(service.Renderings(), before + 8);
    // A new default font starts with an empty cache and renders them again.
    SetDefaultFontSize(64);
    SetDefaultFontSize(18);
    ASSERT_EQ(DrawStringAt(0, 0, text.c_str(), MakeColor(255, 0, 0), 0), 0);
    EXPECT_EQ(service.Renderings(), before + 16);
}

TEST_F(FontTest, GlyphsAreRenderedOnceAndTheRingEvictsOldestFirst) {
    Start();
    const int h = CreateFontToHandle(nullptr, 120, -1, FONT_TYPE_ANTIALIAS, -1, -1, 0, -1, -1);
    const zq::FontRecord &f = Record(h);
    ASSERT_EQ(f.slotCount, 20);
    const std::string first = Sjis("一二三");
    Measure(h, first);
    EXPECT_EQ(f.nextSlot, 3);
    Measure(h, first + first);  // nothing new to render
    EXPECT_EQ(f.nextSlot, 3);
    EXPECT_EQ(Cached(h, "一")->slot, 0);

    // 18 more distinct characters: the 21st character cached takes slot 0 from the first.
    const std::string more = Sjis("四五六七八九十百千万円年月日時分秒上");
    Measure(h, more);
    EXPECT_EQ(Cached(h, "一"), nullptr);
    ASSERT_NE(Cached(h, "上"), nullptr);
    EXPECT_EQ(Cached(h, "上")->slot, 0);
    EXPECT_NE(Cached(h, "二"), nullptr);
    EXPECT_EQ(f.nextSlot, 1);
}

}  // namespace
