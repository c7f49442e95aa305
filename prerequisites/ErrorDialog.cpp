#include "prerequisites/ErrorDialog.h"

#include "prerequisites/ModalDialog.h"
#include "prerequisites/PrereqCatalogue.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"
#include "support/RunState.h"
#include "support/Traced.h"

#include <shellapi.h>

#include <strsafe.h>

namespace
{
// The block of the dialog that is open, from its WM_INITDIALOG on.
ErrorDialogParam* errorDlgParam = nullptr;

const LocalizedTemplates kErrorTemplates = {
    {IDD_ERROR_GERMAN, "SetupBootstrapper.CreateErrorDialog: Showing error dialog in German"},
    {IDD_ERROR_ITALIAN, "SetupBootstrapper.CreateErrorDialog: Showing error dialog in Italian"},
    {IDD_ERROR_ENGLISH, "SetupBootstrapper.CreateErrorDialog: Showing error dialog in English"},
};

// Forgets the block when the dialog has gone, whichever way it ended.
struct ErrorDialogScope
{
    ~ErrorDialogScope() { errorDlgParam = nullptr; }
};
}  // namespace

int ShowErrorDialog(HINSTANCE instance, const wchar_t* caption, const wchar_t* prerequisiteName,
                    const char* downloadLocation, const char* fileName)
{
    return RunTraced("SetupBootstrapper.ShowErrorDialog >>", "SetupBootstrapper.ShowErrorDialog <<", kLogInfo,
                     "SetupBootstrapper.ShowErrorDialog: exception caught, error returned: %d", [&] {
                         return CreateErrorDialog(instance, caption, SelectedLanguageId, prerequisiteName,
                                                  downloadLocation, fileName);
                     });
}

int CreateErrorDialog(HINSTANCE instance, const wchar_t* caption, const wchar_t* dialogLanguage,
                      const wchar_t* prerequisiteName, const char* downloadLocation, const char* fileName)
{
    return RunTraced(
        "SetupBootstrapper.CreateErrorDialog >>", "SetupBootstrapper.CreateErrorDialog <<", kLogError,
        "SetupBootstrapper.CreateErrorDialog: exception caught, error returned: %d", [&] {
            ErrorDialogParam param;
            CopyText(param.productCaption, ARRAYSIZE(param.productCaption), caption);
            CopyText(param.dialogLanguage, ARRAYSIZE(param.dialogLanguage), dialogLanguage);
            CopyText(param.prerequisiteName, ARRAYSIZE(param.prerequisiteName), prerequisiteName);
            CopyText(param.downloadLocation, ARRAYSIZE(param.downloadLocation), downloadLocation);
            CopyText(param.fileName, ARRAYSIZE(param.fileName), fileName);
            int templateId = ChooseTemplate(param.dialogLanguage, kErrorTemplates);

            // No owner: the dialog stands beside the prerequisites dialog as
            // a window of its own.
            ErrorDialogScope scope;
            return RunModalDialog(instance, templateId, ErrorDialogCallback, &param,
                                  "SetupBootstrapper.CreateErrorDialog: failed to create the dialog, error returned: "
                                  "%d");
        });
}

int OnInitErrorDialog(HWND dialog, ErrorDialogParam* param)
{
    return RunTraced("SetupBootstrapper.OnInitErrorDialog >>", "SetupBootstrapper.OnInitErrorDialog <<", kLogError,
                     "SetupBootstrapper.OnInitErrorDialog: exception caught, error returned: %d", [&] {
                         SetWindowTextW(dialog, param->productCaption);
                         FillControlText(dialog, IDC_ERROR_TEXT, param->prerequisiteName);
                         CheckDlgButton(dialog, IDC_ERROR_OPEN_LOCATION, BST_CHECKED);
                         return 1;
                     });
}

INT_PTR CALLBACK ErrorDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        errorDlgParam = reinterpret_cast<ErrorDialogParam*>(lParam);
        OnInitErrorDialog(dialog, errorDlgParam);
        SetForegroundWindow(dialog);
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:  // Retry
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:  // Exit Setup, also Escape
        {
            LogMessage(kLogInfo,
                       "SetupBootstrapper.ErrorDialogCallback: Determining the download prerequisite checkbox state");
            bool openLocation = IsDlgButtonChecked(dialog, IDC_ERROR_OPEN_LOCATION) == BST_CHECKED;
            EndDialog(dialog, 2);
            if (openLocation && errorDlgParam != nullptr)
            {
                // A backslash joins the two, as the download pages expect.
                char szUrl[kCchText] = "";
                StringCchPrintfA(szUrl, ARRAYSIZE(szUrl), "%s\\%s", errorDlgParam->downloadLocation,
                                 errorDlgParam->fileName);
                LogMessage(kLogInfo,
                           "SetupBootstrapper.ErrorDialogCallback: Checkbox is checked - downloading prerequisite "
                           "directly from the prerquisite site before aborting setup process");
                OpenWebPage(szUrl);
            }
            else
            {
                LogMessage(kLogInfo,
                           "SetupBootstrapper.ErrorDialogCallback: Checkbox is unchecked - simply aborting setup "
                           "process");
            }
            return FALSE;
        }
        default:
            return FALSE;
        }

    case WM_SYSCOMMAND:
        // The close command leaves without asking the check box. The default
        // handling that follows posts a Cancel, which the ended dialog never
        // receives, so no page is opened either.
        if ((wParam & 0xFFFF) == SC_CLOSE || (wParam & 0xFFFF) == SC_DEFAULT)
            EndDialog(dialog, 2);
        return FALSE;

    default:
        return FALSE;
    }
}

int OpenWebPage(const char* url)
{
    return RunTraced("SetupBootstrapper.OpenWebPage:: >>", "SetupBootstrapper.OpenWebPage:: <<", kLogError,
                     "SetupBootstrapper.OpenWebPage:: exception caught, error returned: %d", [url] {
                         const char* address = url != nullptr ? url : "";
                         wchar_t wzUrl[kCchText];
                         CatalogueTextToWide(address, wzUrl, ARRAYSIZE(wzUrl));

                         HINSTANCE answer = ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
                         if (reinterpret_cast<INT_PTR>(answer) > 32)
                             LogMessage(kLogInfo, "SetupBootstrapper.OpenWebPage:: web page %s succesfully opened",
                                        wzUrl);
                         else
                             LogMessage(kLogError, "SetupBootstrapper.OpenWebPage:: Failed to open web page %s",
                                        wzUrl);
                         return 0;
                     });
}
