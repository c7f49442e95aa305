#include "bootstrap/SourceCacheCleanup.h"

#include "support/DiagnosticLog.h"
#include "support/FaultGuard.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"

#include <windows.h>

#include <strsafe.h>

namespace
{
// The Windows Installer keeps its registration in the 64-bit view; a 32-bit
// bootstrapper asks for that view explicitly.
constexpr REGSAM kSourceListAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

void DeleteSourceListValue(HKEY sourceList, const wchar_t* valueName)
{
    const LONG status = RegDeleteValueW(sourceList, valueName);
    if (status != ERROR_SUCCESS)
        LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: failed to delete value:%s, error returned:%d", valueName,
                   static_cast<int>(status));
    else
        LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: key:%s deleted succesfully", valueName);
}
}  // namespace

int Zel_DeleteDRVS9CachedKey()
{
    LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: >>");
    int outcome = 0;
    const bool completed = RunGuarded(&outcome, [&]() -> int {
        // The packed code is 32 characters; the path cannot be cut.
        wchar_t keyPath[kCchText];
        StringCchPrintfW(keyPath, ARRAYSIZE(keyPath), L"SOFTWARE\\Classes\\Installer\\Products\\%s\\SourceList",
                         kPackedProductCode);
        LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: opening registry key:%s", keyPath);

        {
            // The key is closed before the exit line.
            UniqueRegKey sourceList;
            const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, kSourceListAccess, sourceList.receive());
            if (status != ERROR_SUCCESS)
            {
                LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: failed to open registry key:%s, error returned:%d",
                           keyPath, static_cast<int>(status));
            }
            else
            {
                LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: registry key opened succesfully");
                // Each value on its own: a missing LastUsedSource does not keep
                // PackageName from going.
                DeleteSourceListValue(sourceList.get(), L"LastUsedSource");
                DeleteSourceListValue(sourceList.get(), L"PackageName");
            }
        }

        LogMessage(kLogInfo, "Zel_DeleteDRVS9CachedKey: <<");
        return 0;
    });
    if (completed)
        return outcome;
    LogMessage(kLogError, "Zel_DeleteDRVS9CachedKey: exception caught, error returned:%d ",
               static_cast<int>(GetLastError()));
    return -1;
}
