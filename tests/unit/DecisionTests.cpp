// The decisions, a table each, grouped by subsystem: a whole run meets one row
// of a table, a fault in another row shows only here.

#include "bootstrap/CommandLine.h"
#include "bootstrap/SetupRunner.h"
#include "bootstrap/Startup.h"
#include "language/OsLanguage.h"
#include "platform/OsChecks.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/TemplateText.h"
#include "product/InstalledProduct.h"
#include "tests/unit/Unit.h"

#include <gtest/gtest.h>

#include <cstring>

#include <strsafe.h>

TEST(Decisions, Bootstrap)
{
    // What the command line sets ("s:<file> r:<file> l:<language>"), or the exit code.
    const auto parse = [](std::vector<std::wstring> args) {
        std::vector<const wchar_t*> argv{L"SetupBootstrapper.exe"};
        for (const std::wstring& arg : args)
            argv.push_back(arg.c_str());
        InstallModeFlags mode{true, L"stale", true, L"stale", true, L"stale"};
        if (int exit = ParseInstallMode(static_cast<int>(argv.size()), argv.data(), &mode))
            return std::to_wstring(exit);
        return (mode.silent ? L"s:" + std::wstring(mode.silentFile) + L" " : L"") +
               (mode.record ? L"r:" + std::wstring(mode.recordFile) + L" " : L"") +
               (mode.languageGiven ? L"l:" + std::wstring(mode.language) : L"");
    };
    const std::wstring v1023(1023, L'v');
    const std::pair<std::vector<std::wstring>, std::wstring> commandLines[] = {
        {{}, L""}, {{L"-record", L"r.iss", L"/LANGUAGE", L"1031"}, L"r:r.iss l:1031"}, {{L"/silent", L"/l"}, L"s:/l "},
        {{L"/x", L"--s", L"/silently", L"s"}, L""}, {{L"/q", L"/r", L"r"}, L"r:r "},
        {{L"/r", L"r.iss", L"-s", L"s.iss"}, L"s:s.iss r:r.iss "}, {{L"/l", L"x", L"/l", L"1040"}, L"l:1040"},
        {{L"/l", v1023, L"/s", v1023}, L"s:" + v1023 + L" l:" + v1023}, {{L"/l", v1023 + L"v"}, L"87"},
        {{L"/s", L"a", L"/l", L"b", L"c"}, L"87"}, {{L"/r", L"r.iss", L"/s"}, L"87"}};
    for (const auto& [args, read] : commandLines)
        EXPECT_EQ(parse(args), read) << args.size() << " arguments";

    // The setup's command line in the form ChooseSetupForm picks, none when refused (the run's mode is left set).
    const auto format = [](bool silent, bool record, const std::wstring& file) {
        InstallMode = InstallModeFlags{silent, L"other.iss", record, L"other.iss", false, L""};
        StringCchCopyW(record ? InstallMode.recordFile : InstallMode.silentFile, kCchText, file.c_str());
        wchar_t line[kCchText];
        return FormatSetupCommandLine(InstallMode, L"m.exe", L"x", L"T\\", line, kCchText) ? std::wstring(line) : L"";
    };
    const std::wstring log = L" /v\"/L*v\\\"T\\DRAVO_v9_InstallKitLog.log\\\"";
    const std::wstring fits(1023 - std::wstring(L"m.exe /s /f1 x").size() - log.size(), L'a');
    EXPECT_EQ(format(false, false, L""), L"m.exe x" + log);
    EXPECT_EQ(format(true, false, L"s.iss"), L"m.exe /s /f1s.iss x" + log);
    EXPECT_EQ(format(false, true, L"r.iss"), L"m.exe /r /f1r.iss x" + log);
    EXPECT_EQ(format(true, true, L"r.iss"), L"m.exe /r /f1r.iss x" + log);
    EXPECT_EQ(format(true, false, fits), L"m.exe /s /f1" + fits + L" x" + log);
    EXPECT_EQ(format(true, false, fits + L"a"), L"");
    // ...and the runner starts no setup with a line it refused.
    unit::TempFolder temp;
    EXPECT_EQ(CreateMsiexecProcess(L"m.exe", L"x"), 0);
    const std::vector<std::wstring> lines = temp.Log();
    EXPECT_TRUE(lines.size() == 4 && lines[2].find(L"would exceed 1023 characters, setup not") != lines[2].npos);

    // The current directory's catalogue (a root keeps its backslash); none when it does not fit.
    SetCurrentDirectoryW(L"C:\\");
    for (const auto& [cch, expected] : {std::pair<size_t, const wchar_t*>(18, L"C:\\\\languages.ini"), {17, L""}})
    {
        wchar_t path[kCchText];
        BuildCataloguePath(path, cch);
        EXPECT_STREQ(path, expected);
    }
}

