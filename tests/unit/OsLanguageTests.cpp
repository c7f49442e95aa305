// Which of the five supported languages the machine speaks: the installation
// language, the display language that replaces it on Vista and later, and the
// folding onto the supported languages.

#include "language/OsLanguage.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/unit/PlatformProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace test;
using platform_tests::MessagesStartingWith;
using platform_tests::RunProbe;
using ::testing::Contains;
using ::testing::ElementsAre;

namespace
{
const std::wstring kNlsLanguage = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
const std::wstring kDesktop = L"Control Panel\\Desktop";
const std::wstring kUiLanguages = L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\";

std::vector<std::wstring> Split(const std::wstring& list)
{
    std::vector<std::wstring> members;
    std::wstringstream stream(list);
    std::wstring member;
    while (std::getline(stream, member, L';'))
        members.push_back(member);
    return members;
}

// The machine's language settings, each undone at the end of the test.
// HKLM\SYSTEM and HKCU are the same in both views.
class MachineLanguage
{
public:
    MachineLanguage()
    {
        // Start from Wine's defaults, whatever an earlier test left.
        m_registry.DeleteValue(HKEY_CURRENT_USER, RegView::Native, kDesktop, L"PreferredUILanguages");
    }
    void InstallLanguage(const wchar_t* hex)
    {
        m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, kNlsLanguage, L"InstallLanguage", hex);
    }
    void NoInstallLanguage()
    {
        m_registry.DeleteValue(HKEY_LOCAL_MACHINE, RegView::Native, kNlsLanguage, L"InstallLanguage");
    }
    void DisplayLanguages(const std::vector<std::wstring>& tags)
    {
        m_registry.SetMultiString(HKEY_CURRENT_USER, RegView::Native, kDesktop, L"PreferredUILanguages", tags);
    }
    void UiLanguage(const std::wstring& tag, DWORD lcid)
    {
        m_registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Native, kUiLanguages + tag, L"LCID", lcid);
    }

private:
    RegistrySandbox m_registry;
};

const wchar_t kDesktopPrefix[] = L"SetupBootstrapper.DetermineDesktopLanguage";
}  // namespace

TEST(HexLangIDToDecimal, ReadsDecimalDigitsAsHexadecimalDigits)
{
    struct Case
    {
        DWORD value;
        DWORD expected;
    } cases[] = {
        {0, 0},
        {9, 9},
        {10, 16},
        {40, 0x40},
        {409, 0x409},
        {407, 0x407},
        {410, 0x410},
        {419, 0x419},
        {1234, 0x1234},
        {99999999, 0x99999999},
        // A ninth digit weighs 16^8, which wraps to nothing in 32 bits.
        {100000000, 0},
        {4294967295u, 0x94967295},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexLangIDToDecimal(c.value), c.expected) << c.value;
}

TEST(GetSupportedLangID, EveryFamilyMemberFoldsOntoItsLanguageAndNothingElseMatches)
{
    struct Family
    {
        const wchar_t* members;
        const wchar_t* result;
        const wchar_t* line;
    } families[] = {
        {L"1033;2057;3081;4105;5129;6153;7177;8201;9225;10249;11273;12297;13321;16393", L"1033",
         L"this language is English, lang code to be used 1033"},
        {L"1031;2055;3079;4103;5127", L"1031", L"this language is German(1031)"},
        {L"1040;2064", L"1040", L"this language is Italian(1040)"},
        {L"1034;2058;3082;4106;5130;6154;7178;8202;9226;10250;11274;12298;13322;14346;15370;16394;17418;18442;19466;"
         L"20490;58378;21514",
         L"3082", L"this language is Spanish(3082)"},
        {L"1049;2073", L"1049", L"this language is Russian(1049)"},
        // Whole members only, compared as text: the empty text, a prefix, a
        // longer number, a leading zero, a blank, French, Portuguese.
        {L";103;10330;01033;1033 ;1036;2070;0064;0000", L"1033", L"returning default language English (1033)"},
    };
    for (const auto& family : families)
    {
        for (const auto& member : Split(family.members))
        {
            LogCapture capture;
            EXPECT_STREQ(GetSupportedLangID(member.c_str()), family.result) << WideToUtf8(member);
            EXPECT_THAT(capture.Messages(),
                        ElementsAre(L"SetupBootstrapper.GetSupportedLangID >>",
                                    L"SetupBootstrapper.GetSupportedLangID: called for language " + member,
                                    std::wstring(L"SetupBootstrapper.GetSupportedLangID: ") + family.line,
                                    L"SetupBootstrapper.GetSupportedLangID <<"))
                << WideToUtf8(member);
        }
    }
}

