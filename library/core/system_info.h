// Facts about this machine, gathered once during start-up and written to the log.
#pragma once

#include <cstdint>

namespace zq {

struct SystemInfo {
    int osCode;
    char osDescription[256];
    int hasMmx, hasSse, hasSse2;
    int hasTimeStampCounter;
    int64_t cyclesPerSecond;
    int cpuMhz;
    char cpuName[64];
};

// This system's code in the OS code field: the library runs on Linux.
constexpr int kOsCodeLinux = 0x200;

// Gathers and logs the system information (start-up).
void RunSystemInfoStep();
const SystemInfo &GetSystemInfo();

struct MemoryStatus {
    uint64_t totalBytes, availableBytes;
};
MemoryStatus ReadMemoryStatus();

}  // namespace zq
