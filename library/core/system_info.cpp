// The system information step of start-up: the operating system from uname, the processor's
// features, vendor and name from CPUID, its speed measured with the time-stamp counter against the
// monotonic clock, and the memory totals from sysinfo.
#include "core/system_info.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define ZQ_HAVE_CPUID 1
#endif

#include "core/log.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr const char *kLibraryVersion = "3.01";
// Long enough for a rate good to a fraction of a per cent against a nanosecond clock; a
// millisecond clock would need ten times as long for the same.
constexpr std::chrono::milliseconds kSpeedProbe{10};

SystemInfo &State() {
    static SystemInfo info;
    return info;
}

void DescribeOperatingSystem(SystemInfo &info) {
    struct utsname names;
    info.osCode = kOsCodeLinux;
    if (uname(&names) == 0) {
        std::snprintf(info.osDescription, sizeof info.osDescription, "%s ( Build %s %s )", names.sysname,
                      names.release, names.version);
    } else {
        std::snprintf(info.osDescription, sizeof info.osDescription, "Linux");
    }
}

#ifdef ZQ_HAVE_CPUID
struct CpuFacts {
    char vendor[13];
    char brand[49];
};

void ReadCpu(SystemInfo &info, CpuFacts &facts) {
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    std::memcpy(facts.vendor + 0, &b, 4);
    std::memcpy(facts.vendor + 4, &d, 4);
    std::memcpy(facts.vendor + 8, &c, 4);
    facts.vendor[12] = '\0';
    if (a >= 1) {
        __cpuid(1, a, b, c, d);
        info.hasTimeStampCounter = (d >> 4) & 1;
        info.hasMmx = (d >> 23) & 1;
        info.hasSse = info.hasMmx && ((d >> 25) & 1);
        info.hasSse2 = info.hasSse && ((d >> 26) & 1);
    }
    facts.brand[0] = '\0';
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
        unsigned words[12];
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __cpuid(0x80000002u + leaf, words[leaf * 4], words[leaf * 4 + 1], words[leaf * 4 + 2], words[leaf * 4 + 3]);
        }
        std::memcpy(facts.brand, words, 48);
        facts.brand[48] = '\0';
    }
}

// Counts time-stamp ticks over a short spin of the real monotonic clock and scales them to a second.
void MeasureSpeed(SystemInfo &info) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const uint64_t before = __rdtsc();
    Clock::duration elapsed;
    do {
        elapsed = Clock::now() - start;
    } while (elapsed < kSpeedProbe);
    const uint64_t difference = __rdtsc() - before;
    const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    info.cyclesPerSecond = static_cast<int64_t>(static_cast<double>(difference) * 1e9 / static_cast<double>(nanoseconds));
    info.cpuMhz = static_cast<int>(info.cyclesPerSecond / 1000000);
    LogLine("ＣＰＵ動作速度：大体%.2fGHz", info.cpuMhz / 1000.0);
}
#endif

}  // namespace

void RunSystemInfoStep() {
    SystemInfo &info = State();
    info = SystemInfo{};
    RaiseLogIndent();
    LogText("システムの情報を出力します\n");
    LogLine("ＺＱライブラリ Ver%s", kLibraryVersion);

    DescribeOperatingSystem(info);
    LogText("ＯＳ  ");
    LogLine("%s", info.osDescription);

#ifdef ZQ_HAVE_CPUID
    CpuFacts facts;
    ReadCpu(info, facts);
    if (info.hasTimeStampCounter) MeasureSpeed(info);
    if (!info.hasMmx) {
        LogText("ＭＭＸは使えません\n");
    } else {
        LogText("ＭＭＸ命令を使用します\n");
        if (info.hasSse) LogText("ＳＳＥ命令が使用可能です\n");
        if (info.hasSse2) LogText("ＳＳＥ２命令が使用可能です\n");
    }
    LogText("ＣＰＵベンダ：");
    LogLine("%s", facts.vendor);
    if (facts.brand[0] != '\0') {
        const char *name = facts.brand;
        while (*name == ' ') ++name;  // brand strings are often padded on the left
        LogLine("ＣＰＵ名：%s", name);
        std::snprintf(info.cpuName, sizeof info.cpuName, "%s", name);
    }
#else
    LogText("ＣＰＵＩＤ命令は使えません\n");
#endif
    LowerLogIndent();
}

const SystemInfo &GetSystemInfo() { return State(); }

MemoryStatus ReadMemoryStatus() {
    struct sysinfo facts;
    if (sysinfo(&facts) != 0) return {0, 0};
    return {static_cast<uint64_t>(facts.totalram) * facts.mem_unit,
            static_cast<uint64_t>(facts.freeram + facts.bufferram) * facts.mem_unit};
}

}  // namespace zq
