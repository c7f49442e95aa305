// The installed product's language: its folder from the registry, its
// settings file read through the MSXML 4.0 DOM, and English whenever either
// cannot be read.

#include "language/InstalledLanguage.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/LanguageTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

using namespace test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Zel\\DRVS9";

constexpr wchar_t kEntry[] = L"MorvantoBootStrapper.GetLangIdFromCrmi >>";
constexpr wchar_t kExit[] = L"MorvantoBootStrapper.GetLangIdFromCrmi <<";
constexpr wchar_t kLoadFailed[] = L"MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document.";

std::wstring Retrieved(const std::wstring& id)
{
    return L"MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: " + id;
}

struct CrmiRead
{
    LONG status;
    std::wstring languageId;
    std::vector<std::wstring> lines;
};

// The output starts with a marker, so that "untouched" can be told apart.
CrmiRead ReadCrmi(const std::wstring& path)
{
    LogCapture capture;
    wchar_t languageId[kCchText] = L"untouched";
    CrmiRead read;
    read.status = GetLangIdFromCrmi(path.c_str(), languageId);
    read.languageId = languageId;
    read.lines = LanguageLines(capture.Messages());
    return read;
}

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

// A machine without MSXML 4.0: a process in which Wine does not load
// msxml4. Wine takes WINEDLLOVERRIDES from the environment it was started
// with, not from the one a Windows parent hands down, so the child gets the
// per-program override from the registry instead.
class Msxml4Disabled
{
public:
    Msxml4Disabled()
    {
        m_registry.SetString(HKEY_CURRENT_USER, RegView::Native, L"Software\\Wine\\AppDefaults\\bsprobe.exe\\DllOverrides",
                             L"msxml4", L"");
    }

private:
    RegistrySandbox m_registry;
};

std::string RunProbe(const std::wstring& arguments, const std::wstring& directory, std::vector<std::wstring>* lines)
{
    ScratchDir temp(L"probe-temp");
    ChildProcess probe(Quote(ProbePath()) + L" " + arguments, directory, {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}},
                       true);
    EXPECT_TRUE(probe.WaitForExit(60000));
    *lines = LanguageLines(ReadDiagnosticLog(DiagnosticLogIn(temp.Path())).messages);
    return ProbeOutput(probe.Output());
}
}  // namespace

TEST(InstalledLanguageSettingsFile, FirstLanguageElementBelowTheRootDecides)
{
    const std::string longId(1023, '7');
    struct Case
    {
        const char* what;
        std::string xml;
        LONG status;
        std::wstring languageId;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"nested first element wins over later ones",
         "<?xml version=\"1.0\"?><crmi><Settings><Options><Language id=\"1040\">Italiano</Language></Options>"
         "</Settings><Language id=\"1031\"/><Language id=\"1049\"/></crmi>",
         0, L"1040", {kEntry, Retrieved(L"1040"), kExit}},
        {"value taken unchanged, not trimmed nor checked",
         "<crmi><Language other=\"1031\" id=\" fr-FR \"/></crmi>", 0, L" fr-FR ", {kEntry, Retrieved(L" fr-FR "), kExit}},
        {"an empty id is an empty identifier", "<crmi><Language id=\"\"/></crmi>", 0, L"", {kEntry, Retrieved(L""), kExit}},
        {"an id of 1023 characters fits", "<crmi><Language id=\"" + longId + "\"/></crmi>", 0,
         std::wstring(1023, L'7'), {kEntry, Retrieved(std::wstring(1023, L'7')), kExit}},
        {"the root element itself does not count", "<Language id=\"1031\"><Other/></Language>", -1, L"untouched",
         {kEntry, kExit}},
        {"the tag name is compared with its letter case", "<crmi><language id=\"1031\"/><LANGUAGE id=\"1040\"/></crmi>",
         -1, L"untouched", {kEntry, kExit}},
        {"malformed document", "<crmi><Language id=\"1031\"></crmi>", -5, L"1033", {kEntry, kLoadFailed, kExit}},
        {"no id attribute", "<crmi><Language lang=\"1031\"/><Language id=\"1040\"/></crmi>", -7, L"1033",
         {kEntry, L"MorvantoBootStrapper.GetLangIdFromCrmi: language element has no id attribute", kExit}},
        {"an id of 1024 characters", "<crmi><Language id=\"" + longId + "7\"/></crmi>", -8, L"1033",
         {kEntry, L"MorvantoBootStrapper.GetLangIdFromCrmi: language id is too long (1024 characters or more)", kExit}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ScratchDir dir(L"crmi");
        WriteUtf8File(dir / L"crmiini.xml", c.xml);
        CrmiRead read = ReadCrmi(dir / L"crmiini.xml");
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.languageId, c.languageId);
        EXPECT_THAT(read.lines, ElementsAreArray(c.lines)) << DescribeMessages(read.lines);
    }
}

