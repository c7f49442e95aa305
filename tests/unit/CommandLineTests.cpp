// Reading the switches into the run's settings.

#include "bootstrap/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct Parsed
{
    int exitCode;
    InstallModeFlags mode;
};

Parsed Parse(std::vector<std::wstring> arguments)
{
    arguments.insert(arguments.begin(), L"C:\\kit\\SetupBootstrapper.exe");
    std::vector<const wchar_t*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    Parsed parsed{};
    // Stale values from an earlier parse must not look like fresh ones.
    parsed.mode.silent = parsed.mode.record = parsed.mode.languageGiven = true;
    parsed.exitCode = ParseInstallMode(static_cast<int>(argv.size()), argv.data(), &parsed.mode);
    return parsed;
}

struct Case
{
    const char* name;
    std::vector<std::wstring> arguments;
    bool silent;
    const wchar_t* silentFile;
    bool record;
    const wchar_t* recordFile;
    bool languageGiven;
    const wchar_t* language;
};
}  // namespace

TEST(CommandLine, SwitchesAndTheirValues)
{
    const Case cases[] = {
        {"no arguments: full UI", {}, false, nullptr, false, nullptr, false, nullptr},
        {"upper-case short switch", {L"/S", L"answers.iss"}, true, L"answers.iss", false, nullptr, false, nullptr},
        {"dash and long names, any case",
         {L"-record", L"c:\\r.iss", L"/l", L"1031"},
         false, nullptr, true, L"c:\\r.iss", true, L"1031"},
        {"long silent, mixed case", {L"/SiLeNt", L"x.iss"}, true, L"x.iss", false, nullptr, false, nullptr},
        {"long language", {L"-LANGUAGE", L"3082"}, false, nullptr, false, nullptr, true, L"3082"},
        {"a value that looks like a switch is still the value",
         {L"/silent", L"/l"}, true, L"/l", false, nullptr, false, nullptr},
        {"the last of a repeated switch wins",
         {L"/s", L"first.iss", L"/s", L"second.iss"}, true, L"second.iss", false, nullptr, false, nullptr},
        {"unknown switches and bare words are skipped",
         {L"/q", L"setup.iss", L"--s", L"/silently"}, false, nullptr, false, nullptr, false, nullptr},
        {"/x skipped, then a real switch", {L"/x", L"/r", L"r.iss"}, false, nullptr, true, L"r.iss", false, nullptr},
        {"all three switches need more than four arguments; two of them fit",
         {L"/r", L"r.iss", L"/s", L"s.iss"}, true, L"s.iss", true, L"r.iss", false, nullptr},
        {"an empty value is a value", {L"/l", L""}, false, nullptr, false, nullptr, true, L""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Parsed parsed = Parse(c.arguments);
        ASSERT_EQ(parsed.exitCode, 0);
        EXPECT_EQ(parsed.mode.silent, c.silent);
        EXPECT_EQ(parsed.mode.record, c.record);
        EXPECT_EQ(parsed.mode.languageGiven, c.languageGiven);
        if (c.silent)
        {
            EXPECT_STREQ(parsed.mode.silentFile, c.silentFile);
        }
        if (c.record)
        {
            EXPECT_STREQ(parsed.mode.recordFile, c.recordFile);
        }
        if (c.languageGiven)
        {
            EXPECT_STREQ(parsed.mode.language, c.language);
        }
    }
}

TEST(CommandLine, FaultyCommandLinesEndWith87)
{
    const std::vector<std::vector<std::wstring>> cases = {
        {L"/s"},                                         // a switch without its value
        {L"/x", L"/l"},                                  // the same after a skipped switch
        {L"/r", L"r.iss", L"/S"},                        // the last switch lacks its value
        {L"/s", L"a", L"/l", L"b", L"/r"},               // six arguments with the program: too many...
        {L"/s", L"a", L"/l", L"b", L"/r", L"c"},         // ...whatever they are
        {L"a", L"b", L"c", L"d", L"e"},
        {L"/s", std::wstring(1024, L'v')},               // a value that does not fit
    };
    for (const auto& arguments : cases)
    {
        Parsed parsed = Parse(arguments);
        EXPECT_EQ(parsed.exitCode, kExitFaultyCommandLine) << "argument count " << arguments.size();
    }
}

TEST(CommandLine, ValuesOfUpTo1023CharactersArriveWhole)
{
    const std::wstring longest(1023, L'x');
    Parsed parsed = Parse({L"/r", longest, L"/l", longest});
    ASSERT_EQ(parsed.exitCode, 0);
    EXPECT_EQ(std::wstring(parsed.mode.recordFile), longest);
    EXPECT_EQ(std::wstring(parsed.mode.language), longest);
}

TEST(CommandLine, TooManyArgumentsAreRefusedBeforeAnySwitchIsRead)
{
    InstallModeFlags mode{};
    mode.silent = true;  // a stale flag stays: nothing was read
    const wchar_t* argv[] = {L"prog", L"/r", L"r.iss", L"/l", L"b", L"/x"};
    EXPECT_EQ(ParseInstallMode(6, argv, &mode), kExitFaultyCommandLine);
    EXPECT_TRUE(mode.silent);
    EXPECT_FALSE(mode.record);
}
