// A test fixture that runs the library on the virtual host: every test starts from a stopped
// library with a fresh host, and the library is shut down and the SDL host restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include "platform/host_virtual.h"
#include "zqlib.h"

class VirtualLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
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
    }

    // Starts the library and checks that it started.
    void Start() { ASSERT_EQ(InitLibrary(), 0); }

    zq::VirtualHost host;
};