TEST(OSLanguageID, InstallationLanguageIsReadAsDecimalDigitsOfItsHexText)
{
    struct Case
    {
        const wchar_t* installLanguage;
        const wchar_t* identifier;  // before folding
        const wchar_t* result;
    } cases[] = {
        {L"0409", L"1033", L"1033"},
        {L"0407", L"1031", L"1031"},
        {L"0410", L"1040", L"1040"},
        {L"0419", L"1049", L"1049"},
        // A letter digit ends the number: both Spanish installation languages
        // come out as identifiers no family lists.
        {L"0C0A", L"0000", L"1033"},
        {L"040A", L"0064", L"1033"},
        {L"040C", L"0064", L"1033"},  // French
        {L" +0407", L"1031", L"1031"},
        {L"", L"0000", L"1033"},
        // Beyond the signed 32-bit range: clamped to 2147483647 first.
        {L"99999999999", L"1195914823", L"1033"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.installLanguage));
        MachineLanguage machine;
        machine.InstallLanguage(c.installLanguage);
        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), c.result);

        // This test program runs as a Vista successor without a display
        // language, so the installation language stands.
        EXPECT_THAT(MessagesStartingWith(capture.Messages(), L"MorvantoBootStrapper.OSLanguageID"),
                    ElementsAre(L"MorvantoBootStrapper.OSLanguageID >>",
                                std::wstring(L"MorvantoBootStrapper.OSLanguageID: OS Language ID is:") + c.identifier,
                                L"MorvantoBootStrapper.OSLanguageID: Determining Desktop language if OS is Vista or "
                                L"later",
                                L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later",
                                std::wstring(L"MorvantoBootStrapper.OSLanguageID: OS Language after convertion to a "
                                             L"known language ID is:") +
                                    c.result,
                                L"MorvantoBootStrapper.OSLanguageID <<"))
            << DescribeMessages(capture.Messages());
        EXPECT_THAT(capture.Messages(),
                    Contains(L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop "
                             L"language code"));
    }
}

TEST(OSLanguageID, MissingInstallationLanguageGivesEnglishWithoutAskingForTheDisplayLanguage)
{
    MachineLanguage machine;
    machine.NoInstallLanguage();
    machine.DisplayLanguages({L"de-DE"});
    machine.UiLanguage(L"de-DE", 1031);

    LogCapture capture;
    EXPECT_STREQ(OSLanguageID(), L"1033");

    const std::vector<std::wstring> messages = capture.Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.front(), L"MorvantoBootStrapper.OSLanguageID >>");
    EXPECT_EQ(messages[1], L"SetupBootstrapper.QueryStringValueFromRegistry >>");
    EXPECT_EQ(messages[messages.size() - 2], L"SetupBootstrapper.QueryStringValueFromRegistry <<");
    // The error line is the last: no display language, no folding, no exit line.
    EXPECT_THAT(messages.back(), ::testing::StartsWith(L"MorvantoBootStrapper.OSLanguageID: error while getting OS "
                                                       L"language ID, error returned:"));
    EXPECT_THAT(MessagesStartingWith(messages, L"SetupBootstrapper.QueryCurrentUser"), ::testing::IsEmpty());
}

