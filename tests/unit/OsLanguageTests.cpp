// Which of the five supported languages the machine speaks: the installation
// language, the display language that replaces it on Vista and later, and the
// folding onto the supported languages.

#include "language/OsLanguage.h"
#include "tests/support/ProbeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace test;
using ::testing::Contains;
using ::testing::Not;
using ::testing::StartsWith;

namespace
{
// The machine's language settings, undone when it goes. installLanguage: none
// when null; tags: PreferredUILanguages, none when empty; firstLcid: the LCID
// of the first tag, none when 0. "de-DE" always has one, so that a reader
// which took a later tag would show. HKLM\SYSTEM and HKCU are the same in
// both views.
class MachineLanguage
{
public:
    MachineLanguage(const wchar_t* installLanguage, const std::vector<std::wstring>& tags, DWORD firstLcid)
    {
        const std::wstring nls = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
        const std::wstring desktop = L"Control Panel\\Desktop";
        const std::wstring uiLanguages = L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\";
        if (installLanguage != nullptr)
            m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, nls, L"InstallLanguage", installLanguage);
        else
            m_registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Native, nls, L"InstallLanguage");
        if (!tags.empty())
            m_registry.SetMultiString(HKEY_CURRENT_USER, RegView::Native, desktop, L"PreferredUILanguages", tags);
        else
            m_registry.DeleteValue(HKEY_CURRENT_USER, RegView::Native, desktop, L"PreferredUILanguages");
        if (firstLcid != 0)
            m_registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, uiLanguages + tags.front(), L"LCID", firstLcid);
        m_registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, uiLanguages + L"de-DE", L"LCID", 1031);
    }

private:
    RegistrySandbox m_registry;
};
}  // namespace

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
            EXPECT_THAT(capture.Messages(),
                        Contains(L"SetupBootstrapper.GetSupportedLangID: " + std::wstring(family.line)));
        }
    }
    // The empty identifier (probe ";;") and a trailing blank match no list.
    EXPECT_STREQ(GetSupportedLangID(L""), L"1033");
    EXPECT_STREQ(GetSupportedLangID(L"1031 "), L"1033");
}

TEST(OSLanguageID, InstallationLanguageStandsUnlessTheFirstDisplayLanguageHasAnLcid)
{
    const std::wstring osLanguage = L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:";
    const std::wstring desktop = L"SetupBootstrapper.DetermineDesktopLanguage: ";
    struct Case { const wchar_t* installLanguage; std::vector<std::wstring> tags; DWORD lcid; const wchar_t* result;
                  std::wstring line; };
    const Case cases[] = {
        // The installation language's hexadecimal text read as decimal digits.
        {L"0409", {}, 0, L"1033", osLanguage + L"1033"},
        {L"0407", {}, 0, L"1031", osLanguage + L"1031"},
        {L" +0407", {}, 0, L"1031", osLanguage + L"1031"},
        // A letter digit ends the number: both Spanish installation languages
        // come out as identifiers no family lists.
        {L"0C0A", {}, 0, L"1033", osLanguage + L"0000"},
        {L"040A", {}, 0, L"1033", osLanguage + L"0064"},
        // Beyond the signed 32-bit range: clamped to 2147483647 first, whose
        // ninth and tenth digits weigh 16^8 and 16^9 and wrap away in 32 bits.
        {L"99999999999", {}, 0, L"1033", osLanguage + L"1195914823"},
        // This test program runs as a Vista successor: the display language
        // of the first tag replaces the installation language (Russian).
        {L"0419", {L"xx-TEST", L"de-DE"}, 1040, L"1040", desktop + L"language ID retrieved:1040"},
        {L"0419", {L"xx-TEST", L"de-DE"}, 2055, L"1031", desktop + L"language ID retrieved:2055"},
        {L"0419", {L"xx-TEST", L"de-DE"}, 64, L"1033", desktop + L"language ID retrieved:0064"},
        // Unless it cannot be read: a list over 1,024 bytes cannot, though its
        // first entry alone is short and known.
        {L"0410", {}, 0, L"1040", desktop + L"failed to retrieve the current desktop language code"},
        {L"0410", {L"de-DE", std::wstring(600, L'x')}, 0, L"1040",
         desktop + L"failed to retrieve the current desktop language code"},
        {L"0410", {L"xx-TEST", L"de-DE"}, 0, L"1040", desktop + L"Failed to retrieve language ID"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.line));
        MachineLanguage machine(c.installLanguage, c.tags, c.lcid);
        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), c.result);
        EXPECT_THAT(capture.Messages(), Contains(c.line)) << DescribeMessages(capture.Messages());
    }
}

TEST(OSLanguageID, MissingInstallationLanguageGivesEnglishWithoutAskingForTheDisplayLanguage)
{
    MachineLanguage machine(nullptr, {L"de-DE"}, 0);
    LogCapture capture;
    EXPECT_STREQ(OSLanguageID(), L"1033");
    const std::vector<std::wstring> messages = capture.Messages();
    // The error line is the last: no display language, no folding, no exit line.
    ASSERT_FALSE(messages.empty());
    EXPECT_THAT(messages.back(), StartsWith(L"MorvantoBootStrapper.OSLanguageID: error while getting OS language ID"));
    EXPECT_THAT(messages, Not(Contains(StartsWith(L"SetupBootstrapper.QueryCurrentUser"))));
}

TEST(OSLanguageIDByWindowsVersion, DisplayLanguageIsConsultedOnlyFromVistaOn)
{
    MachineLanguage machine(L"0407", {L"it-IT"}, 1040);
    EXPECT_EQ(test::RunProbeOn(L"win2003", L"OSLanguageID").values["answer"], "1031");
    EXPECT_EQ(test::RunProbeOn(L"vista", L"OSLanguageID").values["answer"], "1040");
}
