// The reference of the silent-platform figure: every platform call that
// "SetupBootstrapper.exe /s setup.iss" makes in a silent first installation
// with nothing missing, with the same arguments and in the same order, and
// none of the bootstrapper's decisions: what that run decides (the language,
// "not installed", "nothing missing", the setup's command line) is written in
// here. The difference between the bootstrapper and this program is ours, not
// the platform's.
//
// The order comes from a relay trace of the bootstrapper's own calls in the
// bench's prefix, the lines from that run's log; docs/benchmark.md ("The
// silent run's platform reference") lists both. Line n of kLogLines is line n
// of the run's log, and each is written the way the log's design asks: open,
// append, close, one line at a time. Where the run's folder or temporary
// folder shows in a line, it is this run's, so that every line has the same
// length as the bootstrapper's in the same kit.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include <strsafe.h>

namespace
{
constexpr size_t kCchText = 1024;
// The log's buffers: a line is its time stamp, its text and CR LF.
constexpr size_t kCchLogLine = 2048;

constexpr wchar_t kLogFileName[] = L"\\dravo_v9_installhelperBS.csv";
constexpr wchar_t kCatalogueName[] = L"languages.ini";
// The setup's command line in a silent run: the answer file as given on our
// command line, the catalogue's English arguments, " /qn", and the
// installer's log in the temporary folder (%s).
constexpr wchar_t kSetupCommandLineFormat[] =
    L"morvanto9.exe /s /f1setup.iss -l1033 /vProductLanguage=1033 /qn /v\"/L*v\\\"%sDRAVO_v9_InstallKitLog.log\\\"";

// The product's three registry readers open their keys this way on every
// Windows after 2000: HKLM strings in the 32-bit view, HKCU in the 64-bit
// view. A string is read into 1024 bytes at most.
constexpr REGSAM kMachineStringAccess = KEY_READ | KEY_WOW64_32KEY;
constexpr REGSAM kUserStringAccess = KEY_READ | KEY_WOW64_64KEY;
constexpr DWORD kCbRegistryString = 1024;
// The catalogue reader's first buffer for the section names, which holds
// this catalogue's.
constexpr DWORD kCchSectionNames = 1024;

// The run's log, line by line. Lines 56 and 107 hold the catalogue's path and
// the setup's command line (%s).
const wchar_t* const kLogLines[] = {
    /*   1 */ L"SetupBootstrapper.IsWindows2K >>",
    /*   2 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*   3 */ L"SetupBootstrapper.IsWindows2K <<",
    /*   4 */ L"MorvantoBootStrapper.LaunchExe >>",
    /*   5 */ L"MorvantoBootStrapper.OSLanguageID >>",
    /*   6 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*   7 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
              L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language\\InstallLanguage",
    /*   8 */ L"SetupBootstrapper.IsWindows2K >>",
    /*   9 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  10 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  11 */ L"SetupBootstrapper.QueryStringValueFromRegistry: value succesfully get, value = 0409",
    /*  12 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /*  13 */ L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:1033",
    /*  14 */ L"MorvantoBootStrapper.OSLanguageID: Determining Desktop language if OS is Vista or later",
    /*  15 */ L"SetupBootstrapper.IsVistaOrLater >>",
    /*  16 */ L"SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later",
    /*  17 */ L"SetupBootstrapper.IsVistaOrLater <<",
    /*  18 */ L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later",
    /*  19 */ L"SetupBootstrapper.DetermineDesktopLanguage >>",
    /*  20 */ L"SetupBootstrapper.DetermineDesktopLanguage: called for langID:1033",
    /*  21 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx >>",
    /*  22 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: called for Control "
              L"Panel\\Desktop\\PreferredUILanguages",
    /*  23 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  24 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  25 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  26 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: failed to open registry value, error "
              L"returned: 2",
    /*  27 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx <<",
    /*  28 */ L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code",
    /*  29 */ L"SetupBootstrapper.DetermineDesktopLanguage <<",
    /*  30 */ L"SetupBootstrapper.GetSupportedLangID >>",
    /*  31 */ L"SetupBootstrapper.GetSupportedLangID: called for language 1033",
    /*  32 */ L"SetupBootstrapper.GetSupportedLangID: this language is English, lang code to be used 1033",
    /*  33 */ L"SetupBootstrapper.GetSupportedLangID <<",
    /*  34 */ L"MorvantoBootStrapper.OSLanguageID: OS Language after convertion to a known language ID is:1033",
    /*  35 */ L"MorvantoBootStrapper.OSLanguageID <<",
    /*  36 */ L"MorvantoBootStrapper.LaunchExe: OS language to be used: 1033",
    /*  37 */ L"MorvantoBootStrapper.IsProductInstalled >>",
    /*  38 */ L"MorvantoBootStrapper.IsProductInstalled: Checking if product with ID "
              L"{CBE19707-CF6D-4819-9574-3DFD568960FA} is installed",
    /*  39 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*  40 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
              L"{CBE19707-CF6D-4819-9574-3DFD568960FA}\\DisplayName",
    /*  41 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  42 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  43 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  44 */ L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry key, error returned: 2",
    /*  45 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /*  46 */ L"MorvantoBootStrapper.IsProductInstalled: Product is not installed",
    /*  47 */ L"MorvantoBootStrapper.IsProductInstalled <<",
    /*  48 */ L"MorvantoBootStrapper.LaunchExe: Morvanto is not installed - showing language selection dialog",
    /*  49 */ L"MorvantoBootStrapper.ShowSelectLanguageDialog >>",
    /*  50 */ L"MorvantoBootStrapper.LaunchExe: this is a silent installation, not showing language selection dialog",
    /*  51 */ L"MorvantoBootStrapper.GetLanguageArgs >>",
    /*  52 */ L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was specified",
    /*  53 */ L"MorvantoBootStrapper.GetLanguageArgs: no silent mode default language was specified, using OS "
              L"language if valid",
    /*  54 */ L"MorvantoBootStrapper.GetOSLanguageArgs >>",
    /*  55 */ L"MorvantoBootStrapper.GetLangArgs >>",
    /*  56 */ L"MorvantoBootStrapper.GetLangArgs: get language 1033 arguments from the %s ini file",
    /*  57 */ L"MorvantoBootStrapper.GetLangArgs: language args to be used:-l1033 /vProductLanguage=1033",
    /*  58 */ L"MorvantoBootStrapper.GetLangArgs <<",
    /*  59 */ L"MorvantoBootStrapper.GetOSLanguageArgs: language args are:-l1033 /vProductLanguage=1033",
    /*  60 */ L"MorvantoBootStrapper.GetOSLanguageArgs <<",
    /*  61 */ L"MorvantoBootStrapper.GetLanguageArgs <<",
    /*  62 */ L"SetupBootstrapper.ShowPrereqDialog >>",
    /*  63 */ L"SetupBootstrapper.ShowPrereqDialog: Determine missing prerequisites",
    /*  64 */ L"SetupBootstrapper.ShowPrereqDialog: Checking if Windows Installer 3.1 is installed",
    /*  65 */ L"IsWIInstalled >>",
    /*  66 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*  67 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2\\DisplayName",
    /*  68 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  69 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  70 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  71 */ L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry key, error returned: 2",
    /*  72 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /*  73 */ L"IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1",
    /*  74 */ L"IsWIInstalled <<",
    /*  75 */ L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 is installed",
    /*  76 */ L"IsDotNet2Installed: >>",
    /*  77 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*  78 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for SOFTWARE\\Microsoft\\NET Framework "
              L"Setup\\NDP\\v2.0.50727\\Install",
    /*  79 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  80 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  81 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  82 */ L"SetupBootstrapper.QueryStringValueFromRegistry: value succesfully get, value = \x0001",
    /*  83 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /*  84 */ L"IsDotNet2Installed: .NET 2.0 is installed",
    /*  85 */ L"IsDotNet2Installed: <<",
    /*  86 */ L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 Language Pack is installed",
    /*  87 */ L"IsDotNet2LPInstalled: >>",
    /*  88 */ L"IsDotNet2LPInstalled: current language is English - no Language pack is required",
    /*  89 */ L"IsDotNet2LPInstalled: <<",
    /*  90 */ L"SetupBootstrapper.ShowPrereqDialog: Checking if MDAC 2.8 is installed",
    /*  91 */ L"IsMDAC28Installed: >>",
    /*  92 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*  93 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
              L"Software\\Microsoft\\DataAccess\\FullInstallVer",
    /*  94 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  95 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  96 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  97 */ L"SetupBootstrapper.QueryStringValueFromRegistry: value succesfully get, value = 2.81.1117.0",
    /*  98 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /*  99 */ L"IsMDAC28Installed: MDAC 2.81.1117.0 is installed",
    /* 100 */ L"IsMDAC28Installed: <<",
    /* 101 */ L"SetupBootstrapper.ShowPrereqDialog: determining if the prerequisites dialog should be displayed or not",
    /* 102 */ L"SetupBootstrapper.ShowPrereqDialog: Prerequisites dialog not displayed because no missing "
              L"prerequisite was found",
    /* 103 */ L"SetupBootstrapper.ShowPrereqDialog <<",
    /* 104 */ L"MorvantoBootStrapper.LaunchExe: running installation in silent mode with args:-l1033 "
              L"/vProductLanguage=1033 /qn",
    /* 105 */ L"MorvantoBootStrapper.CreateMsiexecProcess >>",
    /* 106 */ L"MorvantoBootStrapper.CreateMsiexecProcess: running in silent mode",
    /* 107 */ L"MorvantoBootStrapper.CreateMsiexecProcess: Running: morvanto9.exe with args: %s",
    /* 108 */ L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for process to end",
    /* 109 */ L"MorvantoBootStrapper.CreateMsiexecProcess: Process ended",
    /* 110 */ L"MorvantoBootStrapper.CreateMsiexecProcess <<",
    /* 111 */ L"MorvantoBootStrapper.LaunchExe <<",
    /* 112 */ L"SetupBootStrapper.WinMain: Deleting resources after installation",
};
constexpr int kLogLineCount = static_cast<int>(ARRAYSIZE(kLogLines));

// Created before WinMain and held until the process ends, as the product's
// single-instance guard does; a second instance is not part of this run.
class InstanceMutex
{
public:
    InstanceMutex()
    {
        SetLastError(ERROR_SUCCESS);
        m_mutex = CreateMutexW(nullptr, FALSE, L"Global\\Zel_Morvanto9i");
    }
    ~InstanceMutex()
    {
        if (m_mutex != nullptr)
            CloseHandle(m_mutex);
    }
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

private:
    HANDLE m_mutex = nullptr;
};

InstanceMutex g_instanceMutex;

class DiagnosticLog
{
public:
    // Lines first to last of kLogLines, as they stand.
    void Lines(int first, int last)
    {
        for (int n = first; n <= last; ++n)
            Write(kLogLines[n - 1]);
    }

