// The application log: "Log.txt" in the start directory, Shift-JIS text, one "%d:" time stamp and
// the indentation TABs per line, CR LF line ends. The file is opened, appended to and closed for
// every text, so it is complete even when the process ends abruptly; a file that cannot be opened
// loses that text and nothing else happens. While the log is on, every text also goes to standard
// error (as UTF-8, for the terminal).
#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/lifecycle.h"
#include "platform/host.h"
#include "platform/sjis.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr const char *kLogFileName = "Log.txt";
constexpr int kStackConversionLimit = 255;  // longer texts convert in a tracked allocation
constexpr int kLineBufferSize = 1024;       // WriteLogLine's formatting buffer

struct LogState {
    int logDisabled = 0;
    char logFileName[256] = "";
    int indentLevel = 0;
    int midLine = 0;
    uint32_t logStart = 0;
    int noTimeStamp = 0;
    std::recursive_mutex lock;  // keeps texts from different threads whole

    char onScreen[kOnScreenLogLines][kOnScreenLogLineSize] = {};
    int onScreenCount = 0;
};

LogState &State() {
    static LogState state;
    return state;
}

// Turns every bare line feed into CR LF, skipping the second bytes of double-byte characters.
// Once a line feed that already follows a CR is met, the rest is taken as it stands.
size_t ConvertLineEnds(const char *text, size_t length, char *out) {
    size_t o = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSjisLeadByte(c)) {
            out[o++] = text[i];
            if (i + 1 < length) out[o++] = text[++i];
            continue;
        }
        if (c == '\n') {
            if (i > 0 && text[i - 1] == '\r') {
                std::memcpy(out + o, text + i, length - i);
                o += length - i;
                break;
            }
            out[o++] = '\r';
        }
        out[o++] = text[i];
    }
    out[o] = '\0';
    return o;
}

void WriteAll(int fd, const char *data, size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n <= 0) return;
        data += n;
        length -= static_cast<size_t>(n);
    }
}

// The debugger output of the original platform: standard error, in UTF-8.
void MirrorToStandardError(const char *sjis) {
    char utf8[4096];
    SjisToUtf8(sjis, utf8, sizeof utf8);
    std::fputs(utf8, stderr);
}

// printf into a line buffer and append the line feed (the text is cut to leave room for it).
void FormatLine(char (&text)[kLineBufferSize], const char *format, va_list args) {
    if (std::vsnprintf(text, sizeof text - 1, format, args) < 0) text[0] = '\0';
    const size_t end = std::strlen(text);
    text[end] = '\n';
    text[end + 1] = '\0';
}

bool LogPath(char *out, size_t size) {
    const char *dir = StartDirectory();
    if (dir[0] == '\0') return false;
    const size_t len = std::strlen(dir);
    const bool slash = len > 0 && dir[len - 1] == '/';
    return std::snprintf(out, size, "%s%s%s", dir, slash ? "" : "/", State().logFileName) < static_cast<int>(size);
}

}  // namespace

void StartLog() {
    LogState &s = State();
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (s.logDisabled) return;
    std::snprintf(s.logFileName, sizeof s.logFileName, "%s", kLogFileName);
    char path[4096];
    if (LogPath(path, sizeof path)) {
        unlink(path);
        const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
    }
    s.indentLevel = 0;
    s.midLine = 0;
    s.logStart = ActiveHost().Milliseconds();
}

bool IsLogWritable() {
    return !State().logDisabled && StartDirectory()[0] != '\0';
}

int LogText(const char *utf8) {
    if (!IsLogWritable()) return -1;
    char sjis[kLineBufferSize * 2];
    Utf8ToSjis(utf8, sjis, sizeof sjis);
    return WriteLog(sjis);
}

int LogLine(const char *utf8Format, ...) {
    if (!IsLogWritable()) return -1;
    char text[kLineBufferSize];
    va_list args;
    va_start(args, utf8Format);
    FormatLine(text, utf8Format, args);
    va_end(args);
    return LogText(text);
}

void ResetOnScreenLog() {
    State().onScreenCount = 0;
}

void AddOnScreenLog(const char *text) {
    LogState &s = State();
    if (s.onScreenCount == kOnScreenLogLines) {
        std::memmove(s.onScreen[0], s.onScreen[1], sizeof s.onScreen[0] * (kOnScreenLogLines - 1));
        --s.onScreenCount;
    }
    std::snprintf(s.onScreen[s.onScreenCount++], kOnScreenLogLineSize, "%s", text);
}

int OnScreenLogCount() { return State().onScreenCount; }

const char *OnScreenLogLine(int index) {
    return index >= 0 && index < State().onScreenCount ? State().onScreen[index] : "";
}

}  // namespace zq

using namespace zq;

extern "C" int SetLogOutputEnabled(int flag) {
    State().logDisabled = (flag == 0);
    return 0;
}

extern "C" int SetLogTimeStamp(int flag) {
    State().noTimeStamp = (flag == 0);
    return 0;
}

extern "C" int RaiseLogIndent(void) {
    ++State().indentLevel;
    return 0;
}

extern "C" int LowerLogIndent(void) {
    if (State().indentLevel > 0) --State().indentLevel;
    return 0;
}

extern "C" int WriteLog(const char *text) {
    if (text == nullptr) return -1;
    LogState &s = State();

    // The conversion buffer is taken and given back outside the log lock: the allocator logs
    // under its own lock, so holding both here in the other order could deadlock.
    const size_t length = std::strlen(text);
    char stackBuffer[2 * kStackConversionLimit + 1];
    char *converted = stackBuffer;
    if (length > kStackConversionLimit) {
        if (length > (INT32_MAX - 1) / 2) return -1;
        converted = static_cast<char *>(TrackedAlloc(static_cast<int>(2 * length + 1), "", -1));
        if (converted == nullptr) return -1;
    }
    const size_t convertedLength = ConvertLineEnds(text, length, converted);

    char path[4096];
    std::unique_lock<std::recursive_mutex> guard(s.lock);
    if (IsLogWritable() && LogPath(path, sizeof path)) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            if (!s.midLine) {
                if (!s.noTimeStamp) {
                    char stamp[16];
                    const int n = std::snprintf(stamp, sizeof stamp, "%d:",
                                                static_cast<int>(ActiveHost().Milliseconds() - s.logStart));
                    WriteAll(fd, stamp, static_cast<size_t>(n));
                }
                if (s.indentLevel > 0) {
                    char tabs[64];
                    const int count = s.indentLevel < 63 ? s.indentLevel : 63;
                    std::memset(tabs, '\t', static_cast<size_t>(count));
                    tabs[count] = '\0';
                    WriteAll(fd, tabs, static_cast<size_t>(count));
                    MirrorToStandardError(tabs);
                }
            }
            WriteAll(fd, converted, convertedLength);
            MirrorToStandardError(converted);
            s.midLine = !(convertedLength > 0 && converted[convertedLength - 1] == '\n');
            close(fd);
        }
    }

    guard.unlock();
    if (converted != stackBuffer) TrackedFree(converted);
    return -1;
}

extern "C" int WriteLogLine(const char *format, ...) {
    char text[kLineBufferSize];
    va_list args;
    va_start(args, format);
    FormatLine(text, format, args);
    va_end(args);
    return WriteLog(text);
}
