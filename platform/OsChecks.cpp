#include "platform/OsChecks.h"

#include "support/DiagnosticLog.h"
#include "support/Traced.h"

BOOL QueryOsVersion(OSVERSIONINFOW* versionInfo)
{
    ZeroMemory(versionInfo, sizeof(*versionInfo));
    versionInfo->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    return GetVersionExW(versionInfo);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

bool IsWindows2KVersion(BOOL queried, const OSVERSIONINFOW& versionInfo)
{
    if (!queried)
        return true;
    return versionInfo.dwMajorVersion == 5 && versionInfo.dwMinorVersion == 0;
}

bool IsVistaOrLaterVersion(BOOL queried, const OSVERSIONINFOW& versionInfo)
{
    if (!queried)
        return true;
    return versionInfo.dwMajorVersion >= 6;
}

bool IsX64Architecture(WORD processorArchitecture)
{
    return processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

GetNativeSystemInfoFn FindGetNativeSystemInfo()
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (kernel32 == nullptr)
        return nullptr;
    return reinterpret_cast<GetNativeSystemInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32, "GetNativeSystemInfo")));
}

WORD QueryProcessorArchitecture(GetNativeSystemInfoFn getNativeSystemInfo)
{
    SYSTEM_INFO sysInfo;
    ZeroMemory(&sysInfo, sizeof(sysInfo));
    if (getNativeSystemInfo != nullptr)
        getNativeSystemInfo(&sysInfo);
    else
        GetSystemInfo(&sysInfo);
    return sysInfo.wProcessorArchitecture;
}

namespace
{
// IsWindows2K and IsVistaOrLater: the same query and the same lines, each
// under its own name ("SetupBootstrapper.<name>...").
struct VersionCheck
{
    const wchar_t* name;
    bool (*decide)(BOOL queried, const OSVERSIONINFOW& versionInfo);
    const char* yesLine;
    const char* noLine;
};

bool RunVersionCheck(const VersionCheck& check)
{
    LogMessage(kLogInfo, "SetupBootstrapper.%s >>", check.name);
    bool outcome = false;
    const bool completed = RunGuarded(&outcome, [&]() -> bool {
        OSVERSIONINFOW versionInfo;
        BOOL queried = QueryOsVersion(&versionInfo);
        bool answer = check.decide(queried, versionInfo);
        LogMessage(kLogInfo, answer ? check.yesLine : check.noLine);
        LogMessage(kLogInfo, "SetupBootstrapper.%s <<", check.name);
        return answer;
    });
    if (completed)
        return outcome;
    LogMessage(kLogError, "SetupBootstrapper.%s: exception caught, error returned: %d", check.name,
               static_cast<int>(GetLastError()));
    return false;
}
}  // namespace

bool IsWindows2K()
{
    return RunVersionCheck({L"IsWindows2K", IsWindows2KVersion, "SetupBootstrapper.IsWindows2K: the OS is Windows 2000",
                            "SetupBootstrapper.IsWindows2K: the OS is not Windows 2000"});
}

bool IsVistaOrLater()
{
    return RunVersionCheck({L"IsVistaOrLater", IsVistaOrLaterVersion,
                            "SetupBootstrapper.IsVistaOrLater: the OS is Windows Vista or later",
                            "SetupBootstrapper.IsVistaOrLater: the OS is not Windows Vista or later"});
}

BOOL IsOS64()
{
    return RunTraced(
        "SetupBootstrapper.IsOS64 >>", "SetupBootstrapper.IsOS64 <<", kLogError,
        "SetupBootstrapper.IsOS64: exception caught, error returned:%d", [&] {
            BOOL answer = FALSE;
            if (IsWindows2K())
            {
                // Windows 2000 never ran on x64; no need to ask for the processor.
                LogMessage(kLogInfo, "SetupBootstrapper.IsOS64: OS is Windows 2000 so it is on a x86 platform");
            }
            else if (IsX64Architecture(QueryProcessorArchitecture(FindGetNativeSystemInfo())))
            {
                LogMessage(kLogInfo, "SetupBootstrapper.IsOS64: OS platform is x64");
                answer = TRUE;
            }
            else
            {
                LogMessage(kLogInfo, "SetupBootstrapper.IsOS64: OS platform is x86");
            }
            return answer;
        });
}
