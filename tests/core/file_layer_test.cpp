// The default file table on plain files read directly: handles and their slots, reads, seeks
// from every origin, the end flag and the partial-last-element rule, the 512-slot limit and its
// log line, silent failures, operations on empty slots, replacing the table, the directory
// operations, the life cycle, and the tracked memory every open file holds until it is closed.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "core/file_layer.h"
#include "file_test_support.h"

using filetest::PatternBytes;
using filetest::Sjis;
using filetest::WriteBytes;

namespace {

// Room for 512 open files and the test's own descriptors.
void RaiseDescriptorLimit() {
    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 2048 && limit.rlim_max > limit.rlim_cur) {
        limit.rlim_cur = limit.rlim_max < 2048 ? limit.rlim_max : 2048;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

TEST_F(FileLayerTest, FirstHandleIsTheTagWithSlotZero) {
    WriteBytes("a.bin", PatternBytes(16, 1));
    const uint32_t handle = zq::FileOpen("a.bin", 0, 1, 0);
    EXPECT_EQ(handle, 0xF0000000u);
    const uint32_t second = zq::FileOpen("a.bin", 0, 1, 0);
    EXPECT_EQ(second, 0xF0000001u);
    EXPECT_EQ(zq::FileClose(handle), 0);
    EXPECT_EQ(zq::FileClose(second), 0);
}

TEST_F(FileLayerTest, ReadsTheWholeFileBeforeStartUp) {
    const std::vector<uint8_t> bytes = PatternBytes(1000, 2);
    WriteBytes("data.bin", bytes);
    const uint32_t h = zq::FileOpen("data.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    std::vector<uint8_t> got(1000);
    EXPECT_EQ(zq::FileRead(got.data(), 1, 600, h), 600u);
    EXPECT_EQ(zq::FileTell(h), 600);
    EXPECT_EQ(zq::FileRead(got.data() + 600, 100, 4, h), 4u);
    EXPECT_EQ(zq::FileTell(h), 1000);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(zq::FileEof(h), 0);
    EXPECT_EQ(zq::FileRead(got.data(), 1, 1, h), 0u);
    EXPECT_EQ(zq::FileEof(h), -1);
    EXPECT_EQ(zq::FileIdleCheck(h), 1);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, SeeksFromStartCurrentPositionAndEnd) {
    const std::vector<uint8_t> bytes = PatternBytes(256, 3);
    WriteBytes("seek.bin", bytes);
    const uint32_t h = zq::FileOpen("seek.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    uint8_t b = 0;

    EXPECT_EQ(zq::FileSeek(h, 100, 0), 0);
    EXPECT_EQ(zq::FileTell(h), 100);
    ASSERT_EQ(zq::FileRead(&b, 1, 1, h), 1u);
    EXPECT_EQ(b, bytes[100]);

    EXPECT_EQ(zq::FileSeek(h, -51, 1), 0);
    EXPECT_EQ(zq::FileTell(h), 50);
    ASSERT_EQ(zq::FileRead(&b, 1, 1, h), 1u);
    EXPECT_EQ(b, bytes[50]);

    EXPECT_EQ(zq::FileSeek(h, -6, 2), 0);
    EXPECT_EQ(zq::FileTell(h), 250);
    ASSERT_EQ(zq::FileRead(&b, 1, 1, h), 1u);
    EXPECT_EQ(b, bytes[250]);

    // A seek clears the end flag.
    EXPECT_EQ(zq::FileSeek(h, 0, 2), 0);
    EXPECT_EQ(zq::FileRead(&b, 1, 1, h), 0u);
    EXPECT_EQ(zq::FileEof(h), -1);
    EXPECT_EQ(zq::FileSeek(h, 0, 0), 0);
    EXPECT_EQ(zq::FileEof(h), 0);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, SeekBeyondTheEndIsAcceptedAndReadsNothing) {
    WriteBytes("short.bin", PatternBytes(10, 4));
    const uint32_t h = zq::FileOpen("short.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(zq::FileSeek(h, 15, 0), 0);
    EXPECT_EQ(zq::FileTell(h), 15);
    uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(zq::FileRead(buffer, 1, 4, h), 0u);
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(zq::FileTell(h), 15);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, DirectSeekBeforeTheStartFailsAndKeepsThePosition) {
    WriteBytes("short.bin", PatternBytes(10, 5));
    const uint32_t h = zq::FileOpen("short.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    ASSERT_EQ(zq::FileSeek(h, 4, 0), 0);
    EXPECT_EQ(zq::FileSeek(h, -5, 1), -1);
    EXPECT_EQ(zq::FileTell(h), 4);
    EXPECT_EQ(zq::FileSeek(h, 0, 7), -1);
    EXPECT_EQ(zq::FileTell(h), 4);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, PartialLastElementIsNeverDelivered) {
    const std::vector<uint8_t> bytes = PatternBytes(10, 6);
    WriteBytes("ten.bin", bytes);
    const uint32_t h = zq::FileOpen("ten.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    ASSERT_EQ(zq::FileSeek(h, 4, 0), 0);
    uint8_t buffer[40] = {};
    EXPECT_EQ(zq::FileRead(buffer, 4, 10, h), 1u);  // 6 bytes left: one whole element
    EXPECT_EQ(std::memcmp(buffer, bytes.data() + 4, 4), 0);
    EXPECT_EQ(zq::FileTell(h), 8);
    EXPECT_EQ(zq::FileEof(h), 0);
    EXPECT_EQ(zq::FileRead(buffer, 4, 10, h), 0u);  // 2 bytes left: no whole element
    EXPECT_EQ(zq::FileEof(h), -1);
    EXPECT_EQ(zq::FileTell(h), 8);
    EXPECT_EQ(zq::FileRead(buffer, 0, 10, h), 0u);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, MissingFileGivesZeroWithoutALogLine) {
    Start();
    const size_t mark = ReadLog().size();
    EXPECT_EQ(zq::FileOpen("nothing_here.bin", 0, 1, 0), 0u);
    EXPECT_EQ(zq::FileOpen("no_dir\\nothing.bin", 0, 1, 0), 0u);
    EXPECT_EQ(zq::FileOpen("nothing_here.bin", 1, 1, 0), 0u);
    EXPECT_EQ(zq::FileOpen("nothing_here.bin", 0, 1, 1), 0u);
    EXPECT_TRUE(LogUnchangedSince(mark)) << LogSince(mark);
}

TEST_F(FileLayerTest, DirectoryIsNotAFile) {
    std::filesystem::create_directory("folder");
    EXPECT_EQ(zq::FileOpen("folder", 0, 1, 0), 0u);
    EXPECT_EQ(zq::FileOpen("folder", 1, 1, 0), 0u);
}

TEST_F(FileLayerTest, OperationsOnEmptySlotsAndForeignHandlesFail) {
    for (const uint32_t h : {0xF0000000u, 0xF00001FFu, 0xF0000200u, 0u, 5u, 0xE0000000u}) {
        EXPECT_EQ(zq::FileClose(h), -1);
        EXPECT_EQ(zq::FileTell(h), -1);
        EXPECT_EQ(zq::FileSeek(h, 0, 0), -1);
        uint8_t b;
        EXPECT_EQ(zq::FileRead(&b, 1, 1, h), static_cast<size_t>(-1));
        EXPECT_EQ(zq::FileEof(h), -1);
        EXPECT_EQ(zq::FileIdleCheck(h), -1);
    }
}

TEST_F(FileLayerTest, OpenFailsPastFiveHundredTwelveFilesWithTheLimitLine) {
    RaiseDescriptorLimit();
    Start();
    WriteBytes("many.bin", PatternBytes(8, 7));
    std::vector<uint32_t> handles;
    for (int i = 0; i < zq::kOpenFileSlots; ++i) {
        const uint32_t h = zq::FileOpen("many.bin", 0, 1, 0);
        ASSERT_EQ(h, 0xF0000000u | static_cast<uint32_t>(i));
        handles.push_back(h);
    }
    const size_t mark = ReadLog().size();
    EXPECT_EQ(zq::FileOpen("many.bin", 0, 1, 0), 0u);
    EXPECT_NE(LogSince(mark).find(Sjis("同時に開けるファイルの数が限界を超えました\r\n")), std::string::npos);

    // A closed slot is the lowest free one and is taken again.
    EXPECT_EQ(zq::FileClose(handles[300]), 0);
    EXPECT_EQ(zq::FileClose(handles[7]), 0);
    EXPECT_EQ(zq::FileOpen("many.bin", 0, 1, 0), 0xF0000007u);
    EXPECT_EQ(zq::FileOpen("many.bin", 0, 1, 0), 0xF000012Cu);
    for (const uint32_t h : handles) EXPECT_EQ(zq::FileClose(h), 0);
}

TEST_F(FileLayerTest, ClosingEveryStreamFreesEveryTrackedAllocation) {
    Start();
    WriteBytes("big.bin", PatternBytes(300000, 8));
    const std::vector<uint8_t> small = PatternBytes(64, 9);
    const filetest::Totals before = ReadTotals();
    ASSERT_GE(before.count, 0);

    const uint32_t direct = zq::FileOpen("big.bin", 0, 1, 0);
    const uint32_t cached = zq::FileOpen("big.bin", 1, 1, 0);
    const uint32_t noWait = zq::FileOpen("big.bin", 0, 1, 1);
    ASSERT_NE(direct, 0u);
    ASSERT_NE(cached, 0u);
    ASSERT_NE(noWait, 0u);
    zq::MemoryStream *memory = zq::CreateMemoryStream(small.data(), 64);
    ASSERT_NE(memory, nullptr);
    zq::FileInfo info;
    const intptr_t search = zq::FileFindFirst("*.bin", &info);
    ASSERT_NE(search, -1);

    const filetest::Totals open = ReadTotals();
    EXPECT_GE(open.size, before.size + zq::kReadCacheSize);
    EXPECT_GT(open.count, before.count);

    std::vector<uint8_t> buffer(200000);
    EXPECT_EQ(zq::FileRead(buffer.data(), 1, buffer.size(), cached), buffer.size());
    EXPECT_EQ(zq::FileRead(buffer.data(), 1, buffer.size(), noWait), buffer.size());
    zq::StreamSource file = zq::FileSource(direct);
    EXPECT_EQ(file.ops.Close(file.data), 0);
    zq::StreamSource mem = zq::MemorySource(memory);
    EXPECT_EQ(mem.ops.Close(mem.data), 0);
    EXPECT_EQ(zq::FileClose(cached), 0);
    EXPECT_EQ(zq::FileClose(noWait), 0);  // waits for the pending read
    EXPECT_EQ(zq::FileFindEnd(search), 0);

    EXPECT_EQ(ReadTotals(), before);
}

TEST_F(FileLayerTest, FileStreamOpsForwardToTheCurrentTable) {
    const std::vector<uint8_t> bytes = PatternBytes(100, 10);
    WriteBytes("ops.bin", bytes);
    const uint32_t h = zq::FileOpen("ops.bin", 0, 1, 0);
    ASSERT_NE(h, 0u);
    zq::StreamSource source = zq::FileSource(h);
    EXPECT_EQ(source.ops.Seek(source.data, 10, 0), 0);
    EXPECT_EQ(source.ops.Tell(source.data), 10);
    uint16_t words[5];
    EXPECT_EQ(source.ops.Read(words, 2, 5, source.data), 5u);
    EXPECT_EQ(std::memcmp(words, bytes.data() + 10, 10), 0);
    EXPECT_EQ(source.ops.Eof(source.data), 0);
    EXPECT_EQ(source.ops.IdleCheck(source.data), 1);
    EXPECT_EQ(source.ops.Close(source.data), 0);
    EXPECT_EQ(zq::FileTell(h), -1);
}

namespace {

int g_customOpens = 0;
uint32_t CustomOpen(const char *, int, int, int) {
    ++g_customOpens;
    return 0x1234u;
}

}  // namespace

TEST_F(FileLayerTest, SetFileStreamTableCopiesSlotsAndNullRestoresTheDefault) {
    WriteBytes("t.bin", PatternBytes(4, 11));
    zq::FileStreamTable custom = zq::CurrentFileStreamTable();
    custom.Open = CustomOpen;
    zq::SetFileStreamTable(&custom);
    custom.Open = nullptr;  // the table was copied, not referenced
    g_customOpens = 0;
    EXPECT_EQ(zq::FileOpen("t.bin", 0, 1, 0), 0x1234u);
    EXPECT_EQ(g_customOpens, 1);

    zq::SetFileStreamTable(nullptr);
    const uint32_t h = zq::FileOpen("t.bin", 0, 1, 0);
    EXPECT_EQ(h & 0xF0000000u, 0xF0000000u);
    EXPECT_EQ(g_customOpens, 1);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, StartUpInstallsTheDefaultTable) {
    zq::FileStreamTable custom = zq::CurrentFileStreamTable();
    custom.Open = CustomOpen;
    zq::SetFileStreamTable(&custom);
    Start();
    EXPECT_NE(zq::CurrentFileStreamTable().Open, CustomOpen);
    EXPECT_EQ(zq::GetFileStreamOps().Read != nullptr && zq::GetMemoryStreamOps().Read != nullptr, true);
}

TEST_F(FileLayerTest, SetDirAndGetDirWorkInShiftJisAndIgnoreCase) {
    std::filesystem::create_directories("Sub/日本語");
    char start[300];
    ASSERT_EQ(zq::FileGetDir(start), 0);
    EXPECT_EQ(std::string(start), scratch_.string());

    ASSERT_EQ(zq::FileSetDir("sub"), 0);
    EXPECT_EQ(std::filesystem::current_path(), scratch_ / "Sub");
    ASSERT_EQ(zq::FileSetDir(Sjis("日本語").c_str()), 0);
    char now[300];
    ASSERT_EQ(zq::FileGetDir(now), 0);
    EXPECT_EQ(std::string(now), Sjis((scratch_ / "Sub/日本語").string().c_str()));
    EXPECT_EQ(zq::FileSetDir("..\\.."), 0);
    EXPECT_EQ(std::filesystem::current_path(), scratch_);
    EXPECT_EQ(zq::FileSetDir("missing"), -1);
    EXPECT_EQ(std::filesystem::current_path(), scratch_);
}

TEST_F(FileLayerTest, BackslashesAndCaseDoNotMatterInPaths) {
    const std::vector<uint8_t> bytes = PatternBytes(32, 12);
    WriteBytes("Dir/File.TXT", bytes);
    WriteBytes("GAZUMO/hit.wav", bytes);
    for (const char *path : {"dir\\file.txt", "DIR\\FILE.TXT", "Dir/File.TXT", "dir//file.txt", ".\\dir\\.\\File.txt",
                             "GAZUMO\\hit.wav", "gazumo\\HIT.WAV"}) {
        const uint32_t h = zq::FileOpen(path, 0, 1, 0);
        ASSERT_NE(h, 0u) << path;
        std::vector<uint8_t> got(32);
        EXPECT_EQ(zq::FileRead(got.data(), 32, 1, h), 1u) << path;
        EXPECT_EQ(got, bytes) << path;
        zq::FileClose(h);
    }
    const std::string absolute = scratch_.string() + "\\DIR\\file.txt";
    const uint32_t h = zq::FileOpen(absolute.c_str(), 1, 1, 0);
    EXPECT_NE(h, 0u);
    zq::FileClose(h);
    EXPECT_EQ(zq::FileOpen("dir\\file.txt\\more", 0, 1, 0), 0u);
}

TEST_F(FileLayerTest, ShiftJisNamesWithBackslashSecondBytesOpen) {
    // 表 is 0x95 0x5C in Shift-JIS: its second byte is a backslash that separates nothing.
    const std::vector<uint8_t> bytes = PatternBytes(20, 13);
    WriteBytes("表示/ソフト.dat", bytes);
    const std::string path = Sjis("表示\\ソフト.dat");
    ASSERT_EQ(static_cast<unsigned char>(path[1]), 0x5C);
    const uint32_t h = zq::FileOpen(path.c_str(), 0, 1, 0);
    ASSERT_NE(h, 0u);
    std::vector<uint8_t> got(20);
    EXPECT_EQ(zq::FileRead(got.data(), 1, 20, h), 20u);
    EXPECT_EQ(got, bytes);
    zq::FileClose(h);
}

TEST_F(FileLayerTest, FullWidthLettersMatchIgnoringCase) {
    WriteBytes("ＡＢＣ.txt", PatternBytes(4, 14));
    const uint32_t h = zq::FileOpen(Sjis("ａｂｃ.TXT").c_str(), 0, 1, 0);
    EXPECT_NE(h, 0u);
    zq::FileClose(h);
}
