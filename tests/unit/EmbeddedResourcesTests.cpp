// An extraction of a resource the executable lacks (what both builds carry
// is read from their files by tests/static/check_image.py). The extraction
// runs in the test program itself, which links the same resources as the
// bootstrapper.

#include "bootstrap/EmbeddedResources.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;

TEST(ResourceExtraction, AMissingResourceCreatesNoFileThatCouldPassForTheLibrary)
{
    LogCapture capture;
    const std::wstring path = capture.TempFolder() + L"msxml3.dll";

    EXPECT_FALSE(ExtractResToTemp(L"BIN", 999, path.c_str()));

    EXPECT_FALSE(FileExists(path));
    EXPECT_THAT(capture.Messages(),
                Contains(L"SetupBootStrapper.ExtractResToTemp: resource not found in the executable, nothing "
                         L"extracted, error returned:" +
                         std::to_wstring(ERROR_RESOURCE_NAME_NOT_FOUND)))
        << DescribeMessages(capture.Messages());
}
