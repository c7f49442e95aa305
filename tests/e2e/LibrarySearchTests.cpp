// The bootstrapper runs elevated, usually started from a Downloads folder
// that holds whatever else was downloaded: a library lying in its current
// directory must not be loaded in its name. Its own folder stays first.

#include "tests/support/Scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

TEST(LibrarySearch, TheDownloadAndRunLibraryComesFromBesideTheExecutableNeverFromTheCurrentDirectory)
{
    const std::wstring notFound = L"DownloadAndRunApp: failed to load library downloadandrun.dll, error returned: " +
                                  std::to_wstring(ERROR_MOD_NOT_FOUND);
    const struct
    {
        const char* what;
        bool besideTheExecutable;
        bool loadedFromTheKit;
    } cases[] = {
        {"only in the current directory: not loaded", false, false},
        {"in both folders: the executable's own", true, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Scenario scenario(L"library-search");
        if (!c.besideTheExecutable)
        {
            ASSERT_TRUE(DeleteFileW(scenario.KitFile(L"downloadandrun.dll").c_str()));
        }
        const std::wstring downloads = JoinPath(scenario.Root(), L"downloads");
        ASSERT_TRUE(CreateDirectoryW(downloads.c_str(), nullptr));
        CopyFileOrFail(JoinPath(KitDir(), L"downloadandrun.dll"), JoinPath(downloads, L"downloadandrun.dll"));

        // .NET Framework 2.0 and MDAC 2.8 are missing: the run needs the
        // library, and the stand-in journals every call beside itself.
        EXPECT_EQ(scenario.Run(L"/s answers.iss", downloads), 0u);

        EXPECT_THAT(ReadLibraryJournal(downloads), IsEmpty()) << "the library in the current directory was called";
        if (c.loadedFromTheKit)
        {
            EXPECT_THAT(ReadLibraryJournal(scenario.KitDir()), SizeIs(2));
            EXPECT_THAT(scenario.LogMessages(), Not(Contains(notFound)));
            EXPECT_TRUE(scenario.SetupWasStarted());
        }
        else
        {
            EXPECT_THAT(scenario.LogMessages(), Contains(notFound)) << DescribeMessages(scenario.LogMessages());
            EXPECT_FALSE(scenario.SetupWasStarted());
        }
    }
}
