// The application log as it lands in "Log.txt": time stamps, indentation, lines continued across
// calls, CR LF conversion (Shift-JIS aware, short and long texts), the log switched off, a file that
// cannot be written, and Shift-JIS output of the library's own messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/log_file_fixture.h"
#include "zqlib.h"

namespace {

// Shift-JIS (code page 932) bytes of the texts the tests look for.
const std::string kComInit = "\x82\x62\x82\x6e\x82\x6c\x82\xcc\x8f\x89\x8a\xfa\x89\xbb... ";  // ＣＯＭの初期化...
const std::string kSucceeded = "\x90\xac\x8c\xf7\x82\xb5\x82\xdc\x82\xb5\x82\xbd";  // 成功しました
const std::string kSystemInfo =
    "\x83\x56\x83\x58\x83\x65\x83\x80\x82\xcc\x8f\xee\x95\xf1\x82\xf0\x8f\x6f\x97\xcd\x82\xb5\x82\xdc\x82\xb7";
const std::string kBufferInit =
    "\x95\xb6\x8e\x9a\x83\x52\x81\x5b\x83\x68\x83\x6f\x83\x62\x83\x74\x83\x40\x82\xcc\x8f\x89\x8a\xfa\x89\xbb"
    "\x82\xf0\x8d\x73\x82\xa2\x82\xdc\x82\xb7... ";  // 文字コードバッファの初期化を行います...
const std::string kCompleted = "\x8a\xae\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd";  // 完了しました

// The number before the first colon of a log line.
int StampOf(const std::string &line) {
    return std::atoi(line.substr(0, line.find(':')).c_str());
}

std::string Repeat(const std::string &piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST_F(LogFileTest, LinesCarryStampAndIndentAndOpenLinesContinue) {
    StartWithStoppedClock();
    size_t mark = ReadLog().size();
    EXPECT_EQ(WriteLog("first\n"), -1);
    const std::string first = LogSince(mark);
    const int stamp = StampOf(first);
    ASSERT_EQ(first, std::to_string(stamp) + ":first\r\n");

    host.AdvanceClock(1500);
    mark = ReadLog().size();
    RaiseLogIndent();
    WriteLog(kComInit.c_str());
    WriteLog((kSucceeded + "\n").c_str());
    RaiseLogIndent();
    WriteLog("deeper\n");
    LowerLogIndent();
    LowerLogIndent();
    WriteLog("flat\n");
    const std::string later = std::to_string(stamp + 1500) + ":";
    EXPECT_EQ(LogSince(mark), later + "\t" + kComInit + kSucceeded + "\r\n" +  //
                                  later + "\t\tdeeper\r\n" +                      //
                                  later + "flat\r\n");
}

// The virtual clock moves 1 ms per reading during start-up, so the first stamp stays far below
// the clock's reading before start.
TEST_F(LogFileTest, FirstStampCountsFromLogStart) {
    host.AdvanceClock(100000);
    Start();
    const std::string log = ReadLog();
    ASSERT_FALSE(log.empty());
    EXPECT_LT(StampOf(log), 1000) << log.substr(0, 40);
}

TEST_F(LogFileTest, TimeStampCanBeSwitchedOff) {
    StartWithStoppedClock();
    SetLogTimeStamp(0);
    const size_t mark = ReadLog().size();
    WriteLog("plain\n");
    EXPECT_EQ(LogSince(mark), "plain\r\n");
}

struct ConversionCase {
    const char *name;
    std::string text;
    std::string written;  // what reaches the file for the text, with the one indentation TAB
    bool leavesLineOpen;
};

// Each text is followed by "Z\n": an open line continues with "Z", a closed one starts a new
// indented line.
TEST_F(LogFileTest, LineFeedsBecomeCrLf) {
    const std::string sjisWithLfTrail = "\x81\x0a";
    const std::vector<ConversionCase> cases = {
        {"bare LF inside", "a\nb", "\ta\r\nb", true},
        {"LF after CR stops the conversion", "a\r\nb\nc", "\ta\r\nb\nc", true},
        {"leading LF", "\nab", "\t\r\nab", true},
        {"trailing LF closes the line", "ab\n", "\tab\r\n", false},
        {"two LFs", "\n\n", "\t\r\n\r\n", false},
        {"lone CR kept", "a\rb\n", "\ta\rb\r\n", false},
        {"Shift-JIS trail byte 0x0A", sjisWithLfTrail + "b\n", "\t" + sjisWithLfTrail + "b\r\n", false},
        {"empty text", "", "\t", true},
        {"255 LFs, longest stack conversion", std::string(255, '\n'), "\t" + Repeat("\r\n", 255), false},
        {"256 LFs, allocated conversion", std::string(256, '\n'), "\t" + Repeat("\r\n", 256), false},
        {"long text with LF", std::string(300, 'x') + "\ny", "\t" + std::string(300, 'x') + "\r\ny", true},
        {"long Shift-JIS with 0x0A trails", Repeat(sjisWithLfTrail, 150) + "\n",
         "\t" + Repeat(sjisWithLfTrail, 150) + "\r\n", false},
        {"long text, CR LF past byte 255", std::string(280, 'a') + "\r\nb\nc",
         "\t" + std::string(280, 'a') + "\r\nb\nc", true},
    };
    StartWithStoppedClock();
    SetLogTimeStamp(0);
    RaiseLogIndent();
    for (const ConversionCase &c : cases) {
        SCOPED_TRACE(c.name);
        const size_t mark = ReadLog().size();
        EXPECT_EQ(WriteLog(c.text.c_str()), -1);
        WriteLog("Z\n");
        EXPECT_EQ(LogSince(mark), c.written + (c.leavesLineOpen ? "Z\r\n" : "\tZ\r\n"));
    }
}

// Texts longer than 255 bytes convert in a tracked block of 2 x length + 1 bytes (line -1) that
// is given back at the end of the call.
TEST_F(LogFileTest, OnlyLongTextsUseTrackedConversionBuffer) {
    StartWithStoppedClock();
    SetLogTimeStamp(0);
    SetAllocationTracking(-1, 0, 0, 0);
    size_t mark = ReadLog().size();
    WriteLog(std::string(255, 's').c_str());
    EXPECT_EQ(LogSince(mark), std::string(255, 's'));

    WriteLog("\n");
    mark = ReadLog().size();
    WriteLog(std::string(256, 'l').c_str());
    const std::string log = LogSince(mark);
    EXPECT_NE(log.find("mem alloc  \tsize:513(0.501kb)  file:  line:-1  ID:"), std::string::npos) << log;
    EXPECT_NE(log.find("mem free  \tsize:513(0.501kb)  file:  line:-1  ID:"), std::string::npos) << log;
    EXPECT_NE(log.find(std::string(256, 'l')), std::string::npos);
}

TEST_F(LogFileTest, WriteLogLineFormatsAndEndsTheLine) {
    StartWithStoppedClock();
    SetLogTimeStamp(0);
    size_t mark = ReadLog().size();
    EXPECT_EQ(WriteLogLine("%d-%s", 42, "ab"), -1);
    EXPECT_EQ(WriteLogLine("%s", ""), -1);
    EXPECT_EQ(WriteLogLine("has LF\n"), -1);
    EXPECT_EQ(LogSince(mark), "42-ab\r\n\r\nhas LF\r\n\r\n");

    // A formatted text beyond the buffer is cut, and the line is still ended.
    mark = ReadLog().size();
    EXPECT_EQ(WriteLogLine("%s", std::string(3000, 'w').c_str()), -1);
    const std::string longLine = LogSince(mark);
    ASSERT_GE(longLine.size(), 1000u);
    EXPECT_LE(longLine.size(), 1025u);
    EXPECT_EQ(longLine.substr(longLine.size() - 2), "\r\n");
    EXPECT_EQ(longLine.find_first_not_of('w'), longLine.size() - 2);
}

TEST_F(LogFileTest, StartUpEmptiesStaleLog) {
    std::ofstream(LogPath(), std::ios::binary) << "stale text from an earlier run\r\n";
    Start();
    const std::string log = ReadLog();
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log.find("stale"), std::string::npos);
}

TEST_F(LogFileTest, LogSwitchedOffBeforeStartUpWritesNothingAnywhere) {
    SetLogOutputEnabled(0);
    testing::internal::CaptureStderr();
    Start();
    EXPECT_EQ(WriteLog("dropped\n"), -1);
    EXPECT_EQ(WriteLog(std::string(400, 'd').c_str()), -1);
    EXPECT_EQ(WriteLogLine("dropped %d", 1), -1);
    TrackedFree(TrackedAlloc(0, "", 0));  // a 0-byte block is watched by default
    DumpAllocations();
    EndLibrary();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

TEST_F(LogFileTest, SwitchingOffDropsTextsUntilSwitchedOn) {
    StartWithStoppedClock();
    SetLogTimeStamp(0);
    const size_t mark = ReadLog().size();
    WriteLog("kept 1\n");
    SetLogOutputEnabled(0);
    EXPECT_EQ(WriteLog("dropped\n"), -1);
    SetLogOutputEnabled(1);
    WriteLog("kept 2\n");
    EXPECT_EQ(LogSince(mark), "kept 1\r\nkept 2\r\n");
}

// A directory in the way of "Log.txt": start-up and every write go on, the texts are lost, and
// once the way is clear the log is created again.
TEST_F(LogFileTest, UnwritableLogLosesTextsSilently) {
    std::filesystem::create_directory(LogPath());
    Start();
    EXPECT_TRUE(std::filesystem::is_directory(LogPath()));
    EXPECT_EQ(WriteLog("lost\n"), -1);
    EXPECT_EQ(WriteLog(std::string(600, 'l').c_str()), -1);
    EXPECT_EQ(WriteLogLine("lost %d", 2), -1);

    std::filesystem::remove(LogPath());
    SetLogTimeStamp(0);
    WriteLog("after\n");
    EXPECT_EQ(ReadLog(), "after\r\n");
}

TEST_F(LogFileTest, LibraryMessagesAreShiftJis) {
    Start();
    const std::string log = ReadLog();
    EXPECT_NE(log.find(":\t" + kSystemInfo + "\r\n"), std::string::npos);
    EXPECT_NE(log.find(":" + kBufferInit + kCompleted + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find("システム"), std::string::npos);  // no UTF-8 in the file
}

}  // namespace
