// Whole runs of the bootstrapper, driven as a person would, each compared
// line by line with the diagnostic log it must leave.

#include "tests/e2e/Transcript.h"
#include "tests/support/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace test;
using namespace transcript;
using ::testing::ElementsAre;

namespace
{
const System kXp{false, false, true};
const System kWindows7{false, true, true};
const System kWindows2000{true, false, false};

const std::wstring kProductCode = L"{CBE19707-CF6D-4819-9574-3DFD568960FA}";
const std::wstring kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kProductCode;
const std::wstring kSourceListKey =
    L"SOFTWARE\\Classes\\Installer\\Products\\70791EBCD6FC91845947D3DF659806AF\\SourceList";
const std::wstring kEnglishFamily =
    L"SetupBootstrapper.GetSupportedLangID: this language is English, lang code to be used 1033";
const std::wstring kGermanFamily = L"SetupBootstrapper.GetSupportedLangID: this language is German(1031)";

// The kit's own languages.ini.
const std::vector<Section> kKitCatalogue = {
    {L"English", L"1033", L"-l1033 /vProductLanguage=1033"},
    {L"German", L"1031", L"-l1031 /vProductLanguage=1031"},
    {L"Italian", L"1040", L"-l1040 /vProductLanguage=1040"},
    {L"Spanish", L"3082", L"-l3082 /vProductLanguage=3082"},
    {L"Russian", L"1049", L"-l1049 /vProductLanguage=1049"},
};

std::wstring LogArgument(const Scenario& scenario)
{
    return L"/v\"/L*v\\\"" + scenario.TempFolder() + L"DRAVO_v9_InstallKitLog.log\\\"";
}

// Where the two logs part, with a little of what comes before.
void ExpectLog(const Scenario& scenario, const Log& expected, bool withoutPaintingNoise = false)
{
    Lines actual = scenario.LogMessages();
    if (withoutPaintingNoise)
        actual = WithoutPaintingNoise(actual);
    const Lines& wanted = expected.lines();
    size_t same = 0;
    while (same < actual.size() && same < wanted.size() && actual[same] == wanted[same])
        ++same;
    if (same == actual.size() && same == wanted.size())
        return;
    std::ostringstream report;
    report << "the log parts from the expected one at line " << same + 1 << "\n";
    for (size_t i = same >= 3 ? same - 3 : 0; i < same; ++i)
        report << "   same     | " << WideToUtf8(actual[i]) << "\n";
    for (size_t i = same; i < same + 4; ++i)
    {
        report << "   expected | " << (i < wanted.size() ? WideToUtf8(wanted[i]) : "(end)") << "\n";
        report << "   written  | " << (i < actual.size() ? WideToUtf8(actual[i]) : "(end)") << "\n";
    }
    ADD_FAILURE() << report.str();
}

Lines DownloadAndRunSucceeded(const std::wstring& displayName, int position)
{
    return {L"DownloadAndRunApp >>",
            L"DownloadAndRunApp: library downloadandrun.dll succesfully loaded",
            L"DownloadAndRunApp: prerequisite located in list at position:" + std::to_wstring(position),
            L"DownloadAndRunApp: starting DownloadAndRunMain for '" + displayName + L"' ",
            L"DownloadAndRunApp: test1",
            L"DownloadAndRunApp: '" + displayName + L"' succesfully installed",
            L"DownloadAndRunApp: freeing library",
            L"DownloadAndRunApp <<"};
}

Lines Extraction(int id, const std::wstring& path)
{
    return {L"SetupBootStrapper.ExtractResToTemp >>",
            L"SetupBootStrapper.ExtractResToTemp: called for resource with name:BIN and ID " + std::to_wstring(id),
            L"SetupBootStrapper.ExtractResToTemp: resource will be extracted to '" + path + L"'",
            L"SetupBootStrapper.ExtractResToTemp: Creating '" + path + L"'",
            L"SetupBootStrapper.ExtractResToTemp: File '" + path + L"' succesfully created.",
            L"SetupBootStrapper.ExtractResToTemp: Writting stream data",
            L"SetupBootStrapper.ExtractResToTemp: stream succesfully written, closing file",
            L"SetupBootStrapper.ExtractResToTemp: resource succesfully extracted to " + path,
            L"SetupBootStrapper.ExtractResToTemp <<"};
}

// The beginning every first installation shares, up to the language step.
Log FirstInstallationStart(const System& system, bool fullUi, const Lines& osLanguage, const std::wstring& language)
{
    Log log;
    if (fullUi)
        log << L"SetupBootStrapper.WinMain: This is a FULL UI 'Zel Morvanto 9.5' install";
    log << IsWindows2K(system) << L"MorvantoBootStrapper.LaunchExe >>" << osLanguage
        << L"MorvantoBootStrapper.LaunchExe: OS language to be used: " + language << IsProductInstalled(system, false)
        << L"MorvantoBootStrapper.LaunchExe: Morvanto is not installed - showing language selection dialog";
    return log;
}

Lines EnglishOnXp()
{
    return OSLanguageID(kXp, L"0409", L"1033", kEnglishFamily, L"1033");
}

Lines EnglishOnWindows7()
{
    return OSLanguageID(kWindows7, L"0409", L"1033", kEnglishFamily, L"1033");
}

const Lines kNothingMissing = {
    L"SetupBootstrapper.ShowPrereqDialog: Prerequisites dialog not displayed because no missing prerequisite was found",
    L"SetupBootstrapper.ShowPrereqDialog <<"};

const Lines kRunEnd = {L"MorvantoBootStrapper.LaunchExe <<",
                       L"SetupBootStrapper.WinMain: Deleting resources after installation"};

// The setup's window keeps the bootstrapper waiting until it is closed.
void CloseSetupAndWait(ChildProcess& child)
{
    HWND setup = WaitForSetupWindow();
    ASSERT_NE(setup, nullptr) << "the setup stand-in showed no window";
    EXPECT_FALSE(child.HasExited()) << "the bootstrapper did not wait for the setup";
    CloseSetupWindow(setup);
    ASSERT_TRUE(child.WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child.ExitCode(), 0u);
}


// The beginning every run over an installed product shares, up to the
// downgrade decision.
Log InstalledProductStart(bool fullUi, const std::wstring& installed, bool downgrade)
{
    Log log;
    if (fullUi)
        log << L"SetupBootStrapper.WinMain: This is a FULL UI 'Zel Morvanto 9.5' install";
    log << IsWindows2K(kWindows7) << L"MorvantoBootStrapper.LaunchExe >>" << EnglishOnWindows7()
        << L"MorvantoBootStrapper.LaunchExe: OS language to be used: 1033" << IsProductInstalled(kWindows7, true)
        << L"MorvantoBootStrapper.LaunchExe: Morvanto is installed - verifying if a downgrade is attempted"
        << L"MorvantoBootStrapper.IsDowngrade >>"
        << L"MorvantoBootStrapper.IsDowngrade: Getting installed Zel Morvanto version number using ID " +
               kProductCode + L" "
        << Read(kWindows7, Reader::String, kUninstallKey, L"DisplayVersion", Found(installed))
        << L"MorvantoBootStrapper.IsDowngrade: Installed Zel Morvanto version is " + installed
        << L"MorvantoBootStrapper.IsDowngrade: getting version of the Zel Morvanto kit currently launched"
        << L"MorvantoBootStrapper.IsDowngrade:1" << L"MorvantoBootStrapper.IsDowngrade:2"
        << L"MorvantoBootStrapper.IsDowngrade:3"
        << L"MorvantoBootStrapper.IsDowngrade: Zel Morvanto version currently installing is :9.5.0.1"
        << (downgrade ? L"MorvantoBootStrapper.IsDowngrade: This is a downgrade"
                      : L"MorvantoBootStrapper.IsDowngrade: Not a downgrade")
        << L"MorvantoBootStrapper.IsDowngrade <<";
    return log;
}

void InstallProduct(Scenario& scenario, const std::wstring& version)
{
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallKey, L"DisplayName",
                                  L"Zel Morvanto 9.5");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallKey, L"DisplayVersion", version);
}
}  // namespace

