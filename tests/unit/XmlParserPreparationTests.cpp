// The XML parser on Windows 2000: extraction into the temporary folder,
// registration with regsvr32, and the clean-up. Each run is a bsprobe process
// of its own, because the Windows version Wine reports is fixed at process
// start, with a temporary folder of its own.
//
// Under Wine, "msxml3.dll" would be taken from Wine's own built-in parser
// even when named by path; the fixture tells regsvr32.exe to load the file
// it is given, as Windows does.

#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using namespace test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
constexpr DWORD kProbeTimeoutMs = 60000;
// Where the msxml3.dll stand-in records its registration.
constexpr wchar_t kMarkerKey[] = L"Software\\Zel\\Msxml3StandIn";

std::wstring EmbeddedCopy(const std::wstring& fileName)
{
    return StandinVariant(L"msxml3", fileName);
}

DWORD MarkerRegistrations()
{
    DWORD value = 0;
    DWORD cb = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kMarkerKey, L"Registrations", RRF_RT_REG_DWORD, nullptr, &value, &cb) !=
        ERROR_SUCCESS)
        return 0;
    return value;
}

void DeleteMarker()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kMarkerKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kMarkerKey);
}

// What IsWindows2K writes belongs to the OS checks; these tests look at the
// parser's own lines.
std::vector<std::wstring> ParserLines(const std::vector<std::wstring>& messages)
{
    std::vector<std::wstring> lines;
    for (const auto& message : messages)
    {
        if (message.rfind(L"SetupBootstrapper.IsWindows2K", 0) != 0)
            lines.push_back(message);
    }
    return lines;
}

void AppendExtractionLines(std::vector<std::wstring>* lines, int resourceId, const std::wstring& path)
{
    const std::vector<std::wstring> extraction = {
        L"SetupBootStrapper.ExtractResToTemp >>",
        L"SetupBootStrapper.ExtractResToTemp: called for resource with name:BIN and ID " + std::to_wstring(resourceId),
        L"SetupBootStrapper.ExtractResToTemp: resource will be extracted to '" + path + L"'",
        L"SetupBootStrapper.ExtractResToTemp: Creating '" + path + L"'",
        L"SetupBootStrapper.ExtractResToTemp: File '" + path + L"' succesfully created.",
        L"SetupBootStrapper.ExtractResToTemp: Writting stream data",
        L"SetupBootStrapper.ExtractResToTemp: stream succesfully written, closing file",
        L"SetupBootStrapper.ExtractResToTemp: resource succesfully extracted to " + path,
        L"SetupBootStrapper.ExtractResToTemp <<",
    };
    lines->insert(lines->end(), extraction.begin(), extraction.end());
}

