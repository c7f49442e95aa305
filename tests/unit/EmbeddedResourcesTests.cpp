// The embedded XML parser libraries: what the builds carry, and the failures
// of extracting and deleting them. These run in the test program itself,
// which links the same resources as the bootstrapper; the successful paths
// are seen whole in XmlParserPreparationTests.cpp.

#include "resources/resource.h"
#include "support/EmbeddedResources.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/PeImage.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
std::wstring EmbeddedCopy(const std::wstring& fileName)
{
    return StandinVariant(L"msxml3", fileName);
}

// A handle the test holds on a file, with the sharing it allows others.
class HeldFile
{
public:
    HeldFile(const std::wstring& path, DWORD share)
        : m_handle(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr))
    {
        EXPECT_NE(m_handle, INVALID_HANDLE_VALUE) << "cannot hold " << WideToUtf8(path);
    }
    ~HeldFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE m_handle;
};
}  // namespace

TEST(EmbeddedParserLibraries, BothBuildsCarryLibrariesOfTheirArchitectureInUsEnglish)
{
    struct Case
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
        for (const wchar_t* id : {L"#110", L"#111"})
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
        }
    }

    // The test build embeds exactly the files it was configured with.
    PeImage x64(JoinPath(KitDir(), L"SetupBootstrapper.exe"));
    EXPECT_TRUE(x64.Resource(L"BIN", L"#110") == ReadFileBytes(EmbeddedCopy(L"msxml3r.dll")));
    EXPECT_TRUE(x64.Resource(L"BIN", L"#111") == ReadFileBytes(EmbeddedCopy(L"msxml3.dll")));
}

TEST(ResourceExtraction, FailureAnswersFalseAndLeavesTheTargetAsItWas)
{
    struct Case
    {
        const char* name;
        const wchar_t* type;
        WORD id;
        const wchar_t* target;  // in the temporary folder
        std::function<void(const std::wstring& path)> arrange;
        // The lines between "resource will be extracted" and the exit line.
        std::function<std::vector<std::wstring>(const std::wstring& path)> failureLines;
        bool fileExistsAfterwards;
    };
    auto createFailed = [](DWORD error) {
        return [error](const std::wstring& path) {
            return std::vector<std::wstring>{
                L"SetupBootStrapper.ExtractResToTemp: Creating '" + path + L"'",
                L"SetupBootStrapper.ExtractResToTemp: Failed to create file '" + path + L"', error returned:" +
                    std::to_wstring(error),
            };
        };
    };
    auto notFound = [](DWORD error) {
        return [error](const std::wstring&) {
            return std::vector<std::wstring>{
                L"SetupBootStrapper.ExtractResToTemp: resource not found in the executable, nothing extracted, error "
                L"returned:" +
                std::to_wstring(error),
            };
        };
    };
    std::unique_ptr<HeldFile> held;
    const Case cases[] = {
        {"no such resource", L"BIN", 999, L"msxml3.dll", [](const std::wstring&) {},
         notFound(ERROR_RESOURCE_NAME_NOT_FOUND), false},
        {"no such resource type", L"NOBIN", IDR_MSXML3_DLL, L"msxml3.dll", [](const std::wstring&) {},
         notFound(ERROR_RESOURCE_TYPE_NOT_FOUND), false},
        {"no such folder", L"BIN", IDR_MSXML3_DLL, L"missing\\msxml3.dll", [](const std::wstring&) {},
         createFailed(ERROR_PATH_NOT_FOUND), false},
        {"a folder in the way", L"BIN", IDR_MSXML3_DLL, L"msxml3.dll",
         [](const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }, createFailed(ERROR_ACCESS_DENIED),
         false},
        {"held without sharing", L"BIN", IDR_MSXML3_DLL, L"msxml3.dll",
         [&held](const std::wstring& path) {
             WriteFileBytes(path, "in use");
             held.reset(new HeldFile(path, 0));
         },
         createFailed(ERROR_SHARING_VIOLATION), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        LogCapture capture;
        const std::wstring path = capture.TempFolder() + c.target;
        c.arrange(path);

        EXPECT_FALSE(ExtractResToTemp(c.type, c.id, path.c_str()));
        held.reset();

        std::vector<std::wstring> expected = {
            L"SetupBootStrapper.ExtractResToTemp >>",
            L"SetupBootStrapper.ExtractResToTemp: called for resource with name:" + std::wstring(c.type) + L" and ID " +
                std::to_wstring(c.id),
            L"SetupBootStrapper.ExtractResToTemp: resource will be extracted to '" + path + L"'",
        };
        for (const auto& line : c.failureLines(path))
            expected.push_back(line);
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp <<");
        EXPECT_THAT(capture.Messages(), ElementsAreArray(expected)) << DescribeMessages(capture.Messages());

        EXPECT_EQ(FileExists(path), c.fileExistsAfterwards);
        if (c.fileExistsAfterwards)
        {
            EXPECT_EQ(ReadFileBytes(path), "in use");
        }
    }
}

TEST(ResourceFileDeletion, DeletesTheFileOrLogsWhyNot)
{
    struct Case
    {
        const char* name;
        bool create;
        DWORD heldWithSharing;  // ~0u: not held
        DWORD expectedError;    // 0: deleted
    } cases[] = {
        {"present", true, ~0u, 0},
        {"missing", false, ~0u, ERROR_FILE_NOT_FOUND},
        // As a library that a process still has loaded.
        {"in use", true, FILE_SHARE_READ, ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        LogCapture capture;
        const std::wstring path = capture.TempFolder() + L"msxml3.dll";
        if (c.create)
            WriteFileBytes(path, "library");
        std::unique_ptr<HeldFile> held;
        if (c.heldWithSharing != ~0u)
            held.reset(new HeldFile(path, c.heldWithSharing));

        DeleteResFile(path.c_str());
        held.reset();

        const std::wstring outcome =
            c.expectedError == 0
                ? L"SetupBootStrapper.DeleteResFile: file '" + path + L"' succesfully deleted"
                : L"SetupBootStrapper.DeleteResFile: error while deleting file '" + path + L"', error returned:" +
                      std::to_wstring(c.expectedError);
        EXPECT_THAT(capture.Messages(),
                    ElementsAre(L"SetupBootStrapper.DeleteResFile >>",
                                L"SetupBootStrapper.DeleteResFile: Deleting '" + path + L"'", outcome,
                                L"SetupBootStrapper.DeleteResFile <<"))
            << DescribeMessages(capture.Messages());
        EXPECT_EQ(FileExists(path), c.create && c.expectedError != 0);
    }
}
