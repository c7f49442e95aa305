// The prerequisites dialog and the failure dialog as a person meets them:
// their language, what they list, and what Next, Retry, Exit Setup and the
// close command lead to.

#include "prerequisites/ErrorDialog.h"
#include "prerequisites/PrereqDialog.h"
#include "resources/resource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/WindowDriver.h"
#include "tests/unit/PrereqTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace
{
int ShowDialog(const wchar_t* dialogLanguage, const Present& p, const wchar_t* osLanguage)
{
    return CreatePrereqDialog(GetModuleHandleW(nullptr), kCaption, dialogLanguage, p.windowsInstaller, p.dotNet,
                              p.languagePack, osLanguage, p.mdac);
}
}  // namespace

TEST(PrereqDialog, SpeaksTheInstallationLanguageAndListsWhatIsMissingInInstallationOrder)
{
    const std::wstring wi = L"Windows Installer 3.1 Redistributable";
    const std::wstring dotNet = L"Microsoft .NET Framework 2.0 x64";
    const std::wstring mdac = L"Microsoft Data Access Components (MDAC 2.8)";
    enum class End { Cancel, Close, Next };
    const struct
    {
        const wchar_t *selectedLanguage, *heading;
        Present present;
        const wchar_t* osLanguage;
        std::vector<std::wstring> lines;
        std::vector<int> positions;  // Windows Installer, .NET, pack, MDAC; 0 when not listed
        End end;
    } cases[] = {
        {L"1033", L"Prerequisites check", {0, 1, 1, 0}, L"1033", {wi, mdac}, {0, 0, 0, 1}, End::Cancel},
        {L"1040", L"Prerequisiti di installazione", {1, 1, 0, 0}, L"1040",
         {L"Microsoft .NET Framework versione 2.0 Language Pack (x64) (italiano)", mdac}, {0, 0, 0, 1}, End::Cancel},
        {L"1031", L"Überprüfung der Installationsvoraussetzungen", {0, 0, 0, 0}, L"1031",
         {wi, dotNet, L"Microsoft .NET Framework 2.0 Language Pack Deutsch (x64)", mdac}, {0, 1, 2, 3}, End::Close},
        {L"1049", L"Prerequisites check", {1, 0, 0, 1}, L"1049", {dotNet}, {0, 0, 0, 0}, End::Close},
        // No pack is offered for the language: nothing to install, and Next
        // goes on.
        {L"3082", L"Prerequisites check", {1, 1, 0, 1}, L"3082", {}, {0, 0, 0, 0}, End::Next}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.selectedLanguage));
        windowsInstallerListPosition = dotNetListPosition = languagePackListPosition = mdacListPosition = 0;
        ScopedRunValues values(c.selectedLanguage, c.osLanguage);
        LibraryFolder library;
        LogCapture capture;
        BackgroundCall call([&] { return ShowDialog(c.selectedLanguage, c.present, c.osLanguage); });
        HWND dialog = WaitForOwnDialogWith(IDC_PREREQ_LIST);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(WindowText(dialog), kCaption);
        EXPECT_EQ(ControlText(dialog, IDC_PREREQ_HEADING), c.heading);
        for (int id : {IDC_PREREQ_MISSING, IDC_PREREQ_WILL_INSTALL})
            EXPECT_THAT(ControlText(dialog, id), AllOf(HasSubstr(kCaption), Not(HasSubstr(L"%s"))));
        EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_PREREQ_LIST)), c.lines);

        if (c.end == End::Close)
            SendSystemCommand(dialog, SC_CLOSE);
        else
            ClickButton(dialog, c.end == End::Next ? IDOK : IDCANCEL);
        ASSERT_TRUE(call.WaitDone());
        EXPECT_EQ(call.Result(), c.end == End::Next ? 1 : 0);
        EXPECT_EQ((std::vector<int>{windowsInstallerListPosition, dotNetListPosition, languagePackListPosition,
                                    mdacListPosition}),
                  c.positions);
        EXPECT_THAT(library.Journal(), IsEmpty());
        if (c.end == End::Next)
        {
            EXPECT_THAT(capture.Messages(), Contains(L"SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework "
                                                     L"2.0 x64 Language Pack not added tp prerequistes list - it is "
                                                     L"an English OS"));
        }
    }
}

