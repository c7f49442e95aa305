#include "bootstrap/LaunchSequence.h"

#include "bootstrap/SetupRunner.h"
#include "support/DiagnosticLog.h"

wchar_t OsLanguage[kCchText];

int LaunchExe(HINSTANCE, const wchar_t* wzFilename, const wchar_t*, const wchar_t*, const wchar_t*)
{
    LogMessage(kLogInfo, L"MorvantoBootStrapper.LaunchExe >>");
    try
    {
        wchar_t pwzLanguageArg[kCchText] = L"";
        int result = CreateMsiexecProcess(wzFilename, pwzLanguageArg);
        LogMessage(kLogInfo, L"MorvantoBootStrapper.LaunchExe <<");
        return result;
    }
    catch (...)
    {
        LogMessage(kLogError, L"MorvantoBootStrapper.LaunchExe: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}
