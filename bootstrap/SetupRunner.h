#pragma once
// The last step of a run: start the product's setup with the command line of
// the run's mode and wait until it has ended.

#include "support/Handles.h"
#include "support/RunState.h"

#include <windows.h>

enum class SetupForm
{
    Recording,  // "/r /f1<recordFile>": recording wins over silent
    Silent,     // "/s /f1<silentFile>"
    FullUi
};

SetupForm ChooseSetupForm(const InstallModeFlags& mode);

// Builds the setup command line of the chosen form: the setup file name, the
// mode switch and answer file, the language arguments and a "/v" argument
// asking the Windows Installer for a verbose log in tempFolder (which ends
// with a backslash). The quote that opens the "/v" argument is never closed:
// the setup passes the text behind "/v" on to the installer as it is.
// Returns false when the line does not fit in cchCommandLine characters
// (the buffer then holds a cut line that must not be run).
bool FormatSetupCommandLine(const InstallModeFlags& mode, const wchar_t* setupFileName,
                            const wchar_t* languageArgs, const wchar_t* tempFolder,
                            wchar_t* commandLine, size_t cchCommandLine);

// Starts wzFilename (a bare file name, found by the platform's search that
// begins in the bootstrapper's own folder) and waits for it however long it
// takes. Nonzero when the setup was started (and has ended); 0 when it could
// not be started, or was not, because its command line would not fit or no
// temporary folder was known. The setup's own exit code is not read.
int CreateMsiexecProcess(const wchar_t* wzFilename, const wchar_t* pwzLanguageArg);

// Starts a command line whose first token is a bare program name, the way
// the bootstrapper starts every child: no application name (the platform
// finds the program beside the bootstrapper, in the current directory, the
// system folders and the PATH, in that order), no inherited handles, our own
// environment and current directory. commandLine may be changed by the call.
// FALSE with the platform's error when it did not start; the holders are then
// empty.
BOOL StartChildProcess(wchar_t* commandLine, ProcessHandles* child);

// Waits for a child process a millisecond at a time, keeping the arrow
// cursor, without dispatching window messages: our own dialogs are closed by
// then. Returns at once for an empty handle.
void WaitForChildProcess(HANDLE process);
