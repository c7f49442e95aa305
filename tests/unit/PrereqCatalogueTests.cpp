// The catalogue's row choice and the four detections: what the registry and
// the Windows version make them answer.

#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/TemplateText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/unit/PrereqTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cwchar>

using namespace test;
using ::testing::Contains;
using ::testing::HasSubstr;

namespace
{
bool ReadsRegistryValue(const std::vector<std::wstring>& messages, const std::wstring& keyAndValue)
{
    const std::wstring line = L"QueryStringValueFromRegistry: called for " + keyAndValue;
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::wstring& m) { return m.find(line) != std::wstring::npos; });
}
}  // namespace

TEST(PrereqRows, EachNeedIsServedByTheRowOfItsPlatform)
{
    EXPECT_EQ(&DotNetRow(false), &kDotNet20X86);
    EXPECT_EQ(&DotNetRow(true), &kDotNet20X64);
    const struct
    {
        int language;
        const Prerequisite *x86, *x64;
    } cases[] = {{1031, &kLanguagePackGermanX86, &kLanguagePackGermanX64},
                 {1040, &kLanguagePackItalianX86, &kLanguagePackItalianX64},
                 {1033, nullptr, nullptr},
                 {3082, nullptr, nullptr},
                 {1049, nullptr, nullptr}};
    for (const auto& c : cases)
    {
        EXPECT_EQ(ChooseLanguagePack(c.language, false).row, c.x86) << c.language;
        EXPECT_EQ(ChooseLanguagePack(c.language, true).row, c.x64) << c.language;
    }
}

TEST(PrereqTemplateText, OnlyTheFirstPlaceholderTakesTheValueAndTheResultIsCutToFit)
{
    wchar_t result[16];
    FillTemplateText(L"100% %d %s %s", L"x", result, 16);
    EXPECT_STREQ(result, L"100% %d x %s");
    FillTemplateText(L"abc %s", L"defgh", result, 6);
    EXPECT_STREQ(result, L"abc d");
}