TEST(InstalledLanguageSettingsFile, MissingFileIsALoadFailure)
{
    ScratchDir dir(L"crmi");
    CrmiRead read = ReadCrmi(dir / L"crmiini.xml");
    EXPECT_EQ(read.status, -5);
    EXPECT_EQ(read.languageId, L"1033");
    EXPECT_THAT(read.lines, ElementsAre(kEntry, kLoadFailed, kExit));
}

// The reader initialises COM for its own use and takes it down again exactly
// once; it never takes down an initialisation that was not its own.
TEST(InstalledLanguageSettingsFile, ComIsUninitialisedExactlyOnceAndNeverAfterAFailedStart)
{
    ScratchDir dir(L"crmi");
    WriteUtf8File(dir / L"crmiini.xml", "<crmi><Language id=\"1031\"/></crmi>");
    const std::wstring path = dir / L"crmiini.xml";

    auto apartmentInitialised = [] {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        return CoGetApartmentType(&type, &qualifier) == S_OK;
    };

    // On a thread with its own single-threaded apartment, the reader's
    // CoInitialize only counts up, and its CoUninitialize must count down
    // once: the thread's own CoUninitialize then ends the apartment.
    for (const wchar_t* file : {path.c_str(), L"Z:\\no such folder\\crmiini.xml"})
    {
        bool afterRead = false;
        bool afterOwnUninitialize = true;
        LONG status = 99;
        std::thread([&] {
            CoInitialize(nullptr);
            wchar_t languageId[kCchText] = L"";
            status = GetLangIdFromCrmi(file, languageId);
            afterRead = apartmentInitialised();
            CoUninitialize();
            afterOwnUninitialize = apartmentInitialised();
        }).join();
        EXPECT_TRUE(status == 0 || status == -5) << status;
        EXPECT_TRUE(afterRead) << "uninitialised more than once";
        EXPECT_FALSE(afterOwnUninitialize) << "not uninitialised";
    }

    // A thread in the multithreaded apartment refuses CoInitialize: status
    // -3, the output untouched, and the thread's apartment left alone.
    LogCapture capture;
    LONG status = 99;
    std::wstring languageId;
    bool stillInitialised = false;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        wchar_t output[kCchText] = L"untouched";
        status = GetLangIdFromCrmi(path.c_str(), output);
        languageId = output;
        stillInitialised = apartmentInitialised();
        CoUninitialize();
    }).join();
    EXPECT_EQ(status, -3);
    EXPECT_EQ(languageId, L"untouched");
    EXPECT_TRUE(stillInitialised);
    std::vector<std::wstring> lines = LanguageLines(capture.Messages());
    ASSERT_EQ(lines.size(), 3u) << DescribeMessages(lines);
    EXPECT_EQ(lines[0], kEntry);
    EXPECT_EQ(lines[1].rfind(L"MorvantoBootStrapper.GetLangIdFromCrmi: erorr while initializing COM library, error "
                             L"returned:",
                             0),
              0u)
        << Utf8(lines[1]);
    EXPECT_EQ(lines[2], kExit);
}

