#include "bootstrap/CommandLine.h"

#include <strsafe.h>

namespace
{
// More than five arguments, the program's own path included, is a faulty
// command line before any switch is looked at.
constexpr int kMaxArguments = 5;

enum class Switch
{
    None,
    Record,
    Silent,
    Language
};

// ASCII letters only: the switch names are plain ASCII, and a locale-aware
// comparison could make a non-ASCII letter match one of them.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b)
{
    for (;; ++a, ++b)
    {
        wchar_t ca = (*a >= L'A' && *a <= L'Z') ? static_cast<wchar_t>(*a - L'A' + L'a') : *a;
        wchar_t cb = (*b >= L'A' && *b <= L'Z') ? static_cast<wchar_t>(*b - L'A' + L'a') : *b;
        if (ca != cb)
            return false;
        if (ca == L'\0')
            return true;
    }
}

Switch ClassifyArgument(const wchar_t* argument)
{
    if (argument[0] != L'-' && argument[0] != L'/')
        return Switch::None;
    const wchar_t* name = argument + 1;
    if (EqualsIgnoringAsciiCase(name, L"r") || EqualsIgnoringAsciiCase(name, L"record"))
        return Switch::Record;
    if (EqualsIgnoringAsciiCase(name, L"s") || EqualsIgnoringAsciiCase(name, L"silent"))
        return Switch::Silent;
    if (EqualsIgnoringAsciiCase(name, L"l") || EqualsIgnoringAsciiCase(name, L"language"))
        return Switch::Language;
    return Switch::None;
}
}  // namespace

int ParseInstallMode(int argc, const wchar_t* const* argv, InstallModeFlags* mode)
{
    if (argc > kMaxArguments)
        return kExitFaultyCommandLine;

    mode->silent = false;
    mode->record = false;
    mode->languageGiven = false;

    for (int i = 1; i < argc; ++i)
    {
        bool* flag = nullptr;
        wchar_t* value = nullptr;
        switch (ClassifyArgument(argv[i]))
        {
        case Switch::Record:
            flag = &mode->record;
            value = mode->recordFile;
            break;
        case Switch::Silent:
            flag = &mode->silent;
            value = mode->silentFile;
            break;
        case Switch::Language:
            flag = &mode->languageGiven;
            value = mode->language;
            break;
        case Switch::None:
            continue;  // not a switch, or one we do not know: skipped silently
        }

        if (i + 1 >= argc)
            return kExitFaultyCommandLine;
        // A value that does not fit would reach the setup cut; refuse it
        // like any other faulty command line.
        if (FAILED(StringCchCopyW(value, kCchText, argv[i + 1])))
            return kExitFaultyCommandLine;
        *flag = true;
        ++i;  // the walk goes on behind the value
    }
    return 0;
}
