#include "bootstrap/LaunchSequence.h"

#include "bootstrap/SetupRunner.h"
#include "bootstrap/SourceCacheCleanup.h"
#include "language/LanguageCatalogue.h"
#include "language/LanguageDialog.h"
#include "language/OsLanguage.h"
#include "platform/CommonControls.h"
#include "prerequisites/PrereqDialog.h"
#include "product/InstalledProduct.h"
#include "support/DiagnosticLog.h"
#include "support/ProductIdentity.h"
#include "support/RunState.h"
#include "support/Traced.h"

#include <strsafe.h>

namespace
{
void ShowDowngradeMessage()
{
    // No owner and no icon: the bootstrapper has no window of its own yet,
    // and the message is information, not an error of the machine.
    EnsureCommonControls();
    MessageBoxW(nullptr, L"A later version of Zel Morvanto 9 is already installed. Installation will not continue.",
                L"Zel Morvanto 9", MB_OK);
}
}  // namespace

int LaunchExe(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
              const wchar_t* wzProductGUID, const wchar_t* wzIniFile)
{
    return RunTraced(
        "MorvantoBootStrapper.LaunchExe >>", "MorvantoBootStrapper.LaunchExe <<", kLogError,
        "MorvantoBootStrapper.LaunchExe: exception caught, error returned: %d", [&] {
            // Every language and prerequisite step reads it: it is fixed first.
            StringCchCopyW(OsLanguage, ARRAYSIZE(OsLanguage), OSLanguageID());
            LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: OS language to be used: %s", OsLanguage);

            wchar_t pwzLanguageArg[kCchText] = L"";
            int result = 0;

            if (!IsProductInstalled(wzProductGUID))
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: Morvanto is not installed - showing language "
                                     "selection dialog");
                result = ShowSelectLanguageDialog(instance, wzFilename, wzProductName, wzIniFile, pwzLanguageArg);
            }
            else
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: Morvanto is installed - verifying if a "
                                     "downgrade is attempted");
                if (IsDowngrade(wzProductGUID, wzFilename))
                {
                    LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: Morvanto is installed - this is a "
                                         "downgrade, aborting installation");
                    if (!InstallMode.silent)
                        ShowDowngradeMessage();
                    result = 0;
                }
                else
                {
                    LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: Morvanto is installed - this is not a "
                                         "downgrade, installation continues");
                    // Before the prerequisites: the update must not look for
                    // the package the product was first installed from.
                    Zel_DeleteDRVS9CachedKey();
                    // An update keeps the installed product's language; no dialog.
                    result = GetInstalledLanguageArgs(wzIniFile, pwzLanguageArg);
                }
            }

            if (result == 0)
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: aborting installation");
            }
            else
            {
                result = ShowPrereqDialog(instance, wzProductName);
                if (result == 0)
                {
                    LogMessage(kLogInfo,
                               "MorvantoBootStrapper.LaunchExe: setup was cancelled from the prerequisites dialog");
                }
                else
                {
                    if (InstallMode.silent)
                    {
                        // Only now: the catalogue's arguments are complete.
                        StringCchCatW(pwzLanguageArg, ARRAYSIZE(pwzLanguageArg), L" /qn");
                        LogMessage(kLogInfo,
                                   "MorvantoBootStrapper.LaunchExe: running installation in silent mode with args:%s",
                                   pwzLanguageArg);
                    }
                    else
                    {
                        LogMessage(kLogInfo,
                                   "MorvantoBootStrapper.LaunchExe: running installation in FULL UI mode with args:%s",
                                   pwzLanguageArg);
                    }
                    result = CreateMsiexecProcess(wzFilename, pwzLanguageArg);
                }
            }

            return result;
        });
}
