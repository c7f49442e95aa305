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

constexpr wchar_t kEnglish[] = L"-l1033 /vProductLanguage=1033";

// A run with the language dialog: the user takes the preselected language.
// A full-UI setup then shows its window and keeps the bootstrapper waiting
// until the user closes it; a recording setup ends on its own.
DWORD RunWithLanguageDialog(Scenario& scenario, const std::wstring& arguments)
{
    auto child = scenario.Start(arguments);
    HWND languages = WaitForDialogWith(child->Id(), kLanguageListId);
    EXPECT_NE(languages, nullptr) << "no language dialog";
    if (languages != nullptr)
        ClickButton(languages, IDOK);
    HWND setup = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] { return (setup = WaitForSetupWindow(0)) != nullptr || child->HasExited(); }, kRunTimeoutMs));
    if (setup != nullptr)
    {
        EXPECT_FALSE(child->HasExited()) << "the bootstrapper did not wait for the setup";
        CloseSetupWindow(setup);
    }
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
        bool asksForLanguage;
        std::wstring expectedStart;  // the setup command line up to the log argument
    } cases[] = {
        {"an unknown switch alone", L"/q", true, L"morvanto9.exe " + std::wstring(kEnglish) + L" "},
        {"a bare word alone", L"setup.iss", true, L"morvanto9.exe " + std::wstring(kEnglish) + L" "},
        {"silent", L"/S answers.iss", false,
         L"morvanto9.exe /s /f1answers.iss " + std::wstring(kEnglish) + L" /qn "},
        // The language switch serves a silent run only; this one asks.
        {"recording with a language", L"-record c:\\r.iss /l 1031", true,
         L"morvanto9.exe /r /f1c:\\r.iss " + std::wstring(kEnglish) + L" "},
        {"recording wins over silent", L"/s s.iss /r r.iss", false,
         L"morvanto9.exe /r /f1r.iss " + std::wstring(kEnglish) + L" /qn "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario scenario(L"startup");
        scenario.SetPrerequisitesPresent();
        DWORD exitCode = c.asksForLanguage ? RunWithLanguageDialog(scenario, c.arguments) : scenario.Run(c.arguments);
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

TEST(Startup, ASecondInstanceBringsTheFirstOnesWindowForwardAndEnds)
{
    Scenario scenario(L"second-instance");
    auto first = scenario.Start(L"");
    // The first instance waits for the user in its language dialog, which
    // bears the product's caption; another window is in front of it.
    HWND languages = WaitForDialogWith(first->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
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

    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == languages; }, kWindowTimeoutMs))
        << "the first instance's dialog was not brought forward";
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
    ClickButton(languages, IDCANCEL);
    EXPECT_TRUE(first->WaitForExit(kRunTimeoutMs));
    EXPECT_EQ(first->ExitCode(), 0u);
    EXPECT_FALSE(scenario.SetupWasStarted());
}

TEST(Startup, ASecondInstanceWithoutACaptionedWindowOnlyLogsIt)
{
    Scenario scenario(L"second-no-window");
    scenario.SetPrerequisitesPresent();
    auto first = scenario.Start(L"");
    HWND languages = WaitForDialogWith(first->Id(), kLanguageListId);
    ASSERT_NE(languages, nullptr);
    ClickButton(languages, IDOK);
    // While the setup runs, no window bears the caption exactly.
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
    EXPECT_EQ(scenario.SetupCommandLine(),
              L"morvanto9.exe /s /f1again.iss " + std::wstring(kEnglish) + L" /qn " + InstallerLogArgument(scenario));
}