TEST(PrereqDialog, NextInstallsInOrderRetriesOnRequestAndStopsWhenTheUserExits)
{
    ScopedRunValues values(L"1031", L"1031");
    LibraryFolder library;
    library.Answer(kWindowsInstaller31.fileName, "1603,0");
    library.Answer(kDotNet20X64.fileName, "1603");
    LogCapture capture;
    BackgroundCall call([] { return ShowDialog(L"1031", {0, 0, 0, 0}, L"1031"); });
    HWND dialog = WaitForOwnDialogWith(IDC_PREREQ_LIST);
    ASSERT_NE(dialog, nullptr);
    PressKey(dialog, VK_RETURN);

    // Windows Installer fails once; Retry installs it and the stage goes on.
    HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
    ASSERT_NE(failure, nullptr);
    ClickButton(failure, IDOK);
    ASSERT_TRUE(WaitForWindowGone(failure));
    failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
    ASSERT_NE(failure, nullptr);
    EXPECT_THAT(ControlText(failure, IDC_ERROR_TEXT), HasSubstr(L"aufgetreten:  Microsoft .NET Framework 2.0 x64"));
    // While the installation runs, the dialog takes no second Next and no
    // Cancel, by button, key or close command.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendSystemCommand(dialog, SC_CLOSE);

    SetChecked(failure, IDC_ERROR_OPEN_LOCATION, false);
    ClickButton(failure, IDCANCEL);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 0);
    const auto windowsInstaller = ExpectedCall(dialog, kWindowsInstaller31, 1031, 5);
    EXPECT_THAT(library.Journal(),
                ElementsAre(windowsInstaller, windowsInstaller, ExpectedCall(dialog, kDotNet20X64, 1031, 10)));
    const std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Contains(L"DownloadAndRunApp: prerequisite located in list at position:1"));
    EXPECT_THAT(messages, Contains(L"DownloadAndRunApp: User choose to retry 'Windows Installer 3.1 Redistributable' "
                                   L"installation"));
    EXPECT_THAT(messages, Contains(L"SetupBootstrapper.ErrorDialogCallback: Checkbox is unchecked - simply aborting "
                                   L"setup process"));
}

TEST(PrereqErrorDialog, SpeaksTheInstallationLanguageAndOpensTheLocationOnlyOnExitWithTheBoxTicked)
{
    enum class Leave { ExitTicked, ExitCleared, Close };
    const struct
    {
        const wchar_t* selectedLanguage;
        const Prerequisite& row;
        Leave leave;
        const wchar_t* text;
    } cases[] = {
        {L"1033", kWindowsInstaller31, Leave::ExitTicked,
         L"There was an error while downloading and installing prerequisite:  "},
        // The file name follows the query text.
        {L"1031", kMdac28, Leave::ExitTicked, L"ist ein Fehler aufgetreten:  "},
        {L"1040", kWindowsInstaller31, Leave::ExitCleared,
         L"Si è verificato un errore durante il download e l'installazione del prerequisito:  "},
        {L"3082", kMdac28, Leave::Close, L"There was an error while downloading and installing prerequisite:  "}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.selectedLanguage));
        ScopedRunValues values(c.selectedLanguage, L"1033");
        UrlRecorder browser;
        LogCapture capture;
        wchar_t name[1024];
        CatalogueTextToWide(c.row.displayName, name, 1024);
        BackgroundCall call([&] {
            return ShowErrorDialog(GetModuleHandleW(nullptr), kCaption, name, c.row.downloadLocation, c.row.fileName);
        });
        HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(WindowText(failure), kCaption);
        EXPECT_THAT(ControlText(failure, IDC_ERROR_TEXT), HasSubstr(c.text + std::wstring(name)));
        EXPECT_TRUE(IsChecked(failure, IDC_ERROR_OPEN_LOCATION));
        EXPECT_EQ(GetForegroundWindow(), failure);

        if (c.leave == Leave::ExitCleared)
            SetChecked(failure, IDC_ERROR_OPEN_LOCATION, false);
        if (c.leave == Leave::Close)
            SendSystemCommand(failure, SC_CLOSE);
        else
            PressKey(failure, VK_ESCAPE);
        ASSERT_TRUE(call.WaitDone());
        EXPECT_EQ(call.Result(), 0);
        const bool opens = c.leave == Leave::ExitTicked;
        if (opens)
        {
            ASSERT_TRUE(WaitUntil([&] { return !browser.Received().empty(); }, 20000));
            EXPECT_THAT(browser.Received(), ElementsAre("\"" + std::string(c.row.downloadLocation) + "\\" +
                                                        c.row.fileName + "\""));
        }
        // The page is asked for before the call returns, where the recorder
        // may not have written yet: the log tells at once.
        const std::vector<std::wstring> messages = capture.Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), L"SetupBootstrapper.OpenWebPage:: >>"), opens ? 1 : 0);
    }
}
