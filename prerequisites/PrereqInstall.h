#pragma once
// Installs the missing prerequisites in order (Windows Installer, .NET
// Framework, language pack, MDAC) through the external library
// downloadandrun.dll, stopping at the first that cannot be installed.

#include "prerequisites/PrereqCatalogue.h"

#include <windows.h>

// window: the prerequisites dialog, or null in a silent run. 1 when every
// needed installation succeeded (also when none was needed), else 0.
int InstallPrerequisites(HWND window, const wchar_t* productCaption, const wchar_t* dialogLanguage,
                         int windowsInstallerPresent, int dotNetPresent, int languagePackPresent,
                         const wchar_t* osLanguage, int mdacPresent);

// One prerequisite: loads the library, calls DownloadAndRunMain, offers the
// failure dialog after a failure and tries again on Retry. 1 when installed.
int DownloadAndRunApp(HWND window, const char* productCaption, int language, int listPosition, int kindNumber,
                      const char* downloadLocation, const char* fileName, const char* arguments,
                      const char* displayName);

// The export of downloadandrun.dll: fourteen 32-bit arguments, 0 = success.
using DownloadAndRunMainFn = int(WINAPI*)(HWND window, const char* downloadLocation, const char* fileName,
                                          int language, int reserved5, const char* arguments, int kindNumber,
                                          const char* reserved8, const char* productCaption,
                                          const char* displayName, int reserved11, int reserved12, int reserved13,
                                          int reserved14);
