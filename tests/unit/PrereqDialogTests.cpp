// The prerequisites dialog and the failure dialog as a person meets them:
// their language, what they list, and what Next, Retry, Exit Setup and the
// close command lead to.

#include "prerequisites/ErrorDialog.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqDialog.h"
#include "resources/resource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/WindowDriver.h"
#include "tests/unit/PrereqTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace
{
constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr wchar_t kMdacKey[] = L"Software\\Microsoft\\DataAccess";

struct Present
{
    int windowsInstaller;
    int dotNet;
    int languagePack;
    int mdac;
};

int ShowDialog(const wchar_t* dialogLanguage, const Present& p, const wchar_t* osLanguage)
{
    return CreatePrereqDialog(GetModuleHandleW(nullptr), kCaption, dialogLanguage, p.windowsInstaller, p.dotNet,
                              p.languagePack, osLanguage, p.mdac);
}

int FontWeight(HWND control)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    if (font == nullptr || GetObjectW(font, sizeof(logFont), &logFont) == 0)
        return 0;
    return logFont.lfWeight;
}

std::wstring Filled(const wchar_t* templateText, const wchar_t* value = kCaption)
{
    std::wstring text = templateText;
    text.replace(text.find(L"%s"), 2, value);
    return text;
}
}  // namespace

TEST(PrereqDialog, SpeaksTheInstallationLanguageAndListsWhatIsMissingInInstallationOrder)
{
    struct Case
    {
        const wchar_t* selectedLanguage;
        const wchar_t* next;
        const wchar_t* heading;
        const wchar_t* missing;
        Present present;
        const wchar_t* osLanguage;
        std::vector<std::wstring> lines;
        // Positions of Windows Installer, .NET, language pack, MDAC (0 when not listed).
        std::vector<int> positions;
    } cases[] = {
        {L"1033", L"&Next >", L"Prerequisites check", L"This machine is missing components required by %s",
         {0, 1, 1, 0}, L"1033",
         {L"Windows Installer 3.1 Redistributable", L"Microsoft Data Access Components (MDAC 2.8)"}, {0, 0, 0, 1}},
        {L"1040", L"&Avanti >", L"Prerequisiti di installazione",
         L"Su questo computer mancano i componenti richiesti da %s", {1, 1, 0, 0}, L"1040",
         {L"Microsoft .NET Framework versione 2.0 Language Pack (x64) (italiano)",
          L"Microsoft Data Access Components (MDAC 2.8)"},
         {0, 0, 0, 1}},
        {L"1031", L"&Weiter >", L"Überprüfung der Installationsvoraussetzungen",
         L"Auf diesem Computer fehlen Softwarekomponenten, die von %s benötigt werden", {0, 0, 0, 0}, L"1031",
         {L"Windows Installer 3.1 Redistributable", L"Microsoft .NET Framework 2.0 x64",
          L"Microsoft .NET Framework 2.0 Language Pack Deutsch (x64)", L"Microsoft Data Access Components (MDAC 2.8)"},
         {0, 1, 2, 3}},
        {L"3082", L"&Next >", L"Prerequisites check", L"This machine is missing components required by %s",
         {1, 0, 0, 1}, L"3082", {L"Microsoft .NET Framework 2.0 x64"}, {0, 0, 0, 0}},
        {L"1049", L"&Next >", L"Prerequisites check", L"This machine is missing components required by %s",
         {1, 0, 1, 1}, L"1049", {L"Microsoft .NET Framework 2.0 x64"}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.selectedLanguage));
        windowsInstallerListPosition = dotNetListPosition = languagePackListPosition = mdacListPosition = 0;
        ScopedRunValues values(c.selectedLanguage, c.osLanguage);
        LibraryFolder library;
        BackgroundCall call([&] { return ShowDialog(c.selectedLanguage, c.present, c.osLanguage); });
        HWND dialog = WaitForOwnDialogWith(IDC_PREREQ_LIST);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(WindowText(dialog), kCaption);
        EXPECT_EQ(ControlText(dialog, IDOK), c.next);
        EXPECT_EQ(ControlText(dialog, IDC_PREREQ_HEADING), c.heading);
        EXPECT_EQ(ControlText(dialog, IDC_PREREQ_MISSING), Filled(c.missing));
        EXPECT_EQ(FontWeight(GetDlgItem(dialog, IDC_PREREQ_HEADING)), FW_BOLD);
        EXPECT_LT(FontWeight(GetDlgItem(dialog, IDC_PREREQ_MISSING)), FW_BOLD);
        EXPECT_EQ(ListBoxItems(GetDlgItem(dialog, IDC_PREREQ_LIST)), c.lines);

        // Cancel and the close command both end it without installing.
        if (c.selectedLanguage[0] == L'1')
            ClickButton(dialog, IDCANCEL);
        else
            SendSystemCommand(dialog, SC_CLOSE);
        ASSERT_TRUE(call.WaitDone());
        EXPECT_EQ(call.Result(), 0);
        EXPECT_EQ((std::vector<int>{windowsInstallerListPosition, dotNetListPosition, languagePackListPosition,
                                    mdacListPosition}),
                  c.positions);
        EXPECT_FALSE(library.JournalExists());
    }
}

