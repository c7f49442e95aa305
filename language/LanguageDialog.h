#pragma once
// The language-selection dialog (template 101) of a first installation.

#include "support/ProductIdentity.h"

#include <windows.h>

struct LanguageDialogParam
{
    wchar_t Filename[kCchText];         // the setup executable; the dialog shows its icon
    wchar_t ProductName[kCchText];      // the dialog's caption
    wchar_t IniFile[kCchText];          // the catalogue
    wchar_t DefaultLanguage[kCchText];  // the identifier to preselect: OsLanguage
    wchar_t Command[kCchText];          // out: the chosen section's Command
};

// Nonzero to go on with pwzLanguageArg (1,024 characters) filled: from the
// dialog, or in a silent run from the catalogue without a dialog. 0 to stop:
// the user cancelled, or the dialog could not be shown.
int ShowSelectLanguageDialog(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
                             const wchar_t* wzIniFile, wchar_t* pwzLanguageArg);

// Runs the dialog; 1 when the user confirmed with OK (the Command is then
// appended to pwzLanguageArg), else 0.
int CreateSelectLanguageDialog(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
                               const wchar_t* wzIniFile, const wchar_t* defaultLanguage, wchar_t* pwzLanguageArg);

INT_PTR CALLBACK LanguageSelectionDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int OnInitDialog(HWND dialog, LanguageDialogParam* dlgParam);
int GetSelectedItemText(HWND dialog, wchar_t* text);
HICON GetFileIcon(const wchar_t* path);
