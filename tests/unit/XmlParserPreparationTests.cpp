// The XML parser on Windows 2000 in the cases a whole run of the bootstrapper
// does not reach. Each run is a bsprobe process of its own, because the
// Windows version Wine reports is fixed at process start. Under Wine,
// "msxml3.dll" would be Wine's own parser even when named by path; the
// fixture tells regsvr32.exe to load the file it is given, as Windows does.
// The msxml3.dll stand-in records under kMarkerKey which file was registered
// and how often; un-registering removes the key.

#include "support/Handles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;

namespace
{
constexpr wchar_t kMarkerKey[] = L"Software\\Zel\\Msxml3StandIn";
const wchar_t* const kLibraries[] = {L"msxml3r.dll", L"msxml3.dll"};

DWORD Registrations() { return RegistryDword(HKEY_CURRENT_USER, RegView::Native, kMarkerKey, L"Registrations", 0); }

void DeleteMarker() { RegDeleteKeyW(HKEY_CURRENT_USER, kMarkerKey); }

// The messages that hold text (or, with wanted false, that do not), in order.
std::vector<std::wstring> LinesWith(const std::vector<std::wstring>& messages, const std::wstring& text,
                                    bool wanted = true)
{
    std::vector<std::wstring> lines;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(lines),
                 [&](const std::wstring& message) { return (message.find(text) != std::wstring::npos) == wanted; });
    return lines;
}

class XmlParser : public ::testing::Test
{
protected:
    // The temporary folder's name holds spaces, as "Documents and Settings"
    // does on Windows 2000: every registration in these tests fails unless
    // regsvr32 receives the path whole.
    XmlParser()
        : m_scratch(L"parser"), m_temp(m_scratch / L"temp with spaces"), m_folder(m_temp + L"\\Morvanto9Resources\\")
    {
        m_registry.SetString(HKEY_CURRENT_USER, RegView::Native,
                             L"Software\\Wine\\AppDefaults\\regsvr32.exe\\DllOverrides", L"msxml3",
                             L"native,builtin");
        // The stand-in's marker lies below this key; the sandbox removes the
        // key again once the fixture has deleted the marker.
        m_registry.CreateKey(HKEY_CURRENT_USER, RegView::Native, L"Software\\Zel");
        DeleteMarker();
        CreateDirectoryW(m_temp.c_str(), nullptr);
    }

    ~XmlParser() override { DeleteMarker(); }

    // Runs "bsprobe XmlParser <steps>" as the given Windows with the test's
    // temporary folder (or temp); answers the messages the run logged there.
    std::vector<std::wstring> RunProbe(const std::wstring& steps, const wchar_t* windows = L"win2k",
                                       const std::wstring& temp = {})
    {
        ScopedWineVersion version(L"bsprobe.exe", windows);
        const std::wstring log = DiagnosticLogIn(m_temp + L"\\");
        DeleteFileW(log.c_str());
        const std::wstring tempVariable = temp.empty() ? m_temp : temp;
        EXPECT_EQ(RunToExit(Quote(ProbePath()) + L" XmlParser " + steps, m_scratch.Path(),
                            {{L"TMP", tempVariable}, {L"TEMP", tempVariable}}),
                  0u);
        return ReadDiagnosticLog(log).messages;
    }

    ScratchDir m_scratch;
    std::wstring m_temp;    // without its trailing backslash, as TMP holds it
    std::wstring m_folder;  // where the libraries go
    RegistrySandbox m_registry;
};
}  // namespace

TEST_F(XmlParser, SecondPreparationOverwritesLeftFilesByteForByteAndRegistersAgain)
{
    RunProbe(L"prepare");
    EXPECT_EQ(Registrations(), 1u);

    // What the earlier run left, changed since: longer than the libraries,
    // so that a file written over rather than anew keeps a foreign tail.
    for (const wchar_t* name : kLibraries)
        WriteFileBytes(m_folder + name, std::string(ReadFileBytes(m_folder + name).size() + 4096, 'x'));

    RunProbe(L"prepare");

    for (const wchar_t* name : kLibraries)
    {
        EXPECT_TRUE(ReadFileBytes(m_folder + name) == ReadFileBytes(StandinVariant(L"msxml3", name)))
            << WideToUtf8(name) << " differs from the file that was embedded";
    }
    EXPECT_EQ(Registrations(), 2u);
}

