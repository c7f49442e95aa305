// Installing prerequisites through downloadandrun.dll: what the library is
// handed, the order, and what happens when it fails, is missing or lacks its
// entry point.

#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqDialog.h"
#include "prerequisites/PrereqInstall.h"
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
using ::testing::Not;

namespace
{
constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr wchar_t kMdacKey[] = L"Software\\Microsoft\\DataAccess";

struct Missing
{
    int windowsInstaller;
    int dotNet;
    int languagePack;
    int mdac;
};

int Install(const Missing& m, const wchar_t* dialogLanguage, const wchar_t* osLanguage)
{
    return InstallPrerequisites(nullptr, kCaption, dialogLanguage, !m.windowsInstaller, !m.dotNet, !m.languagePack,
                                osLanguage, !m.mdac);
}
}  // namespace

TEST(PrereqInstallation, LibraryReceivesTheRowKindAndLanguageOfEachMissingPrerequisite)
{
    // The test program is 64-bit: .NET and the language packs come from the
    // x64 rows.
    struct Case
    {
        const char* name;
        Missing missing;
        const wchar_t* osLanguage;
        const Prerequisite* row;
        int kind;
    } cases[] = {
        {"Windows Installer", {1, 0, 0, 0}, L"1033", &kWindowsInstaller31, 5},
        {".NET", {0, 1, 0, 0}, L"1033", &kDotNet20X64, 10},
        {"German pack", {0, 0, 1, 0}, L"1031", &kLanguagePackGermanX64, 3},
        {"Italian pack", {0, 0, 1, 0}, L"1040", &kLanguagePackItalianX64, 3},
        {"MDAC", {0, 0, 0, 1}, L"1033", &kMdac28, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedRunValues values(L"1040", c.osLanguage);
        LibraryFolder library;
        LogCapture capture;
        EXPECT_EQ(Install(c.missing, L"1040", c.osLanguage), 1);
        EXPECT_THAT(library.Journal(),
                    ElementsAre(ExpectedCall(nullptr, c.row->downloadLocation, c.row->fileName, 1040,
                                             c.row->arguments, c.kind, c.row->displayName)));
        EXPECT_THAT(capture.Messages(),
                    Contains(L"SetupBootstrapper.InstallPrerequisites: all prerequisites were succesfully installed"));
    }
}

TEST(PrereqInstallation, MissingPrerequisitesAreInstalledInOrderAndPacksWithoutRowAreSkipped)
{
    struct Case
    {
        const wchar_t* osLanguage;
        std::vector<std::string> files;
        const wchar_t* packLine;
    } cases[] = {
        {L"1031",
         {"WindowsInstaller-KB893803-v2-x86.exe", "NetFx64.exe", "langpack.exe", "mdac_typ.exe"},
         L"SetupBootstrapper.InstallPrerequisites: DownloadAndRun .NET Framework 2.0 x64 Language Pack 1031"},
        {L"3082",
         {"WindowsInstaller-KB893803-v2-x86.exe", "NetFx64.exe", "mdac_typ.exe"},
         L"SetupBootstrapper.InstallPrerequisites: (Default) .NET Framework 2.0 x64 Language Pack not installed - it "
         L"is an English OS"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.osLanguage));
        ScopedRunValues values(L"1033", c.osLanguage);
        LibraryFolder library;
        LogCapture capture;
        EXPECT_EQ(Install({1, 1, 1, 1}, L"1033", c.osLanguage), 1);
        EXPECT_EQ(library.CalledFiles(), c.files);
        EXPECT_THAT(capture.Messages(), Contains(c.packLine));
    }
}

