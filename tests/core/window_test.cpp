// Message processing: close and quit, the five-message limit, the inactive-window loop, the wait
// while inactive, calls from other threads, and the order in which the life-cycle lock serves
// waiting threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/api_lock.h"
#include "core/lifecycle.h"
#include "core/window.h"
#include "virtual_library.h"

namespace {

using zq::HostEventType;
using zq::MakeHostEvent;
using WindowTest = VirtualLibraryTest;

TEST_F(WindowTest, ProcessMessagesReturnsZeroWhileNothingHappens) {
    Start();
    const int sleeps = host.sleepCount;
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(host.sleepCount, sleeps);  // an active window never sleeps
}

TEST_F(WindowTest, CloseRequestEndsTheProgram) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::Close));
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_FALSE(host.windowOpen);
    EXPECT_FALSE(host.instanceLockHeld);  // a new copy may start at once
    EXPECT_EQ(zq::CloseState(), 4);
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_EQ(EndLibrary(), 0);
}

TEST_F(WindowTest, QuitEndsTheProgramAndShutdownClosesTheWindow) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::Quit));
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_TRUE(host.windowOpen);
    EndLibrary();
    EXPECT_FALSE(host.windowOpen);
}

TEST_F(WindowTest, AtMostFiveMessagesPerCall) {
    Start();
    const int wheelBefore = zq::WheelCount();
    for (int i = 0; i < 7; ++i) {
        zq::HostEvent wheel = MakeHostEvent(HostEventType::Wheel);
        wheel.wheel = i == 6 ? -3 : 1;
        host.PushEvent(wheel);
    }
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(zq::WheelCount() - wheelBefore, 5);
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_EQ(zq::WheelCount() - wheelBefore, 5 + 1 - 1);
}

TEST_F(WindowTest, ButtonPressesAreLoggedUpToThirtyTwo) {
    Start();
    const int before = zq::ClickLogCount();
    for (int i = 0; i < 40; ++i) host.PushEvent(MakeHostEvent(HostEventType::ButtonDown, MOUSE_RIGHT, i, 2 * i));
    for (int i = 0; i < 8; ++i) ProcessMessages();
    EXPECT_EQ(zq::ClickLogCount(), zq::kClickLogSize);
    const zq::ClickRecord first = zq::ClickLogEntry(before);
    EXPECT_EQ(first.button, MOUSE_RIGHT);
    EXPECT_EQ(first.y, 2 * first.x);
}

TEST_F(WindowTest, DroppedFilesAreKeptInShiftJis) {
    Start();
    zq::HostEvent drop = MakeHostEvent(HostEventType::DropFile);
    std::snprintf(drop.path, sizeof drop.path, "/tmp/ガズモ.bmp");
    host.PushEvent(drop);
    ProcessMessages();
    ASSERT_EQ(zq::DroppedFileCount(), 1);
    char expected[64];
    Utf8ToShiftJis("/tmp/ガズモ.bmp", expected, sizeof expected);
    EXPECT_STREQ(zq::DroppedFile(0), expected);
}

TEST_F(WindowTest, InactiveWindowHoldsProcessMessagesUntilActivated) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::FocusLost));
    const uint32_t activation = host.Milliseconds() + 500;
    host.ScheduleEvent(activation, MakeHostEvent(HostEventType::FocusGained));
    EXPECT_EQ(ProcessMessages(), 0);
    EXPECT_TRUE(zq::IsWindowActive());
    EXPECT_GE(static_cast<int32_t>(host.Milliseconds() - activation), 0);
    EXPECT_GT(host.sleepCount, 100);  // it slept while waiting instead of spinning
}

TEST_F(WindowTest, ClosingAnInactiveWindowEndsTheWait) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::FocusLost));
    host.ScheduleEvent(host.Milliseconds() + 300, MakeHostEvent(HostEventType::Close));
    EXPECT_EQ(ProcessMessages(), -1);
    EXPECT_FALSE(zq::IsWindowActive());
}

TEST_F(WindowTest, KeyReadWaitsForActivation) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::FocusLost));
    // The key read processes the focus loss itself and then waits for the activation.
    const uint32_t activation = host.Milliseconds() + 250;
    host.ScheduleEvent(activation, MakeHostEvent(HostEventType::FocusGained));
    host.SetKey(KEY_ESCAPE, true);
    EXPECT_EQ(IsKeyDown(KEY_ESCAPE), 1);
    EXPECT_GE(static_cast<int32_t>(host.Milliseconds() - activation), 0);
}

TEST_F(WindowTest, OtherThreadsMakeOnePassWithoutReadingWindowEvents) {
    Start();
    host.PushEvent(MakeHostEvent(HostEventType::Close));
    int result = 1;
    std::thread other([&] { result = ProcessMessages(); });
    other.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(host.windowOpen);  // the close belongs to the main thread
    EXPECT_EQ(ProcessMessages(), -1);
}

TEST(ApiLockTest, OwnerReentersAndWaitersAreServedInArrivalOrder) {
    constexpr int kThreads = 6;
    std::vector<int> order;
    std::mutex orderLock;
    std::vector<std::thread> threads;

    zq::ApiLockEnter();
    zq::ApiLockEnter();  // re-entry by the owner does not block
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            zq::ApiLockScope lock;
            std::lock_guard<std::mutex> guard(orderLock);
            order.push_back(i);
        });
        while (zq::ApiLockWaiterCount() != i + 1) std::this_thread::yield();
    }
    zq::ApiLockLeave();
    EXPECT_EQ(zq::ApiLockWaiterCount(), kThreads);  // still held once
    zq::ApiLockLeave();
    for (std::thread &t : threads) t.join();

    ASSERT_EQ(order.size(), static_cast<size_t>(kThreads));
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(order[i], i);
    EXPECT_EQ(zq::ApiLockWaiterCount(), 0);
}

TEST(ApiLockTest, ProcessMessagesFromAnotherThreadWaitsForTheOwner) {
    std::atomic<bool> done{false};
    zq::ApiLockEnter();
    std::thread other([&] {
        ProcessMessages();
        done = true;
    });
    while (zq::ApiLockWaiterCount() != 1) std::this_thread::yield();
    EXPECT_FALSE(done);
    zq::ApiLockLeave();
    other.join();
    EXPECT_TRUE(done);
}

}  // namespace
