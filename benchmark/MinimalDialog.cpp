// The reference of the full-UI figure: a program that shows one modal dialog
// from its resources (DialogBoxParamW, no owner, as the bootstrapper shows
// its language dialog) and ends when the dialog is closed. The template has
// the language dialog's size and controls.
//
// Built twice. minimal_dialog.exe is just that. minimal_dialog_platform.exe
// (MINIMAL_DIALOG_PLATFORM) also pays what the product's own definition asks
// of the platform before its dialog shows: the manifest's version-6 common
// controls (loaded and initialised) and the setup's icon from the shell as
// the window icon. The difference between the two is the platform's; the
// difference between the bootstrapper and the second is ours.

#include <windows.h>
#if MINIMAL_DIALOG_PLATFORM
#include <commctrl.h>
#include <shellapi.h>
#endif

#include "benchmark/MinimalDialog.h"

namespace
{
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
#if MINIMAL_DIALOG_PLATFORM
    {
        SHFILEINFOW info = {};
        if (SHGetFileInfoW(L"morvanto9.exe", 0, &info, sizeof(info), SHGFI_ICON) != 0)
        {
            SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(info.hIcon));
            SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(info.hIcon));
        }
    }
#endif
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
#if MINIMAL_DIALOG_PLATFORM
    InitCommonControls();
#endif
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, DialogProc, 0);
    return 0;
}
