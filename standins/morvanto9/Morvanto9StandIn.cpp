// Stand-in for the product's setup executable.
//
// Every run overwrites "morvanto9-received.txt" beside the executable with
// the exact command line it got (UTF-16LE after a byte-order mark), so that
// tests and the demo can check it byte for byte. A silent or recording run
// (a "/s" or "/r" argument) ends at once with 0; a full-UI run shows the
// command line in a window and ends with 0 when that window is closed, which
// lets a test keep the bootstrapper waiting for as long as it needs.
//
// A control file "morvanto9-control.ini" beside the executable makes it
// misbehave after recording its command line, as a broken setup would:
//   [Behaviour]
//   Crash=1       ends with an unhandled access violation
//   HangMs=<ms>   keeps running for that long, or until someone signals the
//                 event "Morvanto9StandIn.Release", then goes on as usual

#include <windows.h>
#include <shellapi.h>

#include <strsafe.h>

namespace
{
constexpr wchar_t kRecordName[] = L"morvanto9-received.txt";
constexpr wchar_t kControlName[] = L"morvanto9-control.ini";
constexpr wchar_t kReleaseEventName[] = L"Morvanto9StandIn.Release";
constexpr wchar_t kWindowClass[] = L"Morvanto9StandIn";
constexpr wchar_t kWindowTitle[] = L"Zel Morvanto 9.5 Setup (stand-in)";
constexpr int kCloseButtonId = 100;

// A file beside the executable; false when the path does not fit.
bool PathBesideExecutable(const wchar_t* name, wchar_t* path, size_t cchPath)
{
    DWORD cch = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(cchPath));
    if (cch == 0 || cch >= cchPath)
        return false;
    wchar_t* lastSeparator = wcsrchr(path, L'\\');
    if (lastSeparator == nullptr)
        return false;
    lastSeparator[1] = L'\0';
    return SUCCEEDED(StringCchCatW(path, cchPath, name));
}

void RecordCommandLine(const wchar_t* commandLine)
{
    wchar_t path[MAX_PATH];
    if (!PathBesideExecutable(kRecordName, path, ARRAYSIZE(path)))
        return;

    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    static const BYTE byteOrderMark[] = {0xFF, 0xFE};
    DWORD cbWritten = 0;
    WriteFile(file, byteOrderMark, sizeof(byteOrderMark), &cbWritten, nullptr);
    WriteFile(file, commandLine, static_cast<DWORD>(lstrlenW(commandLine) * sizeof(wchar_t)), &cbWritten, nullptr);
    CloseHandle(file);
}

// A decimal setting of the control file; 0 when absent. Read through the
// string function, which the kit's other programs import already.
DWORD ControlNumber(const wchar_t* controlFile, const wchar_t* key)
{
    wchar_t text[16] = L"";
    GetPrivateProfileStringW(L"Behaviour", key, L"", text, ARRAYSIZE(text), controlFile);
    DWORD number = 0;
    for (const wchar_t* digit = text; *digit >= L'0' && *digit <= L'9'; ++digit)
        number = number * 10 + static_cast<DWORD>(*digit - L'0');
    return number;
}

// What the control file asks for, if there is one: a crash, or a hang that
// ends after its time or when the release event is signalled.
void MisbehaveAsTold()
{
    wchar_t path[MAX_PATH];
    if (!PathBesideExecutable(kControlName, path, ARRAYSIZE(path)))
        return;
    if (ControlNumber(path, L"Crash") != 0)
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    const DWORD hangMs = ControlNumber(path, L"HangMs");
    if (hangMs == 0)
        return;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kReleaseEventName);
    if (release == nullptr)
        return;
    WaitForSingleObject(release, hangMs);
    CloseHandle(release);
}

bool IsUnattended(const wchar_t* commandLine)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    if (argv == nullptr)
        return false;
    bool unattended = false;
    for (int i = 1; i < argc; ++i)
    {
        if (lstrcmpiW(argv[i], L"/s") == 0 || lstrcmpiW(argv[i], L"/r") == 0)
            unattended = true;
    }
    LocalFree(argv);
    return unattended;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_COMMAND:
        if (LOWORD(wParam) == kCloseButtonId)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int ShowCommandLine(HINSTANCE instance, const wchar_t* commandLine)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);

    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 560, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    CreateWindowExW(0, L"STATIC", L"The product's setup would now run with this command line:",
                    WS_CHILD | WS_VISIBLE, 12, 12, 520, 20, window, nullptr, instance, nullptr);
    CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", commandLine,
                    WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 12, 36, 520, 80, window,
                    nullptr, instance, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 442, 124, 90,
                    26, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseButtonId)), instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        if (!IsDialogMessageW(window, &msg))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const wchar_t* commandLine = GetCommandLineW();
    RecordCommandLine(commandLine);
    MisbehaveAsTold();
    if (IsUnattended(commandLine))
        return 0;
    return ShowCommandLine(instance, commandLine);
}
