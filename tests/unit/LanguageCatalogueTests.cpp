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
using ::testing::IsEmpty;

namespace
{
constexpr wchar_t kEnglish[] = L"-l1033 /vProductLanguage=1033";
constexpr wchar_t kGerman[] = L"-l1031 /vProductLanguage=1031";

std::vector<std::wstring> SectionsOf(const std::wstring& iniFile)
{
    std::vector<std::wstring> sections;
    WalkCatalogueSections(iniFile.c_str(), [&](const wchar_t* section) {
        sections.push_back(section);
        return true;
    });
    return sections;
}

// GetLangArgs appends to what the buffer held: "before " here.
std::wstring LangArgs(const wchar_t* languageId, const std::wstring& iniFile, int* result = nullptr)
{
    wchar_t args[kCchText] = L"before ";
    int found = GetLangArgs(languageId, iniFile.c_str(), args);
    if (result != nullptr)
        *result = found;
    return args;
}
}  // namespace

TEST(LanguageCatalogueSilent, SwitchAsTypedThenOsLanguageThenBuiltInEnglish)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) + L"[French]\r\nProductLanguage=1036\r\nCommand=fr\r\n");
    struct Case
    {
        const wchar_t* language;  // nullptr: no /l switch
        const wchar_t* osLanguage;
        bool catalogueMissing;
        std::wstring args;
        int osLanguageResult;
    } cases[] = {
        {L"1040", L"1031", false, L"-l1040 /vProductLanguage=1040", 1},
        {L"1036", L"1031", false, L"fr", 1},  // outside the five supported languages
        {L"1049", L"1031", false, kGerman, 1},
        {L"2064", L"1031", false, kGerman, 1},  // not folded onto Italian
        {L"01040", L"1031", false, kGerman, 1},
        {L"Italian", L"1031", false, kGerman, 1},
        {nullptr, L"1031", false, kGerman, 1},
        {nullptr, L"3082", false, kEnglish, 0},
        {L"1049", L"3082", false, kEnglish, 0},
        {L"1040", L"1031", true, kEnglish, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.language != nullptr ? c.language : L"no switch") + " / " + WideToUtf8(c.osLanguage));
        LanguageState state(true, c.language, c.osLanguage, L"untouched");
        const std::wstring iniFile = c.catalogueMissing ? catalogue.MissingPath() : catalogue.Path();
        wchar_t args[kCchText] = L"left over";
        EXPECT_EQ(GetLanguageArgs(iniFile.c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), L"untouched");
        EXPECT_EQ(GetOSLanguageArgs(iniFile.c_str(), args), c.osLanguageResult);
    }
}

TEST(LanguageCatalogueSilent, TraceOfAFallbackThroughEveryStep)
{
    CatalogueFile catalogue(kThreeLanguages);
    LanguageState state(true, L"1049", L"3082");
    LogCapture capture;
    wchar_t args[kCchText] = L"";
    GetLanguageArgs(catalogue.Path().c_str(), args);

    auto lookup = [&](const std::wstring& id) {
        return std::vector<std::wstring>{
            L"MorvantoBootStrapper.GetLangArgs >>",
            L"MorvantoBootStrapper.GetLangArgs: get language " + id + L" arguments from the " + catalogue.Path() +
                L" ini file",
            L"MorvantoBootStrapper.GetLangArgs: language " + id + L" not found", L"MorvantoBootStrapper.GetLangArgs <<"};
    };
    std::vector<std::wstring> expected = {
        L"MorvantoBootStrapper.GetLanguageArgs >>",
        L"MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language was specified",
        L"MorvantoBootStrapper.GetLanguageArgs: silent mode default language is:1049",
        L"MorvantoBootStrapper.GetLanguageArgs: getting language args for language specified with /l param:"};
    for (const auto& line : lookup(L"1049"))
        expected.push_back(line);
    expected.push_back(L"MorvantoBootStrapper.GetLanguageArgs: failed to determine language args for language "
                       L"specified with /l param, getting OS language args");
    expected.push_back(L"MorvantoBootStrapper.GetOSLanguageArgs >>");
    for (const auto& line : lookup(L"3082"))
        expected.push_back(line);
    expected.push_back(L"MorvantoBootStrapper.GetOSLanguageArgs: failed to get OS language args, returning English "
                       L"language args");
    expected.push_back(L"MorvantoBootStrapper.GetOSLanguageArgs <<");
    expected.push_back(L"MorvantoBootStrapper.GetLanguageArgs <<");
    EXPECT_THAT(LanguageLines(capture.Messages()), ElementsAreArray(expected));
}

