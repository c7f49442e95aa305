#pragma once
// The prerequisite failure dialog (templates 116 English, 1039 Italian, 1038
// German): Retry, or Exit Setup with the download location opened.

#include "support/ProductIdentity.h"

#include <windows.h>

struct ErrorDialogParam
{
    wchar_t productCaption[kCchText];
    wchar_t dialogLanguage[kCchText];
    wchar_t prerequisiteName[kCchText];
    char downloadLocation[kCchText];
    char fileName[kCchText];
};

// 1 when the user chose Retry, else 0. The dialog's language is
// SelectedLanguageId.
int ShowErrorDialog(HINSTANCE instance, const wchar_t* productCaption, const wchar_t* prerequisiteName,
                    const char* downloadLocation, const char* fileName);
int CreateErrorDialog(HINSTANCE instance, const wchar_t* productCaption, const wchar_t* dialogLanguage,
                      const wchar_t* prerequisiteName, const char* downloadLocation, const char* fileName);
int OnInitErrorDialog(HWND dialog, ErrorDialogParam* param);
INT_PTR CALLBACK ErrorDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Asks the shell to open an address. Always 0.
int OpenWebPage(const char* url);
