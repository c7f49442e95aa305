// The language catalogue read where no user is asked: a silent first
// installation (the /l switch, then the OS language, then English) and an
// update (the installed product's language).

#include "language/LanguageCatalogue.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/LanguageTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

std::vector<std::wstring> SectionsOf(const std::wstring& iniFile)
{
    std::vector<std::wstring> sections;
    WalkCatalogueSections(iniFile.c_str(), [&](const wchar_t* section) {
        sections.push_back(section);
        return true;
    });
    return sections;
}

struct Lookup
{
    int result;
    std::wstring args;
};

Lookup LangArgs(const wchar_t* languageId, const std::wstring& iniFile, const wchar_t* before = L"")
{
    wchar_t args[kCchText];
    SetText(args, before);
    int result = GetLangArgs(languageId, iniFile.c_str(), args);
    return {result, args};
}
}  // namespace

TEST(LanguageCatalogueSilent, SwitchThenOsLanguageThenBuiltInEnglish)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) +
                            L"[French]\r\nProductLanguage=1036\r\nCommand=-l1036 /vProductLanguage=1036\r\n");
    const std::wstring english = L"-l1033 /vProductLanguage=1033";
    const std::wstring german = L"-l1031 /vProductLanguage=1031";
    struct Case
    {
        const char* what;
        const wchar_t* language;  // nullptr: no /l switch
        const wchar_t* osLanguage;
        bool catalogueMissing;
        std::wstring args;
    } cases[] = {
        {"switch with a section", L"1040", L"1031", false, L"-l1040 /vProductLanguage=1040"},
        {"switch outside the five supported languages", L"1036", L"1031", false, L"-l1036 /vProductLanguage=1036"},
        {"switch without a section: the OS language", L"1049", L"1031", false, german},
        {"switch folding onto Italian is not folded", L"2064", L"1031", false, german},
        {"switch with a leading zero", L"01040", L"1031", false, german},
        {"switch naming the language", L"Italian", L"1031", false, german},
        {"no switch: the OS language", nullptr, L"1031", false, german},
        {"no switch, OS language without a section", nullptr, L"3082", false, english},
        {"switch and OS language without a section", L"1049", L"3082", false, english},
        {"no catalogue", L"1040", L"1031", true, english},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        LanguageStateGuard state;
        SetMode(true, c.language);
        SetText(OsLanguage, c.osLanguage);
        SetText(SelectedLanguageId, L"untouched");

        wchar_t args[kCchText];
        SetText(args, L"left over from before");
        const std::wstring iniFile = c.catalogueMissing ? catalogue.MissingPath() : catalogue.Path();
        EXPECT_EQ(GetLanguageArgs(iniFile.c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), L"untouched");
    }
}

TEST(LanguageCatalogueSilent, OsLanguageArgumentsAnswerWhetherASectionWasFound)
{
    CatalogueFile catalogue(kThreeLanguages);
    LanguageStateGuard state;

    struct Case
    {
        const wchar_t* osLanguage;
        int result;
        std::wstring args;
    } cases[] = {
        {L"1040", 1, L"-l1040 /vProductLanguage=1040"},
        {L"3082", 0, L"-l1033 /vProductLanguage=1033"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Utf8(c.osLanguage));
        SetText(OsLanguage, c.osLanguage);
        wchar_t args[kCchText];
        SetText(args, L"overwritten");
        EXPECT_EQ(GetOSLanguageArgs(catalogue.Path().c_str(), args), c.result);
        EXPECT_EQ(std::wstring(args), c.args);
    }
}

