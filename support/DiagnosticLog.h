#pragma once
// The bootstrapper's own trace: one UTF-16 text file in the user's temporary
// folder, one timestamped line per event, opened and closed for every line so
// that what was written survives an abrupt end and can be read meanwhile.
// Nothing that happens here reaches the caller: a line that cannot be written
// is lost and the run goes on.

#include <windows.h>

#include <cstddef>

// Severities. Every line up to kLogThreshold is written; the severity never
// shows in the file.
constexpr unsigned kLogInfo = 0;
constexpr unsigned kLogError = 1;
constexpr unsigned kLogThreshold = 7;

constexpr size_t kCchLogPath = 1024;
constexpr size_t kCchLogMessage = 102400;  // a longer formatted message is cut there
constexpr size_t kCchLogLine = 10000;
constexpr size_t kCchLogText = 9900;       // message characters kept on one line
constexpr size_t kCchLogFormat = 1024;     // the longest fixed text is a few hundred

// Formats a printf-style message and writes it as one line. The format is
// 7-bit text, widened before it is used as the platform's wide printf uses it
// ("%s" takes a wide string, "%d" a signed 32-bit number): the log's fixed
// texts are then stored in the executable at half the size (docs/benchmark.md).
// A format longer than kCchLogFormat characters loses the line. Keeps the
// thread's last-error value unchanged, so a caller may log and then still
// report GetLastError.
void LogMessage(unsigned severity, const char* format, ...);

// Writes one finished text as a line. Called only by LogMessage.
void AppendLogLine(unsigned severity, const wchar_t* text);

// Builds "MM/DD/YYYY hh:mm:ss " followed by at most kCchLogText characters of
// message and CR LF. Returns false (line empty) only if cchLine is too small.
bool FormatLogLine(const SYSTEMTIME& time, const wchar_t* message, wchar_t* line, size_t cchLine);

// The log file's path once the first line has been attempted; empty before.
const wchar_t* DiagnosticLogPath();

// Forgets the kept path, so the next line asks for the temporary folder again.
// The product never calls it: the log stays where the first line went. Tests
// use it to give each case a fresh temporary folder.
void ForgetDiagnosticLogPath();