std::vector<std::wstring> SuccessfulPreparationLines(const std::wstring& folder)
{
    std::vector<std::wstring> lines = {
        L"SetupBootStrapper.WinMain: It's Windows 2000, extracting and registerring msxml3.dll"};
    AppendExtractionLines(&lines, 110, folder + L"msxml3r.dll");
    AppendExtractionLines(&lines, 111, folder + L"msxml3.dll");
    lines.push_back(L"SetupBootStrapper.WinMain: registering msxml3.dll");
    lines.push_back(L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 registration to end");
    lines.push_back(L"MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully registered");
    return lines;
}

void AppendDeletionLines(std::vector<std::wstring>* lines, const std::wstring& path, const wchar_t* outcome)
{
    lines->push_back(L"SetupBootStrapper.DeleteResFile >>");
    lines->push_back(L"SetupBootStrapper.DeleteResFile: Deleting '" + path + L"'");
    lines->push_back(outcome != nullptr ? L"SetupBootStrapper.DeleteResFile: error while deleting file '" + path +
                                              L"', error returned:" + outcome
                                        : L"SetupBootStrapper.DeleteResFile: file '" + path + L"' succesfully deleted");
    lines->push_back(L"SetupBootStrapper.DeleteResFile <<");
}

std::vector<std::wstring> UnregistrationLines()
{
    return {
        L"SetupBootStrapper.DeleteResFromTemp >>",
        L"SetupBootStrapper.WinMain: un-registering msxml3.dll",
        L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 un-registration to end",
        L"MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully un-registered",
    };
}

class XmlParserTest : public ::testing::Test
{
protected:
    XmlParserTest() : m_scratch(L"parser")
    {
        m_registry.SetString(HKEY_CURRENT_USER, RegView::Native,
                             L"Software\\Wine\\AppDefaults\\regsvr32.exe\\DllOverrides", L"msxml3",
                             L"native,builtin");
        // The stand-in creates its marker below this key; a key that the
        // sandbox made goes again with everything below it.
        m_registry.CreateKey(HKEY_CURRENT_USER, RegView::Native, L"Software\\Zel");
        DeleteMarker();
        UseTemporaryFolder(L"temp");
    }

    ~XmlParserTest() override { DeleteMarker(); }

    void UseTemporaryFolder(const std::wstring& name)
    {
        const std::wstring folder = m_scratch / name;
        CreateDirectoryW(folder.c_str(), nullptr);
        m_tempFolder = folder + L"\\";
    }

    void EmulateWindows(const wchar_t* version)
    {
        m_version.reset();
        m_version.reset(new ScopedWineVersion(L"bsprobe.exe", version));
    }

    // Runs "bsprobe XmlParser <steps>" in the scratch folder with the test's
    // temporary folder; answers the resourceFolder it printed.
    std::wstring RunProbe(const std::wstring& steps, const std::wstring& tempVariable = {})
    {
        const std::wstring temp =
            tempVariable.empty() ? m_tempFolder.substr(0, m_tempFolder.size() - 1) : tempVariable;
        ChildProcess probe(Quote(ProbePath()) + L" XmlParser " + steps, m_scratch.Path(),
                           {{L"TMP", temp}, {L"TEMP", temp}}, /*captureOutput*/ true);
        EXPECT_TRUE(probe.WaitForExit(kProbeTimeoutMs)) << "bsprobe did not end";
        EXPECT_EQ(probe.ExitCode(), 0u);
        const std::string output = probe.Output();
        const std::string key = "resourceFolder=";
        size_t start = output.find(key);
        if (start == std::string::npos)
        {
            ADD_FAILURE() << "no resourceFolder in: " << output;
            return std::wstring();
        }
        start += key.size();
        size_t end = output.find_first_of("\r\n", start);
        return Utf8ToWide(output.substr(start, end == std::string::npos ? std::string::npos : end - start));
    }

    std::wstring ResourceFolder() const { return m_tempFolder + L"Morvanto9Resources\\"; }
    std::vector<std::wstring> Messages() const { return ReadDiagnosticLog(DiagnosticLogIn(m_tempFolder)).messages; }

    ScratchDir m_scratch;
    std::wstring m_tempFolder;
    RegistrySandbox m_registry;
    std::unique_ptr<ScopedWineVersion> m_version;
};

class XmlParserPreparation : public XmlParserTest
{
};

class XmlParserCleanUp : public XmlParserTest
{
};
}  // namespace

TEST_F(XmlParserPreparation, ExtractsBothLibrariesAndRegistersTheParser)
{
    EmulateWindows(L"win2k");
    // On Windows 2000 the temporary folder lies under "Documents and
    // Settings": the path handed to regsvr32 must arrive whole.
    for (const wchar_t* tempName : {L"temp", L"temp with spaces"})
    {
        SCOPED_TRACE(WideToUtf8(tempName));
        DeleteMarker();
        UseTemporaryFolder(tempName);
        const std::wstring folder = ResourceFolder();

        EXPECT_EQ(RunProbe(L"startup"), folder);

        for (const wchar_t* name : {L"msxml3r.dll", L"msxml3.dll"})
        {
            const std::string extracted = ReadFileBytes(folder + name);
            EXPECT_FALSE(extracted.empty()) << WideToUtf8(name);
            EXPECT_TRUE(extracted == ReadFileBytes(EmbeddedCopy(name))) << WideToUtf8(name) << " differs";
        }
        EXPECT_EQ(MarkerRegistrations(), 1u);
        EXPECT_EQ(lstrcmpiW(RegistryString(HKEY_CURRENT_USER, RegView::Native, kMarkerKey, L"Path").c_str(),
                            (folder + L"msxml3.dll").c_str()),
                  0)
            << "registered: " << WideToUtf8(RegistryString(HKEY_CURRENT_USER, RegView::Native, kMarkerKey, L"Path"));

        std::vector<std::wstring> messages = ParserLines(Messages());
        EXPECT_THAT(messages, ElementsAreArray(SuccessfulPreparationLines(folder))) << DescribeMessages(messages);
    }
}

