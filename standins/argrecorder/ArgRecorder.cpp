// argrecorder.exe: stands in for a program that another program starts (the
// browser behind the shell's "open" of an address, a prerequisite package in
// a kit's redist folder), so that a test can see how it was started.
//
// Each start appends one line to "<own name>-received.txt" beside the
// executable: the command line behind the program's own name, exactly as it
// came (UTF-8, CR LF). The exit code is the number in "<own name>-exitcode.txt"
// beside it, or 0. "<own name>" is the file name without ".exe", so a copy
// renamed to a package's file name records under that name.

#include <windows.h>

#include <cwchar>
#include <string>

namespace
{
std::wstring OwnPathWithoutExtension()
{
    wchar_t path[MAX_PATH];
    DWORD cch = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (cch == 0 || cch >= ARRAYSIZE(path))
        return std::wstring();
    std::wstring text(path, cch);
    size_t dot = text.rfind(L'.');
    size_t separator = text.rfind(L'\\');
    if (dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator))
        text.erase(dot);
    return text;
}

// What follows the program's own name: after the closing quote of a quoted
// name, or after the first blank, and the blanks behind it.
const wchar_t* ArgumentsOf(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine;
    if (*p == L'"')
    {
        ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    }
    else
    {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

int ExitCodeFrom(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char text[32] = "";
    DWORD cbRead = 0;
    ReadFile(file, text, sizeof(text) - 1, &cbRead, nullptr);
    CloseHandle(file);
    text[cbRead] = '\0';
    return atoi(text);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::wstring base = OwnPathWithoutExtension();
    if (base.empty())
        return 1;
    const wchar_t* arguments = ArgumentsOf(GetCommandLineW());
    int cb = WideCharToMultiByte(CP_UTF8, 0, arguments, -1, nullptr, 0, nullptr, nullptr);
    std::string line(cb > 0 ? static_cast<size_t>(cb - 1) : 0, '\0');
    if (cb > 1)
        WideCharToMultiByte(CP_UTF8, 0, arguments, -1, &line[0], cb, nullptr, nullptr);
    line += "\r\n";

    HANDLE file = CreateFileW((base + L"-received.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD cbWritten = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &cbWritten, nullptr);
    CloseHandle(file);
    return ExitCodeFrom(base + L"-exitcode.txt");
}
