// Which of the five supported languages the machine speaks: the installation
// language, the display language that replaces it on Vista and later, and the
// folding onto the supported languages.

#include "language/OsLanguage.h"
#include "tests/unit/PlatformProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace test;
using ::testing::Contains;
using ::testing::Not;
using ::testing::StartsWith;

namespace
{
const std::wstring kDesktopLine = L"SetupBootstrapper.DetermineDesktopLanguage: ";

// The machine's language settings, undone at the end of the test: the
// installation language (none when null), the display languages (none when
// empty) and the LCIDs of display-language tags. HKLM\SYSTEM and HKCU are the
// same in both views.
class MachineLanguage
{
public:
    MachineLanguage(const wchar_t* installLanguage, const std::vector<std::wstring>& displayLanguages,
                    const std::vector<std::pair<std::wstring, DWORD>>& lcids = {})
    {
        const std::wstring nls = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
        if (installLanguage != nullptr)
            m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, nls, L"InstallLanguage", installLanguage);
        else
            m_registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Native, nls, L"InstallLanguage");
        if (!displayLanguages.empty())
            m_registry.SetMultiString(HKEY_CURRENT_USER, RegView::Native, L"Control Panel\\Desktop",
                                      L"PreferredUILanguages", displayLanguages);
        else
            m_registry.DeleteValue(HKEY_CURRENT_USER, RegView::Native, L"Control Panel\\Desktop", L"PreferredUILanguages");
        for (const auto& [tag, lcid] : lcids)
            m_registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native,
                                L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\" + tag, L"LCID", lcid);
    }

private:
    RegistrySandbox m_registry;
};
}  // namespace

TEST(HexLangIDToDecimal, ReadsDecimalDigitsAsHexadecimalDigits)
{
    // A ninth digit weighs 16^8, which wraps to nothing in 32 bits.
    const DWORD cases[][2] = {{0, 0},           {9, 9}, {40, 0x40}, {409, 0x409}, {99999999, 0x99999999},
                              {100000000, 0}, {4294967295u, 0x94967295}};
    for (const auto& c : cases)
        EXPECT_EQ(HexLangIDToDecimal(c[0]), c[1]) << c[0];
}

TEST(GetSupportedLangID, FamilyMembersFoldOntoTheirLanguageAndNearMissesOntoEnglish)
{
    struct Family { const wchar_t* samples; const wchar_t* result; const wchar_t* line; };
    const Family families[] = {
        {L"1033 3081 16393", L"1033", L"this language is English, lang code to be used 1033"},
        {L"1031 2055 5127", L"1031", L"this language is German(1031)"},
        {L"1040 2064", L"1040", L"this language is Italian(1040)"},
        {L"1034 3082 20490 58378 21514", L"3082", L"this language is Spanish(3082)"},
        {L"1049 2073", L"1049", L"this language is Russian(1049)"},
        // Whole members only, compared as text: a prefix, a longer number, a
        // leading zero, French, Portuguese, a folded Spanish installation.
        {L"103 10330 01033 1036 2070 0064", L"1033", L"returning default language English (1033)"},
    };
    for (const Family& family : families)
    {
        std::wistringstream samples(family.samples);
        for (std::wstring id; samples >> id;)
        {
            LogCapture capture;
            EXPECT_STREQ(GetSupportedLangID(id.c_str()), family.result) << WideToUtf8(id);
            EXPECT_THAT(capture.Messages(), Contains(L"SetupBootstrapper.GetSupportedLangID: " + std::wstring(family.line)));
        }
    }
    // The empty identifier (probe ";;") and a trailing blank match no list.
    EXPECT_STREQ(GetSupportedLangID(L""), L"1033");
    EXPECT_STREQ(GetSupportedLangID(L"1031 "), L"1033");
}

