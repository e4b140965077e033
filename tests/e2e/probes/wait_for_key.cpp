// A small program for the end-to-end tests: starts the library, prints "ready", waits for a key
// with WaitForKey and prints what it returned.
#include <cstdio>

#include "zqlib.h"

int main() {
    ChangeWindowMode(1);
    SetWindowTitle("wait for key");
    SetLogOutputEnabled(0);
    if (InitLibrary() == -1) {
        std::fprintf(stderr, "wait_for_key: %s\n", GetStartupError());
        return -1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    const int result = WaitForKey();
    std::printf("%d\n", result);
    std::fflush(stdout);
    EndLibrary();
    return 0;
}
