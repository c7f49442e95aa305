#include "platform/Registry.h"

#include "platform/OsChecks.h"
#include "support/DiagnosticLog.h"
#include "support/FaultGuard.h"
#include "support/Handles.h"

#include <cstring>

namespace
{
// The three readers run the same steps and write the same lines, each under
// its own name ("SetupBootstrapper.<name>...").
struct ReaderTraits
{
    const wchar_t* name;
    HKEY root;
    REGSAM accessOnNewerSystems;
    DWORD cbLimit;
    bool number;  // the success line shows a signed decimal, not the text
};

const ReaderTraits kStringReader = {L"QueryStringValueFromRegistry", HKEY_LOCAL_MACHINE,
                                    KEY_READ | KEY_WOW64_32KEY, kCbRegistryString, false};
const ReaderTraits kDwordReader = {L"QueryDWORDValueFromRegistry", HKEY_LOCAL_MACHINE, KEY_READ | KEY_WOW64_64KEY,
                                   sizeof(DWORD), true};
const ReaderTraits kCurrentUserStringReader = {L"QueryCurrentUserStringValueFromRegistryEx", HKEY_CURRENT_USER,
                                               KEY_READ | KEY_WOW64_64KEY, kCbRegistryString, false};

// Reads at most traits.cbLimit bytes into a scratch buffer and copies them to
// the output only on success: a failed read (status 234 included) never
// leaves a part of a value behind.
bool ReadValue(const ReaderTraits& traits, const wchar_t* subKey, const wchar_t* valueName, void* output,
               DWORD* cbRead)
{
    REGSAM access = traits.accessOnNewerSystems;
    if (IsWindows2K())
    {
        LogMessage(kLogInfo, "SetupBootstrapper.%s: getting Reg value in Windows 2000 style", traits.name);
        access = KEY_READ;
    }

    UniqueRegKey regKey;
    LONG status = RegOpenKeyExW(traits.root, subKey, 0, access, regKey.receive());
    if (status != ERROR_SUCCESS)
    {
        LogMessage(kLogInfo, "SetupBootstrapper.%s: failed to open registry key, error returned: %d", traits.name,
                   static_cast<int>(status));
        return false;
    }

    BYTE scratch[kCbRegistryString];
    DWORD size = traits.cbLimit;
    DWORD type = 0;
    status = RegQueryValueExW(regKey.get(), valueName, nullptr, &type, scratch, &size);
    if (status != ERROR_SUCCESS)
    {
        LogMessage(kLogInfo, "SetupBootstrapper.%s: failed to open registry value, error returned: %d", traits.name,
                   static_cast<int>(status));
        return false;
    }

    std::memcpy(output, scratch, size);
    *cbRead = size;
    return true;
}

void LogValueRead(const ReaderTraits& traits, const void* output, DWORD cbRead)
{
    if (traits.number)
    {
        LogMessage(kLogInfo, "SetupBootstrapper.%s: value succesfully get, value = %d", traits.name,
                   static_cast<int>(*static_cast<const DWORD*>(output)));
        return;
    }
    // Data stored without a terminator gets none; the line shows only what
    // was read, not what the caller's buffer held behind it.
    wchar_t shown[kCchRegistryStringOutput + 1];
    std::memcpy(shown, output, cbRead);
    shown[cbRead / sizeof(wchar_t)] = L'\0';
    LogMessage(kLogInfo, "SetupBootstrapper.%s: value succesfully get, value = %s", traits.name, shown);
}

BOOL Read(const ReaderTraits& traits, const wchar_t* subKey, const wchar_t* valueName, void* output)
{
    LogMessage(kLogInfo, "SetupBootstrapper.%s >>", traits.name);
    BOOL outcome = 0;
    const bool completed = RunGuarded(&outcome, [&]() -> BOOL {
        BOOL result = FALSE;
        LogMessage(kLogInfo, "SetupBootstrapper.%s: called for %s\\%s", traits.name, subKey, valueName);
        DWORD cbRead = 0;
        if (ReadValue(traits, subKey, valueName, output, &cbRead))
        {
            result = TRUE;
            LogValueRead(traits, output, cbRead);
        }
        LogMessage(kLogInfo, "SetupBootstrapper.%s <<", traits.name);
        return result;
    });
    if (completed)
        return outcome;
    LogMessage(kLogError, "SetupBootstrapper.%s: exception caught, error returned: %d", traits.name,
               static_cast<int>(GetLastError()));
    return FALSE;
}
}  // namespace

BOOL QueryStringValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output)
{
    return Read(kStringReader, subKey, valueName, output);
}

BOOL QueryCurrentUserStringValueFromRegistryEx(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output)
{
    return Read(kCurrentUserStringReader, subKey, valueName, output);
}

BOOL QueryDWORDValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, DWORD* output)
{
    return Read(kDwordReader, subKey, valueName, output);
}