TEST(LanguageCatalogueSilent, TraceOfAFallbackThroughEveryStep)
{
    CatalogueFile catalogue(kThreeLanguages);
    LanguageStateGuard state;
    SetMode(true, L"1049");
    SetText(OsLanguage, L"3082");

    LogCapture capture;
    wchar_t args[kCchText] = L"";
    GetLanguageArgs(catalogue.Path().c_str(), args);
    const std::wstring path = catalogue.Path();
    EXPECT_THAT(LanguageLines(capture.TakeMessages()),
                ElementsAre(L"MorvantoBootStrapper.GetLanguageArgs >>",
                            L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was "
                            L"specified",
                            L"MorvantoBootStrapper.GetLanguageArgs: silent mode default language is:1049",
                            L"MorvantoBootStrapper.GetLanguageArgs: getting language args for language specified with "
                            L"/l param:",
                            L"MorvantoBootStrapper.GetLangArgs >>",
                            L"MorvantoBootStrapper.GetLangArgs: get language 1049 arguments from the " + path +
                                L" ini file",
                            L"MorvantoBootStrapper.GetLangArgs: language 1049 not found",
                            L"MorvantoBootStrapper.GetLangArgs <<",
                            L"MorvantoBootStrapper.GetLanguageArgs: failed to determine language args for language "
                            L"specified with /l param, getting OS language args",
                            L"MorvantoBootStrapper.GetOSLanguageArgs >>",
                            L"MorvantoBootStrapper.GetLangArgs >>",
                            L"MorvantoBootStrapper.GetLangArgs: get language 3082 arguments from the " + path +
                                L" ini file",
                            L"MorvantoBootStrapper.GetLangArgs: language 3082 not found",
                            L"MorvantoBootStrapper.GetLangArgs <<",
                            L"MorvantoBootStrapper.GetOSLanguageArgs: failed to get OS language args, returning "
                            L"English language args",
                            L"MorvantoBootStrapper.GetOSLanguageArgs <<",
                            L"MorvantoBootStrapper.GetLanguageArgs <<"));

    // Found at once, and without a switch.
    SetMode(true, L"1040");
    GetLanguageArgs(catalogue.Path().c_str(), args);
    EXPECT_THAT(LanguageLines(capture.TakeMessages()),
                ElementsAre(L"MorvantoBootStrapper.GetLanguageArgs >>",
                            L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was "
                            L"specified",
                            L"MorvantoBootStrapper.GetLanguageArgs: silent mode default language is:1040",
                            L"MorvantoBootStrapper.GetLanguageArgs: getting language args for language specified with "
                            L"/l param:",
                            L"MorvantoBootStrapper.GetLangArgs >>",
                            L"MorvantoBootStrapper.GetLangArgs: get language 1040 arguments from the " + path +
                                L" ini file",
                            L"MorvantoBootStrapper.GetLangArgs: language args to be used:-l1040 /vProductLanguage=1040",
                            L"MorvantoBootStrapper.GetLangArgs <<",
                            L"MorvantoBootStrapper.GetLanguageArgs: language args are:-l1040 /vProductLanguage=1040",
                            L"MorvantoBootStrapper.GetLanguageArgs <<"));

    SetMode(true, nullptr);
    SetText(OsLanguage, L"1031");
    GetLanguageArgs(catalogue.Path().c_str(), args);
    std::vector<std::wstring> lines = LanguageLines(capture.TakeMessages());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], L"MorvantoBootStrapper.GetLanguageArgs: no silent mode default language was specified, using "
                        L"OS language if valid");
    EXPECT_TRUE(Contains(lines, L"MorvantoBootStrapper.GetOSLanguageArgs: language args are:-l1031 "
                                L"/vProductLanguage=1031"))
        << DescribeMessages(lines);
}

TEST(LanguageCatalogueShapes, FirstSectionInFileOrderWinsAndKeysDefaultToEmpty)
{
    CatalogueFile catalogue(L"; comment\r\n"
                            L"[English]\r\nProductLanguage=1033\r\nCommand=english first\r\n"
                            L"[British]\r\nProductLanguage=1033\r\nCommand=english second\r\n"
                            L"[NoLanguage]\r\nCommand=without ProductLanguage\r\n"
                            L"[NoCommand]\r\nProductLanguage=1049\r\n"
                            L"[Quoted]\r\nproductlanguage = 1040 \r\ncommand=\"-l1040 quoted\"\r\n");
    struct Case
    {
        const wchar_t* languageId;
        Lookup expected;
    } cases[] = {
        {L"1033", {1, L"before english first"}},
        {L"", {1, L"before without ProductLanguage"}},
        {L"1049", {1, L"before "}},
        // Case of key names, trimming and quotes are the profile functions' own.
        {L"1040", {1, L"before -l1040 quoted"}},
        {L"1031", {0, L"before "}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Utf8(c.languageId));
        Lookup found = LangArgs(c.languageId, catalogue.Path(), L"before ");
        EXPECT_EQ(found.result, c.expected.result);
        EXPECT_EQ(found.args, c.expected.args);
    }
}

