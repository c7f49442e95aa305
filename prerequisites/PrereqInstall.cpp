#include "prerequisites/PrereqInstall.h"

#include "platform/OsChecks.h"
#include "prerequisites/ErrorDialog.h"
#include "prerequisites/PrereqDialog.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"
#include "support/RunState.h"
#include "support/Traced.h"

namespace
{
// The number each kind of prerequisite hands to the library.
constexpr int kWindowsInstallerKind = 5;
constexpr int kDotNetKind = 10;
constexpr int kLanguagePackKind = 3;
constexpr int kMdacKind = 5;

int Install(HWND window, const char* sProdName, int language, int listPosition, int kindNumber,
            const Prerequisite& row)
{
    return DownloadAndRunApp(window, sProdName, language, listPosition, kindNumber, row.downloadLocation,
                             row.fileName, row.arguments, row.displayName);
}

// The language pack step: the row for the OS language, or only a line that
// says why none is installed.
int InstallLanguagePack(HWND window, const char* sProdName, int language, const wchar_t* osLanguage)
{
    const LanguagePackChoice& choice = ChooseLanguagePack(LanguageNumber(osLanguage), IsOS64() != FALSE);
    LogMessage(kLogInfo, choice.installLine);
    // Only German and Italian packs are offered; for every other language the
    // stage goes on as if nothing were missing.
    if (choice.row == nullptr)
        return 1;
    return Install(window, sProdName, language, languagePackListPosition, kLanguagePackKind, *choice.row);
}

int InstallMissing(HWND window, const wchar_t* caption, const wchar_t* dialogLanguage, int windowsInstallerPresent,
                   int dotNetPresent, int languagePackPresent, const wchar_t* osLanguage, int mdacPresent)
{
    int result = 1;
    int language = LanguageNumber(dialogLanguage);
    char sProdName[kCchText];
    WideToCatalogueText(caption, sProdName, sizeof(sProdName));

    if (!windowsInstallerPresent)
    {
        LogMessage(kLogInfo, "SetupBootstrapper.InstallPrerequisites: DownloadAndRun Windows Installer 3.1");
        result = Install(window, sProdName, language, windowsInstallerListPosition, kWindowsInstallerKind,
                         kWindowsInstaller31);
    }
    if (!dotNetPresent && result == 1)
    {
        bool x64 = IsOS64() != FALSE;
        LogMessage(kLogInfo, x64 ? "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64"
                                 : "SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0");
        result = Install(window, sProdName, language, dotNetListPosition, kDotNetKind, DotNetRow(x64));
    }
    if (!languagePackPresent && result == 1)
        result = InstallLanguagePack(window, sProdName, language, osLanguage);
    if (!mdacPresent && result == 1)
    {
        LogMessage(kLogInfo, "SetupBootstrapper.InstallPrerequisites: DownloadAndRun MDAC 2.8");
        result = Install(window, sProdName, language, mdacListPosition, kMdacKind, kMdac28);
    }

    if (result == 1)
        LogMessage(kLogInfo, "SetupBootstrapper.InstallPrerequisites: all prerequisites were succesfully installed");
    else
        LogMessage(kLogInfo, "SetupBootstrapper.InstallPrerequisites: at least one installation failed");
    return result;
}

// Attempts until the library reports success or the user gives up; the
// library stays loaded for all of them.
int RunLibrary(HWND window, const char* sProdName, int language, int listPosition, int kindNumber,
               const char* downloadLocation, const char* fileName, const char* arguments, const char* displayName)
{
    int result = 1;
    // The platform's standard search, which looks beside the executable
    // first: the packager ships the library with the kit.
    UniqueModule library(LoadLibraryW(L"downloadandrun.dll"));
    if (!library)
    {
        LogMessage(kLogInfo, "DownloadAndRunApp: failed to load library downloadandrun.dll, error returned: %d",
                   static_cast<int>(GetLastError()));
        result = 0;
    }
    else
    {
        for (;;)
        {
            LogMessage(kLogInfo, "DownloadAndRunApp: library downloadandrun.dll succesfully loaded");
            auto downloadAndRunMain = reinterpret_cast<DownloadAndRunMainFn>(
                reinterpret_cast<void*>(GetProcAddress(library.get(), "DownloadAndRunMain")));
            if (downloadAndRunMain == nullptr)
            {
                // A library without its entry point cannot have installed
                // anything: the prerequisite counts as missing, so that the
                // product's setup is not started on a machine known to lack
                // it. There is nothing to retry, so no failure dialog.
                LogMessage(kLogInfo, "DownloadAndRunApp: error loading DownloadAndRunMain function");
                result = 0;
                break;
            }

            wchar_t wszDownloadName[kCchText];
            CatalogueTextToWide(displayName, wszDownloadName, ARRAYSIZE(wszDownloadName));
            LogMessage(kLogInfo, "DownloadAndRunApp: prerequisite located in list at position:%d", listPosition);
            LogMessage(kLogInfo, "DownloadAndRunApp: starting DownloadAndRunMain for '%s' ", wszDownloadName);

            int answer = downloadAndRunMain(window, downloadLocation, fileName, language, 0, arguments, kindNumber, "",
                                            sProdName, displayName, 0, 0, 0, 0);
            LogMessage(kLogInfo, "DownloadAndRunApp: test1");
            if (answer == 0)
            {
                result = 1;
                LogMessage(kLogInfo, "DownloadAndRunApp: '%s' succesfully installed", wszDownloadName);
                break;
            }

            result = 0;
            LogMessage(kLogInfo, "DownloadAndRunApp: '%s' install failed with error :%d, showing the error dialog",
                       wszDownloadName, answer);
            // The dialog's caption is the run's product caption, not the
            // 8-bit copy handed to the library.
            if (ShowErrorDialog(instanceHandle, ::productCaption, wszDownloadName, downloadLocation, fileName) != 1)
            {
                LogMessage(kLogInfo, "DownloadAndRunApp: User choose to abort the setup");
                break;
            }
            LogMessage(kLogInfo, "DownloadAndRunApp: User choose to retry '%s' installation", wszDownloadName);
        }
    }

    LogMessage(kLogInfo, "DownloadAndRunApp: freeing library");
    library.reset();
    return result;
}
}  // namespace

int InstallPrerequisites(HWND window, const wchar_t* caption, const wchar_t* dialogLanguage,
                         int windowsInstallerPresent, int dotNetPresent, int languagePackPresent,
                         const wchar_t* osLanguage, int mdacPresent)
{
    return RunTraced("SetupBootstrapper.InstallPrerequisites >>", nullptr, kLogError,
                     "SetupBootstrapper.InstallPrerequisites: exception caught, error returned:%d", [&] {
                         return InstallMissing(window, caption, dialogLanguage, windowsInstallerPresent, dotNetPresent,
                                               languagePackPresent, osLanguage, mdacPresent);
                     });
}

int DownloadAndRunApp(HWND window, const char* sProdName, int language, int listPosition, int kindNumber,
                      const char* downloadLocation, const char* fileName, const char* arguments,
                      const char* displayName)
{
    return RunTraced("DownloadAndRunApp >>", "DownloadAndRunApp <<", kLogError,
                     "DownloadAndRunApp: exception caught, error retuned:%d", [&] {
                         return RunLibrary(window, sProdName, language, listPosition, kindNumber, downloadLocation,
                                           fileName, arguments, displayName);
                     });
}
