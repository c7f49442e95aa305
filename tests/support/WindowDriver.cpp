#include "tests/support/WindowDriver.h"

#include "tests/support/ChildProcess.h"

namespace test
{
namespace
{
struct Search
{
    DWORD processId;  // 0: any
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
    std::vector<HWND>* all;
};

BOOL CALLBACK Visit(HWND window, LPARAM lParam)
{
    Search* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId != 0 && owner != search->processId)
        return TRUE;
    if (search->all != nullptr)
    {
        search->all->push_back(window);
        return TRUE;
    }
    if (!IsWindowVisible(window))
        return TRUE;
    if (search->className != nullptr && ClassNameOf(window) != search->className)
        return TRUE;
    if (search->title != nullptr && WindowText(window) != search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindNow(DWORD processId, const wchar_t* className, const wchar_t* title)
{
    Search search{processId, className, title, nullptr, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

HWND WaitForTopLevelWindow(DWORD processId, const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindNow(processId, className, title)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitForAnyTopLevelWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    return WaitForTopLevelWindow(0, className, title, timeoutMs);
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    std::vector<HWND> windows;
    Search search{processId, nullptr, nullptr, nullptr, &windows};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return windows;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

HWND WaitForDialogWith(DWORD processId, int controlId, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(processId))
            {
                if (IsWindowVisible(window) && ClassNameOf(window) == L"#32770" && GetDlgItem(window, controlId))
                {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = L"";
    // WM_GETTEXT works across processes; GetWindowText does not read the
    // text of another process's controls.
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

std::wstring ControlText(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control == nullptr ? std::wstring() : WindowText(control);
}

std::wstring ClassNameOf(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::vector<std::wstring> ComboBoxItems(HWND combo)
{
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
    {
        wchar_t text[2048] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(ARRAYSIZE(text)))
            continue;
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int ComboBoxSelection(HWND combo)
{
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

std::wstring ComboBoxSelectedText(HWND combo)
{
    int selection = ComboBoxSelection(combo);
    if (selection < 0)
        return std::wstring();
    wchar_t text[2048] = L"";
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selection), reinterpret_cast<LPARAM>(text));
    return text;
}

void SelectComboBoxItem(HWND dialog, int comboId, int index)
{
    HWND combo = GetDlgItem(dialog, comboId);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

std::vector<std::wstring> ListBoxItems(HWND list)
{
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
    {
        wchar_t text[2048] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) >= static_cast<LRESULT>(ARRAYSIZE(text)))
            continue;
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

bool IsChecked(HWND dialog, int checkBoxId)
{
    return SendMessageW(GetDlgItem(dialog, checkBoxId), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND dialog, int checkBoxId, bool checked)
{
    SendMessageW(GetDlgItem(dialog, checkBoxId), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ClickButton(HWND dialog, int buttonId)
{
    PostMessageW(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

HWND FocusedControl(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!GetGUIThreadInfo(thread, &info))
        return nullptr;
    return info.hwndFocus;
}

void PressKey(HWND dialog, UINT virtualKey)
{
    // The key goes where the keyboard would send it: to the focused control,
    // whose dialog manager turns Enter and Escape into the default and the
    // cancel command.
    HWND target = FocusedControl(dialog);
    if (target == nullptr)
        target = dialog;
    UINT scanCode = MapVirtualKeyW(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
    PostMessageW(target, WM_KEYDOWN, virtualKey, static_cast<LPARAM>(1 | (scanCode << 16)));
    PostMessageW(target, WM_KEYUP, virtualKey, static_cast<LPARAM>(1 | (scanCode << 16) | (3u << 30)));
}

void SendSystemCommand(HWND window, WPARAM command)
{
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
}
}  // namespace test

namespace test
{
TestWindow::TestWindow(const std::wstring& caption) : m_caption(caption)
{
    m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, Run, this, 0, &m_threadId);
    WaitForSingleObject(m_ready, kWindowTimeoutMs);
}

TestWindow::~TestWindow()
{
    if (m_window != nullptr)
        PostMessageW(m_window, WM_CLOSE, 0, 0);
    WaitForSingleObject(m_thread, kWindowTimeoutMs);
    CloseHandle(m_thread);
    CloseHandle(m_ready);
}

DWORD WINAPI TestWindow::Run(void* self)
{
    TestWindow* window = static_cast<TestWindow*>(self);
    static const wchar_t kClass[] = L"BootstrapperTestWindow";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_DESTROY)
        {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);  // fails harmlessly when a second window registers it again
    window->m_window = CreateWindowExW(0, kClass, window->m_caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                       50, 300, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetEvent(window->m_ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
}  // namespace test
