// The tracked allocator as seen in the log: the block line and dump format, chain order and totals
// after frees and reallocations, ids and tags, the watch settings, damaged headers found by the
// check, refused sizes and concurrent use. The allocator's totals are shared by the whole process,
// so the tests compare them before and after.
#include <gtest/gtest.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/log_file_fixture.h"
#include "zqlib.h"

namespace {

// The header in front of a block: the fields (tag 16, id 2, line 2, size 4, two chain pointers),
// then a guard copy of them.
constexpr size_t kFieldsSize = 24 + 2 * sizeof(void *);
constexpr size_t kHeaderSize = 2 * kFieldsSize;
constexpr size_t kIdOffset = 16;
constexpr size_t kLineOffset = 18;
constexpr size_t kSizeOffset = 20;
constexpr size_t kOlderLinkOffset = 24;

// 以下のメモリ確保情報が破損しました in Shift-JIS.
const std::string kDamagedHeader =
    "\x88\xc8\x89\xba\x82\xcc\x83\x81\x83\x82\x83\x8a\x8a\x6d\x95\xdb\x8f\xee\x95\xf1\x82\xaa\x94\x6a\x91\xb9"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

struct Totals {
    int size;
    int count;
};

std::string AddressText(const void *p) {
    char text[32];
    std::snprintf(text, sizeof text, "%08" PRIxPTR, reinterpret_cast<uintptr_t>(p));
    return text;
}

// The block line up to and including "data:".
std::string BlockLineHead(const void *p, int size, const char *tag, int line, int id) {
    char text[256];
    std::snprintf(text, sizeof text, "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%s  data:", size,
                  size / 1024.0, tag, line, id, AddressText(p).c_str());
    return text;
}

std::string TotalsLine(Totals t) {
    char text[128];
    std::snprintf(text, sizeof text, "\tTotal size:%d(%.3fkb)  Alloc num:%d\r\n", t.size, t.size / 1024.0, t.count);
    return text;
}

// Every "data:<...> [...]" part replaced by "data:#", for lines of blocks whose contents are not set.
std::string WithoutData(const std::string &log) {
    return std::regex_replace(log, std::regex("data:<[^\r]*\\]\r\n"), "data:#\r\n");
}

class TrackedMemoryTest : public LogFileTest {
protected:
    void SetUp() override {
        LogFileTest::SetUp();
        StartWithStoppedClock();
        SetLogTimeStamp(0);
    }

    std::string Dump() {
        const size_t mark = ReadLog().size();
        DumpAllocations();
        return LogSince(mark);
    }

    Totals ReadTotals() {
        const std::string dump = Dump();
        Totals t = {-1, -1};
        const size_t at = dump.rfind("Total size:");
        if (at != std::string::npos) std::sscanf(dump.c_str() + at, "Total size:%d(%*fkb)  Alloc num:%d", &t.size, &t.count);
        return t;
    }

    // The dump line of the block at p, CR LF included; empty when p is not in the chain.
    std::string DumpLineOf(const void *p) {
        const std::string dump = Dump();
        const size_t at = dump.find("addr:" + AddressText(p) + "  data:");
        if (at == std::string::npos) return "";
        const size_t start = dump.rfind("\tsize:", at);
        return dump.substr(start, dump.find("\r\n", at) + 2 - start);
    }

    int IdOf(const void *p) {
        const std::string line = DumpLineOf(p);
        const size_t at = line.find("ID:");
        return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + 3);
    }

    // The id the next allocation will get.
    int NextId() {
        void *probe = TrackedAlloc(1, "", 0);
        const int id = IdOf(probe);
        TrackedFree(probe);
        return (id + 1) & 0xFFFF;
    }
};

void ExpectTotals(Totals actual, Totals expected) {
    EXPECT_EQ(actual.size, expected.size);
    EXPECT_EQ(actual.count, expected.count);
}