TEST(WholeRun, FirstInstallationInFullUiOnXpWithNothingMissing)
{
    Scenario scenario(L"run-xp");
    scenario.EmulateWindows(L"winxp");
    scenario.SetPrerequisitesPresent();

    auto child = scenario.Start(L"");
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(WindowText(languages), L"Zel Morvanto 9.5");
    HWND list = GetDlgItem(languages, kLanguageListId);
    EXPECT_THAT(ComboBoxItems(list), ElementsAre(L"English", L"German", L"Italian", L"Spanish", L"Russian"));
    EXPECT_EQ(ComboBoxSelectedText(list), L"English");
    PressKey(languages, VK_RETURN);
    CloseSetupAndWait(*child);

    const std::wstring commandLine = L"morvanto9.exe -l1033 /vProductLanguage=1033 " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    Log expected = FirstInstallationStart(kXp, true, EnglishOnXp(), L"1033");
    expected << LanguageDialogShown(kKitCatalogue, L"1033") << LanguageDialogConfirmed(kKitCatalogue[0])
             << Detect(kXp, Detections{}) << kNothingMissing
             << L"MorvantoBootStrapper.LaunchExe: running installation in FULL UI mode with args:-l1033 "
                L"/vProductLanguage=1033"
             << SetupRun(L"running in full UI mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected);
}

TEST(WholeRun, GermanXpInstallsMissingDotNetThroughTheDialogs)
{
    Scenario scenario(L"run-german");
    scenario.EmulateWindows(L"winxp");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Native,
                                  L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage", L"0407");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"Software\\Microsoft\\DataAccess",
                                  L"FullInstallVer", L"2.81.1117.0");

    auto child = scenario.Start(L"");
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(ComboBoxSelectedText(GetDlgItem(languages, kLanguageListId)), L"German");
    ClickButton(languages, IDOK);

    HWND prerequisites = WaitForDialogWith(child->Id(), kPrerequisiteListId);
    ASSERT_NE(prerequisites, nullptr);
    EXPECT_EQ(WindowText(prerequisites), L"Zel Morvanto 9.5");
    EXPECT_EQ(ControlText(prerequisites, 1013), L"Überprüfung der Installationsvoraussetzungen");
    EXPECT_EQ(ControlText(prerequisites, 1017),
              L"Auf diesem Computer fehlen Softwarekomponenten, die von Zel Morvanto 9.5 benötigt werden");
    EXPECT_THAT(ListBoxItems(GetDlgItem(prerequisites, kPrerequisiteListId)),
                ElementsAre(L"Microsoft .NET Framework 2.0 x64", L"Microsoft .NET Framework 2.0 Language Pack Deutsch (x64)"));
    const std::string window = std::to_string(reinterpret_cast<uintptr_t>(prerequisites));
    ClickButton(prerequisites, IDOK);
    CloseSetupAndWait(*child);

    // The library got the dialog as its window and the chosen language.
    auto calls = ReadLibraryJournal(scenario.KitDir());
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_THAT(calls[0], ElementsAre(window, "http://download.microsoft.com/download/a/3/f/a3f1bf98-18f3-4036-9b68-8e6de530ce0a",
                                      "NetFx64.exe", "1031", "0", "/q:a /c:\"install /l /q\"", "10", "",
                                      "Zel Morvanto 9.5", "Microsoft .NET Framework 2.0 x64", "0", "0", "0", "0"));
    EXPECT_EQ(calls[1][2], "langpack.exe");
    EXPECT_EQ(calls[1][6], "3");

    const std::wstring commandLine = L"morvanto9.exe -l1031 /vProductLanguage=1031 " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    Detections detections;
    detections.dotNet = false;
    detections.osLanguage = L"1031";
    detections.languagePack = false;
    Log expected =
        FirstInstallationStart(kXp, true, OSLanguageID(kXp, L"0407", L"1031", kGermanFamily, L"1031"), L"1031");
    expected << LanguageDialogShown(kKitCatalogue, L"1031") << LanguageDialogConfirmed(kKitCatalogue[1])
             << Detect(kXp, detections)
             << L"SetupBootstrapper.ShowPrereqDialog: At least one missing prerequisite was found, showing "
                L"Prerequisites dialog"
             << L"SetupBootstrapper.CreatePrereqDialog >>"
             << L"SetupBootstrapper.CreatePrereqDialog: called fro languageID:1031"
             << L"SetupBootstrapper.CreatePrereqDialog: Showing prerequisites dialog in German"
             << L"SetupBootstrapper.PrereqDialogCallback: WM_INITDIALOG" << L"SetupBootstrapper.OnInitPrereqDialog >>"
             << L"SetupBootstrapper.OnInitPrereqDialog: adding missing prerequisites to listbox" << IsOS64(kXp)
             << L"SetupBootstrapper.OnInitPrereqDialog: Adding .NET Framework 2.0 to prerequistes list" << IsOS64(kXp)
             << L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack 1031 added to "
                L"prerequistes list"
             << L"SetupBootstrapper.InstallPrerequisites >>" << IsOS64(kXp)
             << L"SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64"
             << DownloadAndRunSucceeded(L"Microsoft .NET Framework 2.0 x64", 0) << IsOS64(kXp)
             << L"SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64 Language Pack 1031"
             << DownloadAndRunSucceeded(L"Microsoft .NET Framework 2.0 Language Pack Deutsch (x64)", 1)
             << L"SetupBootstrapper.InstallPrerequisites: all prerequisites were succesfully installed"
             << L"SetupBootstrapper.CreatePrereqDialog <<" << L"SetupBootstrapper.ShowPrereqDialog <<"
             << L"MorvantoBootStrapper.LaunchExe: running installation in FULL UI mode with args:-l1031 "
                L"/vProductLanguage=1031"
             << SetupRun(L"running in full UI mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected, true);
}

TEST(WholeRun, SilentFirstInstallationTakesTheLanguageOfTheSwitch)
{
    Scenario scenario(L"run-silent");
    scenario.SetPrerequisitesPresent();
    ASSERT_EQ(scenario.Run(L"/s answers.iss /l 1040"), 0u);

    const std::wstring commandLine =
        L"morvanto9.exe /s /f1answers.iss -l1040 /vProductLanguage=1040 /qn " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    const std::wstring italian = L"-l1040 /vProductLanguage=1040";
    Log expected = FirstInstallationStart(kWindows7, false, EnglishOnWindows7(), L"1033");
    expected << L"MorvantoBootStrapper.ShowSelectLanguageDialog >>"
             << L"MorvantoBootStrapper.LaunchExe: this is a silent installation, not showing language selection dialog"
             << L"MorvantoBootStrapper.GetLanguageArgs >>"
             << L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was specified"
             << L"MorvantoBootStrapper.GetLanguageArgs: silent mode default language is:1040"
             << L"MorvantoBootStrapper.GetLanguageArgs: getting language args for language specified with /l param:"
             << L"MorvantoBootStrapper.GetLangArgs >>"
             << L"MorvantoBootStrapper.GetLangArgs: get language 1040 arguments from the " +
                    scenario.KitFile(L"languages.ini") + L" ini file"
             << L"MorvantoBootStrapper.GetLangArgs: language args to be used:" + italian
             << L"MorvantoBootStrapper.GetLangArgs <<" << L"MorvantoBootStrapper.GetLanguageArgs: language args are:" + italian
             << L"MorvantoBootStrapper.GetLanguageArgs <<" << Detect(kWindows7, Detections{}) << kNothingMissing
             << L"MorvantoBootStrapper.LaunchExe: running installation in silent mode with args:" + italian + L" /qn"
             << SetupRun(L"running in silent mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected);
}

TEST(WholeRun, UpdateOfTheSameVersionKeepsTheInstalledLanguageAndClearsTheSourceCache)
{
    Scenario scenario(L"run-update");
    scenario.SetPrerequisitesPresent();
    InstallProduct(scenario, L"9.5.0.1");
    const std::wstring productFolder = scenario.Root() + L"\\installed product";
    CreateDirectoryW(productFolder.c_str(), nullptr);
    WriteUtf8File(productFolder + L"\\crmiini.xml",
                  "<?xml version=\"1.0\"?>\n<Settings><General><Language id=\"1031\"/></General></Settings>\n");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", productFolder);
    for (const wchar_t* value : {L"LastUsedSource", L"PackageName", L"MediaPackage"})
        scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceListKey, value, L"kept?");

    auto child = scenario.Start(L"");
    // No language dialog: the update goes straight to the setup.
    CloseSetupAndWait(*child);

    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceListKey, L"LastUsedSource"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceListKey, L"PackageName"));
    EXPECT_TRUE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceListKey, L"MediaPackage"));

    const std::wstring commandLine = L"morvanto9.exe -l1031 /vProductLanguage=1031 " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    Log expected = InstalledProductStart(true, L"9.5.0.1", false);
    expected << L"MorvantoBootStrapper.LaunchExe: Morvanto is installed - this is not a downgrade, installation "
                L"continues"
             << L"Zel_DeleteDRVS9CachedKey: >>" << L"Zel_DeleteDRVS9CachedKey: opening registry key:" + kSourceListKey
             << L"Zel_DeleteDRVS9CachedKey: registry key opened succesfully"
             << L"Zel_DeleteDRVS9CachedKey: key:LastUsedSource deleted succesfully"
             << L"Zel_DeleteDRVS9CachedKey: key:PackageName deleted succesfully" << L"Zel_DeleteDRVS9CachedKey: <<"
             << L"MorvantoBootStrapper.GetInstalledLangID >>" << L"MorvantoBootStrapper.GetInstalledAppPath >>"
             << Read(kWindows7, Reader::String, L"SOFTWARE\\Zel\\DRVS9", L"Path", Found(productFolder))
             << L"MorvantoBootStrapper.GetInstalledAppPath <<"
             << L"MorvantoBootStrapper.GetInstalledLangID: app installation path is: " + productFolder
             << L"MorvantoBootStrapper.GetLangIdFromCrmi >>"
             << L"MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: 1031"
             << L"MorvantoBootStrapper.GetLangIdFromCrmi <<"
             << L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1031"
             << L"MorvantoBootStrapper.GetInstalledLangID <<" << Detect(kWindows7, Detections{}) << kNothingMissing
             << L"MorvantoBootStrapper.LaunchExe: running installation in FULL UI mode with args:-l1031 "
                L"/vProductLanguage=1031"
             << SetupRun(L"running in full UI mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected);
}

