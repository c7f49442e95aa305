// Installing prerequisites through downloadandrun.dll: what the library is
// handed and in which order, the silent stage, and a library that is missing
// or lacks its entry point.

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
using ::testing::IsEmpty;
using ::testing::Not;

namespace
{
int Install(const Present& p, const wchar_t* dialogLanguage, const wchar_t* osLanguage)
{
    return InstallPrerequisites(nullptr, kCaption, dialogLanguage, p.windowsInstaller, p.dotNet, p.languagePack,
                                osLanguage, p.mdac);
}
}  // namespace

TEST(PrereqInstallation, MissingPrerequisitesReachTheLibraryInOrderWithTheirRowsAndKinds)
{
    // The test program is 64-bit: .NET and the packs come from the x64 rows.
    const struct
    {
        const wchar_t* osLanguage;
        const Prerequisite* pack;  // null: no pack for the language
    } cases[] = {{L"1031", &kLanguagePackGermanX64}, {L"3082", nullptr}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.osLanguage));
        ScopedRunValues values(L"1040", c.osLanguage);
        LibraryFolder library;
        LogCapture capture;
        EXPECT_EQ(Install({0, 0, 0, 0}, L"1040", c.osLanguage), 1);
        std::vector<std::vector<std::string>> expected = {ExpectedCall(nullptr, kWindowsInstaller31, 1040, 5),
                                                          ExpectedCall(nullptr, kDotNet20X64, 1040, 10)};
        if (c.pack != nullptr)
            expected.push_back(ExpectedCall(nullptr, *c.pack, 1040, 3));
        expected.push_back(ExpectedCall(nullptr, kMdac28, 1040, 5));
        EXPECT_EQ(library.Journal(), expected);
        if (c.pack == nullptr)
        {
            EXPECT_THAT(capture.Messages(), Contains(L"SetupBootstrapper.InstallPrerequisites: (Default) .NET "
                                                     L"Framework 2.0 x64 Language Pack not installed - it is an "
                                                     L"English OS"));
        }
    }
}

TEST(PrereqInstallation, UnusableLibraryFailsThePrerequisiteWithoutFailureDialogAndStopsTheStage)
{
    const struct
    {
        LibraryFolder::Content content;
        const wchar_t* line;
    } cases[] = {
        {LibraryFolder::Content::Nothing,
         L"DownloadAndRunApp: failed to load library downloadandrun.dll, error returned: 126"},
        {LibraryFolder::Content::WithoutEntryPoint, L"DownloadAndRunApp: error loading DownloadAndRunMain function"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.line));
        ScopedRunValues values(L"1033", L"1033");
        LibraryFolder library(c.content);
        LogCapture capture;
        // A failure dialog would keep the call from returning.
        BackgroundCall call([] { return Install({0, 1, 1, 0}, L"1033", L"1033"); });
        ASSERT_TRUE(call.WaitDone()) << "a dialog was shown";
        EXPECT_EQ(call.Result(), 0);
        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(messages, Contains(c.line)) << DescribeMessages(messages);
        EXPECT_THAT(messages, Not(Contains(L"SetupBootstrapper.InstallPrerequisites: DownloadAndRun MDAC 2.8")));
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
    library.Answer(kDotNet20X64.fileName, "1603,0");
    BackgroundCall call([] { return ShowPrereqDialog(GetModuleHandleW(nullptr), kCaption); });

    HWND failure = WaitForOwnDialogWith(IDC_ERROR_TEXT);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(OwnDialogs(), std::vector<HWND>{failure}) << "the prerequisites dialog is shown";
    // The failure dialog follows the installation's language even here.
    EXPECT_EQ(ControlText(failure, IDOK), L"&Neu versuchen");
    ClickButton(failure, IDOK);
    ASSERT_TRUE(call.WaitDone());
    EXPECT_EQ(call.Result(), 1);
    const auto dotNet = ExpectedCall(nullptr, kDotNet20X64, 1033, 10);
    EXPECT_THAT(library.Journal(), ElementsAre(dotNet, dotNet));
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
