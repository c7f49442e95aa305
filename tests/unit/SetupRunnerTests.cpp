// Starting the product's setup and waiting for it, with the lines the run
// leaves in the diagnostic log.

#include "bootstrap/SetupRunner.h"
#include "tests/support/DiagnosticLogReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <strsafe.h>

using namespace test;
using ::testing::ElementsAre;

namespace
{
class SetupRunner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_savedMode = InstallMode;
        GetCurrentDirectoryW(MAX_PATH, m_savedDirectory);
        InstallMode = InstallModeFlags{};
    }

    void TearDown() override
    {
        InstallMode = m_savedMode;
        SetCurrentDirectoryW(m_savedDirectory);
    }

    // The runner finds the setup by the platform's search for a bare name:
    // the test program's folder has none, so the current directory decides.
    void RunFrom(const std::wstring& directory) { ASSERT_TRUE(SetCurrentDirectoryW(directory.c_str())); }

    LogCapture m_log;

private:
    InstallModeFlags m_savedMode;
    wchar_t m_savedDirectory[MAX_PATH];
};

}  // namespace

TEST_F(SetupRunner, AMissingSetupAnswers0AfterTheSameLines)
{
    ScratchDir empty(L"runner-empty");
    RunFrom(empty.Path());

    EXPECT_EQ(CreateMsiexecProcess(L"morvanto9.exe", L""), 0);

    const std::wstring expected = L"morvanto9.exe  /v\"/L*v\\\"" + m_log.TempFolder() + L"DRAVO_v9_InstallKitLog.log\\\"";
    EXPECT_THAT(m_log.Messages(),
                ElementsAre(L"MorvantoBootStrapper.CreateMsiexecProcess >>",
                            L"MorvantoBootStrapper.CreateMsiexecProcess: running in full UI mode",
                            L"MorvantoBootStrapper.CreateMsiexecProcess: Running: morvanto9.exe with args: " + expected,
                            L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for process to end",
                            L"MorvantoBootStrapper.CreateMsiexecProcess: Process ended",
                            L"MorvantoBootStrapper.CreateMsiexecProcess <<"));
}

TEST_F(SetupRunner, ALineTooLongForItsBufferStartsNothing)
{
    ScratchDir kit(L"runner-long");
    CopyFileOrFail(JoinPath(KitDir(), L"morvanto9.exe"), kit / L"morvanto9.exe");
    RunFrom(kit.Path());
    InstallMode.record = true;
    StringCchCopyW(InstallMode.recordFile, ARRAYSIZE(InstallMode.recordFile), std::wstring(1000, L'r').c_str());

    EXPECT_EQ(CreateMsiexecProcess(L"morvanto9.exe", L"-l1033 /vProductLanguage=1033"), 0);

    EXPECT_FALSE(FileExists(kit / L"morvanto9-received.txt"));
    EXPECT_THAT(m_log.Messages(),
                ElementsAre(L"MorvantoBootStrapper.CreateMsiexecProcess >>",
                            L"MorvantoBootStrapper.CreateMsiexecProcess: running in recording mode",
                            L"MorvantoBootStrapper.CreateMsiexecProcess: the setup command line would exceed 1023 "
                            L"characters, setup not started",
                            L"MorvantoBootStrapper.CreateMsiexecProcess <<"));
}
