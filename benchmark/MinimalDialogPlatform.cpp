// The reference of the dialog-platform figure: every platform call that
// "SetupBootstrapper.exe" (full UI, a first installation) makes until its
// language dialog is visible, with the same arguments and in the same order,
// and none of the bootstrapper's decisions: the language, "not installed",
// the catalogue's sections and the one to select are written in here. The
// dialog is the language dialog's template, shown and initialised the way
// the bootstrapper does it. The difference between the bootstrapper and this
// program is ours, not the platform's.
//
// The order comes from a relay trace of the bootstrapper's own calls in the
// bench's prefix, the lines from that run's log; docs/benchmark.md ("The
// dialog's platform reference") lists both. After the dialog, which the
// bench cancels, it also does what the bootstrapper does until it ends, so
// that the two logs stay alike.

#include "benchmark/MinimalDialog.h"
#include "benchmark/PlatformWork.h"

#include <shellapi.h>

namespace
{
// The run's log from line 51 on (line 1 is the full-UI line, lines 2 to 50
// the first installation's checks). Lines 59 to 69 are the list's filling,
// one pair a section, with its name at %s.
const wchar_t* const kLogLines[] = {
    /* 51 */ L"MorvantoBootStrapper.CreateSelectLanguageDialog >>",
    /* 52 */ L"MorvantoBootStrapper.CreateSelectLanguageDialog: Creating dialog",
    /* 53 */ L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Initializing language selection dialog",
    /* 54 */ L"MorvantoBootStrapper.OnInitDialog >>",
    /* 55 */ L"MorvantoBootStrapper.OnInitDialog: Setting dialog caption and icon",
    /* 56 */ L"MorvantoBootStrapper.GetFileIcon >>",
    /* 57 */ L"MorvantoBootStrapper.GetFileIcon <<",
    /* 58 */ L"MorvantoBootStrapper.OnInitDialog: Add languages to combo",
    /* 59 */ L"MorvantoBootStrapper.OnInitDialog: language %s added to combo",
    /* 60 */ L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language",
    /* 61 */ L"MorvantoBootStrapper.OnInitDialog: this is the default language, selecting it.",
    /* 62 */ L"MorvantoBootStrapper.OnInitDialog: language %s added to combo",
    /* 63 */ L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language",
    /* 64 */ L"MorvantoBootStrapper.OnInitDialog: language %s added to combo",
    /* 65 */ L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language",
    /* 66 */ L"MorvantoBootStrapper.OnInitDialog: language %s added to combo",
    /* 67 */ L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language",
    /* 68 */ L"MorvantoBootStrapper.OnInitDialog: language %s added to combo",
    /* 69 */ L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language",
    /* 70 */ L"MorvantoBootStrapper.OnInitDialog <<",
    /* 71 */ L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Cancel button pressed",
    /* 72 */ L"MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog",
    /* 73 */ L"MorvantoBootStrapper.CreateSelectLanguageDialog <<",
    /* 74 */ L"MorvantoBootStrapper.ShowSelectLanguageDialog: error while displaying dialog",
    /* 75 */ L"MorvantoBootStrapper.ShowSelectLanguageDialog <<",
    /* 76 */ L"MorvantoBootStrapper.LaunchExe: aborting installation",
    /* 77 */ L"MorvantoBootStrapper.LaunchExe <<",
    /* 78 */ L"SetupBootStrapper.WinMain: Deleting resources after installation",
};
constexpr int kFirstLogLine = kFirstInstallationLineCount + 2;
static_assert(ARRAYSIZE(kLogLines) == 78 - kFirstLogLine + 1, "the run's log has 78 lines");
constexpr RunLog kLog(kLogLines, kFirstLogLine);

// The kit's catalogue, in its order: the first section is the machine's
// language (1033), and so the one selected.
const wchar_t* const kSections[] = {L"English", L"German", L"Italian", L"Spanish", L"Russian"};

struct DialogRun
{
    const wchar_t* catalogueFile;
    HICON icon;  // the window does not destroy it: WinMain does, after the dialog
};

// Section i's entry and its pair of log lines, from line n on; each
// section's language is read to compare it with the machine's.
void AddSection(HWND list, const DialogRun& run, int i, int n)
{
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kSections[i]));
    kLog.Line(n, kSections[i]);
    wchar_t productLanguage[kCchText];
    GetPrivateProfileStringW(kSections[i], L"ProductLanguage", L"", productLanguage, kCchText, run.catalogueFile);
    kLog.Lines(n + 1, n + 1);
}

void InitDialog(HWND dialog, DialogRun* run)
{
    kLog.Lines(53, 55);
    SetWindowTextW(dialog, L"Zel Morvanto 9.5");
    // The setup's icon, as the shell shows the file, for both sizes.
    kLog.Lines(56, 56);
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(L"morvanto9.exe", 0, &info, sizeof(info), SHGFI_ICON) != 0)
        run->icon = info.hIcon;
    kLog.Lines(57, 57);
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(run->icon));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(run->icon));
    kLog.Lines(58, 58);
    HWND list = GetDlgItem(dialog, IDC_MINIMAL_LIST);
    {
        const CatalogueSections sections(run->catalogueFile);
        AddSection(list, *run, 0, 59);
        kLog.Lines(61, 61);
        SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(kSections[0]));
        for (int i = 1; i < static_cast<int>(ARRAYSIZE(kSections)); ++i)
            AddSection(list, *run, i, 60 + 2 * i);
    }
    SendMessageW(list, CB_SETEXTENDEDUI, TRUE, 0);
    kLog.Lines(70, 70);
    SetForegroundWindow(dialog);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        InitDialog(dialog, reinterpret_cast<DialogRun*>(lParam));
        return TRUE;
    case WM_COMMAND:
        // The bench cancels the dialog; OK, which no measured run presses,
        // ends it the same way.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            kLog.Lines(71, 71);
            EndDialog(dialog, LOWORD(wParam));
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// By its bare name, so that the manifest's activation context gives version
// 6, and only now, before the first window.
void LoadCommonControls()
{
    HMODULE comctl32 = LoadLibraryW(L"comctl32.dll");
    if (comctl32 == nullptr)
        return;
    using InitFunction = void(WINAPI*)();
    auto init = reinterpret_cast<InitFunction>(GetProcAddress(comctl32, "InitCommonControls"));
    if (init != nullptr)
        init();
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const RunStart run;
    WriteLogLine(L"SetupBootStrapper.WinMain: This is a FULL UI 'Zel Morvanto 9.5' install");
    CheckFirstInstallation();
    kLog.Lines(51, 52);
    LoadCommonControls();
    DialogRun dialogRun = {run.CatalogueFile(), nullptr};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, DialogProc,
                    reinterpret_cast<LPARAM>(&dialogRun));
    if (dialogRun.icon != nullptr)
        DestroyIcon(dialogRun.icon);
    kLog.Lines(72, kLog.LastNumber());
    return 0;
}
