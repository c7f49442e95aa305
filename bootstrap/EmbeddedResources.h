#pragma once
// On Windows 2000 the bootstrapper carries Microsoft's XML parser (MSXML 3.0)
// as two "BIN" resources, writes them into "%TEMP%\Morvanto9Resources\" and
// registers the parser before the launch sequence runs.

#include "support/ProductIdentity.h"

#include <windows.h>

// The extraction folder, with a trailing backslash; empty on other systems.
extern wchar_t resourceFolder[kCchText];

// The preparation that WinMain runs on Windows 2000: extract both libraries
// and register msxml3.dll with regsvr32. Failures are logged; the run goes on.
void PrepareXmlParser();

// Writes the resource (of this executable) into path, overwriting it. true
// when the file was created and every byte written.
bool ExtractResToTemp(const wchar_t* resourceType, WORD resourceId, const wchar_t* path);

void DeleteResFile(const wchar_t* path);

// The clean-up: unregisters msxml3.dll and deletes both files and the
// folder. Does nothing but log on other systems than Windows 2000.
void DeleteResFromTemp();
