#pragma once
// The installed product's language, read from its settings file
// "crmiini.xml" in the folder that "SOFTWARE\Zel\DRVS9" "Path" names.

#include <windows.h>

// Fills languageId (1,024 characters) with the id of the first Language
// element below the settings file's root, or with "1033" when that cannot be
// read for any reason. Always returns 0.
int GetInstalledLangID(wchar_t* languageId);

// Reads the product's folder (output: at least 512 characters).
BOOL GetInstalledAppPath(wchar_t* appPath);

// Reads the settings file through the MSXML 4.0 DOM. Status values:
//    0  read; languageId holds the id
//   -1  no Language element below the root (languageId untouched), or an
//       exception other than a COM error ("1033")
//   -2  a COM error raised by a DOM call ("1033")
//   -3  COM could not be initialised (languageId untouched)
//   -4  the document could not be created ("1033")
//   -5  the document could not be loaded ("1033")
//   -6  the first Language item is not an element ("1033")
//   -7  the first Language element has no id attribute ("1033")
//   -8  its id has 1,024 characters or more ("1033")
LONG GetLangIdFromCrmi(const wchar_t* crmiPath, wchar_t* languageId);