TEST(PrereqInstallation, UnusableLibraryStopsTheStageWithoutFailureDialog)
{
    struct Case
    {
        const char* name;
        LibraryFolder::Content content;
        const wchar_t* line;
    } cases[] = {
        {"missing", LibraryFolder::Content::Nothing,
         L"DownloadAndRunApp: failed to load library downloadandrun.dll, error returned: 126"},
        {"without entry point", LibraryFolder::Content::WithoutEntryPoint,
         L"DownloadAndRunApp: error loading DownloadAndRunMain function"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ScopedRunValues values(L"1033", L"1033");
        LibraryFolder library(c.content);
        LogCapture capture;
        // A failure dialog would keep the call from returning.
        BackgroundCall call([] { return Install({1, 0, 0, 1}, L"1033", L"1033"); });
        ASSERT_TRUE(call.WaitDone()) << "a dialog was shown: " << WideToUtf8(WindowText(FindOwnDialogWith(1024)));
        EXPECT_EQ(call.Result(), 0);

        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(messages, Contains(c.line)) << DescribeMessages(messages);
        EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.ShowErrorDialog >>")));
        EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.InstallPrerequisites: DownloadAndRun MDAC 2.8")));
        EXPECT_THAT(messages, Contains(L"SetupBootstrapper.InstallPrerequisites: at least one installation failed"));
        EXPECT_THAT(messages, Contains(L"DownloadAndRunApp <<"));
    }
}

TEST(PrereqSilentStage, InstallsWithoutWindowInEnglishButStillOffersTheFailureDialog)
{
    // Only .NET is missing: the test program's Windows has Windows Installer
    // built in, the OS language needs no pack, MDAC is registered.
    RegistrySandbox registry;
    registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kDotNetKey, L"Install");
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", L"2.81.1117.0");
    ScopedRunValues values(L"1031", L"1033", /*silent*/ true);
    LibraryFolder library;
    library.Answer("NetFx64.exe", "1603,0");
    LogCapture capture;
    BackgroundCall call([] { return ShowPrereqDialog(GetModuleHandleW(nullptr), kCaption); });

    HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(FindOwnDialogWith(IDC_PREREQ_LIST), nullptr) << "the prerequisites dialog is shown";
    // The failure dialog follows the installation's language even here.
    EXPECT_EQ(ControlText(failure, IDOK), L"&Neu versuchen");
    ClickButton(failure, IDOK);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 1);

    const auto call1 = ExpectedCall(nullptr, kDotNet20X64.downloadLocation, "NetFx64.exe", 1033,
                                    kDotNet20X64.arguments, 10, kDotNet20X64.displayName);
    EXPECT_THAT(library.Journal(), ElementsAre(call1, call1));
    std::vector<std::wstring> messages = capture.Messages();
    EXPECT_THAT(messages, Contains(L"SetupBootstrapper.ShowPrereqDialog: One prerequisite is missing and it cannot be "
                                   L"installed since the installation is performed in silent mode - installaing "
                                   L"prerequisites silently"));
    EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.CreatePrereqDialog >>")));
}

TEST(PrereqSilentStage, NothingMissingMeansNoInstallationAndGoOn)
{
    RegistrySandbox registry;
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, kDotNetKey, L"Install", 1);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", L"2.81.1117.0");
    for (bool silent : {true, false})
    {
        ScopedRunValues values(L"1033", L"1033", silent);
        LibraryFolder library;
        LogCapture capture;
        EXPECT_EQ(ShowPrereqDialog(GetModuleHandleW(nullptr), kCaption), 1);
        EXPECT_FALSE(library.JournalExists());
        EXPECT_THAT(capture.Messages(), Contains(L"SetupBootstrapper.ShowPrereqDialog: Prerequisites dialog not "
                                                 L"displayed because no missing prerequisite was found"));
    }
}

TEST(DownloadAndRunStandIn, RunsThePackageFromTheKitsRedistFolderAndAnswersItsExitCode)
{
    // A kit as a packager ships it: the library beside the executable, the
    // package in the redist folder.
    ScratchDir kit(L"redist-kit");
    const std::wstring redist = kit / L"redist";
    CopyFileOrFail(ProbePath(), kit / L"bsprobe.exe");
    CopyFileOrFail(JoinPath(KitDir(), L"downloadandrun.dll"), kit / L"downloadandrun.dll");
    CreateDirectoryW(redist.c_str(), nullptr);
    CopyFileOrFail(JoinPath(JoinPath(TestBinDir(), L"tools"), L"argrecorder.exe"),
                   JoinPath(redist, L"WindowsInstaller-KB893803-v2-x86.exe"));

    for (int exitCode : {0, 1603})
    {
        SCOPED_TRACE(exitCode);
        WriteUtf8File(JoinPath(redist, L"WindowsInstaller-KB893803-v2-x86-exitcode.txt"), std::to_string(exitCode));
        ChildProcess probe(Quote(kit / L"bsprobe.exe") + L" InstallPrerequisites 0 1 1 1033 1 1033", kit.Path(),
                           {{L"TMP", kit.Path()}, {L"TEMP", kit.Path()}}, true);
        if (exitCode != 0)
        {
            HWND failure = WaitForTopLevelWindow(probe.Id(), L"#32770", kCaption);
            ASSERT_NE(failure, nullptr);
            SetChecked(failure, IDC_ERROR_OPEN_LOCATION, false);
            ClickButton(failure, IDCANCEL);
        }
        ASSERT_TRUE(probe.WaitForExit(30000));
        EXPECT_THAT(probe.Output(), ::testing::HasSubstr(exitCode == 0 ? "answer=1" : "answer=0"));
    }
    EXPECT_THAT(ReadLines(JoinPath(redist, L"WindowsInstaller-KB893803-v2-x86-received.txt")),
                ElementsAre("/quiet /norestart", "/quiet /norestart"));
}
