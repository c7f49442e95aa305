// Whether the product is installed (its uninstall entry in the 32-bit view)
// and whether this kit's setup would put an older version over it.

#include "product/InstalledProduct.h"
#include "support/ProductIdentity.h"
#include "tests/support/ProbeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;

namespace
{
const std::wstring kUninstallEntry =
    std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProductCode;

std::wstring SetupOf(const std::wstring& variant)
{
    return StandinVariant(L"product-" + variant, L"morvanto9.exe");
}

// The uninstall entry holds only the values given (none: no entry), in the
// 32-bit view unless said otherwise.
class InstalledProduct : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kUninstallEntry)); }
    void Entry(const wchar_t* displayName, const wchar_t* displayVersion, RegView view = RegView::Wow32)
    {
        m_registry.Restore();
        if (displayName != nullptr)
            m_registry.SetString(HKEY_LOCAL_MACHINE, view, kUninstallEntry, L"DisplayName", displayName);
        if (displayVersion != nullptr)
            m_registry.SetString(HKEY_LOCAL_MACHINE, view, kUninstallEntry, L"DisplayVersion", displayVersion);
    }
    RegistrySandbox m_registry;
};
}  // namespace

TEST(CompareVersionTexts, OrdinalCodeUnitByCodeUnit)
{
    struct Case { const wchar_t* installed; const wchar_t* kit; int sign; };
    const Case cases[] = {
        {L"9.5", L"9.0", 1},     {L"10.0", L"9.5", -1},  // "1" sorts before "9"
        {L"9.0.10", L"9.0.9", -1},
        {L"9.5 ", L"9.5", 1},    {L"9.5", L"9.5 ", -1},  // the longer text is greater
        {L"9.5b", L"9.5B", 1},   {L"9.5.0.1", L"9.5.0.1", 0},
        {L"\xFFFF", L"\x0001", 1},  // unsigned: U+FFFF is not negative
    };
    for (const Case& c : cases)
    {
        const int result = CompareVersionTexts(c.installed, c.kit);
        EXPECT_EQ((result > 0) - (result < 0), c.sign) << WideToUtf8(c.installed) << " vs " << WideToUtf8(c.kit);
    }
}

TEST_F(InstalledProduct, InstalledOnlyWithDisplayNameInThe32BitView)
{
    Entry(nullptr, nullptr);
    EXPECT_FALSE(IsProductInstalled(kProductCode));
    Entry(kProductName, nullptr);
    EXPECT_TRUE(IsProductInstalled(kProductCode));
    // Cut to 511 characters, this code would name the entry above.
    EXPECT_FALSE(IsProductInstalled((kProductCode + std::wstring(600, L'0')).c_str()));
    Entry(kProductName, nullptr, RegView::Native);
    EXPECT_FALSE(IsProductInstalled(kProductCode));
    Entry(nullptr, L"9.5");
    EXPECT_FALSE(IsProductInstalled(kProductCode));
}

TEST_F(InstalledProduct, DowngradeOnlyWhenTheInstalledVersionTextIsGreaterAndReadable)
{
    ScratchDir empty(L"no-setup");
    struct Case { const wchar_t* installed; std::wstring setupFile; BOOL downgrade; std::vector<std::wstring> lines; };
    const std::wstring prefix = L"MorvantoBootStrapper.IsDowngrade";
    const std::wstring kitVersionIs = prefix + L": Zel Morvanto version currently installing is :";
    const std::wstring failed = prefix + L": Failed to get current Zel Morvanto kit version, error returned: ";
    const Case cases[] = {
        {L"9.5", SetupOf(L"9.0"), TRUE, {kitVersionIs + L"9.0"}},
        {L"10.0", SetupOf(L"9.5"), FALSE, {kitVersionIs + L"9.5"}},
        // The shipped kit's setup, read through \StringFileInfo\040904b0.
        {L"9.5.0.1", JoinPath(KitDir(), L"morvanto9.exe"), FALSE, {kitVersionIs + L"9.5.0.1"}},
        {nullptr, SetupOf(L"9.0"), FALSE, {prefix + L": Failed to get installed Zel Morvanto version"}},
        // An installed version above every stand-in's: only an unreadable kit
        // version keeps these from being downgrades.
        {L"99", empty / L"morvanto9.exe", FALSE, {prefix + L":21", failed + L"2"}},
        // Its translation table names 0407/04b0; its strings stand under 040904b0.
        {L"99", SetupOf(L"other-translation"), FALSE, {prefix + L":31", failed + L"1813"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.setupFile));
        Entry(kProductName, c.installed);
        LogCapture capture;
        EXPECT_EQ(IsDowngrade(kProductCode, c.setupFile.c_str()), c.downgrade);
        for (const std::wstring& line : c.lines)
            EXPECT_THAT(capture.Messages(), ::testing::Contains(line)) << DescribeMessages(capture.Messages());
    }
}

TEST_F(InstalledProduct, BareSetupNameIsFoundBesideTheRunningProgramFirst)
{
    // The probe's own folder holds the 9.0 setup, its current folder a 9.5
    // one: the installed 9.5 is a downgrade only if the 9.0 setup is read.
    ScratchDir app(L"bare-name-app");
    ScratchDir current(L"bare-name-current");
    CopyFileOrFail(ProbePath(), app / L"bsprobe.exe");
    CopyFileOrFail(SetupOf(L"9.0"), app / L"morvanto9.exe");
    CopyFileOrFail(SetupOf(L"9.5"), current / L"morvanto9.exe");
    Entry(kProductName, L"9.5");
    test::ProbeResult probe = test::RunProbe(
        std::wstring(L"IsDowngrade ") + kProductCode + L" morvanto9.exe", app / L"bsprobe.exe", current.Path());
    EXPECT_EQ(probe.values["answer"], "1");
}
