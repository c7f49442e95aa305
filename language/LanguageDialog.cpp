#include "language/LanguageDialog.h"

#include "language/LanguageCatalogue.h"
#include "platform/CommonControls.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"
#include "support/RunState.h"
#include "support/Traced.h"

#include <shellapi.h>

#include <cwchar>

#include <strsafe.h>

namespace
{
constexpr INT_PTR kDialogOk = 1;
constexpr INT_PTR kDialogCancel = 2;

// Only one language dialog exists at a time. The block is kept from
// WM_INITDIALOG until the dialog has ended; the icon, which the window does
// not destroy itself, is released by the one who ran the dialog.
LanguageDialogParam* g_dialogParam = nullptr;
HICON g_dialogIcon = nullptr;

void CopyOrEmpty(wchar_t* field, const wchar_t* value)
{
    StringCchCopyW(field, kCchText, value != nullptr ? value : L"");
}

void OnOk(HWND dialog)
{
    LogMessage(kLogInfo, "MorvantoBootStrapper.LanguageSelectionDialogCallback: OK button pressed");
    if (g_dialogParam == nullptr)
        return;

    // An empty list leaves the name empty: both keys are then read from a
    // section without a name, which gives empty arguments and no language.
    wchar_t section[kCchText] = L"";
    GetSelectedItemText(dialog, section);

    LogMessage(kLogInfo,
               "MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language command line");
    ReadCommand(g_dialogParam->IniFile, section, g_dialogParam->Command);
    LogMessage(kLogInfo,
               "MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language command line is :%s",
               g_dialogParam->Command);

    LogMessage(kLogInfo, "MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language ID");
    ReadProductLanguage(g_dialogParam->IniFile, section, SelectedLanguageId);
    LogMessage(kLogInfo, "MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language ID is:%s",
               SelectedLanguageId);
}
}  // namespace

int ShowSelectLanguageDialog(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
                             const wchar_t* wzIniFile, wchar_t* pwzLanguageArg)
{
    return RunTraced(
        "MorvantoBootStrapper.ShowSelectLanguageDialog >>", nullptr, kLogError,
        "MorvantoBootStrapper.ShowSelectLanguageDialog: exception caught, error returned: %d", [&]() -> int {
            if (InstallMode.silent)
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.LaunchExe: this is a silent installation, not showing "
                                     "language selection dialog");
                // The catalogue's answer always leaves arguments to install with
                // (the built-in English ones at worst), so a silent run goes on.
                GetLanguageArgs(wzIniFile, pwzLanguageArg);
                return 1;
            }

            pwzLanguageArg[0] = L'\0';
            int result = CreateSelectLanguageDialog(instance, wzFilename, wzProductName, wzIniFile, OsLanguage,
                                                    pwzLanguageArg);
            if (result != 0)
                LogMessage(kLogInfo, "MorvantoBootStrapper.ShowSelectLanguageDialog: dialog succesfully displayed");
            else
                LogMessage(kLogInfo, "MorvantoBootStrapper.ShowSelectLanguageDialog: error while displaying dialog");
            LogMessage(kLogInfo, "MorvantoBootStrapper.ShowSelectLanguageDialog <<");
            return result;
        });
}

int CreateSelectLanguageDialog(HINSTANCE instance, const wchar_t* wzFilename, const wchar_t* wzProductName,
                               const wchar_t* wzIniFile, const wchar_t* defaultLanguage, wchar_t* pwzLanguageArg)
{
    LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog >>");
    int outcome = 0;
    const bool completed = RunGuarded(&outcome, [&]() -> int {
        LanguageDialogParam dlgParam = {};
        CopyOrEmpty(dlgParam.Filename, wzFilename);
        CopyOrEmpty(dlgParam.ProductName, wzProductName);
        CopyOrEmpty(dlgParam.IniFile, wzIniFile);
        CopyOrEmpty(dlgParam.DefaultLanguage, defaultLanguage);

        LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog: Creating dialog");
        EnsureCommonControls();
        INT_PTR ended = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SELECT_LANGUAGE), nullptr,
                                        LanguageSelectionDialogCallback, reinterpret_cast<LPARAM>(&dlgParam));
        g_dialogParam = nullptr;
        if (g_dialogIcon != nullptr)
        {
            DestroyIcon(g_dialogIcon);
            g_dialogIcon = nullptr;
        }

        if (ended == kDialogOk)
        {
            StringCchCatW(pwzLanguageArg, kCchText, dlgParam.Command);
            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog: Dialog succesfully created");
            LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog <<");
            return 1;
        }
        return 0;
    });
    if (completed && outcome != 0)
        return outcome;
    if (!completed)
        LogMessage(kLogError, "MorvantoBootStrapper.CreateSelectLanguageDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
    // Cancel, the close box, and a dialog that could not be created.
    LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog");
    LogMessage(kLogInfo, "MorvantoBootStrapper.CreateSelectLanguageDialog <<");
    return 0;
}