TEST_F(XmlParser, FailedExtractionsAreLoggedAndRegistrationIsStillAttempted)
{
    // Folders where the files should go: neither can be created.
    CreateDirectoryW(m_folder.c_str(), nullptr);
    for (const wchar_t* name : kLibraries)
        CreateDirectoryW((m_folder + name).c_str(), nullptr);

    const std::vector<std::wstring> messages = RunProbe(L"prepare");

    EXPECT_THAT(LinesWith(messages, L"SetupBootStrapper.WinMain: "),
                ElementsAre(L"SetupBootStrapper.WinMain: It's Windows 2000, extracting and registerring msxml3.dll",
                            L"SetupBootStrapper.WinMain: failed to extract 'msxml3r.dll'.",
                            L"SetupBootStrapper.WinMain: failed to extract 'msxml3.dll'. ",
                            L"SetupBootStrapper.WinMain: registering msxml3.dll"))
        << DescribeMessages(messages);
    EXPECT_THAT(messages, Contains(L"SetupBootStrapper.ExtractResToTemp: Failed to create file '" + m_folder +
                                   L"msxml3.dll', error returned:" + std::to_wstring(ERROR_ACCESS_DENIED)));
    // A started tool counts as a registration, whatever it managed.
    EXPECT_THAT(messages, Contains(L"MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully registered"));
}

TEST_F(XmlParser, WithoutAUsableTemporaryFolderNothingIsWrittenOrDeletedAnywhere)
{
    // What a path relative to the current directory would hit.
    WriteFileBytes(m_scratch / L"msxml3.dll", "not ours");

    // Longer than any path the platform hands out as a temporary folder.
    RunProbe(L"prepare cleanup", L"win2k", m_scratch / std::wstring(300, L'a'));

    EXPECT_EQ(ReadFileBytes(m_scratch / L"msxml3.dll"), "not ours");
    EXPECT_FALSE(DirectoryExists(m_scratch / L"Morvanto9Resources"));
    EXPECT_EQ(Registrations(), 0u);
}

TEST_F(XmlParser, CleanUpUnregistersDeletesMsxml3DllFirstAndRemovesTheFolder)
{
    // Registered before, so that only the un-registration can remove it.
    m_registry.SetDword(HKEY_CURRENT_USER, RegView::Native, kMarkerKey, L"Registrations", 1);

    const std::vector<std::wstring> messages = RunProbe(L"prepare cleanup");

    EXPECT_EQ(Registrations(), 0u);
    EXPECT_FALSE(DirectoryExists(m_folder));
    // The parser goes before its resource library.
    EXPECT_THAT(LinesWith(messages, L"DeleteResFile: Deleting"),
                ElementsAre(L"SetupBootStrapper.DeleteResFile: Deleting '" + m_folder + L"msxml3.dll'",
                            L"SetupBootStrapper.DeleteResFile: Deleting '" + m_folder + L"msxml3r.dll'"))
        << DescribeMessages(messages);
}

TEST_F(XmlParser, CleanUpLogsADeletionFailureAndGoesOn)
{
    RunProbe(L"prepare");
    ASSERT_EQ(Registrations(), 1u);

    // msxml3.dll in use, as by a process that still has it loaded. A later
    // run, which did not prepare the folder itself, cleans up what the
    // earlier one left.
    UniqueHandle inUse(CreateFileW((m_folder + L"msxml3.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(inUse);
    const std::vector<std::wstring> messages = RunProbe(L"cleanup");
    inUse.reset();

    EXPECT_EQ(Registrations(), 0u);
    EXPECT_TRUE(FileExists(m_folder + L"msxml3.dll"));
    EXPECT_FALSE(FileExists(m_folder + L"msxml3r.dll"));
    EXPECT_THAT(messages, Contains(L"SetupBootStrapper.DeleteResFile: error while deleting file '" + m_folder +
                                   L"msxml3.dll', error returned:" + std::to_wstring(ERROR_SHARING_VIOLATION)))
        << DescribeMessages(messages);
    EXPECT_THAT(messages, Contains(L"SetupBootStrapper.DeleteResFromTemp: failed to remove '" + m_folder +
                                   L"' directory, error returned:" + std::to_wstring(ERROR_DIR_NOT_EMPTY)));
}

TEST_F(XmlParser, CleanUpOnLaterWindowsWritesOnlyItsEntryAndExitLines)
{
    const std::vector<std::wstring> messages = RunProbe(L"cleanup", L"winxp");

    // Whatever the clean-up did would be logged: un-registering, deleting.
    EXPECT_THAT(LinesWith(messages, L".IsWindows2K", false),
                ElementsAre(L"SetupBootStrapper.DeleteResFromTemp >>", L"SetupBootStrapper.DeleteResFromTemp <<"))
        << DescribeMessages(messages);
}
