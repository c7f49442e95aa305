#pragma once
// What the language tests share: the process-wide values they set, a
// catalogue file of their own, and the log lines of the language modules.

#include "bootstrap/CommandLine.h"
#include "bootstrap/LaunchSequence.h"
#include "language/LanguageCatalogue.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace test
{
// Puts InstallMode, OsLanguage and SelectedLanguageId back as they were.
class LanguageStateGuard
{
public:
    LanguageStateGuard()
    {
        std::memcpy(&m_mode, &InstallMode, sizeof(m_mode));
        std::memcpy(m_osLanguage, OsLanguage, sizeof(m_osLanguage));
        std::memcpy(m_selected, SelectedLanguageId, sizeof(m_selected));
    }
    ~LanguageStateGuard()
    {
        std::memcpy(&InstallMode, &m_mode, sizeof(m_mode));
        std::memcpy(OsLanguage, m_osLanguage, sizeof(m_osLanguage));
        std::memcpy(SelectedLanguageId, m_selected, sizeof(m_selected));
    }
    LanguageStateGuard(const LanguageStateGuard&) = delete;
    LanguageStateGuard& operator=(const LanguageStateGuard&) = delete;

private:
    InstallModeFlags m_mode;
    wchar_t m_osLanguage[kCchText];
    wchar_t m_selected[kCchText];
};

inline void SetText(wchar_t* buffer, const std::wstring& text)
{
    ASSERT_LT(text.size(), kCchText);
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
}

// A run's mode: silent or not, with the /l value when one is given.
inline void SetMode(bool silent, const wchar_t* language)
{
    std::memset(&InstallMode, 0, sizeof(InstallMode));
    InstallMode.silent = silent;
    InstallMode.languageGiven = language != nullptr;
    if (language != nullptr)
        SetText(InstallMode.language, language);
}

// languages.ini (UTF-16) in a scratch folder of its own.
class CatalogueFile
{
public:
    explicit CatalogueFile(const std::wstring& text) : m_dir(L"catalogue")
    {
        WriteUtf16File(Path(), text);
    }
    std::wstring Path() const { return m_dir / L"languages.ini"; }
    // Where no catalogue is.
    std::wstring MissingPath() const { return m_dir / L"none.ini"; }

private:
    ScratchDir m_dir;
};

// The lines of the language modules (the readers they call write under
// other owners).
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

inline bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    for (const auto& l : lines)
    {
        if (l == line)
            return true;
    }
    return false;
}

// bsprobe's "name=value" lines, whatever line ends the console gave them.
inline std::string ProbeOutput(const std::string& output)
{
    std::string lines;
    for (char c : output)
    {
        if (c != '\r')
            lines.push_back(c);
    }
    return lines;
}

constexpr wchar_t kThreeLanguages[] =
    L"[English]\r\nProductLanguage=1033\r\nCommand=-l1033 /vProductLanguage=1033\r\n"
    L"[German]\r\nProductLanguage=1031\r\nCommand=-l1031 /vProductLanguage=1031\r\n"
    L"[Italian]\r\nProductLanguage=1040\r\nCommand=-l1040 /vProductLanguage=1040\r\n";
}  // namespace test