namespace
{
Log DowngradeLog(bool fullUi)
{
    Log log = InstalledProductStart(fullUi, L"9.6", true);
    log << L"MorvantoBootStrapper.LaunchExe: Morvanto is installed - this is a downgrade, aborting installation"
        << L"MorvantoBootStrapper.LaunchExe: aborting installation" << kRunEnd;
    return log;
}

std::vector<std::wstring> VisibleChildTexts(HWND window, const wchar_t* className)
{
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        if (IsWindowVisible(child) && lstrcmpiW(ClassNameOf(child).c_str(), className) == 0)
            texts.push_back(WindowText(child));
    }
    return texts;
}

bool ShowsAnIcon(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if (IsWindowVisible(child) && (style & SS_TYPEMASK) == SS_ICON &&
            SendMessageW(child, STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}
}  // namespace

TEST(WholeRun, DowngradeInFullUiIsRefusedWithAMessage)
{
    Scenario scenario(L"run-downgrade");
    InstallProduct(scenario, L"9.6");

    auto child = scenario.Start(L"");
    HWND message = WaitForTopLevelWindow(child->Id(), L"#32770", L"Zel Morvanto 9");
    ASSERT_NE(message, nullptr) << "no downgrade message";
    EXPECT_THAT(VisibleChildTexts(message, L"Static"),
                ::testing::Contains(
                    L"A later version of Zel Morvanto 9 is already installed. Installation will not continue."));
    EXPECT_THAT(VisibleChildTexts(message, L"Button"), ElementsAre(L"OK"));
    EXPECT_FALSE(ShowsAnIcon(message));
    EXPECT_FALSE(child->HasExited()) << "the run went on while the message was shown";
    ClickButton(message, IDOK);
    ASSERT_TRUE(child->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child->ExitCode(), 0u);

    EXPECT_FALSE(scenario.SetupWasStarted());
    ExpectLog(scenario, DowngradeLog(true));
}

TEST(WholeRun, DowngradeInASilentRunEndsWithoutAMessage)
{
    Scenario scenario(L"run-downgrade-silent");
    InstallProduct(scenario, L"9.6");
    EXPECT_EQ(scenario.Run(L"/s answers.iss"), 0u);
    EXPECT_FALSE(scenario.SetupWasStarted());
    ExpectLog(scenario, DowngradeLog(false));
}

TEST(WholeRun, CancelledLanguageDialogEndsTheRun)
{
    Scenario scenario(L"run-cancel-language");
    auto child = scenario.Start(L"");
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    ClickButton(languages, IDCANCEL);
    ASSERT_TRUE(child->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child->ExitCode(), 0u);

    EXPECT_FALSE(scenario.SetupWasStarted());
    Log expected = FirstInstallationStart(kWindows7, true, EnglishOnWindows7(), L"1033");
    expected << LanguageDialogShown(kKitCatalogue, L"1033") << LanguageDialogCancelled()
             << L"MorvantoBootStrapper.LaunchExe: aborting installation" << kRunEnd;
    ExpectLog(scenario, expected);
}

TEST(WholeRun, CancelledPrerequisitesDialogEndsTheRun)
{
    Scenario scenario(L"run-cancel-prerequisites");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"Software\\Microsoft\\DataAccess",
                                  L"FullInstallVer", L"2.81.1117.0");
    auto child = scenario.Start(L"");
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    ClickButton(languages, IDOK);
    HWND prerequisites = WaitForDialogWith(child->Id(), kPrerequisiteListId);
    ASSERT_NE(prerequisites, nullptr);
    EXPECT_EQ(ControlText(prerequisites, 1013), L"Prerequisites check");
    ClickButton(prerequisites, IDCANCEL);
    ASSERT_TRUE(child->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child->ExitCode(), 0u);

    EXPECT_FALSE(scenario.SetupWasStarted());
    EXPECT_FALSE(FileExists(scenario.KitFile(L"downloadandrun-journal.txt"))) << "something was installed";
    Detections detections;
    detections.dotNet = false;
    Log expected = FirstInstallationStart(kWindows7, true, EnglishOnWindows7(), L"1033");
    expected << LanguageDialogShown(kKitCatalogue, L"1033") << LanguageDialogConfirmed(kKitCatalogue[0])
             << Detect(kWindows7, detections)
             << L"SetupBootstrapper.ShowPrereqDialog: At least one missing prerequisite was found, showing "
                L"Prerequisites dialog"
             << L"SetupBootstrapper.CreatePrereqDialog >>"
             << L"SetupBootstrapper.CreatePrereqDialog: called fro languageID:1033"
             << L"SetupBootstrapper.CreatePrerqDialog: Showing prerequisites dialog in English"
             << L"SetupBootstrapper.PrereqDialogCallback: WM_INITDIALOG" << L"SetupBootstrapper.OnInitPrereqDialog >>"
             << L"SetupBootstrapper.OnInitPrereqDialog: adding missing prerequisites to listbox" << IsOS64(kWindows7)
             << L"SetupBootstrapper.OnInitPrereqDialog: Adding .NET Framework 2.0 to prerequistes list"
             << L"SetupBootstrapper.CreatePrereqDialog <<" << L"SetupBootstrapper.ShowPrereqDialog <<"
             << L"MorvantoBootStrapper.LaunchExe: setup was cancelled from the prerequisites dialog" << kRunEnd;
    ExpectLog(scenario, expected, true);
}

