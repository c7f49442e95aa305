#include "prerequisites/PrereqDialog.h"

#include "bootstrap/CommandLine.h"
#include "bootstrap/LaunchSequence.h"
#include "language/LanguageCatalogue.h"
#include "platform/Handles.h"
#include "platform/OsChecks.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqInstall.h"
#include "prerequisites/TemplateText.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"

#include <strsafe.h>

int windowsInstallerListPosition = 0;
int dotNetListPosition = 0;
int languagePackListPosition = 0;
int mdacListPosition = 0;

namespace
{
struct GdiObjectTraits
{
    using Type = HGDIOBJ;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

// What one open prerequisites dialog holds besides its block. It lives in
// CreatePrereqDialog, so the font and the brush go when the dialog has gone,
// whichever way it ended.
struct PrereqDialogSession
{
    UniqueGdiObject headingFont;
    UniqueGdiObject hollowBrush;
    // Set while the installation runs inside Next: the library and the
    // failure dialog run message loops of their own, through which a second
    // Next, a Cancel or a close command could otherwise re-enter.
    bool installing = false;
};

// The block and the session of the dialog that is open, from WM_INITDIALOG on.
PrereqDialogParam* prereqDlgParam = nullptr;
PrereqDialogSession* prereqDialogSession = nullptr;

void CopyWide(wchar_t* target, size_t cchTarget, const wchar_t* text)
{
    StringCchCopyW(target, cchTarget, text != nullptr ? text : L"");
}

void FillControlText(HWND dialog, int controlId, const wchar_t* value)
{
    wchar_t szText[kCchText] = L"";
    wchar_t szResText[kCchText] = L"";
    GetDlgItemTextW(dialog, controlId, szText, ARRAYSIZE(szText));
    FillTemplateText(szText, value, szResText, ARRAYSIZE(szResText));
    SetDlgItemTextW(dialog, controlId, szResText);
}

// Appends a row's display name to the list; answers its position.
int AddListLine(HWND list, const Prerequisite& row)
{
    wchar_t line[kCchText];
    CatalogueTextToWide(row.displayName, line, ARRAYSIZE(line));
    return static_cast<int>(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)));
}

// The heading stands apart from the dialog's text in a bold variant of the
// dialog's own font, so it follows whatever font the template resolves to.
void SetHeadingFont(HWND dialog)
{
    if (prereqDialogSession == nullptr)
        return;
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW logFont;
    if (dialogFont == nullptr || GetObjectW(dialogFont, sizeof(logFont), &logFont) == 0)
        return;
    logFont.lfWeight = FW_BOLD;
    prereqDialogSession->headingFont.reset(CreateFontIndirectW(&logFont));
    if (prereqDialogSession->headingFont)
        SendDlgItemMessageW(dialog, IDC_PREREQ_HEADING, WM_SETFONT,
                            reinterpret_cast<WPARAM>(prereqDialogSession->headingFont.get()), TRUE);
}

void AddLanguagePackLine(HWND list, const PrereqDialogParam* param)
{
    int osLanguage = LanguageNumber(param->osLanguage);
    bool x64 = IsOS64() != FALSE;
    const Prerequisite* row = LanguagePackRow(osLanguage, x64);
    if (row != nullptr)
    {
        if (osLanguage == 1031)
            LogMessage(kLogInfo, x64 ? L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack "
                                       L"1031 added to prerequistes list"
                                     : L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack "
                                       L"1031 added to prerequistes list");
        else
            LogMessage(kLogInfo, x64 ? L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack "
                                       L"1040 added to prerequistes list"
                                     : L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack "
                                       L"1040 added to prerequistes list");
        languagePackListPosition = AddListLine(list, *row);
    }
    else if (osLanguage == 1033)
    {
        LogMessage(kLogInfo, x64 ? L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x64 Language Pack not "
                                   L"added to prerequistes list - it is an English OS"
                                 : L"SetupBootstrapper.OnInitPrereqDialog: .NET Framework 2.0 x86 Language Pack not "
                                   L"added tp prerequistes list - it is an English OS");
    }
    else
    {
        LogMessage(kLogInfo, x64 ? L"SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework 2.0 x64 Language "
                                   L"Pack not added tp prerequistes list - it is an English OS"
                                 : L"SetupBootstrapper.OnInitPrereqDialog: (Default) .NET Framework 2.0 x86 Language "
                                   L"Pack not added tp prerequistes list - it is an English OS");
    }
}

void DisableButtons(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
}

