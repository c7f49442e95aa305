#pragma once
// What the prerequisite tests share: the process-wide values the stage
// reads, the download-and-run stand-in where the library search finds it,
// the shell's address recorder, and a call of the code under test on a
// thread of its own while the test drives its dialogs.

#include "prerequisites/PrereqCatalogue.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/Scenario.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace test
{
constexpr wchar_t kCaption[] = L"Zel Morvanto 9.5";
constexpr wchar_t kDotNetKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
constexpr wchar_t kMdacKey[] = L"Software\\Microsoft\\DataAccess";

// The four detection results in the stage's order: 1 present, 0 missing.
struct Present
{
    int windowsInstaller, dotNet, languagePack, mdac;
};

// Sets SelectedLanguageId, OsLanguage, the silent flag, the instance and the
// product caption; puts the earlier values back when it goes.
class ScopedRunValues
{
public:
    ScopedRunValues(const wchar_t* selectedLanguage, const wchar_t* osLanguage, bool silent = false);
    ~ScopedRunValues();

private:
    std::wstring m_selectedLanguage, m_osLanguage, m_caption;
    bool m_silent;
    HINSTANCE m_instance;
};

// A folder that LoadLibrary("downloadandrun.dll") searches next after the
// test program's own, holding the kit's stand-in, a variant, or nothing.
class LibraryFolder
{
public:
    enum class Content { Kit, WithoutEntryPoint, Nothing };
    explicit LibraryFolder(Content content = Content::Kit);
    ~LibraryFolder() { SetDllDirectoryW(nullptr); }
    // The stand-in's answers for a file name, one per call ("1603,0").
    void Answer(const std::string& fileName, const std::string& answers);
    // One entry per call, its fourteen fields.
    std::vector<std::vector<std::string>> Journal() const;

private:
    ScratchDir m_folder;
};


// The fourteen fields the library receives for a row.
std::vector<std::string> ExpectedCall(HWND window, const Prerequisite& row, int language, int kindNumber);

// A copy of argrecorder.exe registered as the program behind the shell's
// "open" of http addresses, for as long as the object lives.
class UrlRecorder
{
public:
    UrlRecorder();
    ~UrlRecorder();
    // The addresses opened so far, each as the shell passed it ("%1" quoted).
    std::vector<std::string> Received() const { return ReadLines(m_folder / L"browser-received.txt"); }

private:
    ScratchDir m_folder;
    std::wstring m_program;
    RegistrySandbox m_registry;
};

// Runs the code under test on a thread of its own, so that the test can
// drive the dialogs it shows. A test that stops early has the dialogs still
// open cancelled before the thread is joined.
class BackgroundCall
{
public:
    explicit BackgroundCall(std::function<int()> call)
        : m_thread([this, call] {
              m_result = call();
              m_done = true;
          })
    {
    }
    ~BackgroundCall();
    bool WaitDone(DWORD timeoutMs = 20000)
    {
        return WaitUntil([this] { return m_done.load(); }, timeoutMs);
    }
    int Result() const { return m_result; }

private:
    std::atomic<bool> m_done{false};
    std::atomic<int> m_result{-1};
    std::thread m_thread;
};

// The visible dialogs of this process.
std::vector<HWND> OwnDialogs();
// One of them with the control (the prerequisites dialog has its list, the
// failure dialog its text); null after the time-out.
inline HWND WaitForOwnDialogWith(int controlId)
{
    return WaitForDialogWith(GetCurrentProcessId(), controlId);
}
}  // namespace test
