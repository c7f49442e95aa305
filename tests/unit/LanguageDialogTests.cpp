// The language-selection dialog driven like a person would, from a second
// thread while the modal loop runs on the test's own thread. Its template is
// checked with the other resources (tests/static/check_image.py).

#include "language/LanguageDialog.h"
#include "resources/resource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WindowDriver.h"
#include "tests/unit/LanguageTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace test;
using ::testing::Contains;
using ::testing::Not;

namespace
{
constexpr wchar_t kProduct[] = L"Zel Morvanto 9.5";
constexpr wchar_t kCancelLine[] = L"MorvantoBootStrapper.LanguageSelectionDialogCallback: Cancel button pressed";

// What a run of ShowSelectLanguageDialog showed before the driver acted on
// the dialog, and what it answered.
struct Outcome
{
    bool shown = false;
    std::wstring caption;
    int selection = -1;
    bool focusOnOk = false;
    bool foreground = false;
    bool extendedUi = false;
    bool windowIcon = false;
    bool iconControlShowsIcon = false;
    int result = -1;
    std::wstring args;
    std::wstring selectedLanguageId;
    std::vector<std::wstring> lines;
};

void Look(HWND dialog, Outcome* seen)
{
    seen->shown = true;
    seen->caption = WindowText(dialog);
    HWND combo = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    seen->selection = ComboBoxSelection(combo);
    seen->extendedUi = SendMessageW(combo, CB_GETEXTENDEDUI, 0, 0) != 0;
    seen->focusOnOk = WaitUntil([&] { return FocusedControl(dialog) == GetDlgItem(dialog, IDOK); }, 5000);
    seen->foreground = WaitUntil([&] { return GetForegroundWindow() == dialog; }, 5000);
    seen->windowIcon = SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0 &&
                       SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        if (ClassNameOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen->iconControlShowsIcon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
    }
}

using Act = std::function<void(HWND dialog)>;
const Act kPressEnter = [](HWND dialog) { PressKey(dialog, VK_RETURN); };
const Act kPressEscape = [](HWND dialog) { PressKey(dialog, VK_ESCAPE); };

// One run as the launch sequence makes it (the arguments buffer holds
// something already, SelectedLanguageId is "earlier"), with the modal loop on
// this thread while a driver thread waits for the dialog, looks at it and
// acts. A dialog still up when the driver has given up is cancelled, so that
// no failure hangs the test.
Outcome ShowDialog(const std::wstring& iniFile, const wchar_t* osLanguage, const Act& act, bool silent = false,
                   const std::wstring& setupFile = JoinPath(KitDir(), L"morvanto9.exe"))
{
    LanguageState state(silent, nullptr, osLanguage, L"earlier");
    LogCapture capture;
    Outcome outcome;
    auto find = [] { return WaitForTopLevelWindow(GetCurrentProcessId(), L"#32770", nullptr, 0); };
    std::atomic<bool> returned{false};
    std::thread driver([&] {
        HWND dialog = nullptr;
        WaitUntil([&] { return returned.load() || (dialog = find()) != nullptr; }, kWindowTimeoutMs);
        if (dialog != nullptr)
        {
            Look(dialog, &outcome);
            act(dialog);
        }
        while (!WaitUntil([&] { return returned.load(); }, kWindowTimeoutMs))
        {
            if (HWND left = find())
                PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
        }
    });
    wchar_t args[kCchText] = L"stale";
    outcome.result =
        ShowSelectLanguageDialog(GetModuleHandleW(nullptr), setupFile.c_str(), kProduct, iniFile.c_str(), args);
    returned = true;
    driver.join();
    outcome.args = args;
    outcome.selectedLanguageId = SelectedLanguageId;
    outcome.lines = capture.Messages();
    return outcome;
}
}  // namespace

TEST(LanguageDialogUse, AsShownToThePerson)
{
    CatalogueFile catalogue(kThreeLanguages);
    ScratchDir nowhere(L"no-setup");
    // Without the setup executable the window has no icon of its own; the
    // icon inside the dialog stays.
    for (const std::wstring& setup : {JoinPath(KitDir(), L"morvanto9.exe"), nowhere / L"morvanto9.exe"})
    {
        SCOPED_TRACE(WideToUtf8(setup));
        Outcome outcome = ShowDialog(catalogue.Path(), L"1031", kPressEnter, false, setup);
        EXPECT_EQ(outcome.caption, kProduct);
        EXPECT_EQ(std::vector<bool>({outcome.focusOnOk, outcome.foreground, outcome.extendedUi,
                                     outcome.iconControlShowsIcon, outcome.windowIcon}),
                  std::vector<bool>({true, true, true, true, FileExists(setup)}))
            << "focus on OK, in the foreground, extended list UI, icon control, window icon";
    }
}

