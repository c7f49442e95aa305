#include "bootstrap/Startup.h"

#include "bootstrap/CommandLine.h"
#include "bootstrap/EmbeddedResources.h"
#include "bootstrap/LaunchSequence.h"
#include "bootstrap/SingleInstanceGuard.h"
#include "platform/OsChecks.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"
#include "support/RunState.h"

#include <shellapi.h>

#include <cwchar>

#include <strsafe.h>

namespace
{
// The platform's code for an unknown failure, used when a failed split of
// the command line leaves no error code behind.
constexpr int kExitUnknownSplitFailure = 16389;

// What follows the last "\", "/" or ":" of a path.
const wchar_t* FileNamePart(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
    {
        if (*p == L'\\' || *p == L'/' || *p == L':')
            name = p + 1;
    }
    return name;
}

// The bootstrapper runs elevated, usually started from a Downloads folder
// that holds whatever else was downloaded. Libraries loaded by name later on
// (downloadandrun.dll, and those the shell, COM and the common controls pull
// in) must not come from the current directory; the executable's own folder
// stays first in the search.
//
// Naming our own folder as the DLL directory does this on every Windows that
// has the function: the search becomes our folder, our folder again, then the
// system's folders and PATH, without the current directory, just as with
// the empty name. Wine takes the empty name for no setting at all and keeps
// searching the current directory, so the folder is named. Windows 2000 and
// XP before SP1 lack the function, so it is looked up; there the search
// stays as the system has it.
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
    // Cut behind the last backslash: "C:\" stays a folder, where "C:" would
    // name the drive's current directory.
    wchar_t ownFolder[kCchText];
    DWORD cch = GetModuleFileNameW(nullptr, ownFolder, static_cast<DWORD>(ARRAYSIZE(ownFolder)));
    wchar_t* lastBackslash = cch > 0 && cch < ARRAYSIZE(ownFolder) ? wcsrchr(ownFolder, L'\\') : nullptr;
    if (lastBackslash != nullptr)
        lastBackslash[1] = L'\0';
    else
        ownFolder[0] = L'\0';  // a path we cannot trust: the empty name still serves on Windows
    setDllDirectory(ownFolder);
}

// The user's foreground lock time-out would otherwise stop a background
// process from raising the first instance's window. It is set back at once.
void BringWindowForward(HWND window)
{
    DWORD timeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(0)),
                          SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    SetForegroundWindow(window);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)),
                          SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

int FocusOtherInstance(const wchar_t* wzProductName)
{
    LogMessage(kLogInfo,
               "SetupBootStrapper.WinMain: Another instance is already running, focusing current instance window");
    HWND window = FindWindowW(nullptr, wzProductName);
    if (window == nullptr)
    {
        LogMessage(kLogInfo, "SetupBootStrapper.WinMain: failed to locate the window with '%s' caption",
                   wzProductName);
        return 0;
    }
    LogMessage(kLogInfo,
               "SetupBootStrapper.WinMain: window with '%s' caption succesfully located, setting it as Active window",
               wzProductName);
    BringWindowForward(window);
    return 0;
}
}  // namespace

void BuildCataloguePath(wchar_t* wzIniFile, size_t cchIniFile)
{
    wzIniFile[0] = L'\0';
    wchar_t lpCurrentDirectory[kCchText];
    DWORD cch = GetCurrentDirectoryW(static_cast<DWORD>(kCchText - 1), lpCurrentDirectory);
    if (cch == 0 || cch >= kCchText - 1)
        return;
    if (FAILED(StringCchPrintfW(wzIniFile, cchIniFile, L"%s\\%s", lpCurrentDirectory, kLanguageCatalogueName)))
        wzIniFile[0] = L'\0';
}

int RunSetupBootstrapper(HINSTANCE instance, const SingleInstanceGuard& guard)
{
    // First, before anything can load a library on demand (the single-instance
    // guard that ran before WinMain only created a mutex).
    TakeCurrentDirectoryOutOfDllSearch();
    instanceHandle = instance;

    wchar_t wzProductName[kCchText];
    wchar_t wzSourcePath[kCchText];
    wchar_t wzFilename[kCchText];
    wchar_t wzProductGUID[kCchText];
    wchar_t wzIniFile[kCchText];
    StringCchCopyW(wzProductName, ARRAYSIZE(wzProductName), kProductName);
    StringCchCopyW(productCaption, ARRAYSIZE(productCaption), wzProductName);
    StringCchCopyW(wzSourcePath, ARRAYSIZE(wzSourcePath), kSetupSourcePath);
    StringCchCopyW(wzFilename, ARRAYSIZE(wzFilename), FileNamePart(wzSourcePath));
    StringCchCopyW(wzProductGUID, ARRAYSIZE(wzProductGUID), kProductCode);
    BuildCataloguePath(wzIniFile, ARRAYSIZE(wzIniFile));

    // Before the command line: a second start with a faulty one still only
    // brings the first instance forward.
    if (guard.IsAnotherInstanceRunning())
        return FocusOtherInstance(wzProductName);

    int argc = 0;
    UniqueLocalMemory argvMemory(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argvMemory)
    {
        DWORD error = GetLastError();
        return error == 0 ? kExitUnknownSplitFailure : static_cast<int>(error & 0xFFFF);
    }
    const wchar_t* const* argv = static_cast<const wchar_t* const*>(argvMemory.get());

    int exitCode = ParseInstallMode(argc, argv, &InstallMode);
    if (exitCode != 0)
        return exitCode;

    if (InstallMode.record)
        LogMessage(kLogInfo, "SetupBootStrapper.WinMain: This is a recording '%s' install", wzProductName);
    if (!InstallMode.silent)
        LogMessage(kLogInfo, "SetupBootStrapper.WinMain: This is a FULL UI '%s' install", wzProductName);

    // Windows 2000 has no XML parser that the product can use: bring ours.
    // Whatever fails in there is logged, and the run goes on.
    if (IsWindows2K())
        PrepareXmlParser();

    LaunchExe(instance, wzFilename, wzProductName, wzProductGUID, wzIniFile);

    // The line stays for the record, but nothing is deleted: the product
    // just installed needs the parser registered after we end. A packager
    // who wants it gone calls DeleteResFromTemp here (docs/embedding-msxml3.md).
    LogMessage(kLogInfo, "SetupBootStrapper.WinMain: Deleting resources after installation");
    return 0;
}
