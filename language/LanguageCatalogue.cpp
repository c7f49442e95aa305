#include "language/LanguageCatalogue.h"

#include "language/InstalledLanguage.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/RunState.h"
#include "support/Traced.h"

#include <cwchar>

#include <strsafe.h>

namespace
{
constexpr DWORD kCchSectionListStep = 1024;

// The profile function answers the capacity minus 2 when it had to cut the
// list; the list is then read again into a larger buffer. The buffer is
// zero-filled, so whatever was read ends with the empty name.
UniqueLocalMemory ReadSectionNames(const wchar_t* iniFile)
{
    for (DWORD cchList = kCchSectionListStep;; cchList += kCchSectionListStep)
    {
        UniqueLocalMemory list(LocalAlloc(LPTR, cchList * sizeof(wchar_t)));
        // The callers' catch-alls report it, as they would any other fault;
        // nothing is held at this point.
        if (!list)
            RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
        DWORD cchRead = GetPrivateProfileSectionNamesW(static_cast<wchar_t*>(list.get()), cchList, iniFile);
        if (cchRead != cchList - 2)
            return list;
    }
}

// The Command of the first section whose ProductLanguage is languageId.
bool FindCommand(const wchar_t* iniFile, const wchar_t* languageId, wchar_t* command)
{
    bool found = false;
    WalkCatalogueSections(iniFile, [&](const wchar_t* section) {
        wchar_t productLanguage[kCchText];
        ReadProductLanguage(iniFile, section, productLanguage);
        if (std::wcscmp(productLanguage, languageId) != 0)
            return true;
        ReadCommand(iniFile, section, command);
        found = true;
        return false;
    });
    return found;
}

// Looks languageId up into a buffer of its own and, when a section has it,
// writes the caller's line and overwrites args with the section's Command.
bool CopyLanguageArgs(const wchar_t* languageId, const wchar_t* iniFile, wchar_t* args, const char* foundFormat)
{
    wchar_t languageArgs[kCchText] = L"";
    if (!GetLangArgs(languageId, iniFile, languageArgs))
        return false;
    LogMessage(kLogInfo, foundFormat, languageArgs);
    StringCchCopyW(args, kCchText, languageArgs);
    return true;
}
}  // namespace

void WalkCatalogueSections(const wchar_t* iniFile, SectionVisitor visit, void* context)
{
    UniqueLocalMemory list = ReadSectionNames(iniFile);
    for (const wchar_t* name = static_cast<const wchar_t*>(list.get()); *name != L'\0'; name += std::wcslen(name) + 1)
    {
        size_t cchName = std::wcscspn(name, L"=");
        wchar_t section[kCchText];
        StringCchCopyNW(section, ARRAYSIZE(section), name, cchName);
        if (!visit(section, context))
            return;
    }
}

void ReadProductLanguage(const wchar_t* iniFile, const wchar_t* section, wchar_t* productLanguage)
{
    GetPrivateProfileStringW(section, L"ProductLanguage", L"", productLanguage, kCchText, iniFile);
}

void ReadCommand(const wchar_t* iniFile, const wchar_t* section, wchar_t* command)
{
    GetPrivateProfileStringW(section, L"Command", L"", command, kCchText, iniFile);
}

int GetLangArgs(const wchar_t* languageId, const wchar_t* iniFile, wchar_t* args)
{
    return RunTraced(
        "MorvantoBootStrapper.GetLangArgs >>", "MorvantoBootStrapper.GetLangArgs <<", kLogInfo,
        "MorvantoBootStrapper.GetLangArgs: exception caught, error returned:%d", [&] {
            LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangArgs: get language %s arguments from the %s ini file",
                       languageId, iniFile);
            wchar_t command[kCchText] = L"";
            bool found = FindCommand(iniFile, languageId, command);
            if (found)
            {
                StringCchCatW(args, kCchText, command);
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangArgs: language args to be used:%s", args);
            }
            else
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetLangArgs: language %s not found", languageId);
            }
            return found ? 1 : 0;
        });
}

int GetOSLanguageArgs(const wchar_t* iniFile, wchar_t* args)
{
    return RunTraced(
        "MorvantoBootStrapper.GetOSLanguageArgs >>", "MorvantoBootStrapper.GetOSLanguageArgs <<", kLogError,
        "MorvantoBootStrapper.GetOSLanguageArgs: exception caught, error returned:%d", [&] {
            int result = 1;
            if (!CopyLanguageArgs(OsLanguage, iniFile, args,
                                  "MorvantoBootStrapper.GetOSLanguageArgs: language args are:%s"))
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetOSLanguageArgs: failed to get OS language args, "
                                     "returning English language args");
                StringCchCopyW(args, kCchText, kEnglishLanguageArgs);
                result = 0;
            }
            return result;
        });
}

int GetLanguageArgs(const wchar_t* iniFile, wchar_t* args)
{
    return RunTraced(
        "MorvantoBootStrapper.GetLanguageArgs >>", "MorvantoBootStrapper.GetLanguageArgs <<", kLogInfo,
        "MorvantoBootStrapper.GetLanguageArgs: exception caught, error returned: %d", [&] {
            LogMessage(kLogInfo, "MorvantoBootStrapper.GetLanguageArgs: Checking if a silent mode default Language "
                                 "was specified");
            if (InstallMode.languageGiven)
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetLanguageArgs: silent mode default language is:%s",
                           InstallMode.language);
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetLanguageArgs: getting language args for language "
                                     "specified with /l param:");
                // Matched as typed: any identifier that a section carries works,
                // even one outside the five the OS detection folds onto.
                if (!CopyLanguageArgs(InstallMode.language, iniFile, args,
                                      "MorvantoBootStrapper.GetLanguageArgs: language args are:%s"))
                {
                    LogMessage(kLogInfo, "MorvantoBootStrapper.GetLanguageArgs: failed to determine language args for "
                                         "language specified with /l param, getting OS language args");
                    GetOSLanguageArgs(iniFile, args);
                }
            }
            else
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.GetLanguageArgs: no silent mode default language was "
                                     "specified, using OS language if valid");
                GetOSLanguageArgs(iniFile, args);
            }
            // The built-in English arguments always leave something to install with.
            return 1;
        });
}

int GetInstalledLanguageArgs(const wchar_t* iniFile, wchar_t* args)
{
    // An update keeps the installed product's language: neither the /l switch
    // nor the OS language counts here, and without a section for it the setup
    // gets no language arguments rather than the English ones.
    wchar_t languageId[kCchText] = L"";
    GetInstalledLangID(languageId);
    StringCchCopyW(SelectedLanguageId, ARRAYSIZE(SelectedLanguageId), languageId);

    // This operation writes no trace lines of its own and always lets the
    // update go on; running out of memory during the walk only costs the
    // language arguments.
    RunGuarded([&] {
        wchar_t command[kCchText] = L"";
        FindCommand(iniFile, languageId, command);
        StringCchCatW(args, kCchText, command);
    });
    return 1;
}
