#pragma once
// What the prerequisite tests share: the process-wide values the stage
// reads, a folder with the download-and-run stand-in that the platform's
// library search finds, the shell's address recorder, and a call of the code
// under test on a thread of its own while the test drives its dialogs.

#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace test
{
constexpr wchar_t kCaption[] = L"Zel Morvanto 9.5";

// Sets the process-wide values that the prerequisite stage reads, and puts
// the earlier ones back when it goes.
class ScopedRunValues
{
public:
    ScopedRunValues(const wchar_t* selectedLanguage, const wchar_t* osLanguage, bool silent = false);
    ~ScopedRunValues();
    ScopedRunValues(const ScopedRunValues&) = delete;
    ScopedRunValues& operator=(const ScopedRunValues&) = delete;

private:
    std::wstring m_selectedLanguage;
    std::wstring m_osLanguage;
    bool m_silent;
    HINSTANCE m_instance;
    std::wstring m_caption;
};

// A folder that LoadLibrary("downloadandrun.dll") searches (SetDllDirectory),
// holding the kit's stand-in, a variant of it, or nothing at all.
class LibraryFolder
{
public:
    enum class Content
    {
        Kit,
        WithoutEntryPoint,
        Nothing
    };
    explicit LibraryFolder(Content content = Content::Kit);
    ~LibraryFolder();
    LibraryFolder(const LibraryFolder&) = delete;
    LibraryFolder& operator=(const LibraryFolder&) = delete;

    const std::wstring& Path() const { return m_folder.Path(); }
    // The stand-in's [Answers] section.
    void Answer(const std::string& fileName, const std::string& answers);
    bool JournalExists() const;
    // One entry per call, its fourteen fields.
    std::vector<std::vector<std::string>> Journal() const;
    // The file names (field 3) of the calls, in order.
    std::vector<std::string> CalledFiles() const;

private:
    ScratchDir m_folder;
};

// Fields a journal line holds for a catalogue row as the library receives it.
std::vector<std::string> ExpectedCall(HWND window, const char* downloadLocation, const char* fileName, int language,
                                      const char* arguments, int kindNumber, const char* displayName);
std::string WindowField(HWND window);

// Registers a copy of argrecorder.exe as the program behind the shell's
// "open" of http addresses; the registration goes with the object.
class UrlRecorder
{
public:
    UrlRecorder();
    ~UrlRecorder();
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;
    const std::wstring& Program() const { return m_program; }
    // The addresses opened so far, each as the shell passed it ("%1" quoted).
    std::vector<std::string> Received() const;

private:
    ScratchDir m_folder;
    std::wstring m_program;
    RegistrySandbox m_registry;
};

// Lines of a UTF-8 text file, CR LF or LF ended.
std::vector<std::string> ReadLines(const std::wstring& path);

// Runs a call of the code under test on a thread of its own, so that the
// test thread can find and drive the dialogs it shows. If the test leaves
// early, dialogs still open in this process are cancelled before the thread
// is joined.
class BackgroundCall
{
public:
    explicit BackgroundCall(std::function<int()> call);
    ~BackgroundCall();
    BackgroundCall(const BackgroundCall&) = delete;
    BackgroundCall& operator=(const BackgroundCall&) = delete;

    bool WaitDone(DWORD timeoutMs = 20000);
    bool Done() const { return m_done; }
    int Result() const { return m_result; }

private:
    std::atomic<bool> m_done{false};
    std::atomic<int> m_result{-1};
    std::thread m_thread;
};

// A visible dialog of this process that has the control; null after the
// time-out. The prerequisites dialog has its list (1016), the failure dialog
// its text (1024).
HWND WaitForOwnDialogWith(int controlId, DWORD timeoutMs = 20000);
HWND FindOwnDialogWith(int controlId);
}  // namespace test
