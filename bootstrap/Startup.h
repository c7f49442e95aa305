#pragma once
// The body of WinMain: the product's constants, the single-instance check,
// the command line, the Windows 2000 parser preparation and the launch
// sequence. Returns the process exit code:
//   0      a full run, whatever the launch sequence decided; also a second
//          instance, whether or not it found the first one's window
//   87     a faulty command line (see ParseInstallMode)
//   other  the command line could not be split: the low 16 bits of the
//          platform's error code, or 16389 when that code is 0

#include <windows.h>

#include <cstddef>

class SingleInstanceGuard;

int RunSetupBootstrapper(HINSTANCE instance, const SingleInstanceGuard& guard);

// Builds "<current directory>\languages.ini". The catalogue is looked for in
// the process's current directory, not beside the executable. A directory
// that cannot be read, or whose path would not fit, gives an empty path:
// the catalogue then reads as missing and the run goes on.
void BuildCataloguePath(wchar_t* wzIniFile, size_t cchIniFile);
