#pragma once
// The decision sequence of a run, from the machine's language to the
// product's setup.

#include "support/ProductIdentity.h"

#include <windows.h>

// The language of this run, one of the five supported identifiers; set once
// at the start of LaunchExe and read by the language and prerequisite steps.
extern wchar_t OsLanguage[kCchText];

// Nonzero when the setup process was started and has ended; 0 when the
// sequence stopped before it (or its start failed).
int LaunchExe(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
              const wchar_t* wzProductGUID, const wchar_t* wzIniFile);