struct BlockLineCase {
    const char *name;
    int size;
    std::string contents;  // the first bytes; the rest stays zero
    const char *sizeText;  // the line from "size:" to the tag
    std::string data;      // the line from "data:" on
};

TEST_F(TrackedMemoryTest, BlockLineShowsSizeTagIdAddressAndFirstBytes) {
    const std::vector<BlockLineCase> cases = {
        {"letters then zeros", 16, "ABC", "16(0.016kb)",
         "<ABC.............> [41 42 43 00 00 00 00 00 00 00 00 00 00 00 00 00]\r\n"},
        {"empty block", 0, "", "0(0.000kb)", "<> ]\r\n"},
        {"one byte", 1, "A", "1(0.001kb)", "<A> [41]\r\n"},
        {"bytes outside 0x20..0x7F become dots", 6, "\x1f\x20\x7e\x7f\x80\xff", "6(0.006kb)",
         "<. ~\x7f..> [1f 20 7e 7f 80 ff]\r\n"},
        {"only the first 16 bytes", 20, "0123456789abcdefghij", "20(0.020kb)",
         "<0123456789abcdef> [30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66]\r\n"},
        {"kilobytes", 2048, "", "2048(2.000kb)", "<................> [00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00]\r\n"},
    };
    for (const BlockLineCase &c : cases) {
        SCOPED_TRACE(c.name);
        char *p = static_cast<char *>(TrackedAllocZero(c.size, "", 0));
        ASSERT_NE(p, nullptr);
        std::memcpy(p, c.contents.data(), c.contents.size());
        const std::string expected = std::string("\tsize:") + c.sizeText + "  file:  line:0  ID:" +
                                     std::to_string(IdOf(p)) + "  addr:" + AddressText(p) + "  data:" + c.data;
        EXPECT_EQ(DumpLineOf(p), expected);
        TrackedFree(p);
    }
}

TEST_F(TrackedMemoryTest, DumpListsNewestFirstThenTotals) {
    const Totals before = ReadTotals();
    void *oldest = TrackedAlloc(10, "", 0);
    void *middle = TrackedAlloc(20, "", 0);
    void *newest = TrackedAlloc(30, "", 0);
    TrackedFree(middle);

    const std::string dump = WithoutData(Dump());
    const std::string head = "\r\nAlloc memory dump\r\n";
    const std::string newestLine = BlockLineHead(newest, 30, "", 0, IdOf(newest)) + "#\r\n";
    const std::string oldestLine = BlockLineHead(oldest, 10, "", 0, IdOf(oldest)) + "#\r\n";
    EXPECT_EQ(dump.substr(0, head.size() + newestLine.size() + oldestLine.size()), head + newestLine + oldestLine);
    const std::string tail = TotalsLine({before.size + 40, before.count + 2}) + "\r\n";
    ASSERT_GE(dump.size(), tail.size());
    EXPECT_EQ(dump.substr(dump.size() - tail.size()), tail);

    TrackedFree(newest);
    TrackedFree(oldest);
    ExpectTotals(ReadTotals(), before);
}

