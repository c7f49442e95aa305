#include "prerequisites/PrereqDialog.h"

#include "platform/OsChecks.h"
#include "prerequisites/ModalDialog.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqInstall.h"
#include "resources/resource.h"
#include "support/DiagnosticLog.h"
#include "support/Handles.h"
#include "support/RunState.h"
#include "support/Traced.h"

int windowsInstallerListPosition = 0;
int dotNetListPosition = 0;
int languagePackListPosition = 0;
int mdacListPosition = 0;

namespace
{
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

const LocalizedTemplates kPrereqTemplates = {
    {IDD_PREREQ_GERMAN, "SetupBootstrapper.CreatePrereqDialog: Showing prerequisites dialog in German"},
    {IDD_PREREQ_ITALIAN, "SetupBootstrapper.CreatePrereqDialog: Showing prerequisites dialog in Italian"},
    {IDD_PREREQ_ENGLISH, "SetupBootstrapper.CreatePrerqDialog: Showing prerequisites dialog in English"},
};

// Makes a dialog's session reachable while it is open, and forgets it and
// the block when the dialog has gone, whichever way it ended.
class PrereqDialogScope
{
public:
    explicit PrereqDialogScope(PrereqDialogSession* session) { prereqDialogSession = session; }
    ~PrereqDialogScope()
    {
        prereqDialogSession = nullptr;
        prereqDlgParam = nullptr;
    }
    PrereqDialogScope(const PrereqDialogScope&) = delete;
    PrereqDialogScope& operator=(const PrereqDialogScope&) = delete;
};

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
    const LanguagePackChoice& choice = ChooseLanguagePack(LanguageNumber(param->osLanguage), IsOS64() != FALSE);
    LogMessage(kLogInfo, choice.listLine);
    if (choice.row != nullptr)
        languagePackListPosition = AddListLine(list, *choice.row);
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

int ShowPrereqDialog(HINSTANCE instance, const wchar_t* caption)
{
    return RunTraced(
        "SetupBootstrapper.ShowPrereqDialog >>", "SetupBootstrapper.ShowPrereqDialog <<", kLogInfo,
        "SetupBootstrapper.ShowPrereqDialog: exception caught, error returned: %d", [&] {
            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: Determine missing prerequisites");
            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: Checking if Windows Installer 3.1 is installed");
            int windowsInstallerPresent = IsWIInstalled();
            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 is installed");
            int dotNetPresent = IsDotNet2Installed();
            LogMessage(kLogInfo,
                       "SetupBootstrapper.ShowPrereqDialog: Checking if .NET Framework 2.0 Language Pack is installed");
            int languagePackPresent = IsDotNet2LPInstalled(OsLanguage);
            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: Checking if MDAC 2.8 is installed");
            int mdacPresent = IsMDAC28Installed();

            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: determining if the prerequisites dialog should "
                                 "be displayed or not");
            if (windowsInstallerPresent && dotNetPresent && languagePackPresent && mdacPresent)
            {
                LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: Prerequisites dialog not displayed because "
                                     "no missing prerequisite was found");
                return 1;
            }
            if (InstallMode.silent)
            {
                // Unattended: no list to confirm, no window for the library,
                // and the library speaks English.
                LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: One prerequisite is missing and it cannot "
                                     "be installed since the installation is performed in silent mode - installaing "
                                     "prerequisites silently");
                return InstallPrerequisites(nullptr, caption, L"1033", windowsInstallerPresent, dotNetPresent,
                                            languagePackPresent, OsLanguage, mdacPresent);
            }
            LogMessage(kLogInfo, "SetupBootstrapper.ShowPrereqDialog: At least one missing prerequisite was found, "
                                 "showing Prerequisites dialog");
            return CreatePrereqDialog(instance, caption, SelectedLanguageId, windowsInstallerPresent, dotNetPresent,
                                      languagePackPresent, OsLanguage, mdacPresent);
        });
}