    // Line n, with the value where it has %s.
    void Line(int n, const wchar_t* value)
    {
        wchar_t text[kCchLogLine];
        if (SUCCEEDED(StringCchPrintfW(text, ARRAYSIZE(text), kLogLines[n - 1], value)))
            Write(text);
    }

private:
    void Write(const wchar_t* text)
    {
        // The temporary folder is asked for once, at the first line; the
        // doubled separator is the bootstrapper's, so the path is too.
        if (m_path[0] == L'\0')
        {
            wchar_t tempFolder[kCchText];
            DWORD cch = GetTempPathW(ARRAYSIZE(tempFolder), tempFolder);
            if (cch == 0 || cch >= ARRAYSIZE(tempFolder) ||
                FAILED(StringCchPrintfW(m_path, ARRAYSIZE(m_path), L"%s%s", tempFolder, kLogFileName)))
            {
                m_path[0] = L'\0';
                return;
            }
        }
        HANDLE file = CreateFileW(m_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
        if (file == INVALID_HANDLE_VALUE)
            return;
        DWORD cbWritten = 0;
        if (created)
        {
            static const BYTE byteOrderMark[] = {0xFF, 0xFE};
            WriteFile(file, byteOrderMark, sizeof(byteOrderMark), &cbWritten, nullptr);
        }
        SYSTEMTIME now;
        GetLocalTime(&now);
        wchar_t line[kCchLogLine];
        size_t cchLine = 0;
        if (SUCCEEDED(StringCchPrintfW(line, ARRAYSIZE(line), L"%02u/%02u/%u %02u:%02u:%02u %s\r\n", now.wMonth,
                                       now.wDay, now.wYear, now.wHour, now.wMinute, now.wSecond, text)) &&
            SUCCEEDED(StringCchLengthW(line, ARRAYSIZE(line), &cchLine)))
        {
            SetFilePointer(file, 0, nullptr, FILE_END);
            WriteFile(file, line, static_cast<DWORD>(cchLine * sizeof(wchar_t)), &cbWritten, nullptr);
        }
        CloseHandle(file);
    }

    wchar_t m_path[kCchText] = L"";
};

void QueryOsVersion()
{
    OSVERSIONINFOW versionInfo;
    ZeroMemory(&versionInfo, sizeof(versionInfo));
    versionInfo.dwOSVersionInfoSize = sizeof(versionInfo);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    GetVersionExW(&versionInfo);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

HKEY OpenKey(HKEY root, const wchar_t* subKey, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void QueryString(HKEY key, const wchar_t* valueName)
{
    BYTE data[kCbRegistryString];
    DWORD cbData = sizeof(data);
    DWORD type = 0;
    if (key != nullptr)
        RegQueryValueExW(key, valueName, nullptr, &type, data, &cbData);
}

void CloseKey(HKEY key)
{
    if (key != nullptr)
        RegCloseKey(key);
}

// Libraries loaded by name come from our own folder, never from the current
// directory; looked up, as the bootstrapper does, for Windows 2000's sake.
void TakeCurrentDirectoryOutOfDllSearch()
{
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr)
        return;
    auto setDllDirectory =
        reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDllDirectoryW")));
    if (setDllDirectory == nullptr)
        return;
    wchar_t ownFolder[kCchText];
    DWORD cch = GetModuleFileNameW(nullptr, ownFolder, ARRAYSIZE(ownFolder));
    wchar_t* lastBackslash = cch > 0 && cch < ARRAYSIZE(ownFolder) ? std::wcsrchr(ownFolder, L'\\') : nullptr;
    if (lastBackslash != nullptr)
        lastBackslash[1] = L'\0';
    else
        ownFolder[0] = L'\0';
    setDllDirectory(ownFolder);
}
}  // namespace

static_assert(ARRAYSIZE(kLogLines) == 112, "the run's log has 112 lines");

// The numbers are those of the run's log lines written between two calls.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TakeCurrentDirectoryOutOfDllSearch();

