// The find operations of the default table: wildcard patterns over a directory resolved like any
// path, names compared ignoring case, Shift-JIS names, sizes, directory flags and local dates.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/path_resolve.h"
#include "core/timing.h"
#include "platform/sjis.h"
#include "file_test_support.h"

using filetest::PatternBytes;
using filetest::Sjis;
using filetest::WriteBytes;

namespace {

// Every name a pattern finds, each with its FileInfo checked against stat().
std::set<std::string> FindAll(const char *pattern, const std::filesystem::path &directory) {
    std::set<std::string> names;
    zq::FileInfo info;
    const intptr_t search = zq::FileFindFirst(pattern, &info);
    if (search == -1) return names;
    do {
        names.insert(info.name);
        char utf8[1024];
        zq::SjisToUtf8(info.name, utf8, sizeof utf8);
        struct stat st;
        EXPECT_EQ(stat((directory / utf8).c_str(), &st), 0) << utf8;
        EXPECT_EQ(info.isDirectory, S_ISDIR(st.st_mode) ? 1 : 0) << utf8;
        EXPECT_EQ(info.sizeLow, static_cast<uint32_t>(st.st_size)) << utf8;
        EXPECT_EQ(info.sizeHigh, 0u) << utf8;
        DateRecord written;
        zq::DateFromTime(st.st_mtime, &written);
        EXPECT_EQ(info.lastWritten.year, written.year);
        EXPECT_EQ(info.lastWritten.month, written.month);
        EXPECT_EQ(info.lastWritten.day, written.day);
        EXPECT_EQ(info.lastWritten.hour, written.hour);
        EXPECT_EQ(info.lastWritten.minute, written.minute);
        EXPECT_EQ(info.lastWritten.second, written.second);
        EXPECT_GE(info.created.year, 1970);
    } while (zq::FileFindNext(search, &info) == 0);
    EXPECT_EQ(zq::FileFindNext(search, &info), -1);
    EXPECT_EQ(zq::FileFindEnd(search), 0);
    return names;
}

std::set<std::string> Names(std::initializer_list<const char *> utf8) {
    std::set<std::string> out;
    for (const char *name : utf8) out.insert(Sjis(name));
    return out;
}

}  // namespace

class FileFindTest : public FileLayerTest {
protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        WriteBytes("Data/One.txt", PatternBytes(11, 41));
        WriteBytes("Data/two.TXT", PatternBytes(222, 42));
        WriteBytes("Data/three.bmp", PatternBytes(3333, 43));
        WriteBytes("Data/README", PatternBytes(4, 44));
        WriteBytes("Data/日本語.txt", PatternBytes(5, 45));
        std::filesystem::create_directory("Data/Sub");
        data_ = scratch_ / "Data";
    }
    std::filesystem::path data_;
};

TEST_F(FileFindTest, StarDotExtensionMatchesIgnoringCase) {
    EXPECT_EQ(FindAll("data\\*.txt", data_), Names({"One.txt", "two.TXT", "日本語.txt"}));
    EXPECT_EQ(FindAll("DATA/*.Bmp", data_), Names({"three.bmp"}));
}

TEST_F(FileFindTest, StarAndStarDotStarListEverythingWithDotEntries) {
    const std::set<std::string> all = Names({".", "..", "One.txt", "two.TXT", "three.bmp", "README", "日本語.txt", "Sub"});
    EXPECT_EQ(FindAll("data\\*", data_), all);
    EXPECT_EQ(FindAll("data\\*.*", data_), all);
}

TEST_F(FileFindTest, QuestionMarkIsOneCharacterEvenADoubleByteOne) {
    EXPECT_EQ(FindAll("data\\t?o.txt", data_), Names({"two.TXT"}));
    EXPECT_EQ(FindAll(Sjis("data\\日?語.*").c_str(), data_), Names({"日本語.txt"}));
    EXPECT_EQ(FindAll("data\\???.*", data_), Names({"One.txt", "two.TXT", "Sub", "日本語.txt"}));
}

TEST_F(FileFindTest, APlainNameFindsThatEntryAndDirectoriesAreFlagged) {
    EXPECT_EQ(FindAll("data\\readme", data_), Names({"README"}));
    zq::FileInfo info;
    const intptr_t search = zq::FileFindFirst("DATA\\SUB", &info);
    ASSERT_NE(search, -1);
    EXPECT_STREQ(info.name, "Sub");
    EXPECT_EQ(info.isDirectory, 1);
    EXPECT_EQ(zq::FileFindNext(search, nullptr), -1);
    EXPECT_EQ(zq::FileFindEnd(search), 0);
}

TEST_F(FileFindTest, FindsInTheCurrentDirectoryWithoutASeparator) {
    std::filesystem::current_path(data_);
    EXPECT_EQ(FindAll("*.bmp", data_), Names({"three.bmp"}));
    EXPECT_EQ(FindAll(".\\one.*", data_), Names({"One.txt"}));
}

