#include "prerequisites/ErrorDialog.h"

#include "language/LanguageCatalogue.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/TemplateText.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"

#include <shellapi.h>

#include <strsafe.h>

namespace
{
// The block of the dialog that is open, from its WM_INITDIALOG on.
ErrorDialogParam* errorDlgParam = nullptr;

void CopyWide(wchar_t* target, size_t cchTarget, const wchar_t* text)
{
    StringCchCopyW(target, cchTarget, text != nullptr ? text : L"");
}

void CopyNarrow(char* target, size_t cbTarget, const char* text)
{
    StringCchCopyA(target, cbTarget, text != nullptr ? text : "");
}
}  // namespace

int ErrorDialogTemplate(int language)
{
    switch (language)
    {
    case 1031:
        return IDD_ERROR_GERMAN;
    case 1040:
        return IDD_ERROR_ITALIAN;
    default:
        return IDD_ERROR_ENGLISH;
    }
}

int ShowErrorDialog(HINSTANCE instance, const wchar_t* productCaption, const wchar_t* prerequisiteName,
                    const char* downloadLocation, const char* fileName)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.ShowErrorDialog >>");
    try
    {
        int result = CreateErrorDialog(instance, productCaption, SelectedLanguageId, prerequisiteName,
                                       downloadLocation, fileName);
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowErrorDialog <<");
        return result;
    }
    catch (...)
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowErrorDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}

int CreateErrorDialog(HINSTANCE instance, const wchar_t* productCaption, const wchar_t* dialogLanguage,
                      const wchar_t* prerequisiteName, const char* downloadLocation, const char* fileName)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.CreateErrorDialog >>");
    try
    {
        ErrorDialogParam param;
        CopyWide(param.productCaption, ARRAYSIZE(param.productCaption), productCaption);
        CopyWide(param.dialogLanguage, ARRAYSIZE(param.dialogLanguage), dialogLanguage);
        CopyWide(param.prerequisiteName, ARRAYSIZE(param.prerequisiteName), prerequisiteName);
        CopyNarrow(param.downloadLocation, ARRAYSIZE(param.downloadLocation), downloadLocation);
        CopyNarrow(param.fileName, ARRAYSIZE(param.fileName), fileName);

        int templateId = ErrorDialogTemplate(LanguageNumber(param.dialogLanguage));
        if (templateId == IDD_ERROR_GERMAN)
            LogMessage(kLogInfo, L"SetupBootstrapper.CreateErrorDialog: Showing error dialog in German");
        else if (templateId == IDD_ERROR_ITALIAN)
            LogMessage(kLogInfo, L"SetupBootstrapper.CreateErrorDialog: Showing error dialog in Italian");
        else
            LogMessage(kLogInfo, L"SetupBootstrapper.CreateErrorDialog: Showing error dialog in English");

        // No owner: the dialog stands beside the prerequisites dialog as a
        // window of its own.
        INT_PTR code = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), nullptr, ErrorDialogCallback,
                                       reinterpret_cast<LPARAM>(&param));
        errorDlgParam = nullptr;
        if (code == -1)
            LogMessage(kLogError,
                       L"SetupBootstrapper.CreateErrorDialog: failed to create the dialog, error returned: %d",
                       static_cast<int>(GetLastError()));
        LogMessage(kLogInfo, L"SetupBootstrapper.CreateErrorDialog <<");
        return code == 1 ? 1 : 0;
    }
    catch (...)
    {
        errorDlgParam = nullptr;
        LogMessage(kLogError, L"SetupBootstrapper.CreateErrorDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}

int OnInitErrorDialog(HWND dialog, ErrorDialogParam* param)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.OnInitErrorDialog >>");
    try
    {
        SetWindowTextW(dialog, param->productCaption);

        wchar_t szText[kCchText] = L"";
        wchar_t szResText[kCchText] = L"";
        GetDlgItemTextW(dialog, IDC_ERROR_TEXT, szText, ARRAYSIZE(szText));
        FillTemplateText(szText, param->prerequisiteName, szResText, ARRAYSIZE(szResText));
        SetDlgItemTextW(dialog, IDC_ERROR_TEXT, szResText);

        CheckDlgButton(dialog, IDC_ERROR_OPEN_LOCATION, BST_CHECKED);
        LogMessage(kLogInfo, L"SetupBootstrapper.OnInitErrorDialog <<");
        return 1;
    }
    catch (...)
    {
        LogMessage(kLogError, L"SetupBootstrapper.OnInitErrorDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
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
                       L"SetupBootstrapper.ErrorDialogCallback: Determining the download prerequisite checkbox state");
            bool openLocation = IsDlgButtonChecked(dialog, IDC_ERROR_OPEN_LOCATION) == BST_CHECKED;
            EndDialog(dialog, 2);
            if (openLocation && errorDlgParam != nullptr)
            {
                // A backslash joins the two, as the download pages expect.
                char szUrl[kCchText] = "";
                StringCchPrintfA(szUrl, ARRAYSIZE(szUrl), "%s\\%s", errorDlgParam->downloadLocation,
                                 errorDlgParam->fileName);
                LogMessage(kLogInfo,
                           L"SetupBootstrapper.ErrorDialogCallback: Checkbox is checked - downloading prerequisite "
                           L"directly from the prerquisite site before aborting setup process");
                OpenWebPage(szUrl);
            }
            else
            {
                LogMessage(kLogInfo,
                           L"SetupBootstrapper.ErrorDialogCallback: Checkbox is unchecked - simply aborting setup "
                           L"process");
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
    LogMessage(kLogInfo, L"SetupBootstrapper.OpenWebPage:: >>");
    try
    {
        const char* address = url != nullptr ? url : "";
        wchar_t wzUrl[kCchText];
        CatalogueTextToWide(address, wzUrl, ARRAYSIZE(wzUrl));

        HINSTANCE answer = ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
        if (reinterpret_cast<INT_PTR>(answer) > 32)
            LogMessage(kLogInfo, L"SetupBootstrapper.OpenWebPage:: web page %s succesfully opened", wzUrl);
        else
            LogMessage(kLogError, L"SetupBootstrapper.OpenWebPage:: Failed to open web page %s", wzUrl);
        LogMessage(kLogInfo, L"SetupBootstrapper.OpenWebPage:: <<");
        return 0;
    }
    catch (...)
    {
        LogMessage(kLogError, L"SetupBootstrapper.OpenWebPage:: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}
