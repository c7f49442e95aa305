// The language-selection dialog: its template and icon in both builds, and
// the dialog itself driven like a person would, from a second thread while
// the modal loop runs on the test's own thread.

#include "language/LanguageDialog.h"
#include "resources/resource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PeImage.h"
#include "tests/support/WindowDriver.h"
#include "tests/unit/LanguageTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace test;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace
{
constexpr wchar_t kProduct[] = L"Zel Morvanto 9.5";
constexpr wchar_t kGermanArgs[] = L"-l1031 /vProductLanguage=1031";
constexpr wchar_t kEnglishArgs[] = L"-l1033 /vProductLanguage=1033";

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

HWND FindLanguageDialog()
{
    return WaitForTopLevelWindow(GetCurrentProcessId(), L"#32770", nullptr, 0);
}

HWND IconControl(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        if (ClassNameOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            return child;
    }
    return nullptr;
}

// What the dialog showed before the driver acted on it.
struct DialogView
{
    bool shown = false;
    std::wstring caption;
    std::vector<std::wstring> items;
    int selection = -1;
    bool focusOnOk = false;
    bool foreground = false;
    bool extendedUi = false;
    bool windowIcon = false;
    bool iconControlShowsIcon = false;
};

using Act = std::function<void(HWND dialog)>;

// Runs show() here, where the dialog's modal loop runs, while a driver thread
// waits for the dialog, looks at it and acts. A dialog that is still up when
// the driver has given up is cancelled, so that no failure hangs the test.
int RunDialog(const std::function<int()>& show, const Act& act, DialogView* view)
{
    std::atomic<bool> returned{false};
    std::thread driver([&] {
        HWND dialog = nullptr;
        WaitUntil([&] { return returned.load() || (dialog = FindLanguageDialog()) != nullptr; }, kWindowTimeoutMs);
        if (dialog != nullptr)
        {
            view->shown = true;
            view->caption = WindowText(dialog);
            HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
            view->items = ComboBoxItems(combo);
            view->selection = ComboBoxSelection(combo);
            view->extendedUi = SendMessageW(combo, CB_GETEXTENDEDUI, 0, 0) != 0;
            view->focusOnOk = WaitUntil([&] { return FocusedControl(dialog) == GetDlgItem(dialog, IDOK); }, 5000);
            view->foreground = WaitUntil([&] { return GetForegroundWindow() == dialog; }, 5000);
            view->windowIcon = SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0 &&
                               SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0;
            HWND icon = IconControl(dialog);
            view->iconControlShowsIcon = icon != nullptr && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
            act(dialog);
        }
        while (!WaitUntil([&] { return returned.load(); }, kWindowTimeoutMs))
        {
            if (HWND left = FindLanguageDialog())
                PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
        }
    });
    int result = show();
    returned = true;
    driver.join();
    return result;
}

Act PressEnter() { return [](HWND dialog) { PressKey(dialog, VK_RETURN); }; }
Act PressEscape() { return [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }; }
Act Click(int id) { return [id](HWND dialog) { ClickButton(dialog, id); }; }
Act CloseBox() { return [](HWND dialog) { SendSystemCommand(dialog, SC_CLOSE); }; }
Act SelectThenOk(std::vector<int> indexes)
{
    return [indexes](HWND dialog) {
        for (int index : indexes)
            SelectComboBoxItem(dialog, IDC_LANGUAGE_LIST, index);
        ClickButton(dialog, IDOK);
    };
}

struct Outcome
{
    int result;
    std::wstring args;
    std::wstring selectedLanguageId;
    DialogView view;
    std::vector<std::wstring> lines;
};

// One run of ShowSelectLanguageDialog as the launch sequence makes it: the
// arguments buffer holds something already, SelectedLanguageId is "earlier".
Outcome ShowDialog(const std::wstring& iniFile, const wchar_t* osLanguage, const Act& act,
                   const std::wstring& setupFile = JoinPath(KitDir(), L"morvanto9.exe"))
{
    LanguageState state(false, nullptr, osLanguage, L"earlier");
    LogCapture capture;

    Outcome outcome;
    wchar_t args[kCchText] = L"stale";
    outcome.result = RunDialog(
        [&] {
            return ShowSelectLanguageDialog(GetModuleHandleW(nullptr), setupFile.c_str(), kProduct, iniFile.c_str(),
                                            args);
        },
        act, &outcome.view);
    outcome.args = args;
    outcome.selectedLanguageId = SelectedLanguageId;
    outcome.lines = LanguageLines(capture.Messages());
    return outcome;
}

std::vector<std::wstring> InitLines(const std::vector<std::pair<std::wstring, bool>>& sections)
{
    std::vector<std::wstring> lines = {
        L"MorvantoBootStrapper.ShowSelectLanguageDialog >>",
        L"MorvantoBootStrapper.CreateSelectLanguageDialog >>",
        L"MorvantoBootStrapper.CreateSelectLanguageDialog: Creating dialog",
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Initializing language selection dialog",
        L"MorvantoBootStrapper.OnInitDialog >>",
        L"MorvantoBootStrapper.OnInitDialog: Setting dialog caption and icon",
        L"MorvantoBootStrapper.GetFileIcon >>",
        L"MorvantoBootStrapper.GetFileIcon <<",
        L"MorvantoBootStrapper.OnInitDialog: Add languages to combo",
    };
    for (const auto& section : sections)
    {
        lines.push_back(L"MorvantoBootStrapper.OnInitDialog: language " + section.first + L" added to combo");
        lines.push_back(L"MorvantoBootStrapper.OnInitDialog: Checking if it should be the default language");
        if (section.second)
            lines.push_back(L"MorvantoBootStrapper.OnInitDialog: this is the default language, selecting it.");
    }
    return lines;
}

std::vector<std::wstring> Join(std::vector<std::wstring> first, const std::vector<std::wstring>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::vector<std::wstring> kCancelledLines = {
    L"MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog",
    L"MorvantoBootStrapper.CreateSelectLanguageDialog <<",
    L"MorvantoBootStrapper.ShowSelectLanguageDialog: error while displaying dialog",
    L"MorvantoBootStrapper.ShowSelectLanguageDialog <<",
};

std::vector<std::wstring> OkLines(const std::wstring& command, const std::wstring& languageId)
{
    return {
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: OK button pressed",
        L"MorvantoBootStrapper.GetSelectedItemText >>",
        L"MorvantoBootStrapper.GetSelectedItemText <<",
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language command line",
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language command line is :" + command,
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: getting selected language ID",
        L"MorvantoBootStrapper.LanguageSelectionDialogCallback: selected language ID is:" + languageId,
        L"MorvantoBootStrapper.CreateSelectLanguageDialog: Dialog succesfully created",
        L"MorvantoBootStrapper.CreateSelectLanguageDialog <<",
        L"MorvantoBootStrapper.ShowSelectLanguageDialog: dialog succesfully displayed",
        L"MorvantoBootStrapper.ShowSelectLanguageDialog <<",
    };
}
}  // namespace

TEST(LanguageDialogTemplate, LayoutStylesAndTabOrderInBothBuilds)
{
    for (const std::wstring& kit : {KitDir(), X86KitDir()})
    {
        SCOPED_TRACE(Utf8(kit));
        PeImage image(JoinPath(kit, L"SetupBootstrapper.exe"));
        ASSERT_TRUE(image.Valid()) << image.Error();
        DialogTemplate dialog = ParseDialogTemplate(image.Resource(L"#5", L"#101"));
        ASSERT_TRUE(dialog.valid);
        EXPECT_EQ(dialog.style,
                  static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT |
                                     DS_FIXEDSYS));
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(std::vector<short>({dialog.x, dialog.y, dialog.cx, dialog.cy}), std::vector<short>({0, 0, 249, 75}));
        EXPECT_EQ(dialog.caption, L"!!!");
        EXPECT_EQ(dialog.fontName, L"MS Shell Dlg");
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.weight, 400);
        EXPECT_FALSE(dialog.italic);

        struct Expected
        {
            int id;
            const wchar_t* className;
            DWORD style;
            short x, y, cx, cy;
            const wchar_t* text;
        } expected[] = {
            {IDOK, L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 69, 55, 54, 14, L"OK"},
            {IDCANCEL, L"Button", BS_PUSHBUTTON | WS_TABSTOP, 126, 55, 54, 14, L"Cancel"},
            {IDC_LANGUAGE_PROMPT, L"Static", SS_LEFT | WS_GROUP, 35, 9, 207, 12,
             L"&Select the language for this installation from the choices below."},
            {IDC_LANGUAGE_LIST, L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 35, 31, 179, 70, L""},
            {-1, L"Static", SS_ICON | SS_CENTERIMAGE, 8, 9, 20, 20, L"#105"},
        };
        ASSERT_EQ(dialog.controls.size(), std::size(expected));
        for (size_t i = 0; i < std::size(expected); ++i)
        {
            SCOPED_TRACE(expected[i].id);
            const DialogControl& control = dialog.controls[i];
            EXPECT_EQ(control.id, expected[i].id);
            EXPECT_EQ(control.className, expected[i].className);
            EXPECT_EQ(control.style, expected[i].style | WS_CHILD | WS_VISIBLE);
            EXPECT_EQ(control.exStyle, 0u);
            EXPECT_EQ(std::vector<short>({control.x, control.y, control.cx, control.cy}),
                      std::vector<short>({expected[i].x, expected[i].y, expected[i].cx, expected[i].cy}));
            EXPECT_EQ(control.text, expected[i].text);
        }

        // Icon group 105: one 32 x 32 image at 24 bits per pixel.
        std::string group = image.Resource(L"#14", L"#105");
        ASSERT_EQ(group.size(), 6u + 14u);
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(group.data());
        EXPECT_EQ(bytes[4] | (bytes[5] << 8), 1) << "images";
        EXPECT_EQ(bytes[6], 32) << "width";
        EXPECT_EQ(bytes[7], 32) << "height";
        EXPECT_EQ(bytes[6 + 6] | (bytes[6 + 7] << 8), 24) << "bits per pixel";
    }
}

