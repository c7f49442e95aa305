// Stand-in for the product's setup executable: a small setup in the manner of
// the InstallShield setups it replaces, which installs the product's package
// "morvanto9.msi" from its own folder through the Windows Installer.
//
// Every run first overwrites "morvanto9-received.txt" beside the executable
// with the exact command line it got (UTF-16LE after a byte-order mark), so
// that tests and the demo can check it byte for byte.
//
// A control file "morvanto9-control.ini" beside the executable then makes it
// misbehave, as a broken setup would:
//   [Behaviour]
//   Crash=1       ends with an unhandled access violation
//   HangMs=<ms>   keeps running for that long, or until someone signals the
//                 event "Morvanto9StandIn.Release", then goes on as usual
//
// With the package beside it, it runs the system's msiexec.exe on it and ends
// with msiexec's exit code. Its switches (names without case):
//   /s          silent: msiexec gets /qn; property answers come from the /f1
//               file when that exists
//   /r          recording: msiexec shows its UI; the property answers are
//               written to the /f1 file when it has ended. Wins over /s
//   /f1<file>   the answers file, relative to the current folder
//   /v<text>    text for msiexec's command line: the argument's quotes come
//               off and \" stands for a quote, as with CommandLineToArgvW
// Every other argument (the language switch -l<LCID>, a loose /qn) is left
// alone: the package takes its language from the ProductLanguage property.
//
// Without the package it installs nothing: a silent or recording run ends at
// once with 0; a full-UI run shows the command line in a window and ends
// with 0 when that window is closed, which lets a test keep the bootstrapper
// waiting for as long as it needs.

#include <windows.h>
#include <shellapi.h>

#include <initializer_list>

#include <strsafe.h>

