// Whole starts of the bootstrapper: exit codes, the setup command line of
// each mode, and a second instance.

#include "tests/support/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{
std::wstring InstallerLogArgument(const Scenario& scenario)
{
    return L"/v\"/L*v\\\"" + scenario.TempFolder() + L"DRAVO_v9_InstallKitLog.log\\\"";
}

// A full-UI run keeps the bootstrapper waiting on the setup's window.
DWORD RunFullUi(Scenario& scenario, const std::wstring& arguments)
{
    auto child = scenario.Start(arguments);
    HWND setup = WaitForSetupWindow();
    EXPECT_NE(setup, nullptr) << "the setup stand-in showed no window";
    EXPECT_FALSE(child->HasExited()) << "the bootstrapper did not wait for the setup";
    if (setup != nullptr)
        CloseSetupWindow(setup);
    EXPECT_TRUE(child->WaitForExit(kRunTimeoutMs));
    return child->ExitCode();
}
}  // namespace

TEST(Startup, EveryRunThatGetsPastTheCommandLineEndsWith0)
{
    struct Case
    {
        const char* name;
        const wchar_t* arguments;
        bool fullUi;
        const wchar_t* expectedStart;  // the setup command line up to the log argument
    } cases[] = {
        {"no arguments", L"", true, L"morvanto9.exe  "},
        {"an unknown switch alone", L"/q", true, L"morvanto9.exe  "},
        {"a bare word alone", L"setup.iss", true, L"morvanto9.exe  "},
        {"silent", L"/S answers.iss", false, L"morvanto9.exe /s /f1answers.iss  "},
        {"recording with a language", L"-record c:\\r.iss /l 1031", false, L"morvanto9.exe /r /f1c:\\r.iss  "},
        {"recording wins over silent", L"/s s.iss /r r.iss", false, L"morvanto9.exe /r /f1r.iss  "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario scenario(L"startup");
        DWORD exitCode = c.fullUi ? RunFullUi(scenario, c.arguments) : scenario.Run(c.arguments);
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(scenario.SetupCommandLine(), c.expectedStart + InstallerLogArgument(scenario));
    }
}

TEST(Startup, AFaultyCommandLineEndsWith87BeforeAnythingElse)
{
    const wchar_t* cases[] = {
        L"/s",
        L"/silent answers.iss /l",
        L"/s a /l b /r c",
        L"/x a b c d",
    };
    for (const wchar_t* arguments : cases)
    {
        SCOPED_TRACE(WideToUtf8(arguments));
        Scenario scenario(L"faulty");
        EXPECT_EQ(scenario.Run(arguments), 87u);
        EXPECT_FALSE(scenario.SetupWasStarted());
        EXPECT_FALSE(scenario.Log().exists) << "a faulty command line writes no log line";
    }
}

TEST(Startup, ModeLinesOfWinMain)
{
    Scenario recording(L"mode-lines");
    ASSERT_EQ(recording.Run(L"/r r.iss"), 0u);
    std::vector<std::wstring> messages = recording.LogMessages();
    ASSERT_GE(messages.size(), 2u);
    // A recording run without the silent switch writes both lines.
    EXPECT_EQ(messages[0], L"SetupBootStrapper.WinMain: This is a recording 'Zel Morvanto 9.5' install");
    EXPECT_EQ(messages[1], L"SetupBootStrapper.WinMain: This is a FULL UI 'Zel Morvanto 9.5' install");
    EXPECT_EQ(messages.back(), L"SetupBootStrapper.WinMain: Deleting resources after installation");

    Scenario silent(L"mode-lines");
    ASSERT_EQ(silent.Run(L"/s s.iss"), 0u);
    for (const auto& message : silent.LogMessages())
        EXPECT_EQ(message.find(L"SetupBootStrapper.WinMain: This is a"), std::wstring::npos) << WideToUtf8(message);
}

TEST(Startup, ASecondInstanceBringsTheFirstOnesWindowForwardAndEnds)
{
    Scenario scenario(L"second-instance");
    auto first = scenario.Start(L"");
    HWND setup = WaitForSetupWindow();
    ASSERT_NE(setup, nullptr);

    // The window a user would see titled with the caption, and another one
    // in front of it.
    TestWindow captioned(L"Zel Morvanto 9.5");
    TestWindow other(L"Something else");
    SetForegroundWindow(other.Handle());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Handle(); }, kWindowTimeoutMs));

    // The user's setting lives in the profile: that is where a time-out
    // left at 0 would show (each process keeps its own copy in memory).
    const wchar_t kDesktop[] = L"Control Panel\\Desktop";
    RegistrySandbox registry;
    const DWORD lockTimeout = 123456;
    registry.SetDword(HKEY_CURRENT_USER, RegView::Native, kDesktop, L"ForegroundLockTimeout", lockTimeout);

    size_t linesBefore = scenario.LogMessages().size();
    // The instance check comes before the command line: a faulty one still ends with 0.
    EXPECT_EQ(scenario.Run(L"/s"), 0u);

    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == captioned.Handle(); }, kWindowTimeoutMs))
        << "the captioned window was not brought forward";
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, RegView::Native, kDesktop, L"ForegroundLockTimeout", 0), lockTimeout)
        << "the user's foreground lock time-out was not set back";

    std::vector<std::wstring> messages = scenario.LogMessages();
    std::vector<std::wstring> added(messages.begin() + static_cast<std::ptrdiff_t>(linesBefore), messages.end());
    EXPECT_THAT(added,
                ElementsAre(L"SetupBootStrapper.WinMain: Another instance is already running, focusing current "
                            L"instance window",
                            L"SetupBootStrapper.WinMain: window with 'Zel Morvanto 9.5' caption succesfully located, "
                            L"setting it as Active window"));

    EXPECT_FALSE(first->HasExited()) << "the first instance was disturbed";
    CloseSetupWindow(setup);
    EXPECT_TRUE(first->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(first->ExitCode(), 0u);
}

