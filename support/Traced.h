#pragma once
// The frame every traced operation shares: its entry line, its exit line, and
// an exception that must not escape into the caller.

#include "support/DiagnosticLog.h"
#include "support/FaultGuard.h"

// Writes entryLine, runs body and writes exitLine (none when null) after it.
// An exception is caught instead: exceptionFormat is written with the last
// system error at exceptionSeverity, no exit line follows, and the answer is
// the zero of body's type (0, false, null), which every caller reads as
// "missing", "failed", "no" or "do not go on".
template <typename Body>
auto RunTraced(const char* entryLine, const char* exitLine, unsigned exceptionSeverity, const char* exceptionFormat,
               Body body) -> decltype(body())
{
    using Result = decltype(body());
    LogMessage(kLogInfo, entryLine);
    Result result{};
    if (!RunGuarded(&result, body))
    {
        LogMessage(exceptionSeverity, exceptionFormat, static_cast<int>(GetLastError()));
        return Result{};
    }
    if (exitLine != nullptr)
        LogMessage(kLogInfo, exitLine);
    return result;
}
