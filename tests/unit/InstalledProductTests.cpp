// Whether the product is installed (its uninstall entry in the 32-bit view)
// and whether this kit's setup would put an older version over it.

#include "bootstrap/ProductIdentity.h"
#include "product/InstalledProduct.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/PlatformProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using platform_tests::MessagesStartingWith;
using platform_tests::RunProbe;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
const std::wstring kUninstallEntry =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProductCode;
const wchar_t kDowngradePrefix[] = L"MorvantoBootStrapper.IsDowngrade";

class InstalledProduct : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallEntry));
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kUninstallEntry));
    }

    void Installed(const std::wstring& displayVersion, RegView view = RegView::Wow32)
    {
        m_registry.SetString(HKEY_LOCAL_MACHINE, view, kUninstallEntry, L"DisplayName", kProductName);
        m_registry.SetString(HKEY_LOCAL_MACHINE, view, kUninstallEntry, L"DisplayVersion", displayVersion);
    }

    RegistrySandbox m_registry;
};

// The lines IsDowngrade writes up to reading the kit's version.
std::vector<std::wstring> DowngradeTraceStart(const std::wstring& installed)
{
    return {
        L"MorvantoBootStrapper.IsDowngrade >>",
        std::wstring(L"MorvantoBootStrapper.IsDowngrade: Getting installed Zel Morvanto version number using ID ") +
            kProductCode + L" ",
        L"MorvantoBootStrapper.IsDowngrade: Installed Zel Morvanto version is " + installed,
        L"MorvantoBootStrapper.IsDowngrade: getting version of the Zel Morvanto kit currently launched",
        L"MorvantoBootStrapper.IsDowngrade:1",
    };
}

std::vector<std::wstring> Concat(std::vector<std::wstring> first, const std::vector<std::wstring>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}
}  // namespace

TEST(CompareVersionTexts, OrdinalCodeUnitByCodeUnit)
{
    struct Case
    {
        const wchar_t* installed;
        const wchar_t* kit;
        int sign;
    } cases[] = {
        {L"9.5", L"9.0", 1},
        {L"10.0", L"9.5", -1},  // "1" sorts before "9"
        {L"9.0.10", L"9.0.9", -1},
        {L"9.5 ", L"9.5", 1},  // the longer text is greater
        {L"9.5", L"9.5 ", -1},
        {L"9.5b", L"9.5B", 1},  // case-sensitive
        {L"9.5.0.1", L"9.5.0.1", 0},
        {L"", L"", 0},
        {L"", L"9", -1},
        {L"9.5\x00E9", L"9.5e", 1},
        // Unsigned: U+FFFF is the greatest code unit, not a negative one.
        {L"\xFFFF", L"\x0001", 1},
        {L"\x8000", L"\x7FFF", 1},
    };
    for (const auto& c : cases)
    {
        const int result = CompareVersionTexts(c.installed, c.kit);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << WideToUtf8(c.installed) << " vs " << WideToUtf8(c.kit);
    }
}