TEST(LanguageDialogPreselection, OsLanguageSectionElseFirstEntry)
{
    const std::wstring english = L"[English]\r\nProductLanguage=1033\r\nCommand=en\r\n";
    const std::wstring britishLater = english + L"[English (UK)]\r\nProductLanguage=2057\r\nCommand=uk\r\n";
    const std::wstring britishFirst = L"[English (UK)]\r\nProductLanguage=2057\r\nCommand=uk\r\n" + english;
    std::wstring many;  // a name list of more than 1,024 characters
    std::vector<std::wstring> manyNames;
    for (int i = 0; i < 120; ++i)
    {
        manyNames.push_back(L"Installation language " + std::to_wstring(100 + i));
        many += L"[" + manyNames.back() + L"]\r\nProductLanguage=" + std::to_wstring(6000 + i) + L"\r\n";
    }
    struct Case
    {
        const char* what;
        std::wstring catalogue;
        const wchar_t* osLanguage;
        std::vector<std::wstring> items;
        int selection;
    } cases[] = {
        {"the OS language's section", kThreeLanguages, L"1031", {L"English", L"German", L"Italian"}, 1},
        {"no section for the OS language", kThreeLanguages, L"3082", {L"English", L"German", L"Italian"}, 0},
        {"two sections carry it: the later one",
         std::wstring(kThreeLanguages) + L"[Deutsch]\r\nProductLanguage=1031\r\nCommand=de\r\n", L"1031",
         {L"English", L"German", L"Italian", L"Deutsch"}, 3},
        {"found by its full text", britishLater, L"2057", {L"English", L"English (UK)"}, 1},
        {"the first entry that begins with the name", britishFirst, L"1033", {L"English (UK)", L"English"}, 0},
        {"names cut at the equals sign, in file order, not sorted",
         L"[Zulu]\r\nProductLanguage=1077\r\n[English=UK]\r\nProductLanguage=2057\r\n[Italian]\r\nProductLanguage=1040\r\n",
         L"1040", {L"Zulu", L"English", L"Italian"}, 2},
        {"a long list, read whole", many, L"6119", manyNames, 119},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CatalogueFile catalogue(c.catalogue);
        Outcome outcome = ShowDialog(catalogue.Path(), c.osLanguage, PressEscape());
        ASSERT_TRUE(outcome.view.shown);
        EXPECT_EQ(outcome.view.items, c.items);
        EXPECT_EQ(outcome.view.selection, c.selection);
        EXPECT_EQ(outcome.result, 0);
    }
}

