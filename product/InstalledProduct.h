#pragma once
// Whether the product is installed, and whether this kit would install an
// older version over it. Both read the Windows Installer uninstall entry of
// the product code (the 32-bit registry view on 64-bit Windows); the kit's
// version is the ProductVersion of the setup executable's version resource.
// Every failure answers FALSE, so the run goes on.

#include <windows.h>

BOOL IsProductInstalled(const wchar_t* productCode);

// setupFile: a bare file name is found by the platform's search for
// loadable modules, which starts in the bootstrapper's own folder.
BOOL IsDowngrade(const wchar_t* productCode, const wchar_t* setupFile);

// Ordinal comparison of two version texts, code unit by code unit; the
// longer text is greater when one is a prefix of the other. Negative, 0 or
// positive. "10.0" is less than "9.5": versions are not split into numbers.
int CompareVersionTexts(const wchar_t* installed, const wchar_t* kit);
