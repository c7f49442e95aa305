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
// silent run's platform reference") lists both. The start of the run, up to
// the language step, is the full-UI run's too (PlatformWork.h). Where the
// run's folder or temporary folder shows in a line, it is this run's, so that
// every line has the same length as the bootstrapper's in the same kit.

#include "benchmark/PlatformWork.h"

#include <strsafe.h>

namespace
{
// The setup's command line in a silent run: the answer file as given on our
// command line, the catalogue's English arguments, " /qn", and the
// installer's log in the temporary folder (%s).
constexpr wchar_t kSetupCommandLineFormat[] =
    L"morvanto9.exe /s /f1setup.iss -l1033 /vProductLanguage=1033 /qn /v\"/L*v\\\"%sDRAVO_v9_InstallKitLog.log\\\"";

// The run's log from line 50 on, line by line (lines 1 to 49 are the first
// installation's checks). Lines 56 and 107 hold the catalogue's path and the
// setup's command line (%s).
const wchar_t* const kLogLines[] = {
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

}  // namespace

static_assert(ARRAYSIZE(kLogLines) == 112 - kFirstInstallationLineCount, "the run's log has 112 lines");

// The numbers are those of the run's log lines written between two calls.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const RunStart run;
    const RunLog log(kLogLines, kFirstInstallationLineCount + 1);
    CheckFirstInstallation();
    // The catalogue: its first section, English, is the OS language's.
    log.Lines(50, 55);
    log.Line(56, run.CatalogueFile());
    {
        const CatalogueSections sections(run.CatalogueFile());
        wchar_t productLanguage[kCchText];
        GetPrivateProfileStringW(sections.First(), L"ProductLanguage", L"", productLanguage, kCchText,
                                 run.CatalogueFile());
        wchar_t command[kCchText];
        GetPrivateProfileStringW(sections.First(), L"Command", L"", command, kCchText, run.CatalogueFile());
    }
    // Windows Installer 3.1: no KB893803v2 entry, and a Windows that has it
    // built in (the version is asked again to judge).
    log.Lines(57, 67);
    ReadMachineString(log, 68, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2",
                      L"DisplayName");
    log.Lines(71, 72);
    QueryOsVersion();
    // .NET Framework 2.0: Install is there. Its language pack is not asked
    // for an English machine.
    log.Lines(73, 78);
    ReadMachineString(log, 79, L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", L"Install");
    // MDAC: FullInstallVer is 2.81, so the rollback value is not read.
    log.Lines(82, 93);
    ReadMachineString(log, 94, L"Software\\Microsoft\\DataAccess", L"FullInstallVer");
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
    log.Lines(110, log.LastNumber());
    return 0;
}