TEST(LanguageDialogUse, AsShownToThePerson)
{
    CatalogueFile catalogue(kThreeLanguages);
    Outcome outcome = ShowDialog(catalogue.Path(), L"1031", PressEnter());
    ASSERT_TRUE(outcome.view.shown);
    EXPECT_EQ(outcome.view.caption, kProduct);
    EXPECT_EQ(outcome.view.selection, 1) << "German";
    EXPECT_TRUE(outcome.view.focusOnOk);
    EXPECT_TRUE(outcome.view.foreground);
    EXPECT_TRUE(outcome.view.extendedUi);
    EXPECT_TRUE(outcome.view.windowIcon) << "the setup executable's icon";
    EXPECT_TRUE(outcome.view.iconControlShowsIcon);

    // Without the setup executable the window has no icon of its own; the
    // icon inside the dialog stays.
    ScratchDir nowhere(L"no-setup");
    outcome = ShowDialog(catalogue.Path(), L"1031", PressEnter(), nowhere / L"morvanto9.exe");
    EXPECT_FALSE(outcome.view.windowIcon);
    EXPECT_TRUE(outcome.view.iconControlShowsIcon);
    EXPECT_EQ(outcome.result, 1);
}

TEST(LanguageDialogUse, OkTakesTheSelectedSectionAndEveryWayOutStops)
{
    CatalogueFile catalogue(kThreeLanguages);
    struct Case
    {
        const char* what;
        Act act;
        int result;
        std::wstring args;
        std::wstring selected;
    } cases[] = {
        {"Enter at once", PressEnter(), 1, kGermanArgs, L"1031"},
        {"another entry, then OK", SelectThenOk({2}), 1, L"-l1040 /vProductLanguage=1040", L"1040"},
        {"changed twice, the last one counts", SelectThenOk({2, 0}), 1, kEnglishArgs, L"1033"},
        {"Cancel", Click(IDCANCEL), 0, L"", L"earlier"},
        {"Escape", PressEscape(), 0, L"", L"earlier"},
        {"close box or Alt+F4", CloseBox(), 0, L"", L"earlier"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Outcome outcome = ShowDialog(catalogue.Path(), L"1031", c.act);
        EXPECT_TRUE(outcome.view.shown);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.args, c.args);
        EXPECT_EQ(outcome.selectedLanguageId, c.selected);
    }
}

