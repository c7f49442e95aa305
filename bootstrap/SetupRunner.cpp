#include "bootstrap/SetupRunner.h"

#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/Traced.h"

#include <strsafe.h>

SetupForm ChooseSetupForm(const InstallModeFlags& mode)
{
    if (mode.record)
        return SetupForm::Recording;
    if (mode.silent)
        return SetupForm::Silent;
    return SetupForm::FullUi;
}

bool FormatSetupCommandLine(const InstallModeFlags& mode, const wchar_t* setupFileName,
                            const wchar_t* languageArgs, const wchar_t* tempFolder,
                            wchar_t* commandLine, size_t cchCommandLine)
{
    HRESULT hr = E_FAIL;
    switch (ChooseSetupForm(mode))
    {
    case SetupForm::Recording:
        hr = StringCchPrintfW(commandLine, cchCommandLine,
                              L"%s /r /f1%s %s /v\"/L*v\\\"%sDRAVO_v9_InstallKitLog.log\\\"",
                              setupFileName, mode.recordFile, languageArgs, tempFolder);
        break;
    case SetupForm::Silent:
        hr = StringCchPrintfW(commandLine, cchCommandLine,
                              L"%s /s /f1%s %s /v\"/L*v\\\"%sDRAVO_v9_InstallKitLog.log\\\"",
                              setupFileName, mode.silentFile, languageArgs, tempFolder);
        break;
    case SetupForm::FullUi:
        hr = StringCchPrintfW(commandLine, cchCommandLine, L"%s %s /v\"/L*v\\\"%sDRAVO_v9_InstallKitLog.log\\\"",
                              setupFileName, languageArgs, tempFolder);
        break;
    }
    return SUCCEEDED(hr);
}

BOOL StartChildProcess(wchar_t* commandLine, ProcessHandles* child)
{
    STARTUPINFOW startupInfo;
    ZeroMemory(&startupInfo, sizeof(startupInfo));
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo;
    ZeroMemory(&processInfo, sizeof(processInfo));
    BOOL started = CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startupInfo,
                                  &processInfo);
    child->Take(processInfo);
    return started;
}

void WaitForChildProcess(HANDLE process)
{
    // WaitForSingleObject on a null handle fails at once, which ends the
    // loop when the start failed.
    while (WaitForSingleObject(process, 1) == WAIT_TIMEOUT)
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

int CreateMsiexecProcess(const wchar_t* wzFilename, const wchar_t* pwzLanguageArg)
{
    return RunTraced(
        "MorvantoBootStrapper.CreateMsiexecProcess >>", nullptr, kLogError,
        "MorvantoBootStrapper.CreateMsiexecProcess: exception caught, error returned: %d", [&]() -> int {
            wchar_t szTempFolder[kCchText];
            DWORD cchTemp = GetTempPathW(ARRAYSIZE(szTempFolder), szTempFolder);
            if (cchTemp == 0 || cchTemp >= ARRAYSIZE(szTempFolder))
            {
                // Without it the installer log has no place; a setup started with
                // a made-up path would log into nowhere.
                LogMessage(kLogError,
                           "MorvantoBootStrapper.CreateMsiexecProcess: failed to get the temporary folder, error "
                           "returned:%d, setup not started",
                           static_cast<int>(GetLastError()));
                LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess <<");
                return 0;
            }

            switch (ChooseSetupForm(InstallMode))
            {
            case SetupForm::Recording:
                LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: running in recording mode");
                break;
            case SetupForm::Silent:
                LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: running in silent mode");
                break;
            case SetupForm::FullUi:
                LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: running in full UI mode");
                break;
            }

            wchar_t pwzProperties[kCchText];
            if (!FormatSetupCommandLine(InstallMode, wzFilename, pwzLanguageArg, szTempFolder, pwzProperties,
                                        ARRAYSIZE(pwzProperties)))
            {
                // A cut line loses the end of the log path, or worse, the end of
                // the language arguments: better no setup than a wrong one.
                LogMessage(kLogError,
                           "MorvantoBootStrapper.CreateMsiexecProcess: the setup command line would exceed 1023 "
                           "characters, setup not started");
                LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess <<");
                return 0;
            }

            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: Running: %s with args: %s", wzFilename,
                       pwzProperties);
            ProcessHandles child;
            BOOL started = StartChildProcess(pwzProperties, &child);

            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: Waitting for process to end");
            // No time-out and no exit code: a setup that hangs is still the
            // user's installation, and one that crashes says so in its own log.
            WaitForChildProcess(child.process.get());
            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess: Process ended");

            child.process.reset();
            child.thread.reset();
            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateMsiexecProcess <<");
            return started ? 1 : 0;
        });
}