    // The catalogue is looked for in the current directory.
    wchar_t iniFile[kCchText] = L"";
    wchar_t currentDirectory[kCchText];
    DWORD cchDirectory = GetCurrentDirectoryW(kCchText - 1, currentDirectory);
    if (cchDirectory > 0 && cchDirectory < kCchText - 1)
        StringCchPrintfW(iniFile, ARRAYSIZE(iniFile), L"%s\\%s", currentDirectory, kCatalogueName);

    int argc = 0;
    HLOCAL argv = CommandLineToArgvW(GetCommandLineW(), &argc);

    DiagnosticLog log;
    // Not Windows 2000: no XML parser to prepare.
    log.Lines(1, 1);
    QueryOsVersion();
    // The installation language (0409), as every HKLM string is read: the
    // reader's own Windows 2000 check first, then open, query, close.
    log.Lines(2, 8);
    QueryOsVersion();
    log.Lines(9, 10);
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", kMachineStringAccess);
    QueryString(key, L"InstallLanguage");
    CloseKey(key);
    // Vista or later, so the desktop language too, which Wine does not set:
    // the value is missing, and the key is closed after that line.
    log.Lines(11, 15);
    QueryOsVersion();
    log.Lines(16, 23);
    QueryOsVersion();
    log.Lines(24, 25);
    key = OpenKey(HKEY_CURRENT_USER, L"Control Panel\\Desktop", kUserStringAccess);
    QueryString(key, L"PreferredUILanguages");
    log.Lines(26, 26);
    CloseKey(key);
    // The product's uninstall entry: there is no key.
    log.Lines(27, 41);
    QueryOsVersion();
    log.Lines(42, 43);
    key = OpenKey(HKEY_LOCAL_MACHINE,
                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{CBE19707-CF6D-4819-9574-3DFD568960FA}",
                  kMachineStringAccess);
    QueryString(key, L"DisplayName");
    CloseKey(key);
    // The catalogue: its first section, English, is the OS language's.
    log.Lines(44, 55);
    log.Line(56, iniFile);
    HLOCAL sectionNames = LocalAlloc(LPTR, kCchSectionNames * sizeof(wchar_t));
    if (sectionNames != nullptr)
    {
        const wchar_t* firstSection = static_cast<const wchar_t*>(sectionNames);
        GetPrivateProfileSectionNamesW(static_cast<wchar_t*>(sectionNames), kCchSectionNames, iniFile);
        wchar_t productLanguage[kCchText];
        GetPrivateProfileStringW(firstSection, L"ProductLanguage", L"", productLanguage, kCchText, iniFile);
        wchar_t command[kCchText];
        GetPrivateProfileStringW(firstSection, L"Command", L"", command, kCchText, iniFile);
        LocalFree(sectionNames);
    }
    // Windows Installer 3.1: no KB893803v2 entry, and a Windows that has it
    // built in (the version is asked again to judge).
    log.Lines(57, 68);
    QueryOsVersion();
    log.Lines(69, 70);
    key = OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2",
                  kMachineStringAccess);
    QueryString(key, L"DisplayName");
    CloseKey(key);
    log.Lines(71, 72);
    QueryOsVersion();
    // .NET Framework 2.0: Install is there. Its language pack is not asked
    // for an English machine.
    log.Lines(73, 79);
    QueryOsVersion();
    log.Lines(80, 81);
    key = OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727",
                  kMachineStringAccess);
    QueryString(key, L"Install");
    CloseKey(key);
    // MDAC: FullInstallVer is 2.81, so the rollback value is not read.
    log.Lines(82, 94);
    QueryOsVersion();
    log.Lines(95, 96);
    key = OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\DataAccess", kMachineStringAccess);
    QueryString(key, L"FullInstallVer");
    CloseKey(key);
    // Nothing missing: the setup, with the installer's log in the temporary
    // folder, asked for again.
    log.Lines(97, 105);
    wchar_t tempFolder[kCchText];
    DWORD cchTemp = GetTempPathW(ARRAYSIZE(tempFolder), tempFolder);
    if (cchTemp == 0 || cchTemp >= ARRAYSIZE(tempFolder))
        tempFolder[0] = L'\0';
    wchar_t commandLine[kCchText];
    StringCchPrintfW(commandLine, ARRAYSIZE(commandLine), kSetupCommandLineFormat, tempFolder);
    log.Lines(106, 106);
    log.Line(107, commandLine);

    STARTUPINFOW startupInfo;
    ZeroMemory(&startupInfo, sizeof(startupInfo));
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo;
    ZeroMemory(&processInfo, sizeof(processInfo));
    CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startupInfo, &processInfo);
    log.Lines(108, 108);
    // A null handle (no setup) ends the wait at once.
    while (WaitForSingleObject(processInfo.hProcess, 1) == WAIT_TIMEOUT)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    log.Lines(109, 109);
    if (processInfo.hProcess != nullptr)
        CloseHandle(processInfo.hProcess);
    if (processInfo.hThread != nullptr)
        CloseHandle(processInfo.hThread);
    log.Lines(110, kLogLineCount);

    if (argv != nullptr)
        LocalFree(argv);
    return 0;
}