TEST(LanguageDialogUse, TraceOfEachWayOut)
{
    CatalogueFile catalogue(kThreeLanguages);
    const std::vector<std::wstring> init =
        Join(InitLines({{L"English", false}, {L"German", true}, {L"Italian", false}}),
             {L"MorvantoBootStrapper.OnInitDialog <<"});

    Outcome outcome = ShowDialog(catalogue.Path(), L"1031", PressEnter());
    EXPECT_THAT(outcome.lines, ElementsAreArray(Join(init, OkLines(kGermanArgs, L"1031"))))
        << DescribeMessages(outcome.lines);

    outcome = ShowDialog(catalogue.Path(), L"1031", Click(IDCANCEL));
    EXPECT_THAT(outcome.lines,
                ElementsAreArray(Join(Join(init, {L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Cancel button "
                                                  L"pressed"}),
                                      kCancelledLines)))
        << DescribeMessages(outcome.lines);

    // The system command itself writes nothing.
    outcome = ShowDialog(catalogue.Path(), L"1031", CloseBox());
    EXPECT_THAT(outcome.lines, ElementsAreArray(Join(init, kCancelledLines))) << DescribeMessages(outcome.lines);
}

TEST(LanguageDialogUse, EmptyCatalogueGivesAnEmptyListAndNoArguments)
{
    CatalogueFile catalogue(L"; no languages\r\n");
    for (const std::wstring& iniFile : {catalogue.Path(), catalogue.MissingPath()})
    {
        SCOPED_TRACE(Utf8(iniFile));
        Outcome outcome = ShowDialog(iniFile, L"1033", PressEnter());
        EXPECT_THAT(outcome.view.items, IsEmpty());
        EXPECT_EQ(outcome.view.selection, CB_ERR);
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.args, L"");
        EXPECT_EQ(outcome.selectedLanguageId, L"");
        std::vector<std::wstring> expected =
            Join(InitLines({}), {L"MorvantoBootStrapper.OnInitDialog: Default language 1033 was not found in languages "
                                 L"list, setting default language to English(1033)",
                                 L"MorvantoBootStrapper.OnInitDialog <<"});
        EXPECT_THAT(outcome.lines, ElementsAreArray(Join(expected, OkLines(L"", L""))))
            << DescribeMessages(outcome.lines);
    }
}