TEST(Decisions, Languages)
{
    // Whole members of a family only; near misses and everything else are English.
    const std::pair<const wchar_t*, std::vector<const wchar_t*>> families[] = {
        {L"1033", {L"1033", L"3081", L"16393", L"103", L"206", L"10330", L"01033", L"1036", L"0064", L""}},
        {L"1031", {L"1031", L"2055", L"5127"}}, {L"1040", {L"1040", L"2064"}},
        {L"3082", {L"1034", L"3082", L"21514", L"58378"}}, {L"1049", {L"1049", L"2073"}}};
    for (const auto& [supported, members] : families)
        for (const wchar_t* id : members)
            EXPECT_STREQ(GetSupportedLangID(id), supported) << id;
    // The registry's hexadecimal digits arrive read as a decimal number.
    for (const auto& [digits, value] : {std::pair<DWORD, DWORD>(409, 0x409), {816, 0x816}, {0, 0}})
        EXPECT_EQ(HexLangIDToDecimal(digits), value) << digits;
    for (const auto& [text, number] : {std::pair<const wchar_t*, int>(L"1033", 1033), {L"  +1031", 1031}, {L"-5", -5},
                                       {L"12ab", 12}, {L"", 0}, {nullptr, 0}, {L"99999999999", 2147483647},
                                       {L"-99999999999", -2147483647 - 1}})
        EXPECT_EQ(LanguageNumber(text), number) << (text != nullptr ? text : L"null");
}

TEST(Decisions, WindowsAndPrerequisites)
{
    const auto os = [](DWORD major, DWORD minor, const wchar_t* servicePack = L"") {
        OSVERSIONINFOW version{sizeof(version), major, minor, 0, VER_PLATFORM_WIN32_NT, {}};
        StringCchCopyW(version.szCSDVersion, ARRAYSIZE(version.szCSDVersion), servicePack);
        return version;
    };
    // A failed version query counts as Windows 2000 and as Vista or later alike.
    EXPECT_TRUE(IsWindows2KVersion(FALSE, os(6, 1)) && IsVistaOrLaterVersion(FALSE, os(5, 0)));
    EXPECT_TRUE(IsWindows2KVersion(TRUE, os(5, 0)) && !IsWindows2KVersion(TRUE, os(5, 1)));
    EXPECT_TRUE(IsVistaOrLaterVersion(TRUE, os(10, 0)) && !IsVistaOrLaterVersion(TRUE, os(5, 2)));
    EXPECT_TRUE(IsX64Architecture(PROCESSOR_ARCHITECTURE_AMD64) && !IsX64Architecture(PROCESSOR_ARCHITECTURE_IA64));

    EXPECT_TRUE(&DotNetRow(false) == &kDotNet20X86 && &DotNetRow(true) == &kDotNet20X64);
    for (const auto& [language, x86, x64] :
         {std::tuple(1031, &kLanguagePackGermanX86, &kLanguagePackGermanX64), {1033, nullptr, nullptr},
          {1040, &kLanguagePackItalianX86, &kLanguagePackItalianX64}, {3082, nullptr, nullptr}})
        EXPECT_TRUE(ChooseLanguagePack(language, false).row == x86 && ChooseLanguagePack(language, true).row == x64)
            << language;

    // Only Windows 2000, XP before SP3 and Server 2003 before SP1 take the
    // package's word; the line names the system that decided.
    for (const auto& [version, registered, result, says] :
         {std::tuple(os(5, 0, L"Service Pack 4"), true, 1, "2000 and"), {os(5, 0), false, 0, "2000 but"},
          {os(5, 1, L"Service Pack 2"), true, 1, "XP SP2 or less and"},
          {os(5, 1), false, 0, "XP SP2 or less but"}, {os(5, 1, L"Service Pack 3"), false, 1, "built-in"},
          {os(5, 2), true, 1, "2003 Gold and"}, {os(5, 2), false, 0, "2003 Gold or less but"},
          {os(5, 2, L"Service Pack 1"), false, 1, "built-in"}, {os(6, 0), false, 1, "built-in"},
          {os(4, 0), false, 1, "built-in"}})
    {
        const WindowsInstallerVerdict verdict = JudgeWindowsInstaller(version, registered);
        EXPECT_TRUE(verdict.result == result && std::strstr(verdict.line, says) != nullptr) << verdict.line;
    }

    const auto fill = [](const wchar_t* text, const wchar_t* value, size_t cch) {
        wchar_t result[16];
        FillTemplateText(text, value, result, cch);
        return std::wstring(result);
    };
    EXPECT_EQ(fill(L"100% %d %s %s", L"x", 16), L"100% %d x %s");  // the first "%s" only, any other "%" kept
    EXPECT_EQ(fill(L"abc %s", L"defgh", 6), L"abc d");              // cut to fit
}

TEST(Decisions, ProductAndLog)
{
    for (const auto& [installed, kit, sign] : {std::tuple(L"9.5", L"9.0", 1), {L"10.0", L"9.5", -1},
                                               {L"9.5", L"9.5", 0}, {L"9.5 ", L"9.5", 1}, {L"9.5", L"9.5 ", -1},
                                               {L"\xFFFF", L"1", 1}})
        EXPECT_EQ(std::clamp(CompareVersionTexts(installed, kit), -1, 1), sign) << installed << " " << kit;

    // Month first, zero-padded, 24 hours; the message cut after 9,900 characters.
    const std::wstring a9900(9900, L'a');
    wchar_t line[kCchLogLine];
    EXPECT_TRUE(FormatLogLine({2026, 1, 0, 3, 19, 5, 9, 0}, (a9900 + L"b").c_str(), line, kCchLogLine));
    EXPECT_EQ(line, L"01/03/2026 19:05:09 " + a9900 + L"\r\n");
}
