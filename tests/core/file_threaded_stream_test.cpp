// Plain files served by a file-access thread: with the read cache and with no-wait reads they give
// the same bytes as direct reads on a file larger than the cache, the cache is filled ahead while
// the stream is idle, a no-wait read is pending until its thread has finished, and every thread
// ends with its stream (closing never waits forever).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "core/plain_file_stream.h"
#include "file_test_support.h"

using filetest::PatternBytes;
using filetest::ThreadCount;
using filetest::WriteBytes;

namespace {

constexpr size_t kBigSize = 3 * zq::kReadCacheSize + 12345;

void WaitUntilIdle(uint32_t handle) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (zq::FileIdleCheck(handle) != 1) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "read never finished";
        std::this_thread::yield();
    }
}

// One step of a reading script: a seek (origin >= 0) or a read of `amount` bytes as elements of `size`.
struct Step {
    int origin;
    int32_t amount;
    size_t size;
};

// Runs the script on a handle and returns everything each read delivered, with counts and positions.
std::vector<uint8_t> RunScript(uint32_t h, const std::vector<Step> &script, std::vector<int64_t> *trace) {
    std::vector<uint8_t> out;
    for (const Step &step : script) {
        if (step.origin >= 0) {
            trace->push_back(zq::FileSeek(h, step.amount, step.origin));
        } else {
            std::vector<uint8_t> buffer(static_cast<size_t>(step.amount) + step.size, 0xEE);
            const size_t count = zq::FileRead(buffer.data(), step.size, static_cast<size_t>(step.amount) / step.size, h);
            WaitUntilIdle(h);
            trace->push_back(static_cast<int64_t>(count));
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(count * step.size));
        }
        trace->push_back(zq::FileTell(h));
        trace->push_back(zq::FileEof(h));
    }
    return out;
}

}  // namespace

class ThreadedStreamTest : public FileLayerTest {};

TEST_F(ThreadedStreamTest, CachedAndNoWaitStreamsGiveTheDirectBytes) {
    const std::vector<uint8_t> bytes = PatternBytes(kBigSize, 21);
    WriteBytes("big.bin", bytes);
    const std::vector<Step> script = {
        {-1, 1, 1},       {-1, 7, 1},          {-1, 4096, 4},    {-1, 65536, 1},     {-1, 100000, 8},
        {-1, 3, 1},       {1, -5000, 0},       {-1, 10000, 2},   {0, 200000, 0},     {-1, 131072, 1},
        {-1, 131072, 16}, {2, -100, 0},        {-1, 1000, 4},    {-1, 10, 1},        {0, 17, 0},
        {-1, 300000, 3},  {-1, 200000, 1},     {-1, 200000, 1},  {-1, 1, 1},
    };
    std::vector<int64_t> directTrace, cachedTrace, noWaitTrace;
    const uint32_t direct = zq::FileOpen("big.bin", 0, 1, 0);
    const uint32_t cached = zq::FileOpen("big.bin", 1, 1, 0);
    const uint32_t noWait = zq::FileOpen("big.bin", 0, 1, 1);
    ASSERT_NE(direct, 0u);
    ASSERT_NE(cached, 0u);
    ASSERT_NE(noWait, 0u);
    // Let the cached stream's thread read ahead before the first read.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const std::vector<uint8_t> fromDirect = RunScript(direct, script, &directTrace);
    const std::vector<uint8_t> fromCached = RunScript(cached, script, &cachedTrace);
    const std::vector<uint8_t> fromNoWait = RunScript(noWait, script, &noWaitTrace);
    EXPECT_GT(fromDirect.size(), kBigSize);
    EXPECT_EQ(fromCached, fromDirect);
    EXPECT_EQ(fromNoWait, fromDirect);
    EXPECT_EQ(cachedTrace, directTrace);
    EXPECT_EQ(noWaitTrace, directTrace);

    // The first 17 bytes of the direct run are the file's own.
    EXPECT_EQ(std::memcmp(fromDirect.data(), bytes.data(), 17), 0);
    zq::FileClose(direct);
    zq::FileClose(cached);
    zq::FileClose(noWait);
}