TEST(OSLanguageID, InstallationLanguageIsReadAsDecimalDigitsOfItsHexText)
{
    struct Case { const wchar_t* installLanguage; const wchar_t* identifier; const wchar_t* result; };
    const Case cases[] = {
        {L"0409", L"1033", L"1033"}, {L"0407", L"1031", L"1031"}, {L" +0407", L"1031", L"1031"},
        // A letter digit ends the number: both Spanish installation languages
        // come out as identifiers no family lists.
        {L"0C0A", L"0000", L"1033"}, {L"040A", L"0064", L"1033"},
        // Beyond the signed 32-bit range: clamped to 2147483647 first.
        {L"99999999999", L"1195914823", L"1033"},
    };
    for (const Case& c : cases)
    {
        // This test program runs as a Vista successor; without a display
        // language the installation language stands.
        MachineLanguage machine(c.installLanguage, {});
        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), c.result) << WideToUtf8(c.installLanguage);
        EXPECT_THAT(capture.Messages(),
                    Contains(L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:" + std::wstring(c.identifier)));
    }
}

TEST(OSLanguageID, MissingInstallationLanguageGivesEnglishWithoutAskingForTheDisplayLanguage)
{
    MachineLanguage machine(nullptr, {L"de-DE"}, {{L"de-DE", 1031}});
    LogCapture capture;
    EXPECT_STREQ(OSLanguageID(), L"1033");
    const std::vector<std::wstring> messages = capture.Messages();
    // The error line is the last: no display language, no folding, no exit line.
    ASSERT_FALSE(messages.empty());
    EXPECT_THAT(messages.back(), StartsWith(L"MorvantoBootStrapper.OSLanguageID: error while getting OS language ID"));
    EXPECT_THAT(messages, Not(Contains(StartsWith(L"SetupBootstrapper.QueryCurrentUser"))));
}

TEST(OSLanguageID, DisplayLanguageOfTheFirstTagReplacesTheInstallationLanguage)
{
    struct Case { DWORD lcid; const wchar_t* identifier; const wchar_t* result; };
    for (const Case& c : {Case{1040, L"1040", L"1040"}, Case{2055, L"2055", L"1031"}, Case{64, L"0064", L"1033"}})
    {
        // Russian unless replaced; only the first tag counts.
        MachineLanguage machine(L"0419", {L"xx-TEST", L"de-DE"}, {{L"xx-TEST", c.lcid}, {L"de-DE", 1031}});
        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), c.result) << c.lcid;
        EXPECT_THAT(capture.Messages(), Contains(kDesktopLine + L"language ID retrieved:" + c.identifier));
        // The tag follows the key's own separator directly.
        EXPECT_THAT(capture.Messages(), Contains(L"SetupBootstrapper.QueryDWORDValueFromRegistry: called for "
                                                 L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\xx-TEST\\LCID"));
    }
}

TEST(OSLanguageID, InstallationLanguageStandsWhenTheDisplayLanguageCannotBeRead)
{
    struct Case { const char* what; std::vector<std::wstring> tags; const wchar_t* line; };
    const Case cases[] = {
        {"no PreferredUILanguages", {}, L"failed to retrieve the current desktop language code"},
        // Unreadable as a whole, though its first entry alone is short and known.
        {"PreferredUILanguages over 1,024 bytes", {L"de-DE", std::wstring(600, L'x')},
         L"failed to retrieve the current desktop language code"},
        {"no LCID for the tag", {L"it-IT"}, L"Failed to retrieve language ID"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        MachineLanguage machine(L"0410", c.tags, {{L"de-DE", 1031}});
        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), L"1040");
        EXPECT_THAT(capture.Messages(), Contains(kDesktopLine + c.line));
        // Called directly, the buffer comes back as it was.
        wchar_t languageId[1024] = L"0410";
        EXPECT_EQ(DetermineDesktopLanguage(languageId), languageId);
        EXPECT_STREQ(languageId, L"0410");
    }
}

TEST(OSLanguageIDByWindowsVersion, DisplayLanguageIsConsultedOnlyFromVistaOn)
{
    MachineLanguage machine(L"0407", {L"it-IT"}, {{L"it-IT", 1040}});
    EXPECT_EQ(platform_tests::RunProbeOn(L"win2003", L"OSLanguageID").values["answer"], "1031");
    EXPECT_EQ(platform_tests::RunProbeOn(L"vista", L"OSLanguageID").values["answer"], "1040");
}
