#include "platform/Registry.h"

#include "platform/Handles.h"
#include "platform/OsChecks.h"
#include "support/DiagnosticLog.h"

#include <cstring>

namespace
{
struct ReaderTraits
{
    HKEY root;
    REGSAM accessOnNewerSystems;
    DWORD cbLimit;
    // The trace lines; each reader writes the same texts under its own name.
    const wchar_t* entry;
    const wchar_t* arguments;
    const wchar_t* windows2000;
    const wchar_t* openFailed;
    const wchar_t* queryFailed;
    const wchar_t* success;
    const wchar_t* exception;
    const wchar_t* exit;
};

const ReaderTraits kStringReader = {
    HKEY_LOCAL_MACHINE, KEY_READ | KEY_WOW64_32KEY, kCbRegistryString,
    L"SetupBootstrapper.QueryStringValueFromRegistry >>",
    L"SetupBootstrapper.QueryStringValueFromRegistry: called for %s\\%s",
    L"SetupBootstrapper.QueryStringValueFromRegistry: getting Reg value in Windows 2000 style",
    L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry key, error returned: %d",
    L"SetupBootstrapper.QueryStringValueFromRegistry: failed to open registry value, error returned: %d",
    L"SetupBootstrapper.QueryStringValueFromRegistry: value succesfully get, value = %s",
    L"SetupBootstrapper.QueryStringValueFromRegistry: exception caught, error returned: %d",
    L"SetupBootstrapper.QueryStringValueFromRegistry <<",
};

const ReaderTraits kDwordReader = {
    HKEY_LOCAL_MACHINE, KEY_READ | KEY_WOW64_64KEY, sizeof(DWORD),
    L"SetupBootstrapper.QueryDWORDValueFromRegistry >>",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: called for %s\\%s",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: getting Reg value in Windows 2000 style",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: failed to open registry key, error returned: %d",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: failed to open registry value, error returned: %d",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: value succesfully get, value = %d",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry: exception caught, error returned: %d",
    L"SetupBootstrapper.QueryDWORDValueFromRegistry <<",
};

const ReaderTraits kCurrentUserStringReader = {
    HKEY_CURRENT_USER, KEY_READ | KEY_WOW64_64KEY, kCbRegistryString,
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx >>",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: called for %s\\%s",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: getting Reg value in Windows 2000 style",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: failed to open registry key, error returned: %d",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: failed to open registry value, error returned: %d",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: value succesfully get, value = %s",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx: exception caught, error returned: %d",
    L"SetupBootstrapper.QueryCurrentUserStringValueFromRegistryEx <<",
};

// Reads at most traits.cbLimit bytes into a scratch buffer and copies them to
// the output only on success: a failed read (status 234 included) never
// leaves a part of a value behind.
bool ReadValue(const ReaderTraits& traits, const wchar_t* subKey, const wchar_t* valueName, void* output,
               DWORD* cbRead)
{
    REGSAM access = traits.accessOnNewerSystems;
    if (IsWindows2K())
    {
        LogMessage(kLogInfo, traits.windows2000);
        access = KEY_READ;
    }

    UniqueRegKey regKey;
    LONG status = RegOpenKeyExW(traits.root, subKey, 0, access, regKey.receive());
    if (status != ERROR_SUCCESS)
    {
        LogMessage(kLogInfo, traits.openFailed, static_cast<int>(status));
        return false;
    }

    BYTE scratch[kCbRegistryString];
    DWORD size = traits.cbLimit;
    DWORD type = 0;
    status = RegQueryValueExW(regKey.get(), valueName, nullptr, &type, scratch, &size);
    if (status != ERROR_SUCCESS)
    {
        LogMessage(kLogInfo, traits.queryFailed, static_cast<int>(status));
        return false;
    }

    std::memcpy(output, scratch, size);
    *cbRead = size;
    return true;
}

BOOL ReadString(const ReaderTraits& traits, const wchar_t* subKey, const wchar_t* valueName, wchar_t* output)
{
    LogMessage(kLogInfo, traits.entry);
    try
    {
        BOOL result = FALSE;
        LogMessage(kLogInfo, traits.arguments, subKey, valueName);
        DWORD cbRead = 0;
        if (ReadValue(traits, subKey, valueName, output, &cbRead))
        {
            result = TRUE;
            // Data stored without a terminator gets none; the success line
            // shows only what was read, not what the caller's buffer held
            // behind it.
            wchar_t shown[kCchRegistryStringOutput + 1];
            std::memcpy(shown, output, cbRead);
            shown[cbRead / sizeof(wchar_t)] = L'\0';
            LogMessage(kLogInfo, traits.success, shown);
        }
        LogMessage(kLogInfo, traits.exit);
        return result;
    }
    catch (...)
    {
        LogMessage(kLogError, traits.exception, static_cast<int>(GetLastError()));
        return FALSE;
    }
}
}  // namespace

BOOL QueryStringValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output)
{
    return ReadString(kStringReader, subKey, valueName, output);
}

BOOL QueryCurrentUserStringValueFromRegistryEx(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output)
{
    return ReadString(kCurrentUserStringReader, subKey, valueName, output);
}

BOOL QueryDWORDValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, DWORD* output)
{
    const ReaderTraits& traits = kDwordReader;
    LogMessage(kLogInfo, traits.entry);
    try
    {
        BOOL result = FALSE;
        LogMessage(kLogInfo, traits.arguments, subKey, valueName);
        DWORD cbRead = 0;
        if (ReadValue(traits, subKey, valueName, output, &cbRead))
        {
            result = TRUE;
            LogMessage(kLogInfo, traits.success, static_cast<int>(*output));
        }
        LogMessage(kLogInfo, traits.exit);
        return result;
    }
    catch (...)
    {
        LogMessage(kLogError, traits.exception, static_cast<int>(GetLastError()));
        return FALSE;
    }
}