TEST_F(FileFindTest, NothingMatchingGivesMinusOne) {
    zq::FileInfo info;
    EXPECT_EQ(zq::FileFindFirst("data\\*.wav", &info), -1);
    EXPECT_EQ(zq::FileFindFirst("nowhere\\*", &info), -1);
    EXPECT_EQ(zq::FileFindFirst("data\\", &info), -1);
    EXPECT_EQ(zq::FileFindFirst("data\\*.wav", nullptr), -1);
    EXPECT_EQ(zq::FileFindNext(-1, &info), -1);
    EXPECT_EQ(zq::FileFindEnd(-1), -1);
}

TEST_F(FileFindTest, NullInfoStillAdvances) {
    const intptr_t search = zq::FileFindFirst("data\\*.txt", nullptr);
    ASSERT_NE(search, -1);
    EXPECT_EQ(zq::FileFindNext(search, nullptr), 0);
    EXPECT_EQ(zq::FileFindNext(search, nullptr), 0);
    EXPECT_EQ(zq::FileFindNext(search, nullptr), -1);
    EXPECT_EQ(zq::FileFindEnd(search), 0);
}

TEST(PathResolveTest, SplitsOnBothSeparatorsButNotInsideDoubleByteCharacters) {
    EXPECT_EQ(zq::FileSystemPath("a\\b/c"), "a/b/c");
    EXPECT_EQ(zq::FileSystemPath("\\a\\\\b\\"), "/a/b");
    EXPECT_EQ(zq::FileSystemPath("save\\s.dat"), "save/s.dat");
    EXPECT_EQ(zq::FileSystemPath(Sjis("表\\示").c_str()), "表/示");
    EXPECT_EQ(zq::LastPathSeparator(Sjis("a\\表").c_str()), 1u);
    EXPECT_EQ(zq::LastPathSeparator(Sjis("表").c_str()), std::string::npos);
}

TEST(PathResolveTest, NamesCompareIgnoringCase) {
    EXPECT_TRUE(zq::NamesEqualIgnoringCase("File.TXT", "file.txt"));
    EXPECT_TRUE(zq::NamesEqualIgnoringCase("ＡＢＣ", "ａｂｃ"));
    EXPECT_TRUE(zq::NamesEqualIgnoringCase("Ωmega", "ωMEGA"));
    EXPECT_FALSE(zq::NamesEqualIgnoringCase("file", "files"));
    EXPECT_FALSE(zq::NamesEqualIgnoringCase("\xff", "\xfe"));
    EXPECT_TRUE(zq::NameMatchesPattern("hit.wav", "*.WAV"));
    EXPECT_TRUE(zq::NameMatchesPattern("abcabd", "*abd"));
    EXPECT_TRUE(zq::NameMatchesPattern("README", "readme.*"));
    EXPECT_FALSE(zq::NameMatchesPattern("README", "read"));
}

// A directory that had been left alone for a while keeps its listing between lookups; adding,
// renaming or removing an entry changes its time, so the next lookup sees the change. A directory
// changed just now is read on every lookup. Both ways give what a fresh read would.
TEST_F(FileFindTest, CaseInsensitiveLookupsFollowChangesToTheDirectory) {
    namespace fs = std::filesystem;
    for (const bool settled : {true, false}) {
        SCOPED_TRACE(settled ? "settled" : "changed just now");
        const fs::path dir = scratch_ / (settled ? "Old" : "New");
        fs::create_directory(dir);
        WriteBytes((dir / "Picture.BMP").string(), PatternBytes(3, 1));
        const auto age = [&] {
            if (settled) fs::last_write_time(dir, fs::file_time_type::clock::now() - std::chrono::hours(1));
        };
        age();
        const std::string base = dir.string() + "/";
        EXPECT_EQ(zq::ResolveFilePath((base + "PICTURE.bmp").c_str()), base + "Picture.BMP");
        EXPECT_EQ(zq::ResolveFilePath((base + "picture_a.bmp").c_str()), base + "picture_a.bmp");

        WriteBytes((dir / "Picture_A.bmp").string(), PatternBytes(3, 2));
        age();
        EXPECT_EQ(zq::ResolveFilePath((base + "picture_a.bmp").c_str()), base + "Picture_A.bmp");
        fs::rename(dir / "Picture.BMP", dir / "other.bmp");
        age();
        EXPECT_EQ(zq::ResolveFilePath((base + "PICTURE.bmp").c_str()), base + "PICTURE.bmp");
        EXPECT_EQ(zq::ResolveFilePath((base + "OTHER.BMP").c_str()), base + "other.bmp");
        fs::remove(dir / "Picture_A.bmp");
        age();
        EXPECT_EQ(zq::ResolveFilePath((base + "picture_a.bmp").c_str()), base + "picture_a.bmp");
    }
}
