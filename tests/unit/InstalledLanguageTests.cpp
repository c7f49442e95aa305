// The installed product's language: its folder from the registry, its
// settings file read through the MSXML 4.0 DOM, English whenever either
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
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Zel\\DRVS9";
constexpr wchar_t kEntry[] = L"MorvantoBootStrapper.GetLangIdFromCrmi >>";
constexpr wchar_t kExit[] = L"MorvantoBootStrapper.GetLangIdFromCrmi <<";
const std::wstring kRead = L"MorvantoBootStrapper.GetLangIdFromCrmi: language id retrieved from crmi is: ";
const std::wstring kFailed = L"MorvantoBootStrapper.GetInstalledLangID: failed to take app language ID";

bool ApartmentInitialised()
{
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    return CoGetApartmentType(&type, &qualifier) == S_OK;
}

// bsprobe with a temporary folder of its own; the trace comes back in lines.
std::string RunProbe(const std::wstring& arguments, const std::wstring& directory, std::vector<std::wstring>* lines)
{
    ScratchDir temp(L"probe-temp");
    ChildProcess probe(Quote(ProbePath()) + L" " + arguments, directory, {{L"TMP", temp.Path()}, {L"TEMP", temp.Path()}},
                       true);
    EXPECT_TRUE(probe.WaitForExit(60000));
    *lines = LanguageLines(ReadDiagnosticLog(DiagnosticLogIn(temp.Path())).messages);
    std::string output;
    for (char c : probe.Output())
    {
        if (c != '\r')
            output.push_back(c);
    }
    return output;
}
}  // namespace

TEST(InstalledLanguageSettingsFile, FirstLanguageElementBelowTheRootDecides)
{
    const std::string id1023(1023, '7');
    const wchar_t* loadFailed = L"MorvantoBootStrapper.GetLangIdFromCrmi: error while loading document.";
    struct Case
    {
        std::string xml;  // empty: no file
        LONG status;
        std::wstring languageId;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"<?xml version=\"1.0\"?><crmi><Settings><Language id=\"1040\">it</Language></Settings>"
         "<Language id=\"1031\"/></crmi>",
         0, L"1040", {kEntry, kRead + L"1040", kExit}},
        {"<crmi><Language other=\"1\" id=\" fr-FR \"/></crmi>", 0, L" fr-FR ", {kEntry, kRead + L" fr-FR ", kExit}},
        {"<crmi><Language id=\"\"/></crmi>", 0, L"", {kEntry, kRead, kExit}},
        {"<Language id=\"1031\"><Other/></Language>", -1, L"untouched", {kEntry, kExit}},
        {"<crmi><language id=\"1031\"/><LANGUAGE id=\"1040\"/></crmi>", -1, L"untouched",
         {kEntry, kExit}},
        {"<crmi><Language id=\"1031\"></crmi>", -5, L"1033", {kEntry, loadFailed, kExit}},
        {"", -5, L"1033", {kEntry, loadFailed, kExit}},
        {"<crmi><Language lang=\"1031\"/><Language id=\"1040\"/></crmi>", -7, L"1033",
         {kEntry, L"MorvantoBootStrapper.GetLangIdFromCrmi: language element has no id attribute", kExit}},
        // An id of 1,023 characters fits the buffer; one more does not.
        {"<crmi><Language id=\"" + id1023 + "\"/></crmi>", 0, std::wstring(1023, L'7'),
         {kEntry, kRead + std::wstring(1023, L'7'), kExit}},
        {"<crmi><Language id=\"" + id1023 + "7\"/></crmi>", -8, L"1033",
         {kEntry, L"MorvantoBootStrapper.GetLangIdFromCrmi: language id is too long (1024 characters or more)", kExit}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.xml.substr(0, 80));
        ScratchDir dir(L"crmi");
        if (!c.xml.empty())
            WriteUtf8File(dir / L"crmiini.xml", c.xml);

        LogCapture capture;
        wchar_t languageId[kCchText] = L"untouched";
        EXPECT_EQ(GetLangIdFromCrmi((dir / L"crmiini.xml").c_str(), languageId), c.status);
        EXPECT_EQ(std::wstring(languageId), c.languageId);
        EXPECT_THAT(LanguageLines(capture.Messages()), ElementsAreArray(c.lines));
    }
}

