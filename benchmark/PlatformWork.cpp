#include "benchmark/PlatformWork.h"

#include <shellapi.h>

#include <cwchar>

#include <strsafe.h>

namespace
{
// The log's buffers: a line is its time stamp, its text and CR LF.
constexpr size_t kCchLogLine = 2048;

constexpr wchar_t kLogFileName[] = L"\\dravo_v9_installhelperBS.csv";
constexpr wchar_t kCatalogueName[] = L"languages.ini";
// The product's registry readers open their keys this way on every Windows
// after 2000: HKLM strings in the 32-bit view, HKCU in the 64-bit view. A
// string is read into 1024 bytes at most.
constexpr REGSAM kMachineStringAccess = KEY_READ | KEY_WOW64_32KEY;
constexpr REGSAM kUserStringAccess = KEY_READ | KEY_WOW64_64KEY;
constexpr DWORD kCbRegistryString = 1024;
// The catalogue reader's first buffer for the section names, which holds
// this catalogue's.
constexpr DWORD kCchSectionNames = 1024;

// Lines 1 to 49 of a silent run's log, 2 to 50 of a full-UI run's.
const wchar_t* const kFirstInstallationLines[] = {
    /*  1 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  2 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /*  3 */ L"SetupBootstrapper.IsWindows2K <<",
    /*  4 */ L"MorvantoBootStrapper.LaunchExe >>",
    /*  5 */ L"MorvantoBootStrapper.OSLanguageID >>",
    /*  6 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /*  7 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
             L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language\\InstallLanguage",
    /*  8 */ L"SetupBootstrapper.IsWindows2K >>",
    /*  9 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /* 10 */ L"SetupBootstrapper.IsWindows2K <<",
    /* 11 */ L"SetupBootstrapper.QueryStringValueFromRegistry: value succesfully get, value = 0409",
    /* 12 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /* 13 */ L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:1033",
    /* 14 */ L"MorvantoBootStrapper.OSLanguageID: Determining Desktop language if OS is Vista or later",
    /* 15 */ L"SetupBootstrapper.IsVistaOrLater >>",
    /* 16 */ L"SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later",
    /* 17 */ L"SetupBootstrapper.IsVistaOrLater <<",
    /* 18 */ L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later",
    /* 19 */ L"SetupBootstrapper.DetermineDesktopLanguage >>",
    /* 20 */ L"SetupBootstrapper.DetermineDesktopLanguage: called for langID:1033",
    /* 21 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx >>",
    /* 22 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: called for Control "
             L"Panel\\Desktop\\PreferredUILanguages",
    /* 23 */ L"SetupBootstrapper.IsWindows2K >>",
    /* 24 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /* 25 */ L"SetupBootstrapper.IsWindows2K <<",
    /* 26 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: failed to open registry value, error "
             L"returned: 2",
    /* 27 */ L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx <<",
    /* 28 */ L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code",
    /* 29 */ L"SetupBootstrapper.DetermineDesktopLanguage <<",
    /* 30 */ L"SetupBootstrapper.GetSupportedLangID >>",
    /* 31 */ L"SetupBootstrapper.GetSupportedLangID: called for language 1033",
    /* 32 */ L"SetupBootstrapper.GetSupportedLangID: this language is English, lang code to be used 1033",
    /* 33 */ L"SetupBootstrapper.GetSupportedLangID <<",
    /* 34 */ L"MorvantoBootStrapper.OSLanguageID: OS Language after convertion to a known language ID is:1033",
    /* 35 */ L"MorvantoBootStrapper.OSLanguageID <<",
    /* 36 */ L"MorvantoBootStrapper.LaunchExe: OS language to be used: 1033",
    /* 37 */ L"MorvantoBootStrapper.IsProductInstalled >>",
    /* 38 */ L"MorvantoBootStrapper.IsProductInstalled: Checking if product with ID "
             L"{CBE19707-CF6D-4819-9574-3DFD568960FA} is installed",
    /* 39 */ L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    /* 40 */ L"SetupBootstrapper.QueryStringValueFromRegistry: called for "
             L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
             L"{CBE19707-CF6D-4819-9574-3DFD568960FA}\\DisplayName",
    /* 41 */ L"SetupBootstrapper.IsWindows2K >>",
    /* 42 */ L"SetupBootstrapper.IsWindows2K: the OS is not Windows 2000",
    /* 43 */ L"SetupBootstrapper.IsWindows2K <<",
    /* 44 */ L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry key, error returned: 2",
    /* 45 */ L"SetupBootstrapper.QueryStringValueFromRegistry <<",
    /* 46 */ L"MorvantoBootStrapper.IsProductInstalled: Product is not installed",
    /* 47 */ L"MorvantoBootStrapper.IsProductInstalled <<",
    /* 48 */ L"MorvantoBootStrapper.LaunchExe: Morvanto is not installed - showing language selection dialog",
    /* 49 */ L"MorvantoBootStrapper.ShowSelectLanguageDialog >>",
};
static_assert(ARRAYSIZE(kFirstInstallationLines) == kFirstInstallationLineCount, "the shared stretch of the log");

// Created before WinMain and held until the process ends, as the product's
// single-instance guard does; a second instance is part of no measured run.
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

// Made at the first line, from the temporary folder asked for once. That
// folder ends with a backslash and the file name begins with one: the
// doubled separator is the bootstrapper's, so the path is too.
wchar_t g_logPath[kCchText];

// Libraries loaded by name come from our own folder, never from the current
// directory. The function is looked up, as the bootstrapper does for Windows
// 2000's sake, and given the folder with its trailing backslash.
void TakeCurrentDirectoryOutOfDllSearch()
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel32 != nullptr ? GetProcAddress(kernel32, "SetDllDirectoryW") : nullptr;
    if (found == nullptr)
        return;
    wchar_t ownFolder[kCchText];
    DWORD cch = GetModuleFileNameW(nullptr, ownFolder, ARRAYSIZE(ownFolder));
    wchar_t* lastBackslash = cch > 0 && cch < ARRAYSIZE(ownFolder) ? std::wcsrchr(ownFolder, L'\\') : nullptr;
    *(lastBackslash != nullptr ? lastBackslash + 1 : ownFolder) = L'\0';
    reinterpret_cast<BOOL(WINAPI*)(LPCWSTR)>(reinterpret_cast<void*>(found))(ownFolder);
}

