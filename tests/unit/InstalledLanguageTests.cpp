// The installed product's language: its folder from the registry, its
// settings file read through the MSXML 4.0 DOM, English whenever either
// cannot be read.

#include "language/InstalledLanguage.h"
#include "language/LanguageCatalogue.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/LanguageTestSupport.h"
#include "tests/support/ProbeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

using namespace test;
using ::testing::Contains;
using ::testing::Not;
using ::testing::StartsWith;

namespace
{
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Zel\\DRVS9";
const std::wstring kOwner = L"MorvantoBootStrapper.GetLangIdFromCrmi";

// The reader run on a thread of its own that has entered an apartment first.
// The reader then only counts COM up and down, and the thread's own
// CoUninitialize must be the one that ends it.
struct Read
{
    LONG status = 1;
    std::wstring languageId;
    bool comBalanced = false;
};

Read ReadInApartment(const std::wstring& path, DWORD apartment)
{
    auto initialised = [] {
        APTTYPE type;
        APTTYPEQUALIFIER qualifier;
        return CoGetApartmentType(&type, &qualifier) == S_OK;
    };
    Read read;
    std::thread([&] {
        CoInitializeEx(nullptr, apartment);
        wchar_t output[kCchText] = L"untouched";
        read.status = GetLangIdFromCrmi(path.c_str(), output);
        read.languageId = output;
        const bool afterRead = initialised();
        CoUninitialize();
        read.comBalanced = afterRead && !initialised();
    }).join();
    return read;
}
}  // namespace

TEST(InstalledLanguageSettingsFile, FirstLanguageElementBelowTheRootDecides)
{
    const std::string id1023(1023, '7');
    const std::wstring wideId1023(1023, L'7');
    const std::wstring retrieved = kOwner + L": language id retrieved from crmi is: ";
    struct Case
    {
        std::string xml;
        LONG status;
        std::wstring languageId;
        std::wstring line;
    } cases[] = {
        {"<?xml version=\"1.0\"?><crmi><Settings><Language id=\"1040\">it</Language></Settings>"
         "<Language id=\"1031\"/></crmi>",
         0, L"1040", retrieved + L"1040"},
        {"<crmi><Language other=\"1\" id=\" fr-FR \"/></crmi>", 0, L" fr-FR ", retrieved + L" fr-FR "},
        {"<crmi><Language id=\"\"/></crmi>", 0, L"", retrieved},
        {"<Language id=\"1031\"><Other/></Language>", -1, L"untouched", kOwner + L" <<"},
        {"<crmi><language id=\"1031\"/><LANGUAGE id=\"1040\"/></crmi>", -1, L"untouched", kOwner + L" <<"},
        {"<crmi><Language id=\"1031\"></crmi>", -5, L"1033", kOwner + L": error while loading document."},
        {"<crmi><Language lang=\"1031\"/><Language id=\"1040\"/></crmi>", -7, L"1033",
         kOwner + L": language element has no id attribute"},
        // An id of 1,023 characters fits the buffer; one more does not.
        {"<crmi><Language id=\"" + id1023 + "\"/></crmi>", 0, wideId1023, retrieved + wideId1023},
        {"<crmi><Language id=\"" + id1023 + "7\"/></crmi>", -8, L"1033",
         kOwner + L": language id is too long (1024 characters or more)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.xml.substr(0, 80));
        ScratchDir dir(L"crmi");
        WriteUtf8File(dir / L"crmiini.xml", c.xml);
        LogCapture capture;
        Read read = ReadInApartment(dir / L"crmiini.xml", COINIT_APARTMENTTHREADED);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.languageId, c.languageId);
        EXPECT_TRUE(read.comBalanced) << "COM uninitialised more or less often than initialised";
        EXPECT_THAT(capture.Messages(), Contains(c.line));
    }
}