TEST_F(ThreadedStreamTest, CacheIsFilledAheadWhileTheStreamIsIdle) {
    const std::vector<uint8_t> bytes = PatternBytes(kBigSize, 22);
    WriteBytes("big.bin", bytes);
    zq::PlainFileStream *s = zq::OpenPlainFileStream("big.bin", 1, 0);
    ASSERT_NE(s, nullptr);
    std::vector<uint8_t> got(kBigSize);
    size_t at = 0;
    auto readChunk = [&](size_t n) {
        ASSERT_EQ(zq::PlainFileStreamRead(got.data() + at, 1, n, s), n);
        at += n;
    };

    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    for (int i = 0; i < 32; ++i) readChunk(4096);  // exactly the read-ahead block
    EXPECT_EQ(zq::PlainFileStreamCacheBytesServed(s), static_cast<uint32_t>(zq::kReadCacheSize));

    // The cache is empty now: this read goes to the file and moves the cache behind it (unless an
    // idle time came between the reads; more cache hits than counted below are fine).
    readChunk(1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    readChunk(50000);
    readChunk(zq::kReadCacheSize);  // the rest of the cache, then the file
    EXPECT_GE(zq::PlainFileStreamCacheBytesServed(s), static_cast<uint32_t>(2 * zq::kReadCacheSize));

    // A seek empties the cache; the next idle time fills it from the new position.
    ASSERT_EQ(zq::PlainFileStreamSeek(s, -70000, 1), 0);
    at -= 70000;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    readChunk(kBigSize - at);
    EXPECT_GE(zq::PlainFileStreamCacheBytesServed(s), static_cast<uint32_t>(3 * zq::kReadCacheSize));
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(zq::PlainFileStreamRead(got.data(), 1, 1, s), 0u);
    EXPECT_EQ(zq::PlainFileStreamEof(s), -1);
    EXPECT_EQ(zq::ClosePlainFileStream(s), 0);
}

// Small reads with no idle time between them (so no read-ahead) are still served from the cache:
// a read the cache cannot serve refills it from the read position.
TEST_F(ThreadedStreamTest, SmallReadsRefillTheCacheWhenItIsEmpty) {
    const std::vector<uint8_t> bytes = PatternBytes(kBigSize, 5);
    WriteBytes("big.bin", bytes);
    zq::PlainFileStream *s = zq::OpenPlainFileStream("big.bin", 1, 0);
    ASSERT_NE(s, nullptr);
    std::vector<uint8_t> got(kBigSize);
    size_t at = 0;
    for (; at + 4 <= 2 * zq::kReadCacheSize + 8; at += 4) ASSERT_EQ(zq::PlainFileStreamRead(got.data() + at, 4, 1, s), 1u);
    EXPECT_EQ(zq::PlainFileStreamCacheBytesServed(s), static_cast<uint32_t>(at));
    // A read longer than the cache goes to the file; the small reads after it refill the cache.
    ASSERT_EQ(zq::PlainFileStreamRead(got.data() + at, 1, zq::kReadCacheSize, s), size_t(zq::kReadCacheSize));
    at += zq::kReadCacheSize;
    for (; at < kBigSize; ++at) ASSERT_EQ(zq::PlainFileStreamRead(got.data() + at, 1, 1, s), 1u);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(zq::ClosePlainFileStream(s), 0);
}

TEST_F(ThreadedStreamTest, NoWaitReadReturnsAtOnceAndIsPendingUntilItsThreadFinishes) {
    const std::vector<uint8_t> bytes = PatternBytes(5000, 23);
    WriteBytes("n.bin", bytes);
    const uint32_t h = zq::FileOpen("n.bin", 0, 1, 1);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(zq::FileIdleCheck(h), 1);

    zq::HoldFileAccessReads(true);
    std::vector<uint32_t> words(1000, 0);
    EXPECT_EQ(zq::FileRead(words.data(), 4, 1000, h), 1000u);
    EXPECT_EQ(zq::FileTell(h), 4000);  // the position moves when the read is issued
    EXPECT_EQ(zq::FileIdleCheck(h), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(zq::FileIdleCheck(h), 0);

    zq::HoldFileAccessReads(false);
    WaitUntilIdle(h);
    EXPECT_EQ(std::memcmp(words.data(), bytes.data(), 4000), 0);

    // The partial-last-element rule holds for threaded streams too.
    std::vector<uint8_t> rest(2000);
    EXPECT_EQ(zq::FileRead(rest.data(), 300, 10, h), 3u);
    WaitUntilIdle(h);
    EXPECT_EQ(std::memcmp(rest.data(), bytes.data() + 4000, 900), 0);
    EXPECT_EQ(zq::FileRead(rest.data(), 300, 10, h), 0u);
    EXPECT_EQ(zq::FileEof(h), -1);
    zq::FileClose(h);
}

TEST_F(ThreadedStreamTest, ThreadedSeekIsNotCheckedAndReadsFromBeforeTheStartGiveNothing) {
    WriteBytes("s.bin", PatternBytes(100, 24));
    const uint32_t h = zq::FileOpen("s.bin", 1, 1, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(zq::FileSeek(h, -5, 0), 0);
    EXPECT_EQ(zq::FileTell(h), -5);
    uint8_t b[4];
    EXPECT_EQ(zq::FileRead(b, 1, 4, h), 0u);
    EXPECT_EQ(zq::FileSeek(h, 150, 0), 0);
    EXPECT_EQ(zq::FileRead(b, 1, 4, h), 0u);
    EXPECT_EQ(zq::FileClose(h), 0);
}

TEST_F(ThreadedStreamTest, EachThreadedStreamHasOneThreadThatEndsWithIt) {
    WriteBytes("t.bin", PatternBytes(70000, 25));
    const int baseline = ThreadCount();
    ASSERT_GT(baseline, 0);
    std::vector<uint32_t> handles;
    for (int i = 0; i < 24; ++i) {
        const uint32_t h = zq::FileOpen("t.bin", i % 2, 1, 1 - i % 2);
        ASSERT_NE(h, 0u);
        handles.push_back(h);
    }
    const uint32_t direct = zq::FileOpen("t.bin", 0, 1, 0);
    EXPECT_EQ(ThreadCount(), baseline + 24);

    std::vector<std::vector<uint8_t>> buffers(handles.size(), std::vector<uint8_t>(70000));
    for (size_t i = 0; i < handles.size(); ++i) EXPECT_EQ(zq::FileRead(buffers[i].data(), 7, 10000, handles[i]), 10000u);
    for (const uint32_t h : handles) EXPECT_EQ(zq::FileClose(h), 0);
    zq::FileClose(direct);
    EXPECT_EQ(ThreadCount(), baseline);
}

TEST_F(ThreadedStreamTest, CloseWaitsForAPendingReadAndNeverHangs) {
    const std::vector<uint8_t> bytes = PatternBytes(1000, 26);
    WriteBytes("c.bin", bytes);
    const int baseline = ThreadCount();
    const uint32_t h = zq::FileOpen("c.bin", 1, 1, 1);
    ASSERT_NE(h, 0u);
    std::vector<uint8_t> buffer(1000);
    zq::HoldFileAccessReads(true);
    ASSERT_EQ(zq::FileRead(buffer.data(), 1, 1000, h), 1000u);
    std::thread releaser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        zq::HoldFileAccessReads(false);
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(zq::FileClose(h), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(40));
    releaser.join();
    EXPECT_EQ(buffer, bytes);  // the read finished before the stream closed
    EXPECT_EQ(ThreadCount(), baseline);
}

TEST_F(ThreadedStreamTest, ClosingRightAfterOpenEndsTheThread) {
    WriteBytes("q.bin", PatternBytes(10, 27));
    const int baseline = ThreadCount();
    for (int i = 0; i < 100; ++i) {
        zq::PlainFileStream *s = zq::OpenPlainFileStream("q.bin", i % 2, 1);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(zq::ClosePlainFileStream(s), 0);
    }
    EXPECT_EQ(ThreadCount(), baseline);
}