TEST_F(InstalledProduct, InstalledOnlyWithDisplayNameInThe32BitView)
{
    struct Case
    {
        const char* what;
        const wchar_t* valueName;  // the one value of the entry; none when null
        RegView view;
        bool installed;
    } cases[] = {
        {"no uninstall entry", nullptr, RegView::Wow32, false},
        {"entry in the 32-bit view", L"DisplayName", RegView::Wow32, true},
        {"entry only in the 64-bit view", L"DisplayName", RegView::Native, false},
        {"entry without DisplayName", L"DisplayVersion", RegView::Wow32, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        RegistrySandbox registry;
        if (c.valueName != nullptr)
            registry.SetString(HKEY_LOCAL_MACHINE, c.view, kUninstallEntry, c.valueName, L"9.5");

        LogCapture capture;
        EXPECT_EQ(IsProductInstalled(kProductCode), c.installed ? TRUE : FALSE);
        const std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(MessagesStartingWith(messages, L"MorvantoBootStrapper.IsProductInstalled"),
                    ElementsAre(L"MorvantoBootStrapper.IsProductInstalled >>",
                                std::wstring(L"MorvantoBootStrapper.IsProductInstalled: Checking if product with ID ") +
                                    kProductCode + L" is installed",
                                c.installed ? L"MorvantoBootStrapper.IsProductInstalled: Product is installed"
                                            : L"MorvantoBootStrapper.IsProductInstalled: Product is not installed",
                                L"MorvantoBootStrapper.IsProductInstalled <<"))
            << DescribeMessages(messages);
        EXPECT_THAT(messages, Contains(L"SetupBootstrapper.QueryStringValueFromRegistry: called for " +
                                       kUninstallEntry + L"\\DisplayName"));
    }
}

TEST_F(InstalledProduct, ProductCodeTooLongForTheKeyPathIsNotInstalled)
{
    // Cut to 511 characters, this code would name the entry of kProductCode.
    const std::wstring longCode = kProductCode + std::wstring(600, L'0');
    Installed(L"9.5");
    LogCapture capture;
    EXPECT_FALSE(IsProductInstalled(longCode.c_str()));
    EXPECT_THAT(capture.Messages(), Contains(L"MorvantoBootStrapper.IsProductInstalled: Product is not installed"));
    EXPECT_THAT(MessagesStartingWith(capture.Messages(), L"SetupBootstrapper.Query"), ::testing::IsEmpty());
}

TEST_F(InstalledProduct, DisplayNameWithoutDisplayVersionIsInstalledButNoDowngrade)
{
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallEntry, L"DisplayName", kProductName);
    LogCapture capture;
    EXPECT_TRUE(IsProductInstalled(kProductCode));
    capture.TakeMessages();

    EXPECT_FALSE(IsDowngrade(kProductCode, StandinVariant(L"product-9.0", L"morvanto9.exe").c_str()));
    EXPECT_THAT(MessagesStartingWith(capture.TakeMessages(), kDowngradePrefix),
                ElementsAre(L"MorvantoBootStrapper.IsDowngrade >>",
                            std::wstring(L"MorvantoBootStrapper.IsDowngrade: Getting installed Zel Morvanto version "
                                         L"number using ID ") +
                                kProductCode + L" ",
                            L"MorvantoBootStrapper.IsDowngrade: Failed to get installed Zel Morvanto version",
                            L"MorvantoBootStrapper.IsDowngrade <<"));
}

TEST_F(InstalledProduct, DowngradeOnlyWhenTheInstalledVersionTextIsGreater)
{
    struct Case
    {
        const wchar_t* installed;
        std::wstring setupFile;
        const wchar_t* kitVersion;
        bool downgrade;
    } cases[] = {
        {L"9.5", StandinVariant(L"product-9.0", L"morvanto9.exe"), L"9.0", true},
        {L"10.0", StandinVariant(L"product-9.5", L"morvanto9.exe"), L"9.5", false},
        {L"9.0.10", StandinVariant(L"product-9.0.9", L"morvanto9.exe"), L"9.0.9", false},
        {L"9.5 ", StandinVariant(L"product-9.5", L"morvanto9.exe"), L"9.5", true},
        {L"9.5b", StandinVariant(L"product-9.5B", L"morvanto9.exe"), L"9.5B", true},
        {L"9.5", StandinVariant(L"product-9.5", L"morvanto9.exe"), L"9.5", false},
        // The shipped kit's setup, read through \StringFileInfo\040904b0.
        {L"9.5.0.1", JoinPath(KitDir(), L"morvanto9.exe"), L"9.5.0.1", false},
        {L"9.5.0.2", JoinPath(KitDir(), L"morvanto9.exe"), L"9.5.0.1", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(std::wstring(c.installed) + L" vs " + c.kitVersion));
        RegistrySandbox registry;
        registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallEntry, L"DisplayVersion", c.installed);

        LogCapture capture;
        EXPECT_EQ(IsDowngrade(kProductCode, c.setupFile.c_str()), c.downgrade ? TRUE : FALSE);
        const std::vector<std::wstring> expected = Concat(
            DowngradeTraceStart(c.installed),
            {
                L"MorvantoBootStrapper.IsDowngrade:2",
                L"MorvantoBootStrapper.IsDowngrade:3",
                std::wstring(L"MorvantoBootStrapper.IsDowngrade: Zel Morvanto version currently installing is :") +
                    c.kitVersion,
                c.downgrade ? L"MorvantoBootStrapper.IsDowngrade: This is a downgrade"
                            : L"MorvantoBootStrapper.IsDowngrade: Not a downgrade",
                L"MorvantoBootStrapper.IsDowngrade <<",
            });
        EXPECT_THAT(MessagesStartingWith(capture.Messages(), kDowngradePrefix), ElementsAreArray(expected))
            << DescribeMessages(capture.Messages());
    }
}