HKEY OpenKey(HKEY root, const wchar_t* subKey, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Nothing is asked of a key that could not be opened.
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

// The product's IsWindows2K and IsVistaOrLater: line n, the version, lines
// n + 1 and n + 2.
void RunVersionCheck(const RunLog& log, int n)
{
    log.Lines(n, n);
    QueryOsVersion();
    log.Lines(n + 1, n + 2);
}
}  // namespace

void WriteLogLine(const wchar_t* text)
{
    if (g_logPath[0] == L'\0')
    {
        wchar_t tempFolder[kCchText];
        DWORD cch = GetTempPathW(ARRAYSIZE(tempFolder), tempFolder);
        if (cch == 0 || cch >= ARRAYSIZE(tempFolder) ||
            FAILED(StringCchPrintfW(g_logPath, ARRAYSIZE(g_logPath), L"%s%s", tempFolder, kLogFileName)))
        {
            g_logPath[0] = L'\0';
            return;
        }
    }
    HANDLE file =
        CreateFileW(g_logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

void RunLog::Lines(int first, int last) const
{
    for (int n = first; n <= last; ++n)
        WriteLogLine(m_lines[n - m_firstNumber]);
}

void RunLog::Line(int n, const wchar_t* value) const
{
    wchar_t text[kCchLogLine];
    if (SUCCEEDED(StringCchPrintfW(text, ARRAYSIZE(text), m_lines[n - m_firstNumber], value)))
        WriteLogLine(text);
}

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

void ReadMachineString(const RunLog& log, int n, const wchar_t* subKey, const wchar_t* valueName)
{
    RunVersionCheck(log, n);
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, subKey, kMachineStringAccess);
    QueryString(key, valueName);
    CloseKey(key);
}

CatalogueSections::CatalogueSections(const wchar_t* catalogueFile)
    : m_names(LocalAlloc(LPTR, kCchSectionNames * sizeof(wchar_t)))
{
    if (m_names != nullptr)
        GetPrivateProfileSectionNamesW(static_cast<wchar_t*>(m_names), kCchSectionNames, catalogueFile);
}

CatalogueSections::~CatalogueSections()
{
    if (m_names != nullptr)
        LocalFree(m_names);
}

const wchar_t* CatalogueSections::First() const
{
    return m_names != nullptr ? static_cast<const wchar_t*>(m_names) : L"";
}

RunStart::RunStart()
{
    TakeCurrentDirectoryOutOfDllSearch();
    wchar_t currentDirectory[kCchText];
    DWORD cchDirectory = GetCurrentDirectoryW(kCchText - 1, currentDirectory);
    if (cchDirectory > 0 && cchDirectory < kCchText - 1)
        StringCchPrintfW(m_catalogueFile, ARRAYSIZE(m_catalogueFile), L"%s\\%s", currentDirectory, kCatalogueName);
    int argc = 0;
    m_arguments = CommandLineToArgvW(GetCommandLineW(), &argc);
}

RunStart::~RunStart()
{
    if (m_arguments != nullptr)
        LocalFree(m_arguments);
}

// The numbers are those of kFirstInstallationLines written between two calls.
void CheckFirstInstallation()
{
    const RunLog log(kFirstInstallationLines, 1);
    // Not Windows 2000: no XML parser to prepare.
    RunVersionCheck(log, 1);
    // The installation language (0409).
    log.Lines(4, 7);
    ReadMachineString(log, 8, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage");
    // Vista or later, so the desktop language too, which Wine does not set:
    // the value is missing, and the key is closed after that line. The
    // user's reader makes its own Windows 2000 check first, as the machine's.
    log.Lines(11, 14);
    RunVersionCheck(log, 15);
    log.Lines(18, 22);
    RunVersionCheck(log, 23);
    HKEY key = OpenKey(HKEY_CURRENT_USER, L"Control Panel\\Desktop", kUserStringAccess);
    QueryString(key, L"PreferredUILanguages");
    log.Lines(26, 26);
    CloseKey(key);
    // The product's uninstall entry: there is no key.
    log.Lines(27, 40);
    ReadMachineString(log, 41,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                      L"{CBE19707-CF6D-4819-9574-3DFD568960FA}",
                      L"DisplayName");
    log.Lines(44, log.LastNumber());
}
