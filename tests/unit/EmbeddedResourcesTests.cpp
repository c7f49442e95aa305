// The embedded XML parser libraries: what both builds carry, and an
// extraction of a resource the executable lacks. The extraction runs in the
// test program itself, which links the same resources as the bootstrapper.

#include "bootstrap/EmbeddedResources.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/PeImage.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;

TEST(EmbeddedParserLibraries, BothBuildsCarryLibrariesOfTheirArchitectureInUsEnglish)
{
    const struct
    {
        const char* build;
        std::wstring kitDir;
        uint16_t machine;
    } cases[] = {
        {"x64", KitDir(), IMAGE_FILE_MACHINE_AMD64},
        {"x86", X86KitDir(), IMAGE_FILE_MACHINE_I386},
    };
    ScratchDir scratch(L"embedded");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.build);
        PeImage bootstrapper(JoinPath(c.kitDir, L"SetupBootstrapper.exe"));
        ASSERT_TRUE(bootstrapper.Valid()) << bootstrapper.Error();
        // 110 is the resource library, 111 the parser that regsvr32 registers.
        const std::pair<const wchar_t*, std::vector<std::string>> libraries[] = {
            {L"#110", {}}, {L"#111", {"DllRegisterServer", "DllUnregisterServer"}}};
        for (const auto& [id, exports] : libraries)
        {
            SCOPED_TRACE(WideToUtf8(id));
            EXPECT_THAT(bootstrapper.ResourceLanguages(L"BIN", id), ElementsAre(1033));

            // regsvr32 of the same architecture must be able to load it.
            std::wstring copy = scratch / (Utf8ToWide(c.build) + L"-" + (id + 1) + L".dll");
            WriteFileBytes(copy, bootstrapper.Resource(L"BIN", id));
            PeImage library(copy);
            ASSERT_TRUE(library.Valid()) << library.Error();
            EXPECT_EQ(library.Machine(), c.machine);
            EXPECT_NE(library.Characteristics() & IMAGE_FILE_DLL, 0);
            // The real parser exports more than the stand-in does.
            if (exports.empty())
            {
                EXPECT_THAT(library.Exports(), IsEmpty());
            }
            else
            {
                EXPECT_THAT(library.Exports(), IsSupersetOf(exports));
            }
        }
    }
}

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