TEST_F(XmlParserPreparation, SecondPreparationWritesBothFilesAnewAndRegistersAgain)
{
    EmulateWindows(L"win2k");
    const std::wstring folder = ResourceFolder();
    RunProbe(L"startup");
    ASSERT_EQ(MarkerRegistrations(), 1u);
    const size_t firstRunLines = Messages().size();

    // What an earlier run left, changed since: longer than the libraries.
    for (const wchar_t* name : {L"msxml3r.dll", L"msxml3.dll"})
        WriteFileBytes(folder + name, std::string(ReadFileBytes(EmbeddedCopy(name)).size() + 4096, 'x'));

    EXPECT_EQ(RunProbe(L"startup"), folder);

    for (const wchar_t* name : {L"msxml3r.dll", L"msxml3.dll"})
    {
        EXPECT_TRUE(ReadFileBytes(folder + name) == ReadFileBytes(EmbeddedCopy(name)))
            << WideToUtf8(name) << " differs";
    }
    EXPECT_EQ(MarkerRegistrations(), 2u);
    std::vector<std::wstring> all = Messages();
    std::vector<std::wstring> second = ParserLines(std::vector<std::wstring>(all.begin() + firstRunLines, all.end()));
    EXPECT_THAT(second, ElementsAreArray(SuccessfulPreparationLines(folder))) << DescribeMessages(second);
}

TEST_F(XmlParserPreparation, FailedExtractionsAreLoggedAndRegistrationIsStillAttempted)
{
    EmulateWindows(L"win2k");
    const std::wstring folder = ResourceFolder();
    // Folders where the files should go: neither can be created.
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"msxml3r.dll").c_str(), nullptr);
    CreateDirectoryW((folder + L"msxml3.dll").c_str(), nullptr);

    EXPECT_EQ(RunProbe(L"startup"), folder);

    std::vector<std::wstring> expected = {
        L"SetupBootStrapper.WinMain: It's Windows 2000, extracting and registerring msxml3.dll"};
    const struct
    {
        int id;
        const wchar_t* name;
        const wchar_t* failureLine;
    } files[] = {
        {110, L"msxml3r.dll", L"SetupBootStrapper.WinMain: failed to extract 'msxml3r.dll'."},
        {111, L"msxml3.dll", L"SetupBootStrapper.WinMain: failed to extract 'msxml3.dll'. "},
    };
    for (const auto& file : files)
    {
        const std::wstring path = folder + file.name;
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp >>");
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp: called for resource with name:BIN and ID " +
                           std::to_wstring(file.id));
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp: resource will be extracted to '" + path + L"'");
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp: Creating '" + path + L"'");
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp: Failed to create file '" + path +
                           L"', error returned:5");
        expected.push_back(L"SetupBootStrapper.ExtractResToTemp <<");
        expected.push_back(file.failureLine);
    }
    // A started tool counts as a registration, whatever it managed.
    expected.push_back(L"SetupBootStrapper.WinMain: registering msxml3.dll");
    expected.push_back(L"MorvantoBootStrapper.CreateMsiexecProcess: Waitting for msxml3 registration to end");
    expected.push_back(L"MorvantoBootStrapper.CreateMsiexecProcess: msxml3 succesfully registered");
    std::vector<std::wstring> messages = ParserLines(Messages());
    EXPECT_THAT(messages, ElementsAreArray(expected)) << DescribeMessages(messages);

    EXPECT_TRUE(DirectoryExists(folder + L"msxml3r.dll"));
    EXPECT_TRUE(DirectoryExists(folder + L"msxml3.dll"));
    EXPECT_EQ(MarkerRegistrations(), 0u);
}

TEST_F(XmlParserPreparation, WithoutUsableTemporaryFolderNothingIsWrittenAnywhere)
{
    EmulateWindows(L"win2k");
    // Longer than any path the platform hands out as a temporary folder.
    const std::wstring tooLong = m_scratch / std::wstring(300, L'a');
    // A library of the same name in the current directory must survive the
    // clean-up too.
    WriteFileBytes(m_scratch / L"msxml3.dll", "not ours");

    EXPECT_EQ(RunProbe(L"startup cleanup", tooLong), L"");

    EXPECT_FALSE(DirectoryExists(m_scratch / L"Morvanto9Resources"));
    EXPECT_EQ(ReadFileBytes(m_scratch / L"msxml3.dll"), "not ours");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, RegView::Native, kMarkerKey));
}

