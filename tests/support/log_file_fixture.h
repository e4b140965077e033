// A fixture for tests that read "Log.txt" back (from the scratch directory each library test runs
// in); the log settings and allocation tracking are put back to their defaults afterwards.
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
    void TearDown() override {
        VirtualLibraryTest::TearDown();
        SetLogOutputEnabled(1);
        SetLogTimeStamp(1);
        SetAllocationTracking(0, 0, 0, 0);
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

};