INT_PTR OnNext(HWND dialog)
{
    const PrereqDialogParam* param = prereqDlgParam;
    if (prereqDialogSession != nullptr)
        prereqDialogSession->installing = true;
    // The dialog ends after the installation, whatever its outcome: the
    // buttons stay disabled until then.
    DisableButtons(dialog);
    int installed = 0;
    if (param != nullptr)
        installed = InstallPrerequisites(dialog, param->productCaption, param->dialogLanguage,
                                         param->windowsInstallerPresent, param->dotNetPresent,
                                         param->languagePackPresent, param->osLanguage, param->mdacPresent);
    if (prereqDialogSession != nullptr)
        prereqDialogSession->installing = false;
    if (installed)
    {
        EndDialog(dialog, 1);
        return TRUE;
    }
    EndDialog(dialog, 2);
    return FALSE;
}

bool Installing()
{
    return prereqDialogSession != nullptr && prereqDialogSession->installing;
}
}  // namespace

int PrereqDialogTemplate(int language)
{
    switch (language)
    {
    case 1031:
        return IDD_PREREQ_GERMAN;
    case 1040:
        return IDD_PREREQ_ITALIAN;
    default:
        return IDD_PREREQ_ENGLISH;
    }
}

int ShowPrereqDialog(HINSTANCE instance, const wchar_t* caption)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog >>");
    try
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: Determine missing prerequisites");
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: Checking if Windows Installer 3.1 is installed");
        int windowsInstallerPresent = IsWIInstalled();
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 is installed");
        int dotNetPresent = IsDotNet2Installed();
        LogMessage(kLogInfo,
                   L"SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 Language Pack is installed");
        int languagePackPresent = IsDotNet2LPInstalled(OsLanguage);
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: Checking if MDAC 2.8 is installed");
        int mdacPresent = IsMDAC28Installed();

        LogMessage(kLogInfo,
                   L"SetupBootstrapper.ShowPrereqDialog: determining if the prerequisites dialog should be displayed "
                   L"or not");
        int result = 0;
        if (windowsInstallerPresent && dotNetPresent && languagePackPresent && mdacPresent)
        {
            LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: Prerequisites dialog not displayed because no "
                                 L"missing prerequisite was found");
            result = 1;
        }
        else if (InstallMode.silent)
        {
            // Unattended: no list to confirm, no window for the library, and
            // the library speaks English.
            LogMessage(kLogInfo,
                       L"SetupBootstrapper.ShowPrereqDialog: One prerequisite is missing and it cannot be installed "
                       L"since the installation is performed in silent mode - installaing prerequisites silently");
            result = InstallPrerequisites(nullptr, caption, L"1033", windowsInstallerPresent, dotNetPresent,
                                          languagePackPresent, OsLanguage, mdacPresent);
        }
        else
        {
            LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: At least one missing prerequisite was found, "
                                 L"showing Prerequisites dialog");
            result = CreatePrereqDialog(instance, caption, SelectedLanguageId, windowsInstallerPresent, dotNetPresent,
                                        languagePackPresent, OsLanguage, mdacPresent);
        }
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog <<");
        return result;
    }
    catch (...)
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.ShowPrereqDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}

int CreatePrereqDialog(HINSTANCE instance, const wchar_t* caption, const wchar_t* dialogLanguage,
                       int windowsInstallerPresent, int dotNetPresent, int languagePackPresent,
                       const wchar_t* osLanguage, int mdacPresent)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrereqDialog >>");
    try
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrereqDialog: called fro languageID:%s",
                   dialogLanguage != nullptr ? dialogLanguage : L"");

        PrereqDialogParam param;
        CopyWide(param.productCaption, ARRAYSIZE(param.productCaption), caption);
        CopyWide(param.dialogLanguage, ARRAYSIZE(param.dialogLanguage), dialogLanguage);
        param.windowsInstallerPresent = windowsInstallerPresent;
        param.dotNetPresent = dotNetPresent;
        param.languagePackPresent = languagePackPresent;
        CopyWide(param.osLanguage, ARRAYSIZE(param.osLanguage), osLanguage);
        param.mdacPresent = mdacPresent;

        int templateId = PrereqDialogTemplate(LanguageNumber(param.dialogLanguage));
        if (templateId == IDD_PREREQ_GERMAN)
            LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrereqDialog: Showing prerequisites dialog in German");
        else if (templateId == IDD_PREREQ_ITALIAN)
            LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrereqDialog: Showing prerequisites dialog in Italian");
        else
            LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrerqDialog: Showing prerequisites dialog in English");

        PrereqDialogSession session;
        prereqDialogSession = &session;
        INT_PTR code = DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), nullptr, PrereqDialogCallback,
                                       reinterpret_cast<LPARAM>(&param));
        prereqDialogSession = nullptr;
        prereqDlgParam = nullptr;
        if (code == -1)
            LogMessage(kLogError,
                       L"SetupBootstrapper.CreatePrereqDialog: failed to create the dialog, error returned: %d",
                       static_cast<int>(GetLastError()));
        LogMessage(kLogInfo, L"SetupBootstrapper.CreatePrereqDialog <<");
        return code == 1 ? 1 : 0;
    }
    catch (...)
    {
        prereqDialogSession = nullptr;
        prereqDlgParam = nullptr;
        LogMessage(kLogError, L"SetupBootstrapper.CreatePrereqDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
        return 0;
    }
}