TEST_F(XmlParserCleanUp, AfterPreparationUnregistersDeletesBothFilesAndRemovesTheFolder)
{
    EmulateWindows(L"win2k");
    for (const wchar_t* tempName : {L"temp", L"temp with spaces"})
    {
        SCOPED_TRACE(WideToUtf8(tempName));
        UseTemporaryFolder(tempName);
        const std::wstring folder = ResourceFolder();

        EXPECT_EQ(RunProbe(L"startup cleanup"), folder);

        EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, RegView::Native, kMarkerKey));
        EXPECT_FALSE(FileExists(folder + L"msxml3.dll"));
        EXPECT_FALSE(FileExists(folder + L"msxml3r.dll"));
        EXPECT_FALSE(DirectoryExists(folder));

        std::vector<std::wstring> expected = SuccessfulPreparationLines(folder);
        for (const auto& line : UnregistrationLines())
            expected.push_back(line);
        AppendDeletionLines(&expected, folder + L"msxml3.dll", nullptr);
        AppendDeletionLines(&expected, folder + L"msxml3r.dll", nullptr);
        expected.push_back(L"SetupBootStrapper.DeleteResFromTemp: removing directory: '" + folder + L"'");
        expected.push_back(L"SetupBootStrapper.DeleteResFromTemp: directory: '" + folder + L"' deleted succesfully");
        expected.push_back(L"SetupBootStrapper.DeleteResFromTemp <<");
        std::vector<std::wstring> messages = ParserLines(Messages());
        EXPECT_THAT(messages, ElementsAreArray(expected)) << DescribeMessages(messages);
    }
}

TEST_F(XmlParserCleanUp, DeletionFailureIsLoggedAndTheCleanUpGoesOn)
{
    EmulateWindows(L"win2k");
    const std::wstring folder = ResourceFolder();
    RunProbe(L"startup");
    ASSERT_EQ(MarkerRegistrations(), 1u);
    const size_t preparationLines = Messages().size();

    // msxml3.dll in use, as by a process that still has it loaded. A later
    // run, which did not prepare the folder itself, cleans up what the
    // earlier one left.
    HANDLE inUse = CreateFileW((folder + L"msxml3.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunProbe(L"cleanup"), folder);
    CloseHandle(inUse);

    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, RegView::Native, kMarkerKey));
    EXPECT_TRUE(FileExists(folder + L"msxml3.dll"));
    EXPECT_FALSE(FileExists(folder + L"msxml3r.dll"));
    EXPECT_TRUE(DirectoryExists(folder));

    std::vector<std::wstring> expected = UnregistrationLines();
    AppendDeletionLines(&expected, folder + L"msxml3.dll", L"32");
    AppendDeletionLines(&expected, folder + L"msxml3r.dll", nullptr);
    expected.push_back(L"SetupBootStrapper.DeleteResFromTemp: removing directory: '" + folder + L"'");
    expected.push_back(L"SetupBootStrapper.DeleteResFromTemp: failed to remove '" + folder +
                       L"' directory, error returned:145");
    expected.push_back(L"SetupBootStrapper.DeleteResFromTemp <<");
    std::vector<std::wstring> all = Messages();
    std::vector<std::wstring> messages =
        ParserLines(std::vector<std::wstring>(all.begin() + preparationLines, all.end()));
    EXPECT_THAT(messages, ElementsAreArray(expected)) << DescribeMessages(messages);
}

TEST_F(XmlParserCleanUp, OnLaterWindowsNothingIsPreparedAndNothingIsTouched)
{
    for (const wchar_t* version : {L"winxp", L"win2003", L"vista", L"win7"})
    {
        SCOPED_TRACE(WideToUtf8(version));
        EmulateWindows(version);
        UseTemporaryFolder(std::wstring(L"temp-") + version);
        // What a run on this machine before an upgrade from Windows 2000 left.
        const std::wstring folder = ResourceFolder();
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileOrFail(EmbeddedCopy(L"msxml3r.dll"), folder + L"msxml3r.dll");
        CopyFileOrFail(EmbeddedCopy(L"msxml3.dll"), folder + L"msxml3.dll");
        m_registry.SetDword(HKEY_CURRENT_USER, RegView::Native, kMarkerKey, L"Registrations", 7);

        EXPECT_EQ(RunProbe(L"startup cleanup"), L"");

        EXPECT_THAT(ParserLines(Messages()),
                    ElementsAre(L"SetupBootStrapper.DeleteResFromTemp >>", L"SetupBootStrapper.DeleteResFromTemp <<"))
            << DescribeMessages(Messages());
        EXPECT_TRUE(ReadFileBytes(folder + L"msxml3r.dll") == ReadFileBytes(EmbeddedCopy(L"msxml3r.dll")));
        EXPECT_TRUE(ReadFileBytes(folder + L"msxml3.dll") == ReadFileBytes(EmbeddedCopy(L"msxml3.dll")));
        EXPECT_EQ(MarkerRegistrations(), 7u);
        DeleteMarker();
    }
}
