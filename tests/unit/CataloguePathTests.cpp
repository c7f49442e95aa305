// Where the language catalogue is looked for: the current directory of the
// process, not the folder of the executable.

#include "bootstrap/Startup.h"
#include "support/ProductIdentity.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

using namespace test;

TEST(CataloguePath, FollowsTheCurrentDirectory)
{
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);

    ScratchDir elsewhere(L"catalogue-cwd");
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
    wchar_t path[kCchText];
    BuildCataloguePath(path, kCchText);
    EXPECT_EQ(std::wstring(path), elsewhere.Path() + L"\\languages.ini");

    // The root keeps its own backslash; the doubled separator is read as one.
    ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
    BuildCataloguePath(path, kCchText);
    EXPECT_STREQ(path, L"C:\\\\languages.ini");

    // A buffer too small for the path gives an empty path, never a cut one.
    wchar_t small[8];
    BuildCataloguePath(small, ARRAYSIZE(small));
    EXPECT_STREQ(small, L"");

    SetCurrentDirectoryW(saved);
}
