#include "support/DiagnosticLog.h"

#include "support/FaultGuard.h"
#include "support/Handles.h"

#include <cstdarg>

#include <strsafe.h>

namespace
{
// Kept for the life of the process: a later change of the temporary folder
// does not move the log.
wchar_t g_logPath[kCchLogPath];

constexpr wchar_t kLogFileName[] = L"\\dravo_v9_installhelperBS.csv";

// The temporary folder ends with a backslash and the file name starts with
// one; the platform reads the doubled separator as one.
bool EnsureLogPath()
{
    if (g_logPath[0] != L'\0')
        return true;

    wchar_t tempFolder[kCchLogPath];
    DWORD cch = GetTempPathW(ARRAYSIZE(tempFolder), tempFolder);
    if (cch == 0 || cch >= ARRAYSIZE(tempFolder))
        return false;  // no temporary folder: this line is dropped, the next one retries

    if (FAILED(StringCchPrintfW(g_logPath, ARRAYSIZE(g_logPath), L"%s%s", tempFolder, kLogFileName)))
    {
        g_logPath[0] = L'\0';
        return false;
    }
    return true;
}

// The format widened character by character: its texts are 7-bit. False
// when it does not fit.
bool WidenFormat(const char* format, wchar_t* wide, size_t cchWide)
{
    for (size_t i = 0; i < cchWide; ++i)
    {
        wide[i] = static_cast<unsigned char>(format[i]);
        if (format[i] == '\0')
            return true;
    }
    return false;
}

// Nearly every message fits the part of it that a line keeps, so it is
// formatted on the stack first; only a longer one is formatted again into
// the full buffer. The line is the same either way (its first kCchLogText
// characters), and a run of some hundred lines does not allocate and free
// 200 KB for each.
void FormatAndAppend(unsigned severity, const char* narrowFormat, va_list args)
{
    wchar_t format[kCchLogFormat];
    if (!WidenFormat(narrowFormat, format, ARRAYSIZE(format)))
        return;

    wchar_t shortMessage[kCchLogText + 1];
    va_list pass;
    va_copy(pass, args);
    HRESULT formatted = StringCchVPrintfW(shortMessage, ARRAYSIZE(shortMessage), format, pass);
    va_end(pass);
    if (formatted != STRSAFE_E_INSUFFICIENT_BUFFER)
    {
        AppendLogLine(severity, shortMessage);
        return;
    }

    UniqueLocalMemory message(LocalAlloc(LMEM_FIXED, kCchLogMessage * sizeof(wchar_t)));
    if (!message)
        return;
    wchar_t* text = static_cast<wchar_t*>(message.get());
    va_copy(pass, args);
    // A message longer than the buffer is cut; nothing of the system comes
    // near that size.
    StringCchVPrintfW(text, kCchLogMessage, format, pass);
    va_end(pass);
    AppendLogLine(severity, text);
}

const wchar_t* ZeroIfBelowTen(WORD value)
{
    return value < 10 ? L"0" : L"";
}
}  // namespace

bool FormatLogLine(const SYSTEMTIME& time, const wchar_t* message, wchar_t* line, size_t cchLine)
{
    if (cchLine == 0)
        return false;
    line[0] = L'\0';

    if (FAILED(StringCchPrintfW(line, cchLine, L"%s%d/%s%d/%d %s%d:%s%d:%s%d ",
                                ZeroIfBelowTen(time.wMonth), time.wMonth,
                                ZeroIfBelowTen(time.wDay), time.wDay,
                                time.wYear,
                                ZeroIfBelowTen(time.wHour), time.wHour,
                                ZeroIfBelowTen(time.wMinute), time.wMinute,
                                ZeroIfBelowTen(time.wSecond), time.wSecond)))
    {
        line[0] = L'\0';
        return false;
    }

    if (message == nullptr)
        message = L"";
    size_t cchMessage = 0;
    StringCchLengthW(message, kCchLogMessage, &cchMessage);
    if (cchMessage > kCchLogText)
        cchMessage = kCchLogText;

    if (FAILED(StringCchCatNW(line, cchLine, message, cchMessage)) ||
        FAILED(StringCchCatW(line, cchLine, L"\r\n")))
    {
        line[0] = L'\0';
        return false;
    }
    return true;
}

void AppendLogLine(unsigned severity, const wchar_t* text)
{
    if (!EnsureLogPath())
        return;
    if (severity > kLogThreshold)
        return;

    // Read sharing only: a reader may follow the log while it grows, but a
    // second writer fails to open it and loses its line instead of
    // interleaving with ours.
    UniqueHandle file(CreateFileW(g_logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (!file)
        return;

    DWORD cbWritten = 0;
    if (created)
    {
        static const BYTE byteOrderMark[] = {0xFF, 0xFE};
        WriteFile(file.get(), byteOrderMark, sizeof(byteOrderMark), &cbWritten, nullptr);
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t line[kCchLogLine];
    if (!FormatLogLine(now, text, line, ARRAYSIZE(line)))
        return;

    size_t cchLine = 0;
    StringCchLengthW(line, ARRAYSIZE(line), &cchLine);
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    WriteFile(file.get(), line, static_cast<DWORD>(cchLine * sizeof(wchar_t)), &cbWritten, nullptr);
}

void LogMessage(unsigned severity, const char* format, ...)
{
    if (severity > kLogThreshold)
        return;

    const DWORD lastError = GetLastError();
    va_list args;
    va_start(args, format);
    // A fault while formatting (an argument that is not what the format
    // says) loses the line, never the run.
    RunGuarded([&] { FormatAndAppend(severity, format, args); });
    va_end(args);
    SetLastError(lastError);
}

const wchar_t* DiagnosticLogPath()
{
    return g_logPath;
}

void ForgetDiagnosticLogPath()
{
    g_logPath[0] = L'\0';
}