TEST(InstalledLanguageSettingsFile, ComThatCannotBeInitialisedIsLeftAsItWas)
{
    ScratchDir dir(L"crmi");
    WriteUtf8File(dir / L"crmiini.xml", "<crmi><Language id=\"1031\"/></crmi>");
    LogCapture capture;
    // The multithreaded apartment refuses the reader's CoInitialize.
    Read read = ReadInApartment(dir / L"crmiini.xml", COINIT_MULTITHREADED);
    EXPECT_EQ(read.status, -3);
    EXPECT_EQ(read.languageId, L"untouched");
    EXPECT_TRUE(read.comBalanced) << "uninitialised without having been initialised";
    EXPECT_THAT(capture.Messages(),
                Contains(StartsWith(kOwner + L": erorr while initializing COM library, error returned:")));
}

// An update: the product's folder from the registry, its settings file, the
// catalogue's section for that language; English when any of it is missing.
TEST(InstalledLanguageUpdate, InstalledLanguageSectionIsAppendedAndSelected)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) + L"[Deutsch]\r\nProductLanguage=1031\r\nCommand=later\r\n");
    ScratchDir german(L"installed-german");
    WriteUtf8File(german / L"crmiini.xml", "<crmi><Language id=\"1031\"/></crmi>");
    ScratchDir russian(L"installed-russian");
    WriteUtf8File(russian / L"crmiini.xml", "<crmi><Language id=\"1049\"/></crmi>");
    ScratchDir empty(L"installed-empty");
    const std::wstring found = L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1031";
    const std::wstring noPath = L"MorvantoBootStrapper.GetInstalledLangID: app installation path not found ";
    struct Case
    {
        bool keyPresent;
        std::wstring folder;  // empty: no "Path" value
        std::wstring args;    // appended to "pre "
        std::wstring selected;
        std::wstring line;
    } cases[] = {
        {true, german.Path(), kGermanArgs, L"1031", found},
        {true, german.Path() + L"\\", kGermanArgs, L"1031", found},  // opened with a doubled separator
        {true, russian.Path(), L"", L"1049", L"MorvantoBootStrapper.GetInstalledLangID: app language ID is: 1049"},
        {true, empty.Path(), kEnglishArgs, L"1033", L"MorvantoBootStrapper.GetInstalledLangID: failed to take app "
                                                    L"language ID"},
        {true, L"", kEnglishArgs, L"1033", noPath},
        {false, L"", kEnglishArgs, L"1033", noPath},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.folder));
        // Neither the switch nor the OS language counts for an update.
        LanguageState state(true, L"1040", L"1040", L"earlier");
        RegistrySandbox registry;
        registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path");
        if (c.keyPresent)
            registry.CreateKey(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey);
        if (!c.folder.empty())
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, kProductKey, L"Path", c.folder);

        LogCapture capture;
        wchar_t args[kCchText] = L"pre ";
        EXPECT_EQ(GetInstalledLanguageArgs(catalogue.Path().c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), L"pre " + c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), c.selected);
        const auto lines = capture.Messages();
        EXPECT_THAT(lines, Contains(c.line));
        EXPECT_EQ(lines.back(), L"MorvantoBootStrapper.GetInstalledLangID <<") << "no lines of its own";
        if (c.folder.empty())
        {
            EXPECT_THAT(lines, Not(Contains(kOwner + L" >>"))) << "no settings file is opened";
        }
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
    RegistrySandbox disabled;
    disabled.SetString(HKEY_CURRENT_USER, RegView::Native, L"Software\\Wine\\AppDefaults\\bsprobe.exe\\DllOverrides",
                       L"msxml4", L"");

    test::ProbeResult probe = test::RunProbe(L"GetLangIdFromCrmi " + Quote(crmiPath));
    EXPECT_EQ(probe.values["status"], "-4");
    EXPECT_EQ(probe.values["languageId"], "1033");
    EXPECT_THAT(probe.log, Contains(kOwner + L": failed to create instance of COM DOM document"));
}