TEST(Startup, ASecondInstanceWithoutACaptionedWindowOnlyLogsIt)
{
    Scenario scenario(L"second-no-window");
    auto first = scenario.Start(L"");
    HWND setup = WaitForSetupWindow();
    ASSERT_NE(setup, nullptr);

    size_t linesBefore = scenario.LogMessages().size();
    EXPECT_EQ(scenario.Run(L""), 0u);
    std::vector<std::wstring> messages = scenario.LogMessages();
    std::vector<std::wstring> added(messages.begin() + static_cast<std::ptrdiff_t>(linesBefore), messages.end());
    EXPECT_THAT(added,
                ElementsAre(L"SetupBootStrapper.WinMain: Another instance is already running, focusing current "
                            L"instance window",
                            L"SetupBootStrapper.WinMain: failed to locate the window with 'Zel Morvanto 9.5' caption"));

    EXPECT_FALSE(first->HasExited());
    CloseSetupWindow(setup);
    EXPECT_TRUE(first->WaitForExit(kRunTimeoutMs));

    // Once the first has ended, the mutex is gone with it: a new start runs.
    EXPECT_EQ(scenario.Run(L"/s again.iss"), 0u);
    EXPECT_EQ(scenario.SetupCommandLine(), L"morvanto9.exe /s /f1again.iss  " + InstallerLogArgument(scenario));
}

TEST(Startup, TheInstallerLogPathStaysWholeInATemporaryFolderWithSpaces)
{
    ScenarioOptions options;
    options.tempWithSpaces = true;
    Scenario scenario(L"temp-spaces", options);
    ASSERT_EQ(scenario.Run(L"/s a.iss"), 0u);
    EXPECT_EQ(scenario.SetupCommandLine(), L"morvanto9.exe /s /f1a.iss  " + InstallerLogArgument(scenario));
    EXPECT_NE(scenario.TempFolder().find(L"temp with spaces"), std::wstring::npos);
    EXPECT_TRUE(scenario.Log().exists);
}

TEST(Startup, AMissingSetupEndsTheRunWith0)
{
    Scenario scenario(L"no-setup");
    scenario.RemoveKitFile(L"morvanto9.exe");
    EXPECT_EQ(scenario.Run(L"/s a.iss"), 0u);
    EXPECT_FALSE(scenario.SetupWasStarted());
    EXPECT_THAT(scenario.LogMessages(), Contains(L"MorvantoBootStrapper.CreateMsiexecProcess: Process ended"));
}