// Silent: no window, and the run goes on even without a catalogue.
TEST(LanguageDialogSilent, NoWindowAndAlwaysGoesOn)
{
    CatalogueFile catalogue(kThreeLanguages);
    LanguageState state(true, nullptr, L"1031");
    LogCapture capture;
    wchar_t args[kCchText] = L"stale";
    DialogView view;
    int result = RunDialog(
        [&] {
            return ShowSelectLanguageDialog(GetModuleHandleW(nullptr), L"morvanto9.exe", kProduct,
                                            catalogue.MissingPath().c_str(), args);
        },
        PressEscape(), &view);
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::wstring(args), kEnglishArgs);
    EXPECT_EQ(std::wstring(SelectedLanguageId), L"");

    std::vector<std::wstring> lines = LanguageLines(capture.Messages());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"MorvantoBootStrapper.ShowSelectLanguageDialog >>");
    EXPECT_EQ(lines[1], L"MorvantoBootStrapper.LaunchExe: this is a silent installation, not showing language "
                        L"selection dialog");
    EXPECT_EQ(lines[2], L"MorvantoBootStrapper.GetLanguageArgs >>");
    EXPECT_EQ(lines.back(), L"MorvantoBootStrapper.GetLanguageArgs <<") << "no exit line of its own";
}

TEST(LanguageDialogUse, DialogThatCannotBeCreatedStopsTheInstallation)
{
    CatalogueFile catalogue(kThreeLanguages);
    LanguageState state(false, nullptr, L"1031");
    LogCapture capture;
    wchar_t args[kCchText] = L"";
    // A module without template 101.
    EXPECT_EQ(CreateSelectLanguageDialog(GetModuleHandleW(L"kernel32.dll"), L"morvanto9.exe", kProduct,
                                         catalogue.Path().c_str(), L"1031", args),
              0);
    EXPECT_EQ(std::wstring(args), L"");
    EXPECT_THAT(LanguageLines(capture.Messages()),
                ElementsAre(L"MorvantoBootStrapper.CreateSelectLanguageDialog >>",
                            L"MorvantoBootStrapper.CreateSelectLanguageDialog: Creating dialog",
                            L"MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog",
                            L"MorvantoBootStrapper.CreateSelectLanguageDialog <<"));
}
