// The language catalogue: how its sections are read, and the arguments of a
// silent first installation (the /l switch, then the OS language, then
// English). The update's reading is with the installed product's language.

#include "language/LanguageCatalogue.h"
#include "tests/unit/LanguageTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace
{
std::vector<std::wstring> SectionsOf(const std::wstring& iniFile)
{
    std::vector<std::wstring> sections;
    WalkCatalogueSections(iniFile.c_str(), [&](const wchar_t* section) {
        sections.push_back(section);
        return true;
    });
    return sections;
}
}  // namespace

TEST(LanguageCatalogueSilent, SwitchAsTypedThenOsLanguageThenBuiltInEnglish)
{
    CatalogueFile catalogue(std::wstring(kThreeLanguages) + L"[French]\r\nProductLanguage=1036\r\nCommand=fr\r\n");
    const wchar_t* switchFallback = L"MorvantoBootStrapper.GetLanguageArgs: failed to determine language args for "
                                    L"language specified with /l param, getting OS language args";
    const wchar_t* osFallback = L"MorvantoBootStrapper.GetOSLanguageArgs: failed to get OS language args, returning "
                                L"English language args";
    struct Case
    {
        const wchar_t* language;  // nullptr: no /l switch
        const wchar_t* osLanguage;
        bool catalogueMissing;
        std::wstring args;
        int osLanguageResult;
        const wchar_t* line;  // nullptr: none in particular
    } cases[] = {
        {L"1040", L"1031", false, L"-l1040 /vProductLanguage=1040", 1, nullptr},
        {L"1036", L"1031", false, L"fr", 1, nullptr},               // outside the five supported languages
        {L"2064", L"1031", false, kGermanArgs, 1, switchFallback},  // not folded onto Italian
        {L"01040", L"1031", false, kGermanArgs, 1, L"MorvantoBootStrapper.GetLangArgs: language 01040 not found"},
        {L"Italian", L"1031", false, kGermanArgs, 1, nullptr},  // an identifier, not a section name
        {nullptr, L"1031", false, kGermanArgs, 1, nullptr},
        {nullptr, L"3082", false, kEnglishArgs, 0, osFallback},
        {L"1049", L"3082", false, kEnglishArgs, 0, nullptr},
        {L"1040", L"1031", true, kEnglishArgs, 0, nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.language != nullptr ? c.language : L"no switch") + " / " + WideToUtf8(c.osLanguage));
        LanguageState state(true, c.language, c.osLanguage, L"untouched");
        const std::wstring iniFile = c.catalogueMissing ? catalogue.MissingPath() : catalogue.Path();
        LogCapture capture;
        wchar_t args[kCchText] = L"left over";
        EXPECT_EQ(GetLanguageArgs(iniFile.c_str(), args), 1);
        EXPECT_EQ(std::wstring(args), c.args);
        EXPECT_EQ(std::wstring(SelectedLanguageId), L"untouched");
        if (c.line != nullptr)
        {
            EXPECT_THAT(capture.Messages(), Contains(c.line));
        }
        EXPECT_EQ(GetOSLanguageArgs(iniFile.c_str(), args), c.osLanguageResult);
    }
}

TEST(LanguageCatalogueShapes, FirstSectionInFileOrderWinsAndMissingKeysReadEmpty)
{
    CatalogueFile catalogue(L"[English]\r\nProductLanguage=1033\r\nCommand=english first\r\n"
                            L"[British]\r\nProductLanguage=1033\r\nCommand=english second\r\n"
                            L"[NoLanguage]\r\nCommand=no ProductLanguage\r\n"
                            L"[NoCommand]\r\nProductLanguage=1049\r\n"
                            L"[English=UK=GB]\r\nProductLanguage=2057\r\nCommand=uk\r\n");
    struct Case
    {
        const wchar_t* languageId;
        bool catalogueMissing;
        int result;
        std::wstring args;  // appended to "before "
    } cases[] = {
        {L"1033", false, 1, L"before english first"},
        {L"", false, 1, L"before no ProductLanguage"},
        {L"1049", false, 1, L"before "},
        {L"2057", false, 0, L"before "},  // English=UK=GB is looked up as English
        {L"1031", false, 0, L"before "},
        {L"1033", true, 0, L"before "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.languageId));
        wchar_t args[kCchText] = L"before ";
        const std::wstring iniFile = c.catalogueMissing ? catalogue.MissingPath() : catalogue.Path();
        EXPECT_EQ(GetLangArgs(c.languageId, iniFile.c_str(), args), c.result);
        EXPECT_EQ(std::wstring(args), c.args);
    }
    EXPECT_THAT(SectionsOf(catalogue.Path()),
                ElementsAre(L"English", L"British", L"NoLanguage", L"NoCommand", L"English"));
}

TEST(LanguageCatalogueShapes, LongSectionListIsReadWhole)
{
    // Name lists just over one step of 1,024 characters, and over several.
    for (int count : {40, 200})
    {
        SCOPED_TRACE(count);
        std::wstring text;
        std::vector<std::wstring> names;
        for (int i = 0; i < count; ++i)
        {
            names.push_back(L"Language number " + std::to_wstring(1000 + i) + L" of the kit");
            text += L"[" + names.back() + L"]\r\nProductLanguage=" + std::to_wstring(5000 + i) + L"\r\n";
        }
        CatalogueFile catalogue(text);
        EXPECT_THAT(SectionsOf(catalogue.Path()), ElementsAreArray(names));
    }
}