INT_PTR CALLBACK LanguageSelectionDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR outcome = 0;
    const bool completed = RunGuarded(&outcome, [&]() -> INT_PTR {
        switch (message)
        {
        case WM_INITDIALOG:
            LogMessage(kLogInfo,
                       "MorvantoBootStrapper.LanguageSelectionDialogCallback: Initializing language selection dialog");
            g_dialogParam = reinterpret_cast<LanguageDialogParam*>(lParam);
            OnInitDialog(dialog, g_dialogParam);
            SetForegroundWindow(dialog);
            // The dialog manager then puts the focus on the first tab stop: OK.
            return TRUE;

        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK)
            {
                OnOk(dialog);
                EndDialog(dialog, kDialogOk);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL)
            {
                LogMessage(kLogInfo, "MorvantoBootStrapper.LanguageSelectionDialogCallback: Cancel button pressed");
                EndDialog(dialog, kDialogCancel);
                return FALSE;
            }
            return FALSE;

        case WM_SYSCOMMAND:
            // The close box, Alt+F4 and the system-menu icon stop the
            // installation like Cancel. The message is left unhandled.
            if (LOWORD(wParam) == SC_CLOSE || LOWORD(wParam) == SC_DEFAULT)
                EndDialog(dialog, kDialogCancel);
            return FALSE;

        default:
            return FALSE;
        }
    });
    if (completed)
        return outcome;
    LogMessage(kLogInfo,
               "MorvantoBootStrapper.LanguageSelectionDialogCallback : exception caught, error returned %d",
               static_cast<int>(GetLastError()));
    return FALSE;
}

int OnInitDialog(HWND dialog, LanguageDialogParam* dlgParam)
{
    return RunTraced(
        "MorvantoBootStrapper.OnInitDialog >>", nullptr, kLogError,
        "MorvantoBootStrapper.OnInitDialog: exception caugth, error returned : %d", [&]() -> int {
            LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: Setting dialog caption and icon");
            SetWindowTextW(dialog, dlgParam->ProductName);

            // One handle serves both sizes; without one (no such file) the window
            // keeps no icon of its own.
            HICON icon = GetFileIcon(dlgParam->Filename);
            if (g_dialogIcon != nullptr)
                DestroyIcon(g_dialogIcon);
            g_dialogIcon = icon;
            SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

            LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: Add languages to combo");
            HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
            bool found = false;
            WalkCatalogueSections(dlgParam->IniFile, [&](const wchar_t* section) {
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(section));
                LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: language %s added to combo", section);

                wchar_t productLanguage[kCchText];
                ReadProductLanguage(dlgParam->IniFile, section, productLanguage);
                LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: Checking if it should be the default "
                                     "language");
                if (std::wcscmp(productLanguage, dlgParam->DefaultLanguage) == 0)
                {
                    LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: this is the default language, "
                                         "selecting it.");
                    // The list's own search: the first entry that begins with the
                    // name, without regard to case. Each match selects again, so
                    // the last section carrying the language decides.
                    SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(section));
                    found = true;
                }
                return true;
            });

            if (!found)
            {
                // The catalogue lists English first.
                LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog: Default language %s was not found in "
                                     "languages list, setting default language to English(1033)",
                           dlgParam->DefaultLanguage);
                SendMessageW(combo, CB_SETCURSEL, 0, 0);
            }
            // The Down-arrow key drops the list down; F4 does not.
            SendMessageW(combo, CB_SETEXTENDEDUI, TRUE, 0);

            LogMessage(kLogInfo, "MorvantoBootStrapper.OnInitDialog <<");
            return 1;
        });
}

int GetSelectedItemText(HWND dialog, wchar_t* text)
{
    return RunTraced(
        "MorvantoBootStrapper.GetSelectedItemText >>", "MorvantoBootStrapper.GetSelectedItemText <<", kLogError,
        "MorvantoBootStrapper.GetSelectedItemText: exception caugth, error returned %d", [&] {
            HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
            LRESULT selection = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            // The entries are section names cut to fit kCchText; the length check
            // keeps the copy bounded all the same.
            if (selection != CB_ERR && SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selection), 0) <
                                           static_cast<LRESULT>(kCchText))
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(text));
            return 1;
        });
}

HICON GetFileIcon(const wchar_t* path)
{
    return RunTraced(
        "MorvantoBootStrapper.GetFileIcon >>", nullptr, kLogError,
        "MorvantoBootStrapper.GetFileIcon: exception caught, error returned: %d", [&]() -> HICON {
            // The shell resolves a bare file name against the current directory.
            // A file it knows nothing about gives no information and so no icon.
            SHFILEINFOW info = {};
            HICON icon = nullptr;
            if (SHGetFileInfoW(path, 0, &info, sizeof(info), SHGFI_ICON) != 0)
                icon = info.hIcon;
            LogMessage(kLogInfo, "MorvantoBootStrapper.GetFileIcon <<");
            return icon;
        });
}
