// The application log inside the library: start-up of "Log.txt", the library's own messages
// (written in UTF-8 in the source and converted to Shift-JIS on the way out) and the on-screen log.
#pragma once

namespace zq {

// Empties "Log.txt" in the start directory and starts the time stamps (start-up).
void StartLog();
// True when a text written now would reach the file.
bool IsLogWritable();

// Writes a UTF-8 text (converted to Shift-JIS) through WriteLog; returns -1 like WriteLog.
int LogText(const char *utf8);
// Formats a UTF-8 printf text, appends a line feed and writes it; returns -1.
int LogLine(const char *utf8Format, ...) __attribute__((format(printf, 1, 2)));

// On-screen log: up to kOnScreenLogLines lines that the flip draws over the screen.
constexpr int kOnScreenLogLines = 80;
constexpr int kOnScreenLogLineSize = 256;
void ResetOnScreenLog();
void AddOnScreenLog(const char *text);
int OnScreenLogCount();
const char *OnScreenLogLine(int index);

}  // namespace zq
