#include "tests/unit/PrereqTestSupport.h"

#include "support/RunState.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WindowDriver.h"

#include <gtest/gtest.h>

#include <sstream>

#include <strsafe.h>

namespace test
{
ScopedRunValues::ScopedRunValues(const wchar_t* selectedLanguage, const wchar_t* osLanguage, bool silent)
    : m_selectedLanguage(SelectedLanguageId),
      m_osLanguage(OsLanguage),
      m_caption(productCaption),
      m_silent(InstallMode.silent),
      m_instance(instanceHandle)
{
    StringCchCopyW(SelectedLanguageId, ARRAYSIZE(SelectedLanguageId), selectedLanguage);
    StringCchCopyW(OsLanguage, ARRAYSIZE(OsLanguage), osLanguage);
    InstallMode.silent = silent;
    // The test program carries the bootstrapper's resources.
    instanceHandle = GetModuleHandleW(nullptr);
    StringCchCopyW(productCaption, ARRAYSIZE(productCaption), kCaption);
}

ScopedRunValues::~ScopedRunValues()
{
    StringCchCopyW(SelectedLanguageId, ARRAYSIZE(SelectedLanguageId), m_selectedLanguage.c_str());
    StringCchCopyW(OsLanguage, ARRAYSIZE(OsLanguage), m_osLanguage.c_str());
    InstallMode.silent = m_silent;
    instanceHandle = m_instance;
    StringCchCopyW(productCaption, ARRAYSIZE(productCaption), m_caption.c_str());
}

LibraryFolder::LibraryFolder(Content content) : m_folder(L"downloadandrun")
{
    const std::wstring target = m_folder / L"downloadandrun.dll";
    if (content == Content::Kit)
        CopyFileOrFail(JoinPath(KitDir(), L"downloadandrun.dll"), target);
    else if (content == Content::WithoutEntryPoint)
        CopyFileOrFail(StandinVariant(L"downloadandrun-without-entry-point", L"downloadandrun.dll"), target);
    // The test program's own folder comes first in the search and holds no
    // downloadandrun.dll; this folder comes next.
    EXPECT_TRUE(SetDllDirectoryW(m_folder.Path().c_str()));
}

void LibraryFolder::Answer(const std::string& fileName, const std::string& answers)
{
    std::string path = WideToUtf8(m_folder / L"downloadandrun-control.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("Answers", fileName.c_str(), answers.c_str(), path.c_str()));
}

std::vector<std::vector<std::string>> LibraryFolder::Journal() const
{
    return ReadLibraryJournal(m_folder.Path());
}

std::vector<std::string> ExpectedCall(HWND window, const Prerequisite& row, int language, int kindNumber)
{
    return {std::to_string(static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window))), row.downloadLocation,
            row.fileName, std::to_string(language), "0", row.arguments, std::to_string(kindNumber), "",
            WideToUtf8(kCaption), row.displayName, "0", "0", "0", "0"};
}

UrlRecorder::UrlRecorder() : m_folder(L"browser"), m_program(m_folder / L"browser.exe")
{
    CopyFileOrFail(JoinPath(JoinPath(TestBinDir(), L"tools"), L"argrecorder.exe"), m_program);
    // Wine 8.0 takes the protocol's command from the machine's classes only,
    // and the 64-bit test program reads the native view.
    m_registry.SetString(HKEY_LOCAL_MACHINE, RegView::Native, L"Software\\Classes\\http\\shell\\open\\command", L"",
                         L"\"" + m_program + L"\" \"%1\"");
}

UrlRecorder::~UrlRecorder()
{
    // The recorder may still be ending after it wrote its line; its folder
    // can go only once the program file is free.
    WaitUntil([this] { return DeleteFileW(m_program.c_str()) || !FileExists(m_program); }, 10000);
}


BackgroundCall::~BackgroundCall()
{
    // A test that stopped early leaves its dialogs open: cancel them until
    // the call returns.
    WaitUntil(
        [this] {
            for (HWND window : OwnDialogs())
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return m_done.load();
        },
        20000);
    m_thread.join();
}

std::vector<HWND> OwnDialogs()
{
    std::vector<HWND> dialogs;
    for (HWND window : TopLevelWindowsOf(GetCurrentProcessId()))
    {
        if (IsWindowVisible(window) && ClassNameOf(window) == L"#32770")
            dialogs.push_back(window);
    }
    return dialogs;
}

}  // namespace test