TEST(PrereqDialog, NextInstallsInOrderRetriesOnRequestAndStopsWhenTheUserExits)
{
    ScopedRunValues values(L"1031", L"1031");
    LibraryFolder library;
    library.Answer("WindowsInstaller-KB893803-v2-x86.exe", "1603,0");
    library.Answer("NetFx64.exe", "1603");
    UrlRecorder browser;
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
    EXPECT_EQ(ControlText(failure, IDC_ERROR_TEXT),
              L"Beim Herunterladen und der Installation der Voraussetzungen ist ein Fehler aufgetreten:  "
              L"Microsoft .NET Framework 2.0 x64");
    // While the installation runs, the prerequisites dialog takes no second
    // Next and no Cancel, by button, key or close command.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendSystemCommand(dialog, SC_CLOSE);

    SetChecked(failure, IDC_ERROR_OPEN_LOCATION, false);
    ClickButton(failure, IDCANCEL);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 0);

    const auto windowsInstaller =
        ExpectedCall(dialog, kWindowsInstaller31.downloadLocation, kWindowsInstaller31.fileName, 1031,
                     kWindowsInstaller31.arguments, 5, kWindowsInstaller31.displayName);
    const auto dotNet = ExpectedCall(dialog, kDotNet20X64.downloadLocation, kDotNet20X64.fileName, 1031,
                                     kDotNet20X64.arguments, 10, kDotNet20X64.displayName);
    EXPECT_THAT(library.Journal(), ElementsAre(windowsInstaller, windowsInstaller, dotNet));
    EXPECT_THAT(browser.Received(), IsEmpty());
    std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Contains(L"DownloadAndRunApp: prerequisite located in list at position:1"));
    EXPECT_THAT(messages, Contains(L"DownloadAndRunApp: User choose to retry 'Windows Installer 3.1 Redistributable' "
                                   L"installation"));
    EXPECT_THAT(messages, Contains(L"SetupBootstrapper.ErrorDialogCallback: Checkbox is unchecked - simply aborting "
                                   L"setup process"));
}

TEST(PrereqDialog, EmptyListForALanguageWithoutPackLetsNextEndWithSuccess)
{
    RegistrySandbox registry;
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, kDotNetKey, L"Install", 1);
    registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, std::wstring(kDotNetKey) + L"\\3082", L"Install");
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", L"2.81.1117.0");
    ScopedRunValues values(L"3082", L"3082");
    LibraryFolder library;
    LogCapture capture;
    BackgroundCall call([] { return ShowPrereqDialog(GetModuleHandleW(nullptr), kCaption); });
    HWND dialog = WaitForOwnDialogWith(IDC_PREREQ_LIST);
    ASSERT_NE(dialog, nullptr);
    EXPECT_THAT(ListBoxItems(GetDlgItem(dialog, IDC_PREREQ_LIST)), IsEmpty());
    ClickButton(dialog, IDOK);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 1);
    EXPECT_FALSE(library.JournalExists());
    std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Contains(L"SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework 2.0 x64 Language "
                                   L"Pack not added tp prerequistes list - it is an English OS"));
    EXPECT_THAT(messages, Contains(L"SetupBootstrapper.ShowPrereqDialog: At least one missing prerequisite was found, "
                                   L"showing Prerequisites dialog"));
}

