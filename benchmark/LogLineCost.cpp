// bslogline.exe: what one line of the diagnostic log costs the platform, call
// by call, written the way the log's design asks (open, append, close) into
// the log's own file name in the temporary folder, and, for comparison, with
// the file held open. Run by scripts/benchmark.sh; see docs/benchmark.md,
// "Where the time goes". The file is deleted before and after.
//
//   bslogline.exe <lines>

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include <strsafe.h>

namespace
{
double Microseconds()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A line of a typical length: a time stamp and some eighty characters.
constexpr wchar_t kLine[] = L"12/06/2026 10:54:47 SetupBootstrapper.QueryStringValueFromRegistry: called for "
                            L"Software\\Microsoft\\DataAccess\\FullInstallVer\r\n";
constexpr DWORD kCbLine = sizeof(kLine) - sizeof(wchar_t);
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int lines = argc == 2 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 0;
    if (lines < 1)
    {
        std::fwprintf(stderr, L"usage: bslogline.exe <lines>\n");
        return 2;
    }
    wchar_t path[MAX_PATH + 40];
    DWORD cch = GetTempPathW(MAX_PATH, path);
    if (cch == 0 || cch >= MAX_PATH ||
        FAILED(StringCchCatW(path, ARRAYSIZE(path), L"\\dravo_v9_installhelperBS.csv")))
        return 1;
    DeleteFileW(path);

    // The steps of one line, as the log takes them.
    double open = 0, time = 0, seek = 0, write = 0, close = 0;
    const double start = Microseconds();
    for (int i = 0; i < lines; ++i)
    {
        const double t0 = Microseconds();
        HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 1;
        const double t1 = Microseconds();
        SYSTEMTIME now;
        GetLocalTime(&now);
        const double t2 = Microseconds();
        SetFilePointer(file, 0, nullptr, FILE_END);
        const double t3 = Microseconds();
        DWORD cbWritten = 0;
        WriteFile(file, kLine, kCbLine, &cbWritten, nullptr);
        const double t4 = Microseconds();
        CloseHandle(file);
        const double t5 = Microseconds();
        open += t1 - t0;
        time += t2 - t1;
        seek += t3 - t2;
        write += t4 - t3;
        close += t5 - t4;
    }
    const double perLine = (Microseconds() - start) / lines;
    DeleteFileW(path);

    // The same lines into a file held open: what the opening and closing cost.
    const double heldStart = Microseconds();
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    for (int i = 0; i < lines; ++i)
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        DWORD cbWritten = 0;
        WriteFile(file, kLine, kCbLine, &cbWritten, nullptr);
    }
    CloseHandle(file);
    const double heldPerLine = (Microseconds() - heldStart) / lines;
    DeleteFileW(path);

    std::wprintf(L"log line, mean of %d: %.1f us  (CreateFileW %.1f, GetLocalTime %.1f, SetFilePointer %.1f, "
                 L"WriteFile %.1f, CloseHandle %.1f); into a file held open %.1f us\n",
                 lines, perLine, open / lines, time / lines, seek / lines, write / lines, close / lines, heldPerLine);
    return 0;
}
