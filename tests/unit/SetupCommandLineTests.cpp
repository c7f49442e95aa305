// The setup command line of each run mode, character by character.

#include "bootstrap/SetupRunner.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
InstallModeFlags Mode(bool silent, const wchar_t* silentFile, bool record, const wchar_t* recordFile)
{
    InstallModeFlags mode{};
    mode.silent = silent;
    lstrcpynW(mode.silentFile, silentFile, kCchText);
    mode.record = record;
    lstrcpynW(mode.recordFile, recordFile, kCchText);
    return mode;
}

std::wstring Format(const InstallModeFlags& mode, const wchar_t* languageArgs, const wchar_t* tempFolder)
{
    wchar_t commandLine[kCchText];
    EXPECT_TRUE(FormatSetupCommandLine(mode, L"morvanto9.exe", languageArgs, tempFolder, commandLine, kCchText));
    return commandLine;
}
}  // namespace

TEST(SetupCommandLine, EachFormByteForByte)
{
    struct Case
    {
        const char* name;
        InstallModeFlags mode;
        const wchar_t* languageArgs;
        const wchar_t* tempFolder;
        const wchar_t* expected;
    } cases[] = {
        {"full UI with the English arguments", Mode(false, L"", false, L""), L"-l1033 /vProductLanguage=1033",
         L"D:\\T\\", L"morvanto9.exe -l1033 /vProductLanguage=1033 /v\"/L*v\\\"D:\\T\\DRAVO_v9_InstallKitLog.log\\\""},
        {"silent, arguments ending with /qn", Mode(true, L"D:\\a.iss", false, L""),
         L"-l1033 /vProductLanguage=1033 /qn", L"D:\\T\\",
         L"morvanto9.exe /s /f1D:\\a.iss -l1033 /vProductLanguage=1033 /qn "
         L"/v\"/L*v\\\"D:\\T\\DRAVO_v9_InstallKitLog.log\\\""},
        {"recording", Mode(false, L"", true, L"c:\\r.iss"), L"-l1031 /vProductLanguage=1031", L"C:\\Temp\\",
         L"morvanto9.exe /r /f1c:\\r.iss -l1031 /vProductLanguage=1031 "
         L"/v\"/L*v\\\"C:\\Temp\\DRAVO_v9_InstallKitLog.log\\\""},
        {"recording wins over silent and uses its own file", Mode(true, L"s.iss", true, L"r.iss"), L"x /qn",
         L"C:\\T\\", L"morvanto9.exe /r /f1r.iss x /qn /v\"/L*v\\\"C:\\T\\DRAVO_v9_InstallKitLog.log\\\""},
        {"empty language arguments keep both spaces", Mode(false, L"", false, L""), L"", L"D:\\T\\",
         L"morvanto9.exe  /v\"/L*v\\\"D:\\T\\DRAVO_v9_InstallKitLog.log\\\""},
        {"a temporary folder with spaces stays inside the quoted log path", Mode(false, L"", false, L""), L"",
         L"C:\\Documents and Settings\\me\\Local Settings\\Temp\\",
         L"morvanto9.exe  /v\"/L*v\\\"C:\\Documents and Settings\\me\\Local Settings\\Temp\\"
         L"DRAVO_v9_InstallKitLog.log\\\""},
        {"answer files are not quoted", Mode(true, L"C:\\my answers.iss", false, L""), L"", L"T\\",
         L"morvanto9.exe /s /f1C:\\my answers.iss  /v\"/L*v\\\"T\\DRAVO_v9_InstallKitLog.log\\\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format(c.mode, c.languageArgs, c.tempFolder), c.expected) << c.name;
}

TEST(SetupCommandLine, ALineThatDoesNotFitIsRefused)
{
    InstallModeFlags mode = Mode(true, L"", false, L"");
    wchar_t commandLine[kCchText];
    // 1,023 characters fit exactly; one more does not.
    const std::wstring fixedPart = L"morvanto9.exe /s /f1  /v\"/L*v\\\"T\\DRAVO_v9_InstallKitLog.log\\\"";
    std::wstring answerFile(kCchText - 1 - fixedPart.size(), L'a');
    lstrcpynW(mode.silentFile, answerFile.c_str(), kCchText);
    EXPECT_TRUE(FormatSetupCommandLine(mode, L"morvanto9.exe", L"", L"T\\", commandLine, kCchText));
    EXPECT_EQ(std::wstring(commandLine).size(), kCchText - 1);

    answerFile += L"a";
    lstrcpynW(mode.silentFile, answerFile.c_str(), kCchText);
    EXPECT_FALSE(FormatSetupCommandLine(mode, L"morvanto9.exe", L"", L"T\\", commandLine, kCchText));
}

TEST(SetupCommandLine, FormFollowsTheSwitches)
{
    EXPECT_EQ(ChooseSetupForm(Mode(false, L"", false, L"")), SetupForm::FullUi);
    EXPECT_EQ(ChooseSetupForm(Mode(true, L"", false, L"")), SetupForm::Silent);
    EXPECT_EQ(ChooseSetupForm(Mode(false, L"", true, L"")), SetupForm::Recording);
    EXPECT_EQ(ChooseSetupForm(Mode(true, L"", true, L"")), SetupForm::Recording);
}