TEST(OSLanguageID, DisplayLanguageOfTheFirstTagReplacesTheInstallationLanguage)
{
    struct Case
    {
        DWORD lcid;
        const wchar_t* identifier;  // padded to four digits
        const wchar_t* result;
    } cases[] = {
        {1040, L"1040", L"1040"},   {2055, L"2055", L"1031"}, {21514, L"21514", L"3082"},
        {58378, L"58378", L"3082"}, {1034, L"1034", L"3082"}, {2073, L"2073", L"1049"},
        {3081, L"3081", L"1033"},   {64, L"0064", L"1033"},   {1036, L"1036", L"1033"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.lcid);
        MachineLanguage machine;
        machine.InstallLanguage(L"0419");  // Russian, unless replaced
        // Only the first entry of the list counts.
        machine.DisplayLanguages({L"xx-TEST", L"de-DE"});
        machine.UiLanguage(L"xx-TEST", c.lcid);
        machine.UiLanguage(L"de-DE", 1031);

        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), c.result);
        const std::vector<std::wstring> messages = capture.Messages();
        EXPECT_THAT(MessagesStartingWith(messages, kDesktopPrefix),
                    ElementsAre(L"SetupBootstrapper.DetermineDesktopLanguage >>",
                                L"SetupBootstrapper.DetermineDesktopLanguage: called for langID:1049",
                                L"SetupBootstrapper.DetermineDesktopLanguage: language code retrieved:xx-TEST, getting "
                                L"corresponding language ID (deciaml format)",
                                std::wstring(L"SetupBootstrapper.DetermineDesktopLanguage: language ID retrieved:") +
                                    c.identifier,
                                L"SetupBootstrapper.DetermineDesktopLanguage <<"))
            << DescribeMessages(messages);
        // The tag follows the key's own separator directly.
        EXPECT_THAT(messages, Contains(L"SetupBootstrapper.QueryDWORDValueFromRegistry: called for "
                                       L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\xx-TEST\\LCID"));
    }
}

TEST(OSLanguageID, InstallationLanguageStandsWhenTheDisplayLanguageCannotBeRead)
{
    // A list of more than 1,024 bytes cannot be read at all, though its first
    // entry alone would be short and known.
    const std::wstring longSecondEntry(600, L'x');
    struct Case
    {
        const char* what;
        std::vector<std::wstring> tags;  // empty: no PreferredUILanguages
        bool lcidKnown;
        const wchar_t* line;
    } cases[] = {
        {"no PreferredUILanguages",
         {},
         true,
         L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code"},
        {"PreferredUILanguages over 1,024 bytes",
         {L"de-DE", longSecondEntry},
         true,
         L"SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code"},
        {"no LCID for the tag",
         {L"de-DE"},
         false,
         L"SetupBootstrapper.DetermineDesktopLanguage: Failed to retrieve language ID"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        MachineLanguage machine;
        machine.InstallLanguage(L"0410");
        if (!c.tags.empty())
            machine.DisplayLanguages(c.tags);
        if (c.lcidKnown)
            machine.UiLanguage(L"de-DE", 1031);

        LogCapture capture;
        EXPECT_STREQ(OSLanguageID(), L"1040");
        EXPECT_THAT(capture.Messages(), Contains(c.line));

        // Called directly, the buffer comes back as it was.
        wchar_t languageId[1024] = L"0410";
        EXPECT_EQ(DetermineDesktopLanguage(languageId), languageId);
        EXPECT_STREQ(languageId, L"0410");
    }
}

TEST(OSLanguageIDByWindowsVersion, DisplayLanguageIsConsultedOnlyFromVistaOn)
{
    MachineLanguage machine;
    machine.InstallLanguage(L"0407");
    machine.DisplayLanguages({L"it-IT"});
    machine.UiLanguage(L"it-IT", 1040);

    struct Case
    {
        const wchar_t* wineVersion;
        const char* result;
        const wchar_t* line;
    } cases[] = {
        {L"win2k", "1031", L"MorvantoBootStrapper.OSLanguageID: Current OS is earlier than Vista"},
        {L"winxp", "1031", L"MorvantoBootStrapper.OSLanguageID: Current OS is earlier than Vista"},
        {L"win2003", "1031", L"MorvantoBootStrapper.OSLanguageID: Current OS is earlier than Vista"},
        {L"vista", "1040", L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later"},
        {L"win10", "1040", L"MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.wineVersion));
        ScopedWineVersion version(L"bsprobe.exe", c.wineVersion);
        platform_tests::ProbeResult probe = RunProbe(ProbePath(), L"OSLanguageID");
        EXPECT_EQ(probe.values["answer"], c.result);
        EXPECT_THAT(probe.log, Contains(c.line)) << DescribeMessages(probe.log);
        const bool vistaOrLater = std::string(c.result) == "1040";
        EXPECT_EQ(MessagesStartingWith(probe.log, kDesktopPrefix).empty(), !vistaOrLater);
        EXPECT_EQ(MessagesStartingWith(probe.log, L"SetupBootstrapper.QueryCurrentUser").empty(), !vistaOrLater);
    }
}