namespace
{
constexpr wchar_t kRecordName[] = L"morvanto9-received.txt";
constexpr wchar_t kControlName[] = L"morvanto9-control.ini";
constexpr wchar_t kPackageName[] = L"morvanto9.msi";
constexpr wchar_t kReleaseEventName[] = L"Morvanto9StandIn.Release";
constexpr wchar_t kWindowClass[] = L"Morvanto9StandIn";
constexpr wchar_t kWindowTitle[] = L"Zel Morvanto 9.5 Setup (stand-in)";
constexpr int kCloseButtonId = 100;

// The answers file is an InstallShield response file: its header, then the
// properties that the recorded installation was given.
constexpr wchar_t kAnswersHeaderSection[] = L"InstallShield Silent";
constexpr wchar_t kAnswersSection[] = L"Msiexec";
constexpr wchar_t kAnswersKey[] = L"Properties";

// The longest command line CreateProcess takes.
constexpr size_t kCchCommandLine = 32768;
constexpr size_t kCchAnswers = 4096;

class UniqueHandle
{
public:
    explicit UniqueHandle(HANDLE handle) noexcept : m_handle(handle) {}
    ~UniqueHandle()
    {
        if (m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class UniqueArgv
{
public:
    explicit UniqueArgv(const wchar_t* commandLine) noexcept : m_argv(CommandLineToArgvW(commandLine, &m_argc)) {}
    ~UniqueArgv() { LocalFree(m_argv); }
    UniqueArgv(const UniqueArgv&) = delete;
    UniqueArgv& operator=(const UniqueArgv&) = delete;

    int count() const noexcept { return m_argv != nullptr ? m_argc : 0; }
    const wchar_t* operator[](int i) const noexcept { return m_argv[i]; }

private:
    int m_argc = 0;
    wchar_t** m_argv;
};

// What the command line asks for. Big buffers: one static instance.
struct Switches
{
    bool silent;
    bool recording;
    wchar_t answersFile[MAX_PATH];
    wchar_t msiexecText[kCchCommandLine];  // the /v texts, each after a space
};
Switches g_switches;

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

    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    static const BYTE byteOrderMark[] = {0xFF, 0xFE};
    DWORD cbWritten = 0;
    WriteFile(file.get(), byteOrderMark, sizeof(byteOrderMark), &cbWritten, nullptr);
    WriteFile(file.get(), commandLine, static_cast<DWORD>(lstrlenW(commandLine) * sizeof(wchar_t)), &cbWritten,
              nullptr);
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
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, kReleaseEventName));
    if (release)
        WaitForSingleObject(release.get(), hangMs);
}

// Switch names are short: that many characters of the argument are compared.
bool HasPrefix(const wchar_t* text, const wchar_t* prefix)
{
    wchar_t head[8];
    return SUCCEEDED(StringCchCopyNW(head, ARRAYSIZE(head), text, static_cast<size_t>(lstrlenW(prefix)))) &&
           lstrcmpiW(head, prefix) == 0;
}

// Wine's msiexec (8.0) reads "/L*v"<file>"" as the log modes "*v<file>" and
// takes the next argument for the file, which swallows that argument and
// logs nowhere. A log switch that runs into a quote therefore gets a space
// before it: "/L*v "<file>"", msiexec's documented form.
HRESULT AppendMsiexecText(const wchar_t* text, wchar_t* commandLine, size_t cchCommandLine)
{
    HRESULT hr = StringCchCatW(commandLine, cchCommandLine, L" ");
    bool inQuotes = false;
    for (const wchar_t* at = text; *at != L'\0' && SUCCEEDED(hr); ++at)
    {
        const bool tokenStart = !inQuotes && (at == text || at[-1] == L' ');
        if (*at == L'"')
            inQuotes = !inQuotes;
        if (tokenStart && (at[0] == L'/' || at[0] == L'-') && (at[1] == L'l' || at[1] == L'L'))
        {
            const wchar_t* modes = at + 2;
            while (*modes != L'\0' && *modes != L'"' && *modes != L' ')
                ++modes;
            if (*modes == L'"')
            {
                const size_t cchSwitch = static_cast<size_t>(modes - at);
                hr = StringCchCatNW(commandLine, cchCommandLine, at, cchSwitch);
                if (SUCCEEDED(hr))
                    hr = StringCchCatW(commandLine, cchCommandLine, L" ");
                at = modes - 1;
                continue;
            }
        }
        hr = StringCchCatNW(commandLine, cchCommandLine, at, 1);
    }
    return hr;
}

// False when the command line cannot be split or its /v texts do not fit.
bool ReadSwitches(const wchar_t* commandLine, Switches* switches)
{
    UniqueArgv argv(commandLine);
    if (argv.count() == 0)
        return false;
    for (int i = 1; i < argv.count(); ++i)
    {
        const wchar_t* argument = argv[i];
        if (lstrcmpiW(argument, L"/s") == 0)
            switches->silent = true;
        else if (lstrcmpiW(argument, L"/r") == 0)
            switches->recording = true;
        else if (HasPrefix(argument, L"/f1"))
        {
            // The profile functions would look for a bare name in the
            // Windows folder.
            const DWORD cch = GetFullPathNameW(argument + 3, ARRAYSIZE(switches->answersFile),
                                               switches->answersFile, nullptr);
            if (cch == 0 || cch >= ARRAYSIZE(switches->answersFile))
                switches->answersFile[0] = L'\0';
        }
        else if (HasPrefix(argument, L"/v") &&
                 FAILED(AppendMsiexecText(argument + 2, switches->msiexecText, ARRAYSIZE(switches->msiexecText))))
            return false;
    }
    if (switches->recording)
        switches->silent = false;
    return true;
}

// The property assignments among msiexec's arguments ("NAME=value", quotes
// and all), each after a space: what a recording keeps.
void CollectProperties(const wchar_t* text, wchar_t* properties, size_t cchProperties)
{
    properties[0] = L'\0';
    const wchar_t* at = text;
    while (*at != L'\0')
    {
        while (*at == L' ')
            ++at;
        const wchar_t* start = at;
        bool inQuotes = false;
        bool assignment = false;
        while (*at != L'\0' && (inQuotes || *at != L' '))
        {
            if (*at == L'"')
                inQuotes = !inQuotes;
            else if (*at == L'=' && !inQuotes)
                assignment = true;
            ++at;
        }
        if (at > start && assignment && *start != L'/' && *start != L'-')
        {
            StringCchCatW(properties, cchProperties, L" ");
            StringCchCatNW(properties, cchProperties, start, static_cast<size_t>(at - start));
        }
    }
}

void WriteAnswers(const wchar_t* answersFile, const wchar_t* msiexecText)
{
    static wchar_t properties[kCchAnswers];
    CollectProperties(msiexecText, properties, ARRAYSIZE(properties));
    WritePrivateProfileStringW(kAnswersHeaderSection, L"Version", L"v7.00", answersFile);
    WritePrivateProfileStringW(kAnswersHeaderSection, L"File", L"Response File", answersFile);
    WritePrivateProfileStringW(kAnswersSection, kAnswersKey, properties[0] == L' ' ? properties + 1 : properties,
                               answersFile);
}

// The recorded properties go first: msiexec takes a property's last value,
// so the command line's own /v texts still win.
HRESULT AppendAnswers(const wchar_t* answersFile, wchar_t* commandLine, size_t cchCommandLine)
{
    if (GetFileAttributesW(answersFile) == INVALID_FILE_ATTRIBUTES)
        return S_OK;
    static wchar_t properties[kCchAnswers];
    GetPrivateProfileStringW(kAnswersSection, kAnswersKey, L"", properties, ARRAYSIZE(properties), answersFile);
    if (properties[0] == L'\0')
        return S_OK;
    HRESULT hr = StringCchCatW(commandLine, cchCommandLine, L" ");
    return SUCCEEDED(hr) ? StringCchCatW(commandLine, cchCommandLine, properties) : hr;
}

// Runs msiexec on the package and answers its exit code, or the platform's
// error code when it cannot be started.
DWORD InstallPackage(const wchar_t* packagePath, const Switches& switches)
{
    static wchar_t commandLine[kCchCommandLine];
    wchar_t msiexecPath[MAX_PATH];
    const UINT cchSystem = GetSystemDirectoryW(msiexecPath, ARRAYSIZE(msiexecPath));
    if (cchSystem == 0 || cchSystem >= ARRAYSIZE(msiexecPath) ||
        FAILED(StringCchCatW(msiexecPath, ARRAYSIZE(msiexecPath), L"\\msiexec.exe")))
        return ERROR_BUFFER_OVERFLOW;

    HRESULT hr = StringCchCopyW(commandLine, ARRAYSIZE(commandLine), L"\"");
    for (const wchar_t* part : {static_cast<const wchar_t*>(msiexecPath), L"\" /i \"", packagePath, L"\""})
    {
        if (SUCCEEDED(hr))
            hr = StringCchCatW(commandLine, ARRAYSIZE(commandLine), part);
    }
    if (SUCCEEDED(hr) && switches.silent && switches.answersFile[0] != L'\0')
        hr = AppendAnswers(switches.answersFile, commandLine, ARRAYSIZE(commandLine));
    if (SUCCEEDED(hr))
        hr = StringCchCatW(commandLine, ARRAYSIZE(commandLine), switches.msiexecText);
    if (SUCCEEDED(hr) && switches.silent)
        hr = StringCchCatW(commandLine, ARRAYSIZE(commandLine), L" /qn");
    if (FAILED(hr))
        return ERROR_BUFFER_OVERFLOW;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(msiexecPath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);

    DWORD exitCode = ERROR_INSTALL_FAILURE;
    WaitForSingleObject(processHandle.get(), INFINITE);
    GetExitCodeProcess(processHandle.get(), &exitCode);
    if (switches.recording && switches.answersFile[0] != L'\0')
        WriteAnswers(switches.answersFile, switches.msiexecText);
    return exitCode;
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

    const bool understood = ReadSwitches(commandLine, &g_switches);
    wchar_t packagePath[MAX_PATH];
    const bool packageBeside = PathBesideExecutable(kPackageName, packagePath, ARRAYSIZE(packagePath)) &&
                               GetFileAttributesW(packagePath) != INVALID_FILE_ATTRIBUTES;
    if (packageBeside)
        return understood ? static_cast<int>(InstallPackage(packagePath, g_switches)) : ERROR_INVALID_PARAMETER;
    if (g_switches.silent || g_switches.recording)
        return 0;
    return ShowCommandLine(instance, commandLine);
}
