// Clocks, the local date and the wait for a key, on the virtual host.
#include <gtest/gtest.h>

#include <ctime>

#include "virtual_library.h"

namespace {

using zq::HostEventType;
using zq::MakeHostEvent;

class TimingTest : public VirtualLibraryTest {
protected:
    void SetUp() override {
        VirtualLibraryTest::SetUp();
        host.SetWindowOrigin(0, 0);
        Start();
    }
};

TEST_F(TimingTest, MillisecondCountKeepsThirtyOneBits) {
    host.AdvanceClock(0xFFFFFFFFu - host.Milliseconds());  // the host clock is about to wrap
    for (int i = 0; i < 4; ++i) EXPECT_GE(GetMillisecondCount(), 0);
}

TEST_F(TimingTest, MicrosecondsNeverGoBack) {
    int64_t last = GetMicrosecondCount(0);
    for (int i = 0; i < 100; ++i) {
        const int64_t now = GetMicrosecondCount(i % 2);
        if (i % 2 == 0) {
            EXPECT_GE(now, last);
            last = now;
        }
    }
}

TEST_F(TimingTest, LocalDateIsTodayAndRejectsNull) {
    EXPECT_EQ(ReadLocalDate(nullptr), -1);
    DateRecord date;
    ASSERT_EQ(ReadLocalDate(&date), 0);
    const time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    EXPECT_EQ(date.year, local.tm_year + 1900);
    EXPECT_EQ(date.month, local.tm_mon + 1);
    EXPECT_EQ(date.day, local.tm_mday);
}

TEST_F(TimingTest, WaitForKeyWaitsForReleaseThenANewPress) {
    struct Case {
        int held, pressed;
    };
    for (const Case &c : {Case{KEY_A, KEY_B}, Case{KEY_A, KEY_A}}) {
        const uint32_t now = host.Milliseconds();
        host.SetKey(c.held, true);
        host.ScheduleKey(now + 100, c.held, false);
        host.ScheduleKey(now + 200, c.pressed, true);
        EXPECT_EQ(WaitForKey(), c.pressed);
        EXPECT_GE(static_cast<int32_t>(host.Milliseconds() - (now + 200)), 0);
        host.SetKey(c.pressed, false);
    }
}

TEST_F(TimingTest, WaitForKeyReturnsZeroWhenTheWindowCloses) {
    host.ScheduleEvent(host.Milliseconds() + 150, MakeHostEvent(HostEventType::Close));
    EXPECT_EQ(WaitForKey(), 0);
    EXPECT_EQ(ProcessMessages(), -1);
}

}  // namespace