TEST(LanguageDialogUse, PreselectionThenOkTakesTheSelectedSectionAndEveryWayOutStops)
{
    const std::wstring three = kThreeLanguages;
    const std::wstring english = L"[English]\r\nProductLanguage=1033\r\nCommand=en\r\n";
    const std::wstring british = L"[English (UK)]\r\nProductLanguage=2057\r\nCommand=uk\r\n";
    const Act changeTwice = [](HWND dialog) {
        SelectComboBoxItem(dialog, IDC_LANGUAGE_LIST, 0);
        SelectComboBoxItem(dialog, IDC_LANGUAGE_LIST, 2);
        ClickButton(dialog, IDOK);
    };
    struct Case
    {
        const char* what;
        std::wstring catalogue;
        const wchar_t* osLanguage;
        Act act;
        int selection;  // preselected, before the act
        int result;
        std::wstring args;
        std::wstring selected;
        const wchar_t* line;  // nullptr: none in particular
    } cases[] = {
        {"the OS language's section, Enter at once", three, L"1031", kPressEnter, 1, 1, kGermanArgs, L"1031", nullptr},
        {"no section for the OS language: the first entry", three, L"3082", kPressEnter, 0, 1, kEnglishArgs, L"1033",
         L"MorvantoBootStrapper.OnInitDialog: Default language 3082 was not found in languages list, setting default "
         L"language to English(1033)"},
        {"two sections carry it: the later one, in file order, not sorted",
         three + L"[Deutsch]\r\nProductLanguage=1031\r\nCommand=de\r\n", L"1031", kPressEnter, 3, 1, L"de", L"1031",
         nullptr},
        {"found by its full text", english + british, L"2057", kPressEnter, 1, 1, L"uk", L"2057", nullptr},
        {"the first entry that begins with the name", british + english, L"1033", kPressEnter, 0, 1, L"uk", L"2057",
         nullptr},
        {"changed twice, the last one counts", three, L"1031", changeTwice, 1, 1, L"-l1040 /vProductLanguage=1040",
         L"1040", nullptr},
        {"an empty list: empty arguments and language", L"; no languages\r\n", L"1033", kPressEnter, CB_ERR, 1, L"",
         L"", nullptr},
        {"Cancel", three, L"1031", [](HWND dialog) { ClickButton(dialog, IDCANCEL); }, 1, 0, L"", L"earlier",
         kCancelLine},
        {"Escape", three, L"1031", kPressEscape, 1, 0, L"", L"earlier", kCancelLine},
        {"close box or Alt+F4", three, L"1031", [](HWND dialog) { SendSystemCommand(dialog, SC_CLOSE); }, 1, 0, L"",
         L"earlier", nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CatalogueFile catalogue(c.catalogue);
        Outcome outcome = ShowDialog(catalogue.Path(), c.osLanguage, c.act);
        EXPECT_TRUE(outcome.shown);
        EXPECT_EQ(outcome.selection, c.selection);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(outcome.args, c.args);
        EXPECT_EQ(outcome.selectedLanguageId, c.selected);
        if (c.line != nullptr)
        {
            EXPECT_THAT(outcome.lines, Contains(c.line));
        }
        if (c.line != kCancelLine)  // the close box's system command writes nothing itself
        {
            EXPECT_THAT(outcome.lines, Not(Contains(kCancelLine)));
        }
    }
}

TEST(LanguageDialogSilent, NoWindowAndGoesOnWithoutACatalogue)
{
    CatalogueFile catalogue(kThreeLanguages);
    Outcome outcome = ShowDialog(catalogue.MissingPath(), L"1031", kPressEscape, true);
    EXPECT_FALSE(outcome.shown);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.args, kEnglishArgs);
    EXPECT_EQ(outcome.selectedLanguageId, L"earlier");
}

TEST(LanguageDialogUse, DialogThatCannotBeCreatedStopsTheInstallation)
{
    CatalogueFile catalogue(kThreeLanguages);
    LogCapture capture;
    wchar_t args[kCchText] = L"";
    // A module without template 101.
    EXPECT_EQ(CreateSelectLanguageDialog(GetModuleHandleW(L"kernel32.dll"), L"morvanto9.exe", kProduct,
                                         catalogue.Path().c_str(), L"1031", args),
              0);
    EXPECT_EQ(std::wstring(args), L"");
    EXPECT_THAT(capture.Messages(),
                Contains(L"MorvantoBootStrapper.CreateSelectLanguageDialog: Error while creating dialog"));
}
