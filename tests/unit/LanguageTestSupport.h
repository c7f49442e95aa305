#pragma once
// What the language tests share: the process-wide values a case sets, a
// catalogue file of its own, and the trace lines of the language modules.

#include "bootstrap/CommandLine.h"
#include "bootstrap/LaunchSequence.h"
#include "language/LanguageCatalogue.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/TestFiles.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace test
{
inline void SetText(wchar_t* buffer, const wchar_t* text)
{
    std::wmemset(buffer, L'\0', kCchText);
    std::wcsncpy(buffer, text, kCchText - 1);
}

// Sets the run's mode (with the /l value, or none), OsLanguage and
// SelectedLanguageId for one case and puts all three back afterwards.
class LanguageState
{
public:
    LanguageState(bool silent, const wchar_t* language, const wchar_t* osLanguage, const wchar_t* selected = L"")
    {
        std::memcpy(&m_mode, &InstallMode, sizeof(m_mode));
        std::memcpy(m_osLanguage, OsLanguage, sizeof(m_osLanguage));
        std::memcpy(m_selected, SelectedLanguageId, sizeof(m_selected));
        std::memset(&InstallMode, 0, sizeof(InstallMode));
        InstallMode.silent = silent;
        InstallMode.languageGiven = language != nullptr;
        SetText(InstallMode.language, language != nullptr ? language : L"");
        SetText(OsLanguage, osLanguage);
        SetText(SelectedLanguageId, selected);
    }
    ~LanguageState()
    {
        std::memcpy(&InstallMode, &m_mode, sizeof(m_mode));
        std::memcpy(OsLanguage, m_osLanguage, sizeof(m_osLanguage));
        std::memcpy(SelectedLanguageId, m_selected, sizeof(m_selected));
    }
    LanguageState(const LanguageState&) = delete;
    LanguageState& operator=(const LanguageState&) = delete;

private:
    InstallModeFlags m_mode;
    wchar_t m_osLanguage[kCchText];
    wchar_t m_selected[kCchText];
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

// The language modules' own lines, without those of the readers they call.
inline std::vector<std::wstring> LanguageLines(const std::vector<std::wstring>& messages)
{
    std::vector<std::wstring> lines;
    for (const auto& message : messages)
    {
        if (message.rfind(L"MorvantoBootStrapper.", 0) == 0)
            lines.push_back(message);
    }
    return lines;
}

constexpr wchar_t kThreeLanguages[] =
    L"[English]\r\nProductLanguage=1033\r\nCommand=-l1033 /vProductLanguage=1033\r\n"
    L"[German]\r\nProductLanguage=1031\r\nCommand=-l1031 /vProductLanguage=1031\r\n"
    L"[Italian]\r\nProductLanguage=1040\r\nCommand=-l1040 /vProductLanguage=1040\r\n";
}  // namespace test
