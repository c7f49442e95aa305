// Removal of the installed product's cached installer source: exactly two
// values of its source list in the 64-bit view, nothing else.

#include "bootstrap/SourceCacheCleanup.h"
#include "support/ProductIdentity.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace test;
using ::testing::Contains;

namespace
{
const std::wstring kSourceList =
    std::wstring(L"SOFTWARE\\Classes\\Installer\\Products\\") + kPackedProductCode + L"\\SourceList";

// The Windows Installer's packed form of a braced product code: the first
// three groups backwards, then the two digits of every further byte swapped.
std::wstring PackProductCode(std::wstring code)
{
    code.erase(std::remove_if(code.begin(), code.end(), [](wchar_t c) { return c == L'{' || c == L'}' || c == L'-'; }),
               code.end());
    std::reverse(code.begin(), code.begin() + 8);
    std::reverse(code.begin() + 8, code.begin() + 12);
    std::reverse(code.begin() + 12, code.begin() + 16);
    for (size_t i = 16; i + 1 < code.size(); i += 2)
        std::swap(code[i], code[i + 1]);
    return code;
}

bool Has(RegView view, const wchar_t* valueName)
{
    return RegistryValueExists(HKEY_LOCAL_MACHINE, view, kSourceList, valueName);
}
}  // namespace

TEST(PackedProductCode, IsThePackedFormOfTheProductCode)
{
    EXPECT_EQ(PackProductCode(L"{CBE19707-CF6D-4819-9574-3DFD568960FA}"), L"70791EBCD6FC91845947D3DF659806AF");
    EXPECT_EQ(PackProductCode(kProductCode), kPackedProductCode);
}

TEST(SourceCacheCleanup, DeletesOnlyTheTwoValuesOfTheNativeViewWhateverIsMissing)
{
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList));
    ASSERT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList));
    // present: the values in the native view; none: no key there.
    struct Case { const char* what; std::vector<const wchar_t*> present; std::wstring line; };
    const Case cases[] = {
        {"both values", {L"LastUsedSource", L"PackageName"}, L"key:PackageName deleted succesfully"},
        {"PackageName alone", {L"PackageName"}, L"failed to delete value:LastUsedSource, error returned:2"},
        {"no key", {}, L"failed to open registry key:" + kSourceList + L", error returned:2"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        RegistrySandbox registry;
        for (const wchar_t* name : c.present)
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, name, L"n;1;C:\\kit\\");
        if (!c.present.empty())
        {
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList, L"LastUsedType", L"n");
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList + L"\\Net", L"1", L"C:\\kit\\");
        }
        // The 32-bit view's copy is not the installer's and stays as it is.
        registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"LastUsedSource", L"n;1;D:\\");
        registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kSourceList, L"PackageName", L"other.msi");

        LogCapture capture;
        EXPECT_EQ(Zel_DeleteDRVS9CachedKey(), 0);
        EXPECT_THAT(capture.Messages(), Contains(L"Zel_DeleteDRVS9CachedKey: " + c.line))
            << DescribeMessages(capture.Messages());
        EXPECT_FALSE(Has(RegView::Native, L"LastUsedSource"));
        EXPECT_FALSE(Has(RegView::Native, L"PackageName"));
        // The key, its other values and subkeys stay; a missing key is not made.
        const bool hadKey = !c.present.empty();
        EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList), hadKey);
        EXPECT_EQ(Has(RegView::Native, L"LastUsedType"), hadKey);
        EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, RegView::Native, kSourceList + L"\\Net"), hadKey);
        EXPECT_TRUE(Has(RegView::Wow32, L"LastUsedSource"));
        EXPECT_TRUE(Has(RegView::Wow32, L"PackageName"));
    }
}
