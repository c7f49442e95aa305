// Removal of the installed product's cached installer source: exactly two
// values of its source list in the 64-bit view, nothing else.

#include "bootstrap/ProductIdentity.h"
#include "bootstrap/SourceCacheCleanup.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/DiagnosticLogReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace test;
using ::testing::ElementsAre;

namespace
{
const std::wstring kSourceList =
    std::wstring(L"SOFTWARE\\Classes\\Installer\\Products\\") + kPackedProductCode + L"\\SourceList";

// The Windows Installer's packed form of a braced product code.
std::wstring PackProductCode(const std::wstring& code)
{
    std::wstring digits;
    for (wchar_t c : code)
    {
        if (c != L'{' && c != L'}' && c != L'-')
            digits.push_back(c);
    }
    if (digits.size() != 32)
        return std::wstring();
    std::wstring packed;
    // The first three groups (8, 4 and 4 digits) backwards.
    for (auto [start, length] : {std::pair<size_t, size_t>{0, 8}, {8, 4}, {12, 4}})
    {
        std::wstring group = digits.substr(start, length);
        std::reverse(group.begin(), group.end());
        packed += group;
    }
    // The other sixteen digits byte by byte, the two digits of each swapped.
    for (size_t i = 16; i < 32; i += 2)
    {
        packed.push_back(digits[i + 1]);
        packed.push_back(digits[i]);
    }
    return packed;
}

class SourceCacheCleanup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList));
        ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList));
    }

    RegistrySandbox m_registry;
};

const wchar_t kOpening[] = L"Zel_DeleteDRVS9CachedKey: opening registry key:SOFTWARE\\Classes\\Installer\\Products\\"
                           L"70791EBCD6FC91845947D3DF659806AF\\SourceList";
}  // namespace

TEST(PackedProductCode, IsThePackedFormOfTheProductCode)
{
    EXPECT_EQ(PackProductCode(L"{CBE19707-CF6D-4819-9574-3DFD568960FA}"), L"70791EBCD6FC91845947D3DF659806AF");
    EXPECT_EQ(PackProductCode(kProductCode), kPackedProductCode);
}

TEST_F(SourceCacheCleanup, BothValuesGoAndTheRestOfTheKeyStays)
{
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"LastUsedSource", L"n;1;C:\\kit\\");
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"PackageName", L"morvanto9.msi");
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"LastUsedType", L"n");
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList + L"\\Net", L"1", L"C:\\kit\\");
    // The 32-bit view's copy is not the installer's and stays as it is.
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"LastUsedSource", L"n;1;D:\\");
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"PackageName", L"other.msi");

    LogCapture capture;
    EXPECT_EQ(Zel_DeleteDRVS9CachedKey(), 0);
    EXPECT_THAT(capture.Messages(), ElementsAre(L"Zel_DeleteDRVS9CachedKey: >>", kOpening,
                                                L"Zel_DeleteDRVS9CachedKey: registry key opened succesfully",
                                                L"Zel_DeleteDRVS9CachedKey: key:LastUsedSource deleted succesfully",
                                                L"Zel_DeleteDRVS9CachedKey: key:PackageName deleted succesfully",
                                                L"Zel_DeleteDRVS9CachedKey: <<"));

    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"LastUsedSource"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"PackageName"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"LastUsedType"), L"n");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList + L"\\Net", L"1"), L"C:\\kit\\");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"LastUsedSource"), L"n;1;D:\\");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"PackageName"), L"other.msi");
}

TEST_F(SourceCacheCleanup, MissingLastUsedSourceDoesNotKeepPackageName)
{
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"PackageName", L"morvanto9.msi");

    LogCapture capture;
    EXPECT_EQ(Zel_DeleteDRVS9CachedKey(), 0);
    EXPECT_THAT(capture.Messages(),
                ElementsAre(L"Zel_DeleteDRVS9CachedKey: >>", kOpening,
                            L"Zel_DeleteDRVS9CachedKey: registry key opened succesfully",
                            L"Zel_DeleteDRVS9CachedKey: failed to delete value:LastUsedSource, error returned:2",
                            L"Zel_DeleteDRVS9CachedKey: key:PackageName deleted succesfully",
                            L"Zel_DeleteDRVS9CachedKey: <<"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"PackageName"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList));
}

TEST_F(SourceCacheCleanup, MissingKeyIsOneFailureLineAndNothingIsCreated)
{
    // Only the 32-bit view has it, which is not where the installer looks.
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"PackageName", L"morvanto9.msi");

    LogCapture capture;
    EXPECT_EQ(Zel_DeleteDRVS9CachedKey(), 0);
    EXPECT_THAT(capture.Messages(),
                ElementsAre(L"Zel_DeleteDRVS9CachedKey: >>", kOpening,
                            L"Zel_DeleteDRVS9CachedKey: failed to open registry key:SOFTWARE\\Classes\\Installer\\"
                            L"Products\\70791EBCD6FC91845947D3DF659806AF\\SourceList, error returned:2",
                            L"Zel_DeleteDRVS9CachedKey: <<"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList));
    EXPECT_TRUE(RegistryValueExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"PackageName"));
}
