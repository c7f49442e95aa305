#include "tests/support/Scenario.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

namespace test
{
namespace
{
constexpr wchar_t kSetupRecord[] = L"morvanto9-received.txt";
// Left in the build's kit by a demo run; a scenario starts without them.
constexpr wchar_t kLibraryJournal[] = L"downloadandrun-journal.txt";

void CopyFolderFiles(const std::wstring& from, const std::wstring& to)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(JoinPath(from, L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no kit at " << WideToUtf8(from);
    do
    {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::wstring name = found.cFileName;
        if (name == kSetupRecord || name == kLibraryJournal)
            continue;
        CopyFileOrFail(JoinPath(from, name), JoinPath(to, name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
}  // namespace

Scenario::Scenario(const std::wstring& name, const ScenarioOptions& options) : m_scratch(name)
{
    m_kitDir = m_scratch / L"kit";
    CreateDirectoryW(m_kitDir.c_str(), nullptr);
    CopyFolderFiles(test::KitDir(), m_kitDir);

    std::wstring temp = m_scratch / (!options.tempFolderName.empty() ? options.tempFolderName
                                     : options.tempWithSpaces        ? L"temp with spaces"
                                                                     : L"temp");
    CreateDirectoryW(temp.c_str(), nullptr);
    m_tempFolder = temp + L"\\";
}

Scenario::~Scenario() = default;

void Scenario::SetPrerequisitesPresent()
{
    m_registry.SetDword(HKEY_LOCAL_MACHINE, RegView::Wow32, L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727",
                        L"Install", 1);
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Wow32, L"Software\\Microsoft\\DataAccess", L"FullInstallVer",
                         L"2.81.1117.0");
}

void Scenario::EmulateWindows(const wchar_t* wineVersion)
{
    m_version.reset();
    m_version.reset(new ScopedWineVersion(L"SetupBootstrapper.exe", wineVersion));
}

std::unique_ptr<ChildProcess> Scenario::Start(const std::wstring& arguments, const std::wstring& currentDirectory)
{
    std::wstring commandLine = Quote(KitFile(L"SetupBootstrapper.exe"));
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::wstring temp = m_tempFolder.substr(0, m_tempFolder.size() - 1);
    EnvironmentOverrides environment{{L"TMP", temp}, {L"TEMP", temp}};
    return std::unique_ptr<ChildProcess>(
        new ChildProcess(commandLine, currentDirectory.empty() ? m_kitDir : currentDirectory, environment));
}

DWORD Scenario::Run(const std::wstring& arguments, const std::wstring& currentDirectory)
{
    std::unique_ptr<ChildProcess> child = Start(arguments, currentDirectory);
    if (!child->Started())
        return static_cast<DWORD>(-1);
    if (!child->WaitForExit(kRunTimeoutMs))
    {
        ADD_FAILURE() << "the bootstrapper did not end within " << kRunTimeoutMs << " ms; its log:\n"
                      << DescribeMessages(LogMessages());
        return STILL_ACTIVE;
    }
    return child->ExitCode();
}

bool Scenario::SetupWasStarted() const
{
    return FileExists(KitFile(kSetupRecord));
}

std::wstring Scenario::SetupCommandLine() const
{
    std::string bytes = ReadFileBytes(KitFile(kSetupRecord));
    if (bytes.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}
}  // namespace test

namespace test
{
HWND WaitForSetupWindow(DWORD timeoutMs)
{
    return WaitForAnyTopLevelWindow(kSetupStandInClass, nullptr, timeoutMs);
}

void CloseSetupWindow(HWND window)
{
    PostMessageW(window, WM_CLOSE, 0, 0);
}

std::vector<std::vector<std::string>> ReadLibraryJournal(const std::wstring& folder)
{
    std::vector<std::vector<std::string>> calls;
    for (const std::string& line : ReadLines(JoinPath(folder, kLibraryJournal)))
    {
        std::istringstream fields(line);
        calls.emplace_back();
        for (std::string field; std::getline(fields, field, '	');)
            calls.back().push_back(field);
    }
    return calls;
}
}  // namespace test