// COM is the reader's own: initialised and uninitialised exactly once around
// the read, never uninitialised when its initialisation failed.
TEST(InstalledLanguageSettingsFile, ComIsTakenDownOnlyWhereItWasBroughtUp)
{
    ScratchDir dir(L"crmi");
    WriteUtf8File(dir / L"crmiini.xml", "<crmi><Language id=\"1031\"/></crmi>");
    const std::wstring path = dir / L"crmiini.xml";

    // In the thread's own apartment the reader only counts up and down: the
    // thread's CoUninitialize must then be the one that ends it.
    for (const wchar_t* file : {path.c_str(), L"Z:\\no such folder\\crmiini.xml"})
    {
        bool afterRead = false;
        bool afterOwn = true;
        std::thread([&] {
            CoInitialize(nullptr);
            wchar_t languageId[kCchText] = L"";
            GetLangIdFromCrmi(file, languageId);
            afterRead = ApartmentInitialised();
            CoUninitialize();
            afterOwn = ApartmentInitialised();
        }).join();
        EXPECT_TRUE(afterRead) << "uninitialised more than once";
        EXPECT_FALSE(afterOwn) << "not uninitialised";
    }

    // The multithreaded apartment refuses CoInitialize: -3, output untouched.
    LogCapture capture;
    LONG status = 0;
    std::wstring languageId;
    bool stillInitialised = false;
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        wchar_t output[kCchText] = L"untouched";
        status = GetLangIdFromCrmi(path.c_str(), output);
        languageId = output;
        stillInitialised = ApartmentInitialised();
        CoUninitialize();
    }).join();
    EXPECT_EQ(status, -3);
    EXPECT_EQ(languageId, L"untouched");
    EXPECT_TRUE(stillInitialised);
    std::vector<std::wstring> lines = LanguageLines(capture.Messages());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind(L"MorvantoBootStrapper.GetLangIdFromCrmi: erorr while initializing COM library, error "
                             L"returned:", 0),
              0u);
    EXPECT_EQ(lines[2], kExit);
}

TEST(InstalledLanguageLookup, FolderFromRegistryThenSettingsFileElseEnglish)
{
    ScratchDir installed(L"installed");
    WriteUtf8File(installed / L"crmiini.xml", "<crmi><Language id=\"1040\"/></crmi>");
    ScratchDir empty(L"installed-empty");
    const std::wstring found = L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1040";
    const std::wstring noPath = L"MorvantoBootStrapper.GetInstalledLangID: app installation path not found ";
    struct Case
    {
        bool keyPresent;
        std::wstring path;  // empty: no "Path" value
        std::wstring languageId;
        std::wstring decisiveLine;
    } cases[] = {
        {true, installed.Path(), L"1040", found},
        {true, installed.Path() + L"\\", L"1040", found},  // opened with a doubled separator
        {true, empty.Path(), L"1033", kFailed},
        {true, L"Z:\\no such product folder", L"1033", kFailed},
        {true, L"", L"1033", noPath},
        {false, L"", L"1033", noPath},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.path));
        RegistrySandbox registry;
        registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path");
        if (c.keyPresent)
            registry.CreateKey(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey);
        if (!c.path.empty())
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path", c.path);

        LogCapture capture;
        wchar_t languageId[kCchText] = L"marker";
        EXPECT_EQ(GetInstalledLangID(languageId), 0);
        EXPECT_EQ(std::wstring(languageId), c.languageId);

        std::vector<std::wstring> lines = LanguageLines(capture.Messages());
        std::vector<std::wstring> expected = {L"MorvantoBootStrapper.GetInstalledLangID >>",
                                              L"MorvantoBootStrapper.GetInstalledAppPath >>",
                                              L"MorvantoBootStrapper.GetInstalledAppPath <<"};
        if (c.path.empty())
        {
            // No settings file is opened.
            expected.push_back(noPath);
            expected.push_back(L"MorvantoBootStrapper.GetInstalledLangID <<");
            EXPECT_THAT(lines, ElementsAreArray(expected));
            continue;
        }
        ASSERT_GE(lines.size(), 7u);
        EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 3), expected);
        EXPECT_EQ(lines[3], L"MorvantoBootStrapper.GetInstalledLangID: app installation path is: " + c.path);
        EXPECT_EQ(lines[4], kEntry);
        EXPECT_EQ(lines[lines.size() - 2], c.decisiveLine);
        EXPECT_EQ(lines.back(), L"MorvantoBootStrapper.GetInstalledLangID <<");
    }
}

// A machine without MSXML 4.0: a process in which Wine does not load msxml4.
// Wine takes WINEDLLOVERRIDES from the environment it was started with, not
// from one that a Windows parent hands down, so the probe gets the
// per-program override from the registry instead.
TEST(InstalledLanguageWithoutMsxml4, DocumentCannotBeCreatedAndTheAnswerIsEnglish)
{
    ScratchDir dir(L"no-msxml4");
    const std::wstring crmiPath = dir / L"crmiini.xml";
    WriteUtf8File(crmiPath, "<crmi><Language id=\"1031\"/></crmi>");
    RegistrySandbox registry;
    registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path", dir.Path());

    std::vector<std::wstring> lines;
    {
        RegistrySandbox disabled;
        disabled.SetString(HKEY_CURRENT_USER, RegView::Native, L"Software\\Wine\\AppDefaults\\bsprobe.exe\\DllOverrides",
                           L"msxml4", L"");
        EXPECT_EQ(RunProbe(L"GetLangIdFromCrmi " + Quote(crmiPath), dir.Path(), &lines), "status=-4\nlanguageId=1033\n");
        EXPECT_THAT(lines, ElementsAre(kEntry,
                                       L"MorvantoBootStrapper.GetLangIdFromCrmi: failed to create instance of COM DOM "
                                       L"document",
                                       kExit));
        EXPECT_EQ(RunProbe(L"GetInstalledLangID", dir.Path(), &lines), "answer=0\nlanguageId=1033\n");
        EXPECT_THAT(lines, Contains(kFailed));
    }
    // With MSXML 4.0 back, the same probe reads the file.
    EXPECT_EQ(RunProbe(L"GetInstalledLangID", dir.Path(), &lines), "answer=0\nlanguageId=1031\n");
}