TEST(WholeRun, RecordingRunWithoutTheSilentSwitchAsksForTheLanguage)
{
    Scenario scenario(L"run-record");
    scenario.SetPrerequisitesPresent();
    auto child = scenario.Start(L"/r c:\\rec.iss");
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    ClickButton(languages, IDOK);
    // A recording setup shows nothing of its own here and ends by itself.
    ASSERT_TRUE(child->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(child->ExitCode(), 0u);

    const std::wstring commandLine = L"morvanto9.exe /r /f1c:\\rec.iss -l1033 /vProductLanguage=1033 " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    const Log start = FirstInstallationStart(kWindows7, true, EnglishOnWindows7(), L"1033");
    Log expected;
    expected << L"SetupBootStrapper.WinMain: This is a recording 'Zel Morvanto 9.5' install" << start.lines()
             << LanguageDialogShown(kKitCatalogue, L"1033") << LanguageDialogConfirmed(kKitCatalogue[0])
             << Detect(kWindows7, Detections{}) << kNothingMissing
             << L"MorvantoBootStrapper.LaunchExe: running installation in FULL UI mode with args:-l1033 "
                L"/vProductLanguage=1033"
             << SetupRun(L"running in recording mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected);
}

TEST(WholeRun, Windows2000PreparesTheXmlParserBeforeTheLaunchSequence)
{
    Scenario scenario(L"run-win2k");
    scenario.EmulateWindows(L"win2k");
    // On Windows 2000 the readers open keys without a view flag: the 64-bit
    // test build then reads the native view.
    scenario.Registry().SetDword(HKEY_LOCAL_MACHINE, RegView::Native,
                                 L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", L"Install", 1);
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Native, L"Software\\Microsoft\\DataAccess",
                                  L"FullInstallVer", L"2.81.1117.0");
    scenario.Registry().SetString(HKEY_LOCAL_MACHINE, RegView::Native,
                                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2",
                                  L"DisplayName", L"Windows Installer 3.1 (KB893803v2)");
    // Wine's regsvr32 would load its own msxml3.dll instead of the file named.
    scenario.Registry().SetString(HKEY_CURRENT_USER, RegView::Native,
                                  L"Software\\Wine\\AppDefaults\\regsvr32.exe\\DllOverrides", L"msxml3",
                                  L"native,builtin");
    const std::wstring marker = L"Software\\Zel\\Msxml3StandIn";
    ASSERT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, RegView::Native, marker));

    ASSERT_EQ(scenario.Run(L"/s a.iss"), 0u);

    const std::wstring folder = scenario.TempFolder() + L"Morvanto9Resources\\";
    EXPECT_TRUE(FileExists(folder + L"msxml3r.dll"));
    EXPECT_TRUE(FileExists(folder + L"msxml3.dll"));
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, RegView::Native, marker, L"Path"), folder + L"msxml3.dll")
        << "msxml3.dll was not registered";
    scenario.Registry().RemoveCreatedKey(HKEY_CURRENT_USER, RegView::Native, marker);

    const std::wstring commandLine =
        L"morvanto9.exe /s /f1a.iss -l1033 /vProductLanguage=1033 /qn " + LogArgument(scenario);
    EXPECT_EQ(scenario.SetupCommandLine(), commandLine);
    const std::wstring english = L"-l1033 /vProductLanguage=1033";
    Detections detections;
    detections.windowsInstallerBuiltIn = false;
    Log expected;
    expected << IsWindows2K(kWindows2000)
             << L"SetupBootStrapper.WinMain: It's Windows 2000, extracting and registerring msxml3.dll"
             << Extraction(110, folder + L"msxml3r.dll") << Extraction(111, folder + L"msxml3.dll")
             << L"SetupBootStrapper.WinMain: registering msxml3.dll"
             << L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 registration to end"
             << L"MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully registered"
             << L"MorvantoBootStrapper.LaunchExe >>"
             << OSLanguageID(kWindows2000, L"0409", L"1033", kEnglishFamily, L"1033")
             << L"MorvantoBootStrapper.LaunchExe: OS language to be used: 1033"
             << IsProductInstalled(kWindows2000, false)
             << L"MorvantoBootStrapper.LaunchExe: Morvanto is not installed - showing language selection dialog"
             << L"MorvantoBootStrapper.ShowSelectLanguageDialog >>"
             << L"MorvantoBootStrapper.LaunchExe: this is a silent installation, not showing language selection dialog"
             << L"MorvantoBootStrapper.GetLanguageArgs >>"
             << L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was specified"
             << L"MorvantoBootStrapper.GetLanguageArgs: no silent mode default language was specified, using OS "
                L"language if valid"
             << L"MorvantoBootStrapper.GetOSLanguageArgs >>" << L"MorvantoBootStrapper.GetLangArgs >>"
             << L"MorvantoBootStrapper.GetLangArgs: get language 1033 arguments from the " +
                    scenario.KitFile(L"languages.ini") + L" ini file"
             << L"MorvantoBootStrapper.GetLangArgs: language args to be used:" + english
             << L"MorvantoBootStrapper.GetLangArgs <<" << L"MorvantoBootStrapper.GetOSLanguageArgs: language args are:" + english
             << L"MorvantoBootStrapper.GetOSLanguageArgs <<" << L"MorvantoBootStrapper.GetLanguageArgs <<"
             << Detect(kWindows2000, detections) << kNothingMissing
             << L"MorvantoBootStrapper.LaunchExe: running installation in silent mode with args:" + english + L" /qn"
             << SetupRun(L"running in silent mode", commandLine) << kRunEnd;
    ExpectLog(scenario, expected);
}