int CreatePrereqDialog(HINSTANCE instance, const wchar_t* caption, const wchar_t* dialogLanguage,
                       int windowsInstallerPresent, int dotNetPresent, int languagePackPresent,
                       const wchar_t* osLanguage, int mdacPresent)
{
    return RunTraced(
        "SetupBootstrapper.CreatePrereqDialog >>", "SetupBootstrapper.CreatePrereqDialog <<", kLogError,
        "SetupBootstrapper.CreatePrereqDialog: exception caught, error returned: %d", [&] {
            LogMessage(kLogInfo, "SetupBootstrapper.CreatePrereqDialog: called fro languageID:%s",
                       dialogLanguage != nullptr ? dialogLanguage : L"");
            PrereqDialogParam param;
            CopyText(param.productCaption, ARRAYSIZE(param.productCaption), caption);
            CopyText(param.dialogLanguage, ARRAYSIZE(param.dialogLanguage), dialogLanguage);
            param.windowsInstallerPresent = windowsInstallerPresent;
            param.dotNetPresent = dotNetPresent;
            param.languagePackPresent = languagePackPresent;
            CopyText(param.osLanguage, ARRAYSIZE(param.osLanguage), osLanguage);
            param.mdacPresent = mdacPresent;
            int templateId = ChooseTemplate(param.dialogLanguage, kPrereqTemplates);

            PrereqDialogSession session;
            PrereqDialogScope scope(&session);
            return RunModalDialog(instance, templateId, PrereqDialogCallback, &param,
                                  "SetupBootstrapper.CreatePrereqDialog: failed to create the dialog, error "
                                  "returned: %d");
        });
}

void OnInitPrereqDialog(HWND dialog, PrereqDialogParam* param)
{
    RunTraced("SetupBootstrapper.OnInitPrereqDialog >>", nullptr, kLogError,
              "SetupBootstrapper.OnInitPrereqDialog: exception caught, error returned: %d", [&] {
                  SetWindowTextW(dialog, param->productCaption);
                  SetHeadingFont(dialog);
                  FillControlText(dialog, IDC_PREREQ_MISSING, param->productCaption);
                  FillControlText(dialog, IDC_PREREQ_WILL_INSTALL, param->productCaption);

                  LogMessage(kLogInfo, "SetupBootstrapper.OnInitPrereqDialog: adding missing prerequisites to listbox");
                  HWND list = GetDlgItem(dialog, IDC_PREREQ_LIST);
                  if (!param->windowsInstallerPresent)
                  {
                      LogMessage(kLogInfo, "SetupBootstrapper.OnInitPrereqDialog: Adding Windows Installer 3.0 to "
                                           "prerequistes list");
                      windowsInstallerListPosition = AddListLine(list, kWindowsInstaller31);
                  }
                  if (!param->dotNetPresent)
                  {
                      // The row (x86 or x64) is chosen before the line is written.
                      const Prerequisite& row = DotNetRow(IsOS64() != FALSE);
                      LogMessage(kLogInfo, "SetupBootstrapper.OnInitPrereqDialog: Adding .NET Framework 2.0 to "
                                           "prerequistes list");
                      dotNetListPosition = AddListLine(list, row);
                  }
                  if (!param->languagePackPresent)
                      AddLanguagePackLine(list, param);
                  if (!param->mdacPresent)
                  {
                      LogMessage(kLogInfo, "SetupBootstrapper.OnInitPrereqDialog: Adding MDAC 2.8 to prerequistes list");
                      mdacListPosition = AddListLine(list, kMdac28);
                  }
                  return 0;
              });
}

INT_PTR CALLBACK PrereqDialogCallback(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
    {
        LogMessage(kLogInfo, "SetupBootstrapper.PrereqDialogCallback: WM_INITDIALOG");
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
            LogMessage(kLogInfo, "SetupBootstrapper.PrereqDialogCallback <<");
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
        LogMessage(kLogInfo, "SetupBootstrapper.PrereqDialogCallback <<");
        return FALSE;

    case WM_CTLCOLORSTATIC:
    {
        LogMessage(kLogInfo, "SetupBootstrapper.PrereqDialogCallback: WM_CTCOLORSTATIC");
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        if (prereqDialogSession == nullptr || !prereqDialogSession->hollowBrush)
            return FALSE;
        return reinterpret_cast<INT_PTR>(prereqDialogSession->hollowBrush.get());
    }

    default:
        LogMessage(kLogInfo, "SetupBootstrapper.PrereqDialogCallback: unknown message");
        return FALSE;
    }
}
