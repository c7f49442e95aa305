#pragma once
// The prerequisite stage of the launch sequence and its dialog (templates
// 1033 English, 1034 Italian, 1035 German).

#include "support/ProductIdentity.h"

#include <windows.h>

struct PrereqDialogParam
{
    wchar_t productCaption[kCchText];
    wchar_t dialogLanguage[kCchText];  // SelectedLanguageId: picks the template
    int windowsInstallerPresent;
    int dotNetPresent;
    int languagePackPresent;
    wchar_t osLanguage[kCchText];      // OsLanguage: picks the language pack
    int mdacPresent;
};

// List positions of the lines added to the dialog's list (for the log of
// the installation); 0 until the dialog fills its list.
extern int windowsInstallerListPosition;
extern int dotNetListPosition;
extern int languagePackListPosition;
extern int mdacListPosition;

// 1 when setup may go on (nothing missing, or everything missing installed),
// 0 when it may not.
int ShowPrereqDialog(HINSTANCE instance, const wchar_t* productCaption);

int CreatePrereqDialog(HINSTANCE instance, const wchar_t* productCaption, const wchar_t* dialogLanguage,
                       int windowsInstallerPresent, int dotNetPresent, int languagePackPresent,
                       const wchar_t* osLanguage, int mdacPresent);
void OnInitPrereqDialog(HWND dialog, PrereqDialogParam* param);
INT_PTR CALLBACK PrereqDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
