// The reference of the silent-run figure: a program that does nothing but
// start the product's setup and wait for it, the way the bootstrapper does
// (CreateProcessW with the platform's search order, then a wait on the
// process handle 1 ms at a time). The setup's command line is whatever
// follows this program's own name on its command line.

#include <windows.h>

namespace
{
// The command line behind the program's own name, quoted or not.
wchar_t* ArgumentsOf(wchar_t* commandLine)
{
    wchar_t* p = commandLine;
    if (*p == L'"')
    {
        for (++p; *p != L'\0' && *p != L'"'; ++p)
        {
        }
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
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    STARTUPINFOW startupInfo;
    ZeroMemory(&startupInfo, sizeof(startupInfo));
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo;
    ZeroMemory(&processInfo, sizeof(processInfo));
    if (!CreateProcessW(nullptr, ArgumentsOf(GetCommandLineW()), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startupInfo, &processInfo))
        return 1;
    while (WaitForSingleObject(processInfo.hProcess, 1) == WAIT_TIMEOUT)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    CloseHandle(processInfo.hThread);
    CloseHandle(processInfo.hProcess);
    return 0;
}
