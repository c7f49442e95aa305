#pragma once
// Finding and driving another process's windows like a person would: read
// what they show, pick a list entry, press a key, click a button, close.
// Everything that changes state is posted, so a handler that opens another
// modal window never blocks the test.

#include <windows.h>

#include <string>
#include <vector>

namespace test
{
constexpr DWORD kWindowTimeoutMs = 20000;

// The first visible top-level window of the process that matches the class
// (nullptr: any) and the title (nullptr: any); null after the time-out.
HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title,
                           DWORD timeoutMs = kWindowTimeoutMs);
// Same, but with any process: for windows that another process owns.
HWND WaitForAnyTopLevelWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs = kWindowTimeoutMs);
std::vector<HWND> TopLevelWindowsOf(DWORD processId);
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs);
// A visible dialog of the process that has the control; null after the time-out.
HWND WaitForDialogWith(DWORD processId, int controlId, DWORD timeoutMs = kWindowTimeoutMs);

std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int controlId);
std::wstring ClassNameOf(HWND window);

std::vector<std::wstring> ComboBoxItems(HWND combo);
int ComboBoxSelection(HWND combo);
std::wstring ComboBoxSelectedText(HWND combo);
// As a person picking an entry with the mouse: select it and notify.
void SelectComboBoxItem(HWND dialog, int comboId, int index);

std::vector<std::wstring> ListBoxItems(HWND list);

bool IsChecked(HWND dialog, int checkBoxId);
void SetChecked(HWND dialog, int checkBoxId, bool checked);

void ClickButton(HWND dialog, int buttonId);
// A key pressed while the dialog has the focus (Enter, Escape, ...).
void PressKey(HWND dialog, UINT virtualKey);
// The close box, Alt+F4 or a double click on the system-menu icon.
void SendSystemCommand(HWND window, WPARAM command);

// The control that has the keyboard focus in the window's thread.
HWND FocusedControl(HWND window);
}  // namespace test

namespace test
{
// A top-level window of the test process with a caption of its choice, run
// by a thread of its own so that messages sent to it (activation, settings
// broadcasts) are answered while the test waits for something else.
class TestWindow
{
public:
    explicit TestWindow(const std::wstring& caption);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return m_window; }

private:
    static DWORD WINAPI Run(void* self);

    std::wstring m_caption;
    HANDLE m_thread = nullptr;
    HANDLE m_ready = nullptr;
    DWORD m_threadId = 0;
    HWND m_window = nullptr;
};
}  // namespace test