TEST(PrereqDetection, DotNetCountsAnyReadableInstallValueAndOnlyItsAbsenceAsMissing)
{
    const RegView v = RegView::Wow32;
    const struct
    {
        const char* name;
        std::function<void(RegistrySandbox&)> seed;
        int expected;
    } cases[] = {
        {"DWORD 1", [&](RegistrySandbox& r) { r.SetDword(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", 1); }, 1},
        {"DWORD 0", [&](RegistrySandbox& r) { r.SetDword(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", 0); }, 1},
        {"text -", [&](RegistrySandbox& r) { r.SetString(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", L"-"); }, 0},
        // Only the view the 32-bit product reads counts.
        {"absent", [&](RegistrySandbox& r) {
             r.DeleteValue(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install");
             r.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kDotNetKey, L"Install", 1);
         }, 0}};
    for (const auto& c : cases)
    {
        RegistrySandbox registry;
        c.seed(registry);
        EXPECT_EQ(IsDotNet2Installed(), c.expected) << c.name;
    }
}

TEST(PrereqDetection, MdacVersionIsComparedAsTextThenTheRollbackValueIsAsked)
{
    const struct
    {
        const wchar_t *fullInstallVer, *rollbackVersion;  // nullptr: absent
        int expected;
        const wchar_t* line;
    } cases[] = {
        {L"2.81.1117.0", nullptr, 1, L"IsMDAC28Installed: MDAC 2.81.1117.0 is installed"},
        {L"2.8", nullptr, 1, L"IsMDAC28Installed: MDAC 2.8 is installed"},
        {L"6.0.6000.16386", nullptr, 1, L"IsMDAC28Installed: MDAC 6.0.6000.16386 is installed"},
        {L"2.70.7713.0", L"2.81.1117.0", 1, L"IsMDAC28Installed: rollback key is >=2.8, MDAC 2.81.1117.0 is installed"},
        {L"2.70.7713.0", nullptr, 0, L"IsMDAC28Installed: MDAC 2.8 is not installed"},
        // "1" sorts below "2".
        {L"10.0", nullptr, 0, L"IsMDAC28Installed: MDAC 2.8 is not installed"}};
    for (const auto& c : cases)
    {
        RegistrySandbox registry;
        registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", c.fullInstallVer);
        if (c.rollbackVersion != nullptr)
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"RollbackVersion", c.rollbackVersion);
        else
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"RollbackVersion");
        LogCapture capture;
        EXPECT_EQ(IsMDAC28Installed(), c.expected) << WideToUtf8(c.fullInstallVer);
        EXPECT_THAT(capture.Messages(), Contains(c.line));
    }
}

TEST(PrereqDetection, LanguagePackIsLookedUpForEveryLanguageButExactly1033)
{
    const struct
    {
        const wchar_t* language;
        bool installed;
        int expected;
    } cases[] = {{L"1033", false, 1}, {L"3082", false, 0}, {L"1049", false, 0}, {L"1031", true, 1}, {L"01033", false, 0}};
    for (const auto& c : cases)
    {
        const std::wstring key = std::wstring(kDotNetKey) + L"\\" + c.language;
        RegistrySandbox registry;
        if (c.installed)
            registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, key, L"Install", 1);
        else
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, key, L"Install");
        LogCapture capture;
        EXPECT_EQ(IsDotNet2LPInstalled(c.language), c.expected) << WideToUtf8(c.language);
        EXPECT_EQ(ReadsRegistryValue(capture.Messages(), key), std::wstring(c.language) != L"1033")
            << WideToUtf8(c.language);
    }
}

TEST(PrereqWindowsInstaller, PackageDecidesOnlyOn2000XpBeforeSp3And2003Gold)
{
    const wchar_t* builtIn = L"IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1";
    const struct
    {
        DWORD major, minor;
        const wchar_t* servicePack;
        bool registered;
        int expected;
        const wchar_t* line;
    } cases[] = {
        {5, 0, L"Service Pack 4", false, 0,
         L"IsWIInstalled: OS is Windows 2000 but Windows Installer 3.1 is not installed"},
        {5, 1, L"Service Pack 2", true, 1,
         L"IsWIInstalled: OS is Windows XP SP2 or less and Windows Installer 3.1 is already installed"},
        {5, 1, L"", false, 0, L"IsWIInstalled: OS is Windows XP SP2 or less but Windows Installer 3.1 is not installed"},
        {5, 1, L"Service Pack 3", false, 1, builtIn},
        {5, 2, L"", true, 1, L"IsWIInstalled: OS is Windows 2003 Gold and Windows Installer 3.1 is already installed"},
        {5, 2, L"", false, 0,
         L"IsWIInstalled: OS is Windows 2003 Gold or less but Windows Installer 3.1 is not installed"},
        {5, 2, L"Service Pack 1", false, 1, builtIn},
        {6, 0, L"", false, 1, builtIn}};
    for (const auto& c : cases)
    {
        OSVERSIONINFOW version = {};
        version.dwMajorVersion = c.major;
        version.dwMinorVersion = c.minor;
        std::wcsncpy(version.szCSDVersion, c.servicePack, 127);
        const WindowsInstallerVerdict verdict = JudgeWindowsInstaller(version, c.registered);
        EXPECT_EQ(verdict.result, c.expected) << WideToUtf8(c.line);
        EXPECT_STREQ(verdict.line, c.line);
    }
}

TEST(PrereqWindowsInstaller, PackageIsLookedUpOnEverySystemAndTheSystemsVersionDecides)
{
    const std::wstring packageKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2";
    const struct
    {
        const wchar_t *wineVersion, *line;
    } cases[] = {{L"win2k", L"IsWIInstalled: OS is Windows 2000 and Windows Installer 3.1 is already installed"},
                 {L"vista", L"IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wineVersion));
        RegistrySandbox registry;
        // Windows 2000 knows no registry views: the reader then opens the
        // 64-bit probe's own view. Both views hold the package.
        for (RegView view : {RegView::Wow32, RegView::Native})
            registry.SetString(HKEY_LOCAL_MACHINE, view, packageKey, L"DisplayName", L"Windows Installer 3.1");
        ScopedWineVersion version(L"bsprobe.exe", c.wineVersion);
        ScratchDir temp(L"probe-temp");
        ChildProcess probe(Quote(ProbePath()) + L" IsWIInstalled", temp.Path(),
                           {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}}, true);
        ASSERT_TRUE(probe.WaitForExit(30000));
        EXPECT_THAT(probe.Output(), HasSubstr("answer=1"));
        std::vector<std::wstring> messages = ReadDiagnosticLog(DiagnosticLogIn(temp.Path())).messages;
        EXPECT_THAT(messages, Contains(c.line)) << DescribeMessages(messages);
        // Looked up on every system, also where it decides nothing.
        EXPECT_TRUE(ReadsRegistryValue(messages, packageKey + L"\\DisplayName"));
    }
}