TEST(PrereqErrorDialog, SpeaksTheInstallationLanguageAndOpensTheLocationOnExitWhenTicked)
{
    struct Case
    {
        const wchar_t* selectedLanguage;
        const Prerequisite* row;
        bool ticked;
        const wchar_t* retry;
        const wchar_t* text;
        std::vector<std::string> opened;
    } cases[] = {
        {L"1033", &kWindowsInstaller31, true, L"&Retry",
         L"There was an error while downloading and installing prerequisite:  %s",
         {"\"http://download.microsoft.com/download/1/4/7/147ded26-931c-4daf-9095-ec7baf996f46"
          "\\WindowsInstaller-KB893803-v2-x86.exe\""}},
        {L"1031", &kMdac28, true, L"&Neu versuchen",
         L"Beim Herunterladen und der Installation der Voraussetzungen ist ein Fehler aufgetreten:  %s",
         {"\"http://www.zel.com/prerequisites/rindex.php?prodcode=DRVS9RP&string=MDAC28\\mdac_typ.exe\""}},
        {L"1040", &kWindowsInstaller31, false, L"&Riprova",
         L"Si è verificato un errore durante il download e l'installazione del prerequisito:  %s", {}},
        {L"3082", &kMdac28, false, L"&Retry",
         L"There was an error while downloading and installing prerequisite:  %s", {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.selectedLanguage));
        ScopedRunValues values(c.selectedLanguage, L"1033");
        UrlRecorder browser;
        LogCapture capture;
        wchar_t name[1024];
        CatalogueTextToWide(c.row->displayName, name, 1024);
        const Prerequisite* row = c.row;
        BackgroundCall call([&] {
            return ShowErrorDialog(GetModuleHandleW(nullptr), kCaption, name, row->downloadLocation, row->fileName);
        });
        HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
        ASSERT_NE(failure, nullptr);
        EXPECT_EQ(WindowText(failure), kCaption);
        EXPECT_EQ(ControlText(failure, IDOK), c.retry);
        EXPECT_EQ(ControlText(failure, IDC_ERROR_TEXT), Filled(c.text, name));
        EXPECT_TRUE(IsChecked(failure, IDC_ERROR_OPEN_LOCATION));
        EXPECT_EQ(GetForegroundWindow(), failure);

        if (!c.ticked)
            SetChecked(failure, IDC_ERROR_OPEN_LOCATION, false);
        PressKey(failure, VK_ESCAPE);
        ASSERT_TRUE(call.WaitDone());
        EXPECT_EQ(call.Result(), 0);
        if (c.ticked)
        {
            ASSERT_TRUE(WaitUntil([&] { return !browser.Received().empty(); }, 20000));
        }
        EXPECT_EQ(browser.Received(), c.opened);
        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), std::wstring(L"SetupBootstrapper.OpenWebPage:: >>")),
                  c.ticked ? 1 : 0);
    }
}

TEST(PrereqErrorDialog, CloseCommandExitsWithoutLookingAtTheBox)
{
    ScopedRunValues values(L"1033", L"1033");
    UrlRecorder browser;
    LogCapture capture;
    BackgroundCall call([] {
        return ShowErrorDialog(GetModuleHandleW(nullptr), kCaption, L"Windows Installer 3.1 Redistributable",
                               kWindowsInstaller31.downloadLocation, kWindowsInstaller31.fileName);
    });
    HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
    ASSERT_NE(failure, nullptr);
    ASSERT_TRUE(IsChecked(failure, IDC_ERROR_OPEN_LOCATION));
    SendSystemCommand(failure, SC_CLOSE);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 0);
    // Anything the close command set off would have run before the dialog
    // was gone.
    std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.ErrorDialogCallback: Determining the download prerequisite "
                                       L"checkbox state")));
    EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.OpenWebPage:: >>")));
    EXPECT_THAT(browser.Received(), IsEmpty());
}
