#pragma once
// What the language tests share: the process-wide values a case sets and a
// catalogue file of its own.

#include "support/RunState.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/TestFiles.h"

#include <string>

namespace test
{
// Sets the run's mode (with the /l value, or none), OsLanguage and
// SelectedLanguageId for one case, and empties them again afterwards, as they
// are when the process starts.
class LanguageState
{
public:
    LanguageState(bool silent, const wchar_t* language, const wchar_t* osLanguage, const wchar_t* selected = L"");
    ~LanguageState()
    {
        InstallMode = {};
        OsLanguage[0] = L'\0';
        SelectedLanguageId[0] = L'\0';
    }
    LanguageState(const LanguageState&) = delete;
    LanguageState& operator=(const LanguageState&) = delete;
};

// languages.ini (UTF-16) in a scratch folder of its own.
class CatalogueFile
{
public:
    explicit CatalogueFile(const std::wstring& text) : m_dir(L"catalogue") { WriteUtf16File(Path(), text); }
    std::wstring Path() const { return m_dir / L"languages.ini"; }
    std::wstring MissingPath() const { return m_dir / L"none.ini"; }

private:
    ScratchDir m_dir;
};

constexpr wchar_t kThreeLanguages[] =
    L"[English]\r\nProductLanguage=1033\r\nCommand=-l1033 /vProductLanguage=1033\r\n"
    L"[German]\r\nProductLanguage=1031\r\nCommand=-l1031 /vProductLanguage=1031\r\n"
    L"[Italian]\r\nProductLanguage=1040\r\nCommand=-l1040 /vProductLanguage=1040\r\n";
constexpr wchar_t kEnglishArgs[] = L"-l1033 /vProductLanguage=1033";
constexpr wchar_t kGermanArgs[] = L"-l1031 /vProductLanguage=1031";
}  // namespace test
