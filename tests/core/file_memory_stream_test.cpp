// Memory streams: reads and the end flag, seeks clamped to the block, the rule that less than one
// element left is copied whole and counted as one, and a decoder-style source that reads a file
// and a memory block alike.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "file_test_support.h"

using filetest::PatternBytes;
using filetest::WriteBytes;

class MemoryStreamTest : public FileLayerTest {
protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        bytes_ = PatternBytes(10, 31);
        stream_ = zq::CreateMemoryStream(bytes_.data(), 10);
        ASSERT_NE(stream_, nullptr);
        source_ = zq::MemorySource(stream_);
    }
    void TearDown() override {
        if (stream_ != nullptr) source_.ops.Close(source_.data);
        FileLayerTest::TearDown();
    }

    std::vector<uint8_t> bytes_;
    zq::MemoryStream *stream_ = nullptr;
    zq::StreamSource source_{};
};

TEST_F(MemoryStreamTest, StartsAtZeroAndReadsToTheEnd) {
    EXPECT_EQ(stream_->data, bytes_.data());
    EXPECT_EQ(source_.ops.Tell(source_.data), 0);
    EXPECT_EQ(source_.ops.Eof(source_.data), 0);
    EXPECT_EQ(source_.ops.IdleCheck(source_.data), 1);
    uint8_t got[10];
    EXPECT_EQ(source_.ops.Read(got, 5, 2, source_.data), 2u);
    EXPECT_EQ(std::memcmp(got, bytes_.data(), 10), 0);
    EXPECT_EQ(source_.ops.Eof(source_.data), 0);
    EXPECT_EQ(source_.ops.Read(got, 1, 1, source_.data), 0u);
    EXPECT_EQ(source_.ops.Eof(source_.data), 1);
}

TEST_F(MemoryStreamTest, LessThanOneElementLeftIsCopiedWholeAndCountsAsOne) {
    ASSERT_EQ(source_.ops.Seek(source_.data, 4, 0), 0);
    uint8_t got[40];
    std::memset(got, 0xEE, sizeof got);
    EXPECT_EQ(source_.ops.Read(got, 4, 10, source_.data), 1u);  // 6 left: one element
    EXPECT_EQ(std::memcmp(got, bytes_.data() + 4, 4), 0);
    EXPECT_EQ(got[4], 0xEE);
    EXPECT_EQ(source_.ops.Tell(source_.data), 8);

    std::memset(got, 0xEE, sizeof got);
    EXPECT_EQ(source_.ops.Read(got, 4, 10, source_.data), 1u);  // 2 left: both bytes, "one element"
    EXPECT_EQ(std::memcmp(got, bytes_.data() + 8, 2), 0);
    EXPECT_EQ(got[2], 0xEE);
    EXPECT_EQ(source_.ops.Tell(source_.data), 10);
    EXPECT_EQ(source_.ops.Eof(source_.data), 0);

    EXPECT_EQ(source_.ops.Read(got, 4, 10, source_.data), 0u);
    EXPECT_EQ(source_.ops.Eof(source_.data), 1);
    EXPECT_EQ(source_.ops.Read(got, 0, 10, source_.data), 0u);
}

TEST_F(MemoryStreamTest, SeeksAreClampedToTheBlockAndClearTheEndFlag) {
    EXPECT_EQ(source_.ops.Seek(source_.data, -5, 0), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 0);
    EXPECT_EQ(source_.ops.Seek(source_.data, 15, 0), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 10);
    EXPECT_EQ(source_.ops.Seek(source_.data, -3, 1), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 7);
    EXPECT_EQ(source_.ops.Seek(source_.data, 100, 1), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 10);
    EXPECT_EQ(source_.ops.Seek(source_.data, -4, 2), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 6);
    EXPECT_EQ(source_.ops.Seek(source_.data, 5, 2), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 10);
    EXPECT_EQ(source_.ops.Seek(source_.data, -20, 2), 0);
    EXPECT_EQ(source_.ops.Tell(source_.data), 0);

    uint8_t b;
    ASSERT_EQ(source_.ops.Seek(source_.data, 0, 2), 0);
    EXPECT_EQ(source_.ops.Read(&b, 1, 1, source_.data), 0u);
    EXPECT_EQ(source_.ops.Eof(source_.data), 1);
    EXPECT_EQ(source_.ops.Seek(source_.data, -1, 1), 0);
    EXPECT_EQ(source_.ops.Eof(source_.data), 0);
    EXPECT_EQ(source_.ops.Read(&b, 1, 1, source_.data), 1u);
    EXPECT_EQ(b, bytes_[9]);
}

TEST_F(MemoryStreamTest, CloseFreesTheRecordButNotTheData) {
    Start();
    const filetest::Totals before = ReadTotals();
    std::vector<uint8_t> data = PatternBytes(32, 32);
    const std::vector<uint8_t> copy = data;
    zq::MemoryStream *m = zq::CreateMemoryStream(data.data(), 32);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(ReadTotals().count, before.count + 1);
    EXPECT_EQ(zq::GetMemoryStreamOps().Close(m), 0);
    EXPECT_EQ(ReadTotals(), before);
    EXPECT_EQ(data, copy);
}

namespace {

// What a decoder does: a 4-byte length, then that many bytes, through whatever source it is given.
std::vector<uint8_t> DecodeLengthPrefixed(zq::StreamSource source) {
    uint32_t length = 0;
    if (source.ops.Read(&length, 4, 1, source.data) != 1) return {};
    std::vector<uint8_t> out(length);
    if (source.ops.Read(out.data(), 1, length, source.data) != length) return {};
    return out;
}

}  // namespace

TEST_F(MemoryStreamTest, ADecoderReadsAFileAndAMemoryBlockAlike) {
    std::vector<uint8_t> block = {5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    WriteBytes("Pictures/Block.bin", block);
    const uint32_t h = zq::FileOpen("pictures\\block.BIN", 0, 1, 0);
    ASSERT_NE(h, 0u);
    zq::StreamSource fileSource = zq::FileSource(h);
    const std::vector<uint8_t> fromFile = DecodeLengthPrefixed(fileSource);
    fileSource.ops.Close(fileSource.data);

    zq::MemoryStream *m = zq::CreateMemoryStream(block.data(), static_cast<int32_t>(block.size()));
    ASSERT_NE(m, nullptr);
    zq::StreamSource memorySource = zq::MemorySource(m);
    const std::vector<uint8_t> fromMemory = DecodeLengthPrefixed(memorySource);
    memorySource.ops.Close(memorySource.data);

    EXPECT_EQ(fromFile, std::vector<uint8_t>({'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(fromMemory, fromFile);
}
