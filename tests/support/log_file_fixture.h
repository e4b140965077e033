// A fixture for tests that read "Log.txt" back: each test runs the library in a scratch directory
// of its own (so neither a log left by another test nor another test program can interfere), and
// the log settings and allocation tracking are put back to their defaults afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/virtual_library.h"

class LogFileTest : public VirtualLibraryTest {
protected:
    void SetUp() override {
        char name[] = "log_scratch_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        home_ = std::filesystem::current_path();
        scratch_ = home_ / name;
        std::filesystem::current_path(scratch_);
        VirtualLibraryTest::SetUp();
    }

    void TearDown() override {
        VirtualLibraryTest::TearDown();
        SetLogOutputEnabled(1);
        SetLogTimeStamp(1);
        SetAllocationTracking(0, 0, 0, 0);
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(scratch_);
    }

    // Starts the library and stops the virtual clock, so time stamps only move when told to.
    void StartWithStoppedClock() {
        Start();
        host.SetClockStep(0);
    }

    std::filesystem::path LogPath() const { return scratch_ / "Log.txt"; }

    // The whole file as bytes; empty when it does not exist.
    std::string ReadLog() const {
        std::ifstream in(LogPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // What was appended to the log since ReadLog().size() was `mark`.
    std::string LogSince(size_t mark) const {
        const std::string text = ReadLog();
        return mark <= text.size() ? text.substr(mark) : std::string();
    }

    std::filesystem::path home_;
    std::filesystem::path scratch_;
};
