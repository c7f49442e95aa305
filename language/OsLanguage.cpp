#include "language/OsLanguage.h"

#include "platform/OsChecks.h"
#include "platform/Registry.h"
#include "support/DiagnosticLog.h"
#include "support/FaultGuard.h"
#include "support/ProductIdentity.h"

#include <cwchar>

#include <strsafe.h>

namespace
{
constexpr wchar_t kInstallLanguageKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kUiLanguagesKey[] = L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\";

// Every member stands between two semicolons, so that a probe ";<id>;" only
// matches a whole member: 103 and 10330 match nothing.
struct LanguageFamily
{
    const wchar_t* members;
    const char* line;
    const wchar_t* result;
};

const LanguageFamily kLanguageFamilies[] = {
    {L";1033;2057;3081;4105;5129;6153;7177;8201;9225;10249;11273;12297;13321;16393;",
     "SetupBootstrapper.GetSupportedLangID: this language is English, lang code to be used 1033", L"1033"},
    {L";1031;2055;3079;4103;5127;", "SetupBootstrapper.GetSupportedLangID: this language is German(1031)", L"1031"},
    {L";1040;2064;", "SetupBootstrapper.GetSupportedLangID: this language is Italian(1040)", L"1040"},
    // Traditional-sort Spanish (1034) folds onto modern sort (3082).
    {L";1034;2058;3082;4106;5130;6154;7178;8202;9226;10250;11274;12298;13322;14346;15370;16394;17418;18442;19466;"
     L"20490;58378;21514;",
     "SetupBootstrapper.GetSupportedLangID: this language is Spanish(3082)", L"3082"},
    {L";1049;2073;", "SetupBootstrapper.GetSupportedLangID: this language is Russian(1049)", L"1049"},
};

constexpr wchar_t kEnglish[] = L"1033";

void FormatLanguageId(DWORD value, wchar_t* languageId)
{
    // Cannot be cut: ten digits and a sign fit many times over.
    StringCchPrintfW(languageId, kCchText, L"%04d", static_cast<int>(value));
}
}  // namespace

DWORD HexLangIDToDecimal(DWORD value)
{
    DWORD result = 0;
    DWORD weight = 1;
    while (value != 0)
    {
        result += (value % 10) * weight;
        weight *= 16;
        value /= 10;
    }
    return result;
}

// No handler of its own: nothing in here raises an exception, and the launch
// sequence's guard would catch one that did.
const wchar_t* GetSupportedLangID(const wchar_t* languageId)
{
    LogMessage(kLogInfo, "SetupBootstrapper.GetSupportedLangID >>");
    LogMessage(kLogInfo, "SetupBootstrapper.GetSupportedLangID: called for language %s", languageId);

    // An identifier too long for the probe loses its closing semicolon and
    // then matches nothing, which is right for a text that long.
    wchar_t probe[kCchText];
    StringCchPrintfW(probe, ARRAYSIZE(probe), L";%s;", languageId);

    const wchar_t* supported = kEnglish;
    const LanguageFamily* match = nullptr;
    for (const LanguageFamily& family : kLanguageFamilies)
    {
        if (std::wcsstr(family.members, probe) != nullptr)
        {
            match = &family;
            break;
        }
    }
    if (match != nullptr)
    {
        LogMessage(kLogInfo, match->line);
        supported = match->result;
    }
    else
    {
        LogMessage(kLogInfo, "SetupBootstrapper.GetSupportedLangID: returning default language English (1033)");
    }
    LogMessage(kLogInfo, "SetupBootstrapper.GetSupportedLangID <<");
    return supported;
}

wchar_t* DetermineDesktopLanguage(wchar_t* languageId)
{
    LogMessage(kLogInfo, "SetupBootstrapper.DetermineDesktopLanguage >>");
    wchar_t* outcome = nullptr;
    const bool completed = RunGuarded(&outcome, [&]() -> wchar_t* {
        LogMessage(kLogInfo, "SetupBootstrapper.DetermineDesktopLanguage: called for langID:%s", languageId);

        // PreferredUILanguages is a multi-string list; read as one string it
        // is its first entry, the display language in use.
        wchar_t code[kCchText] = L"";
        if (!QueryCurrentUserStringValueFromRegistryEx(kDesktopKey, L"PreferredUILanguages", code))
        {
            LogMessage(
                kLogInfo,
                "SetupBootstrapper.DetermineDesktopLanguage: failed to retrieve the current desktop language code");
        }
        else
        {
            LogMessage(kLogInfo,
                       "SetupBootstrapper.DetermineDesktopLanguage: language code retrieved:%s, getting corresponding "
                       "language ID (deciaml format)",
                       code);

            // The reader delivers at most 511 characters, so the path always
            // fits; the constant already ends with its separator.
            wchar_t keyPath[kCchText];
            StringCchPrintfW(keyPath, ARRAYSIZE(keyPath), L"%s%s", kUiLanguagesKey, code);
            DWORD lcid = 0;
            if (!QueryDWORDValueFromRegistry(keyPath, L"LCID", &lcid))
            {
                LogMessage(kLogInfo, "SetupBootstrapper.DetermineDesktopLanguage: Failed to retrieve language ID");
            }
            else
            {
                FormatLanguageId(lcid, languageId);
                LogMessage(kLogInfo, "SetupBootstrapper.DetermineDesktopLanguage: language ID retrieved:%s",
                           languageId);
            }
        }

        LogMessage(kLogInfo, "SetupBootstrapper.DetermineDesktopLanguage <<");
        return languageId;
    });
    if (completed)
        return outcome;
    // As in the readers, no exit line follows the exception line; the
    // caller gets the buffer with whatever it holds by now.
    LogMessage(kLogError, "SetupBootstrapper.DetermineDesktopLanguage: exception caught, error returned:%d",
               static_cast<int>(GetLastError()));
    return languageId;
}

// No handler of its own: every failure here degrades to a language, and the
// launch sequence's guard would catch any exception.
const wchar_t* OSLanguageID()
{
    LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID >>");

    wchar_t installLanguage[kCchText] = L"";
    if (!QueryStringValueFromRegistry(kInstallLanguageKey, L"InstallLanguage", installLanguage))
    {
        LogMessage(kLogError,
                   "MorvantoBootStrapper.OSLanguageID: error while getting OS language ID, error returned:%d",
                   static_cast<int>(GetLastError()));
        return kEnglish;
    }

    // InstallLanguage holds hexadecimal digits ("0409"), parsed as decimal
    // and reinterpreted digit by digit: a letter digit (0C0A) cuts the text,
    // which is why a Spanish installation language folds onto English.
    const long parsed = std::wcstol(installLanguage, nullptr, 10);
    wchar_t languageId[kCchText];
    FormatLanguageId(HexLangIDToDecimal(static_cast<DWORD>(parsed)), languageId);
    LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID: OS Language ID is:%s", languageId);

    LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID: Determining Desktop language if OS is Vista or later");
    if (IsVistaOrLater())
    {
        LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID: Current OS is Vista or later");
        DetermineDesktopLanguage(languageId);
    }
    else
    {
        LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID: Current OS is earlier than Vista");
    }

    const wchar_t* supported = GetSupportedLangID(languageId);
    LogMessage(kLogInfo,
               "MorvantoBootStrapper.OSLanguageID: OS Language after convertion to a known language ID is:%s",
               supported);
    LogMessage(kLogInfo, "MorvantoBootStrapper.OSLanguageID <<");
    return supported;
}