TEST(LanguageCatalogueShapes, FirstSectionInFileOrderWinsAndKeysDefaultToEmpty)
{
    CatalogueFile catalogue(L"; comment\r\n"
                            L"[English]\r\nProductLanguage=1033\r\nCommand=english first\r\n"
                            L"[British]\r\nProductLanguage=1033\r\nCommand=english second\r\n"
                            L"[NoLanguage]\r\nCommand=no ProductLanguage\r\n"
                            L"[NoCommand]\r\nProductLanguage=1049\r\n"
                            L"[Quoted]\r\nproductlanguage = 1040 \r\ncommand=\"-l1040 quoted\"\r\n");
    int result = 0;
    EXPECT_EQ(LangArgs(L"1033", catalogue.Path()), L"before english first");
    EXPECT_EQ(LangArgs(L"", catalogue.Path()), L"before no ProductLanguage");
    EXPECT_EQ(LangArgs(L"1049", catalogue.Path(), &result), L"before ");
    EXPECT_EQ(result, 1);
    // Letter case of key names, blanks and quotes are the profile functions' business.
    EXPECT_EQ(LangArgs(L"1040", catalogue.Path()), L"before -l1040 quoted");
    EXPECT_EQ(LangArgs(L"1031", catalogue.Path(), &result), L"before ");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LangArgs(L"1033", catalogue.MissingPath(), &result), L"before ");
    EXPECT_EQ(result, 0);
}

TEST(LanguageCatalogueShapes, NameIsCutAtItsFirstEqualsSign)
{
    CatalogueFile catalogue(L"[English=UK=GB]\r\nProductLanguage=2057\r\nCommand=uk\r\n"
                            L"[Italian]\r\nProductLanguage=1040\r\nCommand=it\r\n"
                            L"[English]\r\nProductLanguage=1033\r\nCommand=us\r\n");
    EXPECT_THAT(SectionsOf(catalogue.Path()), ElementsAre(L"English", L"Italian", L"English"));
    int result = 1;
    EXPECT_EQ(LangArgs(L"2057", catalogue.Path(), &result), L"before ");
    EXPECT_EQ(result, 0) << "English=UK=GB is looked up as English";
    EXPECT_EQ(LangArgs(L"1033", catalogue.Path()), L"before us");
    EXPECT_THAT(SectionsOf(catalogue.MissingPath()), IsEmpty());
}

TEST(LanguageCatalogueShapes, LongSectionListIsReadWhole)
{
    // Name lists just under, just over and far over one step of 1,024 characters.
    for (int count : {30, 40, 200})
    {
        SCOPED_TRACE(count);
        std::wstring text;
        std::vector<std::wstring> names;
        for (int i = 0; i < count; ++i)
        {
            names.push_back(L"Language number " + std::to_wstring(1000 + i) + L" of the kit");
            text += L"[" + names.back() + L"]\r\nProductLanguage=" + std::to_wstring(5000 + i) + L"\r\nCommand=args " +
                    std::to_wstring(i) + L"\r\n";
        }
        CatalogueFile catalogue(text);
        EXPECT_THAT(SectionsOf(catalogue.Path()), ElementsAreArray(names));
        EXPECT_EQ(LangArgs(std::to_wstring(5000 + count - 1).c_str(), catalogue.Path()),
                  L"before args " + std::to_wstring(count - 1));
    }
}

TEST(LanguageCatalogueUpdate, InstalledLanguageSectionIsAppendedAndSelected)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) + L"[Deutsch]\r\nProductLanguage=1031\r\nCommand=later\r\n");
    ScratchDir installed(L"installed");
    struct Case
    {
        const char* settings;  // nullptr: the product's folder is unknown
        std::wstring args;
        std::wstring selected;
    } cases[] = {
        {"<crmi><Language id=\"1031\"/></crmi>", std::wstring(L"pre ") + kGerman, L"1031"},
        {"<crmi><Language id=\"1049\"/></crmi>", L"pre ", L"1049"},  // no section: no arguments at all
        {"<crmi>", std::wstring(L"pre ") + kEnglish, L"1033"},
        {nullptr, std::wstring(L"pre ") + kEnglish, L"1033"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.settings != nullptr ? c.settings : "no folder");
        // Neither the switch nor the OS language counts for an update.
        LanguageState state(true, L"1040", L"1040", L"earlier");
        RegistrySandbox registry;
        registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path");
        if (c.settings != nullptr)
        {
            WriteUtf8File(installed / L"crmiini.xml", c.settings);
            registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", installed.Path());
        }
        LogCapture capture;
        wchar_t args[kCchText] = L"pre ";
        EXPECT_EQ(GetInstalledLanguageArgs(catalogue.Path().c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), c.selected);
        EXPECT_EQ(LanguageLines(capture.Messages()).back(), L"MorvantoBootStrapper.GetInstalledLangID <<")
            << "no lines of its own";
    }
}
