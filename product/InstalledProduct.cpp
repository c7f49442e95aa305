#include "product/InstalledProduct.h"

#include "platform/Registry.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"
#include "support/Traced.h"

#include <cstring>

#include <strsafe.h>

namespace
{
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr size_t kCchRegistryKeyPath = 512;

// A product code too long for the path buffer would name another key once
// cut; it is taken as not found instead, so no stranger's entry is read.
bool FormatUninstallKeyPath(const wchar_t* productCode, wchar_t* pwzRegistryKeyPath)
{
    return SUCCEEDED(StringCchPrintfW(pwzRegistryKeyPath, kCchRegistryKeyPath, L"%s\\%s", kUninstallKey, productCode));
}

bool ReadUninstallValue(const wchar_t* productCode, const wchar_t* valueName, wchar_t* value)
{
    wchar_t pwzRegistryKeyPath[kCchRegistryKeyPath];
    if (!FormatUninstallKeyPath(productCode, pwzRegistryKeyPath))
        return false;
    return QueryStringValueFromRegistry(pwzRegistryKeyPath, valueName, value) != FALSE;
}

void LogKitVersionFailure()
{
    LogMessage(kLogInfo,
               "MorvantoBootStrapper.IsDowngrade: Failed to get current Zel Morvanto kit version, error returned: %d",
               static_cast<int>(GetLastError()));
}

// The ProductVersion of the setup executable's version resource, under the
// first entry of its translation table.
bool ReadKitVersion(const wchar_t* setupFile, wchar_t* wzCurrVersion, size_t cchCurrVersion)
{
    // A bare file name goes through the loader's search, which starts in the
    // bootstrapper's own folder. A file that is missing, unreadable or without
    // version information leaves no block, and then counts as a missing
    // translation table.
    DWORD unusedHandle = 0;
    const DWORD cbVersionInfo = GetFileVersionInfoSizeW(setupFile, &unusedHandle);
    UniqueLocalMemory versionBlock;
    bool haveBlock = false;
    if (cbVersionInfo != 0)
    {
        versionBlock.reset(LocalAlloc(LMEM_FIXED, cbVersionInfo));
        haveBlock = versionBlock && GetFileVersionInfoW(setupFile, 0, cbVersionInfo, versionBlock.get());
    }
    LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade:1");

    void* translation = nullptr;
    UINT cbTranslation = 0;
    if (!haveBlock ||
        !VerQueryValueW(versionBlock.get(), L"\\VarFileInfo\\Translation", &translation, &cbTranslation) ||
        translation == nullptr || cbTranslation < sizeof(DWORD))
    {
        LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade:21");
        LogKitVersionFailure();
        return false;
    }
    LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade:2");

    // Only the first entry counts: language in the low word, code page in the
    // high word.
    DWORD langCharSet = 0;
    std::memcpy(&langCharSet, translation, sizeof(langCharSet));
    wchar_t wzPrefix[kCchText];
    StringCchPrintfW(wzPrefix, ARRAYSIZE(wzPrefix), L"\\StringFileInfo\\%04x%04x\\ProductVersion",
                     static_cast<unsigned>(LOWORD(langCharSet)), static_cast<unsigned>(HIWORD(langCharSet)));
    void* productVersion = nullptr;
    UINT cchProductVersion = 0;
    if (!VerQueryValueW(versionBlock.get(), wzPrefix, &productVersion, &cchProductVersion) || productVersion == nullptr)
    {
        LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade:31");
        LogKitVersionFailure();
        return false;
    }
    LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade:3");

    StringCchCopyNW(wzCurrVersion, cchCurrVersion, static_cast<const wchar_t*>(productVersion), cchProductVersion);
    return true;
}
}  // namespace

int CompareVersionTexts(const wchar_t* installed, const wchar_t* kit)
{
    // Code units as unsigned 16-bit values; the terminator (0) is below every
    // character, so a prefix sorts before the longer text.
    for (size_t i = 0;; ++i)
    {
        const unsigned a = static_cast<unsigned short>(installed[i]);
        const unsigned b = static_cast<unsigned short>(kit[i]);
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
}

BOOL IsProductInstalled(const wchar_t* productCode)
{
    return RunTraced(
        "MorvantoBootStrapper.IsProductInstalled >>", "MorvantoBootStrapper.IsProductInstalled <<", kLogError,
        "MorvantoBootStrapper.IsProductInstalled: exception caught, error returned %d", [&] {
            LogMessage(kLogInfo,
                       "MorvantoBootStrapper.IsProductInstalled: Checking if product with ID %s is installed",
                       productCode);

            // Only the presence of DisplayName counts; its text is not used.
            wchar_t wzValue[kCchText] = L"";
            const BOOL installed = ReadUninstallValue(productCode, L"DisplayName", wzValue) ? TRUE : FALSE;
            LogMessage(kLogInfo, installed ? "MorvantoBootStrapper.IsProductInstalled: Product is installed"
                                           : "MorvantoBootStrapper.IsProductInstalled: Product is not installed");
            return installed;
        });
}

BOOL IsDowngrade(const wchar_t* productCode, const wchar_t* setupFile)
{
    return RunTraced(
        "MorvantoBootStrapper.IsDowngrade >>", "MorvantoBootStrapper.IsDowngrade <<", kLogError,
        "MorvantoBootStrapper.IsDowngrade: exception caught, error returned %d", [&] {
            BOOL downgrade = FALSE;
            LogMessage(kLogInfo,
                       "MorvantoBootStrapper.IsDowngrade: Getting installed Zel Morvanto version number using ID %s ",
                       productCode);

            wchar_t wzOldVersion[kCchText] = L"";
            if (!ReadUninstallValue(productCode, L"DisplayVersion", wzOldVersion))
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade: Failed to get installed Zel Morvanto version");
            }
            else
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade: Installed Zel Morvanto version is %s",
                           wzOldVersion);
                LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade: getting version of the Zel Morvanto kit "
                                     "currently launched");

                wchar_t wzCurrVersion[kCchText] = L"";
                if (ReadKitVersion(setupFile, wzCurrVersion, ARRAYSIZE(wzCurrVersion)))
                {
                    LogMessage(kLogInfo,
                               "MorvantoBootStrapper.IsDowngrade: Zel Morvanto version currently installing is :%s",
                               wzCurrVersion);
                    // Only a newer installed version stands in the way; the same
                    // version may be installed again.
                    if (CompareVersionTexts(wzOldVersion, wzCurrVersion) > 0)
                    {
                        LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade: This is a downgrade");
                        downgrade = TRUE;
                    }
                    else
                    {
                        LogMessage(kLogInfo, "MorvantoBootStrapper.IsDowngrade: Not a downgrade");
                    }
                }
            }
            return downgrade;
        });
}