void OnInitPrereqDialog(HWND dialog, PrereqDialogParam* param)
{
    LogMessage(kLogInfo, L"SetupBootstrapper.OnInitPrereqDialog >>");
    try
    {
        SetWindowTextW(dialog, param->productCaption);
        SetHeadingFont(dialog);
        FillControlText(dialog, IDC_PREREQ_MISSING, param->productCaption);
        FillControlText(dialog, IDC_PREREQ_WILL_INSTALL, param->productCaption);

        LogMessage(kLogInfo, L"SetupBootstrapper.OnInitPrereqDialog: adding missing prerequisites to listbox");
        HWND list = GetDlgItem(dialog, IDC_PREREQ_LIST);
        if (!param->windowsInstallerPresent)
        {
            LogMessage(kLogInfo,
                       L"SetupBootstrapper.OnInitPrereqDialog: Adding Windows Installer 3.0 to prerequistes list");
            windowsInstallerListPosition = AddListLine(list, kWindowsInstaller31);
        }
        if (!param->dotNetPresent)
        {
            const Prerequisite& row = DotNetRow(IsOS64() != FALSE);
            LogMessage(kLogInfo,
                       L"SetupBootstrapper.OnInitPrereqDialog: Adding .NET Framework 2.0 to prerequistes list");
            dotNetListPosition = AddListLine(list, row);
        }
        if (!param->languagePackPresent)
            AddLanguagePackLine(list, param);
        if (!param->mdacPresent)
        {
            LogMessage(kLogInfo, L"SetupBootstrapper.OnInitPrereqDialog: Adding MDAC 2.8 to prerequistes list");
            mdacListPosition = AddListLine(list, kMdac28);
        }
    }
    catch (...)
    {
        LogMessage(kLogError, L"SetupBootstrapper.OnInitPrereqDialog: exception caught, error returned: %d",
                   static_cast<int>(GetLastError()));
    }
}

INT_PTR CALLBACK PrereqDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.PrereqDialogCallback: WM_INITDIALOG");
        prereqDlgParam = reinterpret_cast<PrereqDialogParam*>(lParam);
        if (prereqDialogSession != nullptr)
        {
            // One brush for the whole life of the dialog, answered to every
            // WM_CTLCOLORSTATIC.
            LOGBRUSH logBrush = {BS_HOLLOW, 0, 0};
            prereqDialogSession->hollowBrush.reset(CreateBrushIndirect(&logBrush));
        }
        if (prereqDlgParam != nullptr)
            OnInitPrereqDialog(dialog, prereqDlgParam);
        SetForegroundWindow(dialog);
        return TRUE;
    }

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:  // Next
            if (Installing())
                return TRUE;
            return OnNext(dialog);
        case IDCANCEL:  // Cancel, also Escape
            if (Installing())
                return TRUE;
            EndDialog(dialog, 2);
            return FALSE;
        default:
            LogMessage(kLogInfo, L"SetupBootstrapper.PrereqDialogCallback <<");
            return FALSE;
        }

    case WM_SYSCOMMAND:
        if ((wParam & 0xFFFF) == SC_CLOSE || (wParam & 0xFFFF) == SC_DEFAULT)
        {
            // Answered as handled while installing, so that the default close
            // does not turn it into a Cancel either.
            if (Installing())
            {
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            EndDialog(dialog, 2);
            return FALSE;
        }
        LogMessage(kLogInfo, L"SetupBootstrapper.PrereqDialogCallback <<");
        return FALSE;

    case WM_CTLCOLORSTATIC:
    {
        LogMessage(kLogInfo, L"SetupBootstrapper.PrereqDialogCallback: WM_CTCOLORSTATIC");
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        if (prereqDialogSession == nullptr || !prereqDialogSession->hollowBrush)
            return FALSE;
        return reinterpret_cast<INT_PTR>(prereqDialogSession->hollowBrush.get());
    }

    default:
        LogMessage(kLogInfo, L"SetupBootstrapper.PrereqDialogCallback: unknown message");
        return FALSE;
    }
}
