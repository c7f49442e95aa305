#include "tests/unit/LanguageTestSupport.h"

#include <strsafe.h>

namespace test
{
LanguageState::LanguageState(bool silent, const wchar_t* language, const wchar_t* osLanguage, const wchar_t* selected)
{
    InstallMode = {};
    InstallMode.silent = silent;
    InstallMode.languageGiven = language != nullptr;
    StringCchCopyW(InstallMode.language, ARRAYSIZE(InstallMode.language), language != nullptr ? language : L"");
    StringCchCopyW(OsLanguage, ARRAYSIZE(OsLanguage), osLanguage);
    StringCchCopyW(SelectedLanguageId, ARRAYSIZE(SelectedLanguageId), selected);
}
}  // namespace test
