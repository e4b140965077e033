// A test fixture that runs the library on the virtual host: every test starts from a stopped
// library with a fresh host, in a scratch directory of its own (the library writes "Log.txt" into
// its start directory, and test programs run in parallel), and the library is shut down and the
// SDL host restored afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/host_virtual.h"
#include "zqlib.h"

class VirtualLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "scratch_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        home_ = std::filesystem::current_path();
        scratch_ = home_ / name;
        std::filesystem::current_path(scratch_);

        zq::InstallHost(&host);
        ChangeWindowMode(1);
        SetScreenMode(640, 480, 16, 60);
        char title[64];
        Utf8ToShiftJis("テスト", title, sizeof title);
        SetWindowTitle(title);
        SetLogOutputEnabled(1);
    }

    void TearDown() override {
        EndLibrary();
        zq::InstallHost(nullptr);
        std::filesystem::current_path(home_);
        std::filesystem::remove_all(scratch_);
    }

    // Starts the library and checks that it started.
    void Start() { ASSERT_EQ(InitLibrary(), 0); }

    zq::VirtualHost host;
    std::filesystem::path home_;
    std::filesystem::path scratch_;
};