TEST(InstalledLanguageLookup, FolderFromRegistryThenSettingsFileElseEnglish)
{
    ScratchDir installed(L"installed");
    WriteUtf8File(installed / L"crmiini.xml", "<crmi><Language id=\"1040\"/></crmi>");
    ScratchDir empty(L"installed-empty");

    const std::wstring pathNotFound = L"MorvantoBootStrapper.GetInstalledLangID: app installation path not found ";
    const std::wstring failed = L"MorvantoBootStrapper.GetInstalledLangID: failed to take app language ID";
    struct Case
    {
        const char* what;
        bool keyPresent;
        const wchar_t* path;  // nullptr: no "Path" value
        std::wstring languageId;
        std::wstring decisiveLine;
    } cases[] = {
        {"settings file in the installed folder", true, installed.Path().c_str(), L"1040",
         L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1040"},
        {"folder ending in a backslash", true, nullptr, L"1040",
         L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1040"},
        {"folder without a settings file", true, empty.Path().c_str(), L"1033", failed},
        {"folder that does not exist", true, L"Z:\\no such product folder", L"1033", failed},
        {"key without a Path value", true, nullptr, L"1033", pathNotFound},
        {"no product key", false, nullptr, L"1033", pathNotFound},
    };
    const std::wstring withBackslash = installed.Path() + L"\\";
    cases[1].path = withBackslash.c_str();

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        RegistrySandbox registry;
        registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path");
        if (c.keyPresent)
            registry.CreateKey(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey);
        if (c.path != nullptr)
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path", c.path);

        LogCapture capture;
        wchar_t languageId[kCchText] = L"marker";
        EXPECT_EQ(GetInstalledLangID(languageId), 0);
        EXPECT_EQ(std::wstring(languageId), c.languageId);

        std::vector<std::wstring> lines = LanguageLines(capture.Messages());
        ASSERT_GE(lines.size(), 5u) << DescribeMessages(lines);
        EXPECT_EQ(lines[0], L"MorvantoBootStrapper.GetInstalledLangID >>");
        EXPECT_EQ(lines[1], L"MorvantoBootStrapper.GetInstalledAppPath >>");
        EXPECT_EQ(lines[2], L"MorvantoBootStrapper.GetInstalledAppPath <<");
        EXPECT_EQ(lines[lines.size() - 2], c.decisiveLine) << DescribeMessages(lines);
        EXPECT_EQ(lines.back(), L"MorvantoBootStrapper.GetInstalledLangID <<");
        if (c.decisiveLine == pathNotFound)
        {
            EXPECT_EQ(lines.size(), 5u) << "no settings file is opened\n" << DescribeMessages(lines);
        }
        else
        {
            EXPECT_EQ(lines[3], std::wstring(L"MorvantoBootStrapper.GetInstalledLangID: app installation path is: ") +
                                    c.path);
            EXPECT_EQ(lines[4], kEntry);
        }
    }
}

TEST(InstalledLanguageWithoutMsxml4, DocumentCannotBeCreatedAndTheAnswerIsEnglish)
{
    ScratchDir dir(L"no-msxml4");
    WriteUtf8File(dir / L"crmiini.xml", "<crmi><Language id=\"1031\"/></crmi>");
    const std::wstring crmiPath = dir / L"crmiini.xml";
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path", dir.Path());

    std::vector<std::wstring> lines;
    {
        Msxml4Disabled disabled;
        EXPECT_EQ(RunProbe(L"GetLangIdFromCrmi " + Quote(crmiPath), dir.Path(), &lines), "status=-4\nlanguageId=1033\n");
        EXPECT_THAT(lines, ElementsAre(kEntry,
                                       L"MorvantoBootStrapper.GetLangIdFromCrmi: failed to create instance of COM DOM "
                                       L"document",
                                       kExit));

        EXPECT_EQ(RunProbe(L"GetInstalledLangID", dir.Path(), &lines), "answer=0\nlanguageId=1033\n");
        EXPECT_TRUE(Contains(lines, L"MorvantoBootStrapper.GetInstalledLangID: failed to take app language ID"))
            << DescribeMessages(lines);
    }

    // The same probe with MSXML 4.0 back reads the file.
    EXPECT_EQ(RunProbe(L"GetLangIdFromCrmi " + Quote(crmiPath), dir.Path(), &lines), "status=0\nlanguageId=1031\n");
}
