// Helpers for the file access layer's tests: files made in the scratch directory, Shift-JIS
// paths, the tracked allocator's totals read from its dump, and the process's thread count.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/plain_file_stream.h"
#include "support/log_file_fixture.h"
#include "zqlib.h"

namespace filetest {

struct Totals {
    int size;
    int count;
    bool operator==(const Totals &other) const { return size == other.size && count == other.count; }
};

inline std::string Sjis(const char *utf8) {
    char out[1024];
    Utf8ToShiftJis(utf8, out, sizeof out);
    return out;
}

// Bytes that differ from their neighbours and from their position, so a misplaced read shows.
inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<uint8_t>(x >> 11);
    }
    return bytes;
}

inline void WriteBytes(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline int ThreadCount() {
    int count = 0;
    DIR *dir = opendir("/proc/self/task");
    if (dir == nullptr) return -1;
    while (const dirent *entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
}

}  // namespace filetest

// The library's scratch-directory fixture, not started: every file operation must work before
// InitLibrary. Tests that read the log or the allocation totals start it.
class FileLayerTest : public LogFileTest {
protected:
    void TearDown() override {
        zq::HoldFileAccessReads(false);
        zq::SetFileStreamTable(nullptr);
        LogFileTest::TearDown();
    }

    filetest::Totals ReadTotals() {
        const size_t mark = ReadLog().size();
        DumpAllocations();
        const std::string dump = LogSince(mark);
        filetest::Totals t = {-1, -1};
        const size_t at = dump.rfind("Total size:");
        if (at != std::string::npos) std::sscanf(dump.c_str() + at, "Total size:%d(%*fkb)  Alloc num:%d", &t.size, &t.count);
        return t;
    }

    // True when the log gained no line since `mark`.
    bool LogUnchangedSince(size_t mark) const { return LogSince(mark).empty(); }
};
