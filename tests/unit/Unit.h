#pragma once
// What the unit tests share beyond tests/harness.

#include "support/DiagnosticLog.h"
#include "tests/harness/Harness.h"

#include <algorithm>
#include <cstdio>

namespace unit
{
// A scratch folder that TMP and TEMP name; the diagnostic log starts anew in it.
class TempFolder : public harness::Scratch
{
public:
    explicit TempFolder(const std::wstring& name = L"temp") : Scratch(name) { Point(Path()); }
    static void Point(const std::wstring& folder)
    {
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
        ForgetDiagnosticLogPath();
    }
    std::vector<std::wstring> Log() const { return harness::LogMessages(Path()); }
};

// Where the product's lines go in tests that do not read them, not the machine's temporary folder.
inline const TempFolder programTemp(L"temp " + std::to_wstring(GetCurrentProcessId()));

// Wine reads HKCU\Software\Wine\AppDefaults\<program name> (Windows version, DLL overrides) when a
// process starts: what must differ there runs in a copy of this program under this name.
constexpr wchar_t kCopyName[] = L"unit-copy.exe";

inline bool InCopy() { return GetEnvironmentVariableW(L"BS_UNIT_COPY", nullptr, 0) != 0; }

// The copy reports into a file: its "[  PASSED  ]" must not pass for this program's, which may yet crash.
inline const bool copyReportsToFile = InCopy() && std::freopen("report.txt", "w", stdout) != nullptr;

// Runs one suite's tests in the copy; answers its report.
inline std::string RunInCopy(const std::wstring& suite)
{
    harness::Scratch folder(L"copy");
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring copy = harness::Join(folder.Path(), kCopyName);
    if (!CopyFileW(self, copy.c_str(), FALSE))
        return "cannot copy the program";
    const std::wstring line = L"\"" + copy + L"\" --gtest_filter=" + suite + L".*";
    harness::Child(line, folder.Path(), {{L"BS_UNIT_COPY", L"1"}}).Wait(120000);
    return harness::ReadBytes(harness::Join(folder.Path(), L"report.txt"));
}
}  // namespace unit