TEST(LanguageCatalogueShapes, NameIsCutAtItsFirstEqualsSign)
{
    // English=UK is looked up as English: its own keys are never read.
    CatalogueFile withShortName(L"[English=UK]\r\nProductLanguage=2057\r\nCommand=uk\r\n"
                                L"[English]\r\nProductLanguage=1033\r\nCommand=us\r\n");
    EXPECT_THAT(SectionsOf(withShortName.Path()), ElementsAre(L"English", L"English"));
    EXPECT_EQ(LangArgs(L"2057", withShortName.Path()).result, 0);
    EXPECT_EQ(LangArgs(L"1033", withShortName.Path()).args, L"us");

    CatalogueFile alone(L"[English=UK=GB]\r\nProductLanguage=2057\r\nCommand=uk\r\n"
                        L"[Italian]\r\nProductLanguage=1040\r\nCommand=it\r\n");
    EXPECT_THAT(SectionsOf(alone.Path()), ElementsAre(L"English", L"Italian"));
    EXPECT_EQ(LangArgs(L"2057", alone.Path()).result, 0);
    EXPECT_EQ(LangArgs(L"", alone.Path()).args, L"") << "the short name's keys read as empty";
    EXPECT_EQ(LangArgs(L"1040", alone.Path()).args, L"it");
}

TEST(LanguageCatalogueShapes, LongSectionListIsReadWhole)
{
    // Name lists needing just under, just over and far over one step of
    // 1,024 characters.
    for (int count : {30, 40, 200})
    {
        SCOPED_TRACE(count);
        std::wstring text;
        std::vector<std::wstring> names;
        for (int i = 0; i < count; ++i)
        {
            wchar_t name[64];
            swprintf(name, 64, L"Language number %04d of the kit", i);
            names.push_back(name);
            text += L"[" + names.back() + L"]\r\nProductLanguage=" + std::to_wstring(5000 + i) + L"\r\nCommand=args " +
                    std::to_wstring(i) + L"\r\n";
        }
        CatalogueFile catalogue(text);
        EXPECT_THAT(SectionsOf(catalogue.Path()), ElementsAreArray(names));
        Lookup last = LangArgs(std::to_wstring(5000 + count - 1).c_str(), catalogue.Path());
        EXPECT_EQ(last.result, 1);
        EXPECT_EQ(last.args, L"args " + std::to_wstring(count - 1));
    }
}

TEST(LanguageCatalogueShapes, MissingOrEmptyCatalogueHasNoSections)
{
    CatalogueFile empty(L"; nothing but a comment\r\n");
    EXPECT_TRUE(SectionsOf(empty.Path()).empty());
    EXPECT_TRUE(SectionsOf(empty.MissingPath()).empty());
    EXPECT_EQ(LangArgs(L"1033", empty.MissingPath(), L"kept").args, L"kept");
    EXPECT_EQ(LangArgs(L"", empty.MissingPath()).result, 0);
}

TEST(LanguageCatalogueUpdate, InstalledLanguageSectionIsAppendedAndSelected)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) + L"[Deutsch]\r\nProductLanguage=1031\r\nCommand=later\r\n");
    ScratchDir installed(L"installed");

    struct Case
    {
        const char* what;
        const char* settings;  // nullptr: the product's folder is unknown
        std::wstring args;
        std::wstring selected;
    } cases[] = {
        {"installed German", "<crmi><Language id=\"1031\"/></crmi>", L"pre -l1031 /vProductLanguage=1031", L"1031"},
        {"installed Russian, no section", "<crmi><Language id=\"1049\"/></crmi>", L"pre ", L"1049"},
        {"unreadable settings", "<crmi>", L"pre -l1033 /vProductLanguage=1033", L"1033"},
        {"product folder unknown", nullptr, L"pre -l1033 /vProductLanguage=1033", L"1033"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        LanguageStateGuard state;
        // Neither the switch nor the OS language counts for an update.
        SetMode(true, L"1040");
        SetText(OsLanguage, L"1040");
        SetText(SelectedLanguageId, L"earlier");
        RegistrySandbox registry;
        if (c.settings != nullptr)
        {
            WriteUtf8File(installed / L"crmiini.xml", c.settings);
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", installed.Path());
        }
        else
        {
            registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path");
        }

        LogCapture capture;
        wchar_t args[kCchText] = L"pre ";
        EXPECT_EQ(GetInstalledLanguageArgs(catalogue.Path().c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), c.selected);
        for (const auto& line : LanguageLines(capture.Messages()))
            EXPECT_EQ(line.find(L"LanguageArgs"), std::wstring::npos) << "no lines of its own: " << Utf8(line);
    }
}
