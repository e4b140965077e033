// Handle encoding, validation of stale and foreign handles, the slot rules of the three tables,
// their limits, and the handle list.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/handles.h"
#include "zqlib.h"

namespace {

using zq::HandleKind;

struct TestRecord {
    int check;
    int handle;
    int payload;
};

// Releases whatever a test left in the tables, so tests do not depend on each other.
class HandlesTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HandleKind kind : {HandleKind::Graph, HandleKind::Sound, HandleKind::Font}) {
            for (int slot = 0; slot < zq::HandleTableSize(kind); ++slot) {
                void *record = zq::HandleRecordAt(kind, slot);
                if (record == nullptr) continue;
                const int check = static_cast<int *>(record)[0];
                zq::ReleaseHandle(zq::MakeHandle(kind, slot, check), kind);
            }
        }
        zq::ResetGraphTable();
    }
};

TEST_F(HandlesTest, GraphHandleEncodesKindCheckAndSlot) {
    const int handle = zq::AllocateGraphHandle(sizeof(TestRecord));
    EXPECT_EQ(handle & 0xF800FFFF, 0x08000000);  // kind 1, slot 0, bit 31 clear
    auto *record = static_cast<TestRecord *>(zq::ValidateHandle(handle, HandleKind::Graph));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->handle, handle);
    EXPECT_EQ(record->check << 16, handle & 0x07FF0000);
    EXPECT_EQ(record->payload, 0);  // records start zeroed
}

TEST_F(HandlesTest, InvalidStaleAndForeignHandlesAreRejected) {
    const int graph = zq::AllocateGraphHandle(sizeof(TestRecord));
    const int sound = zq::AllocateSoundHandle(sizeof(TestRecord), -1);
    const int wrongCheck = (graph & ~0x07FF0000) | (((zq::HandleCheck(graph) + 1) % 2048) << 16);
    const struct {
        int handle;
        HandleKind kind;
    } rejected[] = {
        {-1, HandleKind::Graph},           {sound, HandleKind::Graph},
        {graph, HandleKind::Sound},        {graph, HandleKind::Font},
        {wrongCheck, HandleKind::Graph},   {graph | 0x7FFF, HandleKind::Graph},
        {graph | 0xFFFF, HandleKind::Graph}, {static_cast<int>(0x80000000u | static_cast<unsigned>(graph)), HandleKind::Graph},
    };
    for (const auto &c : rejected) EXPECT_EQ(zq::ValidateHandle(c.handle, c.kind), nullptr) << std::hex << c.handle;

    ASSERT_TRUE(zq::ReleaseHandle(graph, HandleKind::Graph));
    EXPECT_EQ(zq::ValidateHandle(graph, HandleKind::Graph), nullptr);
    EXPECT_FALSE(zq::ReleaseHandle(graph, HandleKind::Graph));  // a second release does nothing
    const int reused = zq::AllocateGraphHandle(sizeof(TestRecord));
    EXPECT_EQ(zq::HandleSlot(reused), zq::HandleSlot(graph));
    EXPECT_NE(reused, graph);
    EXPECT_EQ(zq::ValidateHandle(graph, HandleKind::Graph), nullptr);  // stale: the slot has a new check
}

TEST_F(HandlesTest, HighWaterMarkReusesOnlyTheTopUntilTheTableIsFull) {
    int handles[4];
    for (int &h : handles) h = zq::AllocateGraphHandle(sizeof(TestRecord));
    zq::ReleaseHandle(handles[3], HandleKind::Graph);  // the top: reused at once
    EXPECT_EQ(zq::HandleSlot(zq::AllocateGraphHandle(sizeof(TestRecord))), 3);
    zq::ReleaseHandle(handles[1], HandleKind::Graph);  // below the top: not reused yet
    EXPECT_EQ(zq::HandleSlot(zq::AllocateGraphHandle(sizeof(TestRecord))), 4);
    EXPECT_EQ(zq::HandleHighWaterMark(HandleKind::Graph), 5);
}

TEST_F(HandlesTest, SoundSlotsBelowTheTopAreFoundOnceTheTopIsReached) {
    std::vector<int> handles;
    for (int i = 0; i < zq::kSoundTableSize; ++i) handles.push_back(zq::AllocateSoundHandle(sizeof(TestRecord), -1));
    EXPECT_EQ(zq::AllocateSoundHandle(sizeof(TestRecord), -1), -1);  // full: logged, -1
    zq::ReleaseHandle(handles[17], HandleKind::Sound);
    const int again = zq::AllocateSoundHandle(sizeof(TestRecord), -1);
    EXPECT_EQ(zq::HandleSlot(again), 17);
}

TEST_F(HandlesTest, WantedSoundHandleIsRecreatedExactly) {
    const int sound = zq::AllocateSoundHandle(sizeof(TestRecord), -1);
    zq::ReleaseHandle(sound, HandleKind::Sound);
    EXPECT_EQ(zq::AllocateSoundHandle(sizeof(TestRecord), sound), sound);
    EXPECT_NE(zq::ValidateHandle(sound, HandleKind::Sound), nullptr);
}

TEST_F(HandlesTest, FontsTakeTheFirstFreeSlotUpToForty) {
    std::vector<int> fonts;
    for (int i = 0; i < zq::kFontTableSize; ++i) {
        fonts.push_back(zq::AllocateFontHandle(sizeof(TestRecord), -1, -1));
        EXPECT_EQ(zq::HandleSlot(fonts.back()), i);
    }
    EXPECT_EQ(zq::AllocateFontHandle(sizeof(TestRecord), -1, -1), -1);  // the 41st
    zq::ReleaseHandle(fonts[5], HandleKind::Font);
    EXPECT_EQ(zq::AllocateFontHandle(sizeof(TestRecord), 6, -1), -1);  // a wanted slot in use
    const int wanted = zq::AllocateFontHandle(sizeof(TestRecord), 5, 77);
    EXPECT_EQ(wanted, zq::MakeHandle(HandleKind::Font, 5, 77));
}

TEST_F(HandlesTest, GraphTableLimitEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto fill = [] {
        for (int i = 0; i <= zq::kGraphTableSize; ++i) zq::AllocateGraphHandle(sizeof(TestRecord));
    };
    EXPECT_EXIT(fill(), ::testing::ExitedWithCode(255), "");
}

TEST(HandleListTest, MembersAreKeptNewestFirstAndUnlinkCleanly) {
    zq::HandleListNode head, tail, a, b, c;
    zq::HandleListInit(&head, &tail);
    zq::HandleListAdd(&head, &a, 1, nullptr);
    zq::HandleListAdd(&head, &b, 2, nullptr);
    zq::HandleListAdd(&head, &c, 3, &a);
    zq::HandleListRemove(&b);
    std::vector<int> order;
    for (zq::HandleListNode *n = head.next; n != &tail; n = n->next) order.push_back(n->handle);
    EXPECT_EQ(order, (std::vector<int>{3, 1}));
    EXPECT_EQ(tail.prev, &a);
    EXPECT_EQ(c.data, &a);
}

}  // namespace
