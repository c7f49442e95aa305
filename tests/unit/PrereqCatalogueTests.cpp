// The prerequisite catalogue's row choice and the four detections: what the
// registry and the Windows version make them answer.

#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/TemplateText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace test;
using ::testing::Contains;
using ::testing::HasSubstr;

namespace
{
constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr wchar_t kMdacKey[] = L"Software\\Microsoft\\DataAccess";
constexpr wchar_t kInstallerPackageKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2";

bool AnyMessageContains(const std::vector<std::wstring>& messages, const std::wstring& part)
{
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::wstring& m) { return m.find(part) != std::wstring::npos; });
}
}  // namespace

TEST(PrereqRows, EachNeedIsServedByTheRowOfItsPlatform)
{
    EXPECT_EQ(&DotNetRow(false), &kDotNet20X86);
    EXPECT_EQ(&DotNetRow(true), &kDotNet20X64);

    struct Case
    {
        int language;
        bool x64;
        const Prerequisite* row;
    } cases[] = {
        {1031, false, &kLanguagePackGermanX86}, {1031, true, &kLanguagePackGermanX64},
        {1040, false, &kLanguagePackItalianX86}, {1040, true, &kLanguagePackItalianX64},
        {1033, false, nullptr},  {1033, true, nullptr},
        {3082, false, nullptr},  {3082, true, nullptr},
        {1049, false, nullptr},  {1049, true, nullptr},
        {0, false, nullptr},     {1034, true, nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLanguagePack(c.language, c.x64).row, c.row) << c.language << (c.x64 ? " x64" : " x86");
}

TEST(PrereqTemplateText, FirstPlaceholderTakesTheValueAndEverythingElseStays)
{
    struct Case
    {
        const wchar_t* templateText;
        const wchar_t* value;
        size_t cchResult;
        const wchar_t* expected;
    } cases[] = {
        {L"required by %s", L"Zel Morvanto 9.5", 1024, L"required by Zel Morvanto 9.5"},
        {L"%s and %s", L"A", 1024, L"A and %s"},
        {L"100% sure, %d %s", L"x", 1024, L"100% sure, %d x"},
        {L"%s", nullptr, 1024, L""},
        {L"abc %s", L"defgh", 6, L"abc d"},
    };
    for (const auto& c : cases)
    {
        wchar_t result[1024];
        FillTemplateText(c.templateText, c.value, result, c.cchResult);
        EXPECT_EQ(std::wstring(result), c.expected) << WideToUtf8(c.templateText);
    }
}

TEST(PrereqDetection, DotNetCountsAnyReadableInstallValueAndOnlyItsAbsenceAsMissing)
{
    using Seed = std::function<void(RegistrySandbox&)>;
    const RegView v = RegView::Wow32;
    struct Case
    {
        const char* name;
        Seed seed;
        int expected;
    } cases[] = {
        {"DWORD 1", [&](RegistrySandbox& r) { r.SetDword(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", 1); }, 1},
        {"DWORD 0", [&](RegistrySandbox& r) { r.SetDword(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", 0); }, 1},
        {"text -", [&](RegistrySandbox& r) { r.SetString(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install", L"-"); }, 0},
        {"key without value",
         [&](RegistrySandbox& r) {
             r.CreateKey(HKEY_LOCAL_MACHINE, v, kDotNetKey);
             r.DeleteValue(HKEY_LOCAL_MACHINE, v, kDotNetKey, L"Install");
             // Only the view the 32-bit product reads counts.
             r.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kDotNetKey, L"Install", 1);
         },
         0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        RegistrySandbox registry;
        c.seed(registry);
        LogCapture capture;
        EXPECT_EQ(IsDotNet2Installed(), c.expected);
        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_EQ(messages.front(), L"IsDotNet2Installed: >>");
        EXPECT_THAT(messages, Contains(c.expected ? L"IsDotNet2Installed: .NET 2.0 is installed"
                                                  : L"IsDotNet2Installed: .NET 2.0 is not installed"));
        EXPECT_EQ(messages.back(), L"IsDotNet2Installed: <<");
    }
}

TEST(PrereqDetection, MdacVersionIsComparedAsTextThenTheRollbackValueIsAsked)
{
    struct Case
    {
        const wchar_t* fullInstallVer;  // nullptr: absent
        const wchar_t* rollbackVersion;
        int expected;
        bool asksRollback;
        const wchar_t* line;
    } cases[] = {
        {L"2.81.1117.0", nullptr, 1, false, L"IsMDAC28Installed: MDAC 2.81.1117.0 is installed"},
        {L"2.70.7713.0", L"2.81.1117.0", 1, true,
         L"IsMDAC28Installed: rollback key is >=2.8, MDAC 2.81.1117.0 is installed"},
        {L"2.70.7713.0", nullptr, 0, true, L"IsMDAC28Installed: MDAC 2.8 is not installed"},
        {L"6.0.6000.16386", nullptr, 1, false, L"IsMDAC28Installed: MDAC 6.0.6000.16386 is installed"},
        {L"10.0", nullptr, 0, true, L"IsMDAC28Installed: MDAC 2.8 is not installed"},
        {L"2.8", nullptr, 1, false, L"IsMDAC28Installed: MDAC 2.8 is installed"},
        {nullptr, L"2.8", 1, true, L"IsMDAC28Installed: rollback key is >=2.8, MDAC 2.8 is installed"},
        {nullptr, nullptr, 0, true, L"IsMDAC28Installed: MDAC 2.8 is not installed"},
    };
    for (const auto& c : cases)
    {
        RegistrySandbox registry;
        if (c.fullInstallVer != nullptr)
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer", c.fullInstallVer);
        else
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"FullInstallVer");
        if (c.rollbackVersion != nullptr)
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"RollbackVersion", c.rollbackVersion);
        else
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kMdacKey, L"RollbackVersion");

        LogCapture capture;
        const std::string label = c.fullInstallVer != nullptr ? WideToUtf8(c.fullInstallVer) : "absent";
        EXPECT_EQ(IsMDAC28Installed(), c.expected) << label;
        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(messages, Contains(c.line)) << label;
        bool askedRollback =
            AnyMessageContains(messages, L"called for Software\\Microsoft\\DataAccess\\RollbackVersion");
        EXPECT_EQ(askedRollback, c.asksRollback) << label;
        EXPECT_EQ(messages.back(), L"IsMDAC28Installed: <<");
    }
}

TEST(PrereqDetection, LanguagePackIsAskedForEveryLanguageButEnglish)
{
    struct Case
    {
        const wchar_t* language;
        bool seedInstalled;
        int expected;
        const wchar_t* line;
    } cases[] = {
        {L"1033", false, 1, L"IsDotNet2LPInstalled: current language is English - no Language pack is required"},
        {L"3082", false, 0, L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '3082' is not installed"},
        {L"1049", false, 0, L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '1049' is not installed"},
        {L"1031", true, 1, L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '1031' is installed"},
        {L"1040", false, 0, L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '1040' is not installed"},
        // Exactly "1033": any other spelling is looked up like a language.
        {L"01033", false, 0, L"IsDotNet2LPInstalled: .NET 2.0 Language Pack in '01033' is not installed"},
    };
    for (const auto& c : cases)
    {
        const std::wstring key = std::wstring(kDotNetKey) + L"\\" + c.language;
        RegistrySandbox registry;
        if (c.seedInstalled)
            registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, key, L"Install", 1);
        else
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, key, L"Install");

        LogCapture capture;
        EXPECT_EQ(IsDotNet2LPInstalled(c.language), c.expected) << WideToUtf8(c.language);
        std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(messages, Contains(c.line));
        bool readRegistry = AnyMessageContains(messages, L"QueryStringValueFromRegistry: called for " + key);
        EXPECT_EQ(readRegistry, std::wstring(c.language) != L"1033") << WideToUtf8(c.language);
        EXPECT_EQ(messages.back(), L"IsDotNet2LPInstalled: <<");
    }
}

namespace
{
// How the Windows version is made: Wine's per-program setting, or (for the
// service-pack levels Wine's table lacks) the version values in the registry.
struct CustomVersion
{
    const wchar_t* currentVersion;
    const wchar_t* buildNumber;
    const wchar_t* servicePack;  // nullptr: no service pack
    DWORD servicePackNumber;
    const wchar_t* productType;
};

struct WindowsCase
{
    const char* name;
    const wchar_t* wineVersion;      // nullptr: use custom
    CustomVersion custom;
    bool packageRegistered;
    int expected;
    const wchar_t* line;
};

void SeedCustomVersion(RegistrySandbox& registry, const CustomVersion& v)
{
    const wchar_t* currentVersionKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, currentVersionKey, L"CurrentVersion", v.currentVersion);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, currentVersionKey, L"CurrentBuildNumber", v.buildNumber);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, currentVersionKey, L"CurrentBuild", v.buildNumber);
    if (v.servicePack != nullptr)
        registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, currentVersionKey, L"CSDVersion", v.servicePack);
    else
        registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Native, currentVersionKey, L"CSDVersion");
    registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, L"System\\CurrentControlSet\\Control\\Windows",
                      L"CSDVersion", v.servicePackNumber);
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, L"System\\CurrentControlSet\\Control\\ProductOptions",
                       L"ProductType", v.productType);
}
}  // namespace

TEST(PrereqWindowsInstaller, PackageDecidesOnlyBeforeXpSp3And2003Sp1)
{
    const CustomVersion none = {};
    const CustomVersion xpSp2 = {L"5.1", L"2600", L"Service Pack 2", 0x200, L"WinNT"};
    const CustomVersion xpGold = {L"5.1", L"2600", nullptr, 0, L"WinNT"};
    const CustomVersion server2003Gold = {L"5.2", L"3790", nullptr, 0, L"ServerNT"};
    const CustomVersion server2003Sp1 = {L"5.2", L"3790", L"Service Pack 1", 0x100, L"ServerNT"};
    const wchar_t* builtIn = L"IsWIInstalled: OS already includes a built-in version of Windows Installer 3.1";
    const WindowsCase cases[] = {
        {"2000 with package", L"win2k", none, true, 1,
         L"IsWIInstalled: OS is Windows 2000 and Windows Installer 3.1 is already installed"},
        {"2000 without", L"win2k", none, false, 0,
         L"IsWIInstalled: OS is Windows 2000 but Windows Installer 3.1 is not installed"},
        {"XP SP2 with package", nullptr, xpSp2, true, 1,
         L"IsWIInstalled: OS is Windows XP SP2 or less and Windows Installer 3.1 is already installed"},
        {"XP SP2 without", nullptr, xpSp2, false, 0,
         L"IsWIInstalled: OS is Windows XP SP2 or less but Windows Installer 3.1 is not installed"},
        {"XP without service pack", nullptr, xpGold, false, 0,
         L"IsWIInstalled: OS is Windows XP SP2 or less but Windows Installer 3.1 is not installed"},
        {"XP SP3", L"winxp", none, false, 1, builtIn},
        {"2003 gold with package", nullptr, server2003Gold, true, 1,
         L"IsWIInstalled: OS is Windows 2003 Gold and Windows Installer 3.1 is already installed"},
        {"2003 gold without", nullptr, server2003Gold, false, 0,
         L"IsWIInstalled: OS is Windows 2003 Gold or less but Windows Installer 3.1 is not installed"},
        {"2003 SP1", nullptr, server2003Sp1, false, 1, builtIn},
        {"2003 SP2", L"win2003", none, false, 1, builtIn},
        {"Vista", L"vista", none, false, 1, builtIn},
        {"7", L"win7", none, false, 1, builtIn},
        {"10", L"win10", none, false, 1, builtIn},
    };
    for (const WindowsCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        RegistrySandbox registry;
        // Windows 2000 knows no registry views: the reader then opens the
        // 64-bit probe's own view. Both views hold the same state.
        for (RegView view : {RegView::Wow32, RegView::Native})
        {
            if (c.packageRegistered)
                registry.SetString(HKEY_LOCAL_MACHINE, view, kInstallerPackageKey, L"DisplayName",
                                   L"Windows Installer 3.1 (KB893803)");
            else
                registry.DeleteValue(HKEY_LOCAL_MACHINE, view, kInstallerPackageKey, L"DisplayName");
        }
        if (c.wineVersion == nullptr)
            SeedCustomVersion(registry, c.custom);
        ScopedWineVersion version(L"bsprobe.exe", c.wineVersion);

        ScratchDir temp(L"probe-temp");
        ChildProcess probe(Quote(ProbePath()) + L" IsWIInstalled", temp.Path(),
                           {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}}, true);
        ASSERT_TRUE(probe.WaitForExit(30000));
        EXPECT_THAT(probe.Output(), HasSubstr("answer=" + std::to_string(c.expected)));

        std::vector<std::wstring> messages = ReadDiagnosticLog(DiagnosticLogIn(temp.Path())).messages;
        EXPECT_THAT(messages, Contains(c.line)) << DescribeMessages(messages);
        // The package is looked up on every system, also where it decides
        // nothing.
        EXPECT_TRUE(AnyMessageContains(messages, std::wstring(L"QueryStringValueFromRegistry: called for ") +
                                                     kInstallerPackageKey + L"\\DisplayName"));
        EXPECT_EQ(messages.front(), L"IsWIInstalled >>");
        EXPECT_EQ(messages.back(), L"IsWIInstalled <<");
    }
}