TEST_F(TrackedMemoryTest, ReallocOfNullAllocates) {
    const Totals before = ReadTotals();
    void *p = TrackedRealloc(nullptr, 100, "", 0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(DumpLineOf(p).rfind("\tsize:100(0.098kb)", 0), 0u) << DumpLineOf(p);
    ExpectTotals(ReadTotals(), {before.size + 100, before.count + 1});
    TrackedFree(p);
}

TEST_F(TrackedMemoryTest, ReallocKeepsContentsAndZeroFillsGrowth) {
    const Totals before = ReadTotals();
    char *p = static_cast<char *>(TrackedAlloc(8, "", 0));
    std::memcpy(p, "ABCDEFGH", 8);
    p = static_cast<char *>(TrackedRealloc(p, 4096, "", 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 8), "ABCDEFGH");
    EXPECT_EQ(std::string(p + 8, 4088), std::string(4088, '\0'));
    ExpectTotals(ReadTotals(), {before.size + 4096, before.count + 1});

    p = static_cast<char *>(TrackedRealloc(p, 4, "", 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 4), "ABCD");
    ExpectTotals(ReadTotals(), {before.size + 4, before.count + 1});
    TrackedFree(p);
    ExpectTotals(ReadTotals(), before);
}

// A block that moves keeps its place in the chain, wherever it is.
TEST_F(TrackedMemoryTest, ReallocKeepsChainOrderAtEveryPosition) {
    for (int moved = 0; moved < 3; ++moved) {
        SCOPED_TRACE(moved);
        const Totals before = ReadTotals();
        void *blocks[3];
        for (void *&b : blocks) b = TrackedAllocZero(16, "", 0);
        blocks[moved] = TrackedRealloc(blocks[moved], 5000, "", 0);
        ASSERT_NE(blocks[moved], nullptr);
        EXPECT_EQ(CheckAllocations(), 0);

        const std::string dump = Dump();
        const size_t at2 = dump.find("addr:" + AddressText(blocks[2]));
        const size_t at1 = dump.find("addr:" + AddressText(blocks[1]));
        const size_t at0 = dump.find("addr:" + AddressText(blocks[0]));
        ASSERT_NE(at0, std::string::npos);
        EXPECT_LT(at2, at1);
        EXPECT_LT(at1, at0);
        ExpectTotals(ReadTotals(), {before.size + 32 + 5000, before.count + 3});

        for (void *b : blocks) TrackedFree(b);
        EXPECT_EQ(CheckAllocations(), 0);
        ExpectTotals(ReadTotals(), before);
    }
}

TEST_F(TrackedMemoryTest, IdsIncreaseAndWrapAndReallocTakesNewId) {
    void *a = TrackedAlloc(8, "", 0);
    void *b = TrackedAlloc(8, "", 0);
    const int idB = IdOf(b);
    EXPECT_EQ(idB, (IdOf(a) + 1) & 0xFFFF);
    a = TrackedRealloc(a, 16, "", 0);
    EXPECT_EQ(IdOf(a), (idB + 1) & 0xFFFF);

    const uint16_t toLastId = static_cast<uint16_t>(0xFFFF - NextId());
    for (int i = 0; i < toLastId; ++i) TrackedFree(TrackedAlloc(1, "", 0));
    void *last = TrackedAlloc(1, "", 0);
    void *wrapped = TrackedAlloc(1, "", 0);
    EXPECT_EQ(IdOf(last), 65535);
    EXPECT_EQ(IdOf(wrapped), 0);
    for (void *p : {a, b, last, wrapped}) TrackedFree(p);
}

struct TagCase {
    const char *tag;
    int line;
    const char *shown;
};

TEST_F(TrackedMemoryTest, TagKeepsLastFifteenCharacters) {
    const std::vector<TagCase> cases = {
        {nullptr, 0, ""},
        {"", -1, ""},
        {"main.cpp", 1234, "main.cpp"},
        {"fifteen_chars.c", 7, "fifteen_chars.c"},
        {"sixteen_chars.cp", 8, "ixteen_chars.cp"},
        {"/long/path/to/library/source.cpp", 32767, "rary/source.cpp"},
    };
    for (const TagCase &c : cases) {
        SCOPED_TRACE(c.shown);
        void *p = TrackedAlloc(4, c.tag, c.line);
        const std::string expected = "  file:" + std::string(c.shown) + "  line:" + std::to_string(c.line) + "  ID:";
        EXPECT_NE(DumpLineOf(p).find(expected), std::string::npos) << DumpLineOf(p);
        TrackedFree(p);
    }
}

struct WatchCase {
    const char *name;
    int watchSize, logAll, logTotals;
    int size;
    bool logsBlock, logsTotals;
};

TEST_F(TrackedMemoryTest, WatchSettingsChooseWhatIsLogged) {
    const std::vector<WatchCase> cases = {
        {"0-byte block watched by default", 0, 0, 0, 0, true, false},
        {"other sizes quiet by default", 0, 0, 0, 8, false, false},
        {"watched size", 8, 0, 0, 8, true, false},
        {"size other than the watched one", 8, 0, 0, 9, false, false},
        {"negative watch size logs all", -1, 0, 0, 9, true, false},
        {"log all", 100, 1, 0, 9, true, false},
        {"totals only", 100, 0, 1, 9, false, true},
        {"watched size with totals", 9, 0, 1, 9, true, true},
    };
    for (const WatchCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Totals before = ReadTotals();
        const int id = NextId();
        SetAllocationTracking(c.watchSize, c.logAll, c.logTotals, 0);
        const size_t mark = ReadLog().size();
        void *p = TrackedAlloc(c.size, "", 0);
        ASSERT_NE(p, nullptr);
        TrackedFree(p);
        SetAllocationTracking(0, 0, 0, 0);

        const std::string line = BlockLineHead(p, c.size, "", 0, id) + "#\r\n";
        std::string expected;
        if (c.logsBlock) expected += "mem alloc  " + line;
        if (c.logsTotals) expected += TotalsLine({before.size + c.size, before.count + 1});
        if (c.logsBlock) expected += "mem free  " + line;
        if (c.logsTotals) expected += TotalsLine(before);
        EXPECT_EQ(WithoutData(LogSince(mark)), expected);
    }
}

TEST_F(TrackedMemoryTest, ReallocIsLoggedWithItsNewSize) {
    void *p = TrackedAlloc(12, "", 0);
    const int id = NextId();
    SetAllocationTracking(-1, 0, 0, 0);
    const size_t mark = ReadLog().size();
    p = TrackedRealloc(p, 40, "", 0);
    SetAllocationTracking(0, 0, 0, 0);
    EXPECT_EQ(WithoutData(LogSince(mark)), "mem realloc  " + BlockLineHead(p, 40, "", 0, id) + "#\r\n");
    TrackedFree(p);
}

struct DamageCase {
    const char *field;
    size_t offset;
    int shownSize;
};

// One bit of a header changed behind the allocator's back, in a block below the newest one.
TEST_F(TrackedMemoryTest, CheckReportsDamagedHeader) {
    const std::vector<DamageCase> cases = {
        {"id", kIdOffset, 24},
        {"line", kLineOffset, 24},
        {"size", kSizeOffset, 25},
        {"older link", kOlderLinkOffset, 24},
        {"guard copy of size", kFieldsSize + kSizeOffset, 24},
    };
    for (const DamageCase &c : cases) {
        SCOPED_TRACE(c.field);
        char *damaged = static_cast<char *>(TrackedAllocZero(24, "", 0));
        std::memcpy(damaged, "damaged", 7);
        void *newer = TrackedAllocZero(8, "", 0);
        ASSERT_EQ(CheckAllocations(), 0);

        unsigned char *byte = reinterpret_cast<unsigned char *>(damaged) - kHeaderSize + c.offset;
        *byte ^= 0x01;
        const size_t mark = ReadLog().size();
        EXPECT_EQ(CheckAllocations(), -1);
        const std::string report = LogSince(mark);
        *byte ^= 0x01;

        const std::string expectedStart = kDamagedHeader + "\tsize:" + std::to_string(c.shownSize) + "(";
        EXPECT_EQ(report.rfind(expectedStart, 0), 0u) << report;
        EXPECT_NE(report.find("addr:" + AddressText(damaged) + "  data:<damaged"), std::string::npos) << report;
        EXPECT_EQ(report.find("\r\n"), report.size() - 2) << report;
        EXPECT_EQ(CheckAllocations(), 0);
        TrackedFree(newer);
        TrackedFree(damaged);
    }
}

TEST_F(TrackedMemoryTest, FreeOfNullIsIgnored) {
    const Totals before = ReadTotals();
    SetAllocationTracking(-1, 1, 1, 1);
    const size_t mark = ReadLog().size();
    TrackedFree(nullptr);
    EXPECT_EQ(LogSince(mark), "");
    SetAllocationTracking(0, 0, 0, 0);
    ExpectTotals(ReadTotals(), before);
}

// Refused sizes: no block, the failure is followed by a dump, and a block being reallocated stays
// valid and tracked.
TEST_F(TrackedMemoryTest, ImpossibleSizesReturnNull) {
    char *kept = static_cast<char *>(TrackedAlloc(6, "", 0));
    std::memcpy(kept, "intact", 6);
    const Totals before = ReadTotals();
    for (int size : {-1, INT_MIN, INT_MAX, INT_MAX - static_cast<int>(kHeaderSize) + 1}) {
        SCOPED_TRACE(size);
        const size_t mark = ReadLog().size();
        EXPECT_EQ(TrackedAlloc(size, "", 0), nullptr);
        EXPECT_NE(LogSince(mark).find("Alloc memory dump"), std::string::npos);
        EXPECT_EQ(TrackedAllocZero(size, "", 0), nullptr);
        EXPECT_EQ(TrackedRealloc(kept, size, "", 0), nullptr);
        EXPECT_EQ(std::string(kept, 6), "intact");
        ExpectTotals(ReadTotals(), before);
    }
    EXPECT_NE(DumpLineOf(kept), "");
    TrackedFree(kept);
}

// Several threads allocate, reallocate and free at once; each keeps its last few blocks, whose
// contents must be intact and whose sizes must show in the totals.
TEST_F(TrackedMemoryTest, ConcurrentUseKeepsTotalsAndChainIntact) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    constexpr size_t kKept = 8;
    struct Block {
        char *memory;
        int size;
    };
    const Totals before = ReadTotals();
    std::vector<std::vector<Block>> kept(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &mine = kept[t]] {
            for (int i = 0; i < kRounds; ++i) {
                int size = 1 + (i * 37 + t * 11) % 300;
                char *p = static_cast<char *>(TrackedAlloc(size, "", 0));
                if (i % 5 == 0) {
                    size += 100;
                    p = static_cast<char *>(TrackedRealloc(p, size, "", 0));
                }
                std::memset(p, 'a' + t, static_cast<size_t>(size));
                mine.push_back({p, size});
                if (mine.size() > kKept) {
                    TrackedFree(mine.front().memory);
                    mine.erase(mine.begin());
                }
            }
        });
    }
    for (std::thread &th : threads) th.join();

    EXPECT_EQ(CheckAllocations(), 0);
    Totals expected = before;
    for (int t = 0; t < kThreads; ++t) {
        for (const Block &b : kept[t]) {
            expected.size += b.size;
            expected.count += 1;
            EXPECT_EQ(std::string(b.memory, b.size), std::string(b.size, 'a' + t));
        }
    }
    ExpectTotals(ReadTotals(), expected);
    for (const std::vector<Block> &mine : kept) {
        for (const Block &b : mine) TrackedFree(b.memory);
    }
    ExpectTotals(ReadTotals(), before);
}

// Long log texts take their conversion buffer from the allocator while logged allocations write
// to the log: the two locks must never be held in opposite orders (this would hang, not fail).
TEST_F(TrackedMemoryTest, LongLogTextsAndLoggedAllocationsRunTogether) {
    const Totals before = ReadTotals();
    SetAllocationTracking(-1, 0, 0, 0);
    std::thread writer([] {
        for (int i = 0; i < 1000; ++i) WriteLog(std::string(300, 'x').c_str());
    });
    std::thread allocator([] {
        for (int i = 0; i < 1000; ++i) TrackedFree(TrackedAlloc(8, "", 0));
    });
    writer.join();
    allocator.join();
    SetAllocationTracking(0, 0, 0, 0);
    ExpectTotals(ReadTotals(), before);
}

}  // namespace
