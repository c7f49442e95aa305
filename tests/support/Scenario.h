#pragma once
// One end-to-end run of the bootstrapper, in a folder of its own:
//
//   <scratch>\<name>-...\kit\    a copy of the x64 kit (the bootstrapper, the
//                                stand-ins, languages.ini) plus the scenario's files
//   <scratch>\<name>-...\temp\   the child's TMP and TEMP: its diagnostic log
//                                and the installer-log path are its own
//
// Registry state set through Registry() and Wine version settings are undone
// when the scenario ends; a bootstrapper still running then is ended too.

#include "tests/support/ChildProcess.h"
#include "tests/support/DiagnosticLogReader.h"
#include "tests/support/RegistrySandbox.h"
#include "tests/support/TestFiles.h"
#include "tests/support/WindowDriver.h"

#include <memory>
#include <string>
#include <vector>

namespace test
{
constexpr DWORD kRunTimeoutMs = 60000;

struct ScenarioOptions
{
    // A temporary folder whose path holds spaces ("...\temp with spaces\").
    bool tempWithSpaces = false;
    // Another name for the temporary folder (non-ASCII, say); wins over
    // tempWithSpaces.
    std::wstring tempFolderName;
};

class Scenario
{
public:
    explicit Scenario(const std::wstring& name, const ScenarioOptions& options = {});
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    const std::wstring& Root() const { return m_scratch.Path(); }
    const std::wstring& KitDir() const { return m_kitDir; }
    // With its trailing backslash, as GetTempPathW gives it to the child.
    const std::wstring& TempFolder() const { return m_tempFolder; }
    std::wstring KitFile(const std::wstring& name) const { return JoinPath(m_kitDir, name); }

    RegistrySandbox& Registry() { return m_registry; }
    // .NET Framework 2.0 and MDAC 2.8 registered (the other prerequisites
    // are built into the Windows that Wine emulates by default, or need no
    // language pack on an English system): the run skips the prerequisites
    // dialog.
    void SetPrerequisitesPresent();
    // Makes this scenario's bootstrapper see another Windows version.
    void EmulateWindows(const wchar_t* wineVersion);

    // Starts "<kit>\SetupBootstrapper.exe <arguments>" in the kit folder (or
    // in currentDirectory) with the scenario's temporary folder.
    std::unique_ptr<ChildProcess> Start(const std::wstring& arguments, const std::wstring& currentDirectory = {});
    // Starts and waits for the end; answers the exit code.
    DWORD Run(const std::wstring& arguments, const std::wstring& currentDirectory = {});

    std::wstring LogPath() const { return DiagnosticLogIn(m_tempFolder); }
    DiagnosticLogContents Log() const { return ReadDiagnosticLog(LogPath()); }
    std::vector<std::wstring> LogMessages() const { return Log().messages; }

    // The command line the setup stand-in recorded; empty when it never ran.
    bool SetupWasStarted() const;
    std::wstring SetupCommandLine() const;

private:
    ScratchDir m_scratch;
    std::wstring m_kitDir;
    std::wstring m_tempFolder;
    RegistrySandbox m_registry;
    std::unique_ptr<ScopedWineVersion> m_version;
};
}  // namespace test

namespace test
{
// The window the setup stand-in shows in a full-UI run, while it keeps the
// bootstrapper waiting.
constexpr wchar_t kSetupStandInClass[] = L"Morvanto9StandIn";
HWND WaitForSetupWindow(DWORD timeoutMs = kWindowTimeoutMs);
// Closes it as a person would, which ends the stand-in with 0.
void CloseSetupWindow(HWND window);

// The bootstrapper's dialogs all bear the product's caption; each is told
// apart by a control only it has (see WaitForDialogWith).
constexpr int kLanguageListId = 1005;     // the language-selection dialog
constexpr int kPrerequisiteListId = 1016; // the prerequisites dialog
constexpr int kOpenLocationBoxId = 1025;  // the prerequisite failure dialog

// The calls the download-and-run stand-in in folder journaled, each split
// into its fourteen fields.
std::vector<std::vector<std::string>> ReadLibraryJournal(const std::wstring& folder);
}  // namespace test