TEST_F(InstalledProduct, UnreadableKitVersionIsNoDowngrade)
{
    // Above every stand-in's version: only an unreadable one keeps this from
    // being a downgrade.
    Installed(L"99");
    ScratchDir empty(L"no-setup");
    struct Case
    {
        const char* what;
        std::wstring setupFile;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"setup file missing",
         empty / L"morvanto9.exe",
         {L"MorvantoBootStrapper.IsDowngrade:21",
          L"MorvantoBootStrapper.IsDowngrade: Failed to get current Zel Morvanto kit version, error returned: 2"}},
        // No resource section at all: ERROR_RESOURCE_DATA_NOT_FOUND.
        {"no version resource",
         StandinVariant(L"product-no-version", L"morvanto9.exe"),
         {L"MorvantoBootStrapper.IsDowngrade:21",
          L"MorvantoBootStrapper.IsDowngrade: Failed to get current Zel Morvanto kit version, error returned: 1812"}},
        // The translation table names 0407/04b0, the strings stand under
        // 040904b0.
        {"no strings for the first translation",
         StandinVariant(L"product-other-translation", L"morvanto9.exe"),
         {L"MorvantoBootStrapper.IsDowngrade:2", L"MorvantoBootStrapper.IsDowngrade:31",
          L"MorvantoBootStrapper.IsDowngrade: Failed to get current Zel Morvanto kit version, error returned: 1813"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        LogCapture capture;
        EXPECT_FALSE(IsDowngrade(kProductCode, c.setupFile.c_str()));
        std::vector<std::wstring> expected = Concat(DowngradeTraceStart(L"99"), c.lines);
        expected.push_back(L"MorvantoBootStrapper.IsDowngrade <<");
        EXPECT_THAT(MessagesStartingWith(capture.Messages(), kDowngradePrefix), ElementsAreArray(expected))
            << DescribeMessages(capture.Messages());
    }
}

TEST_F(InstalledProduct, BareSetupNameIsFoundBesideTheRunningProgramFirst)
{
    // The probe's own folder holds the 9.0 setup, its current folder a 9.5
    // one: the installed 9.5 is a downgrade only if the 9.0 setup is read.
    ScratchDir app(L"bare-name-app");
    ScratchDir current(L"bare-name-current");
    CopyFileOrFail(ProbePath(), app / L"bsprobe.exe");
    CopyFileOrFail(StandinVariant(L"product-9.0", L"morvanto9.exe"), app / L"morvanto9.exe");
    CopyFileOrFail(StandinVariant(L"product-9.5", L"morvanto9.exe"), current / L"morvanto9.exe");
    Installed(L"9.5");

    platform_tests::ProbeResult probe = RunProbe(
        app / L"bsprobe.exe", std::wstring(L"IsDowngrade ") + kProductCode + L" morvanto9.exe", current.Path());
    EXPECT_EQ(probe.values["answer"], "1");
    EXPECT_THAT(probe.log,
                Contains(L"MorvantoBootStrapper.IsDowngrade: Zel Morvanto version currently installing is :9.0"))
        << DescribeMessages(probe.log);
}
