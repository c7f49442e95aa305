#pragma once
// The decision sequence of a run, from the machine's language to the
// product's setup.

#include <windows.h>

// Nonzero when the setup process was started and has ended; 0 when the
// sequence stopped before it (or its start failed).
int LaunchExe(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
              const wchar_t* wzProductGUID, const wchar_t* wzIniFile);
