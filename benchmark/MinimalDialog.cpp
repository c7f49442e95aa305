// The reference of the full-UI figure: a program that shows one modal dialog
// from its resources (DialogBoxParamW, no owner, as the bootstrapper shows
// its language dialog) and ends when the dialog is closed. The template has
// the language dialog's size and controls. What the bootstrapper asks of the
// platform before and while its dialog shows is minimal_dialog_platform.exe's
// (MinimalDialogPlatform.cpp), with the same template.

#include <windows.h>

#include "benchmark/MinimalDialog.h"

namespace
{
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, DialogProc, 0);
    return 0;
}
