#include "tests/harness/Harness.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace harness
{
std::wstring Setting(const wchar_t* name)
{
    wchar_t value[4096] = L"";
    DWORD cch = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    if (cch == 0 || cch >= ARRAYSIZE(value))
        ADD_FAILURE() << "the environment variable " << Utf8(name) << " is not set (run the tests through CTest)";
    // Paths come from CMake with forward slashes; the product writes back
    // slashes, and the records compare its texts.
    for (wchar_t* c = value; *c != L'\0'; ++c)
        *c = *c == L'/' ? L'\\' : *c;
    return value;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L"\\" + name;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD cbRead = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0)
        bytes.append(buffer, cbRead);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << Utf8(path);
    DWORD cbWritten = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &cbWritten, nullptr);
    CloseHandle(file);
    EXPECT_EQ(cbWritten, bytes.size()) << Utf8(path);
}

std::string Utf8(const std::wstring& text)
{
    int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], cb, nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& utf8)
{
    int cch = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(cch), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], cch);
    return text;
}

void DeleteTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = Join(path, name);
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

Scratch::Scratch(const std::wstring& name)
{
    m_path = Join(Setting(L"BS_SCRATCH_DIR"), name);
    DeleteTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

Scratch::~Scratch()
{
    wchar_t keep[8];
    if (GetEnvironmentVariableW(L"BS_KEEP_SCRATCH", keep, ARRAYSIZE(keep)) == 0)
        DeleteTree(m_path);
}

namespace
{
std::wstring LogPath(const std::wstring& tempFolder)
{
    return Join(tempFolder, L"dravo_v9_installhelperBS.csv");
}

bool HasTimestamp(const std::wstring& line)
{
    static const wchar_t kShape[] = L"00/00/0000 00:00:00 ";  // MM/DD/YYYY hh:mm:ss
    if (line.size() < 20)
        return false;
    for (size_t i = 0; i < 20; ++i)
    {
        bool fits = kShape[i] == L'0' ? (line[i] >= L'0' && line[i] <= L'9') : line[i] == kShape[i];
        if (!fits)
            return false;
    }
    return true;
}
}  // namespace

bool LogExists(const std::wstring& tempFolder)
{
    return Exists(LogPath(tempFolder));
}

std::vector<std::wstring> LogMessages(const std::wstring& tempFolder)
{
    std::vector<std::wstring> messages;
    std::string bytes = ReadBytes(LogPath(tempFolder));
    if (bytes.empty())
        return messages;
    EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) << "the log has no byte-order mark";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_TRUE(text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0) << "the log's last line is cut";
    for (size_t start = 0; start < text.size();)
    {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        EXPECT_TRUE(HasTimestamp(line)) << "a log line without its timestamp: " << Utf8(line);
        messages.push_back(HasTimestamp(line) ? line.substr(20) : line);
        start = end + 2;
    }
    return messages;
}

namespace
{
std::vector<wchar_t> EnvironmentBlock(const std::map<std::wstring, std::wstring>& overrides)
{
    struct NoCase
    {
        bool operator()(const std::wstring& a, const std::wstring& b) const
        {
            return lstrcmpiW(a.c_str(), b.c_str()) < 0;
        }
    };
    std::map<std::wstring, std::wstring, NoCase> variables;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += lstrlenW(entry) + 1)
    {
        std::wstring text = entry;
        size_t equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with "="
        if (equals != std::wstring::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& variable : overrides)
    {
        if (variable.second.empty())
            variables.erase(variable.first);
        else
            variables[variable.first] = variable.second;
    }
    std::vector<wchar_t> block;
    for (const auto& variable : variables)
    {
        std::wstring entry = variable.first + L"=" + variable.second;
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}
}  // namespace

Child::Child(const std::wstring& commandLine, const std::wstring& folder,
             const std::map<std::wstring, std::wstring>& environment)
{
    std::vector<wchar_t> block = EnvironmentBlock(environment);
    for (int attempt = 1;; ++attempt)
    {
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        {
            CloseHandle(info.hThread);
            m_process = info.hProcess;
            m_id = info.dwProcessId;
            return;
        }
        DWORD error = GetLastError();
        // Wine answers ERROR_INTERNAL_ERROR when the new process ended before
        // it had finished starting, without an exit code of its own: the
        // Unix side of the start failed, not the program. Once more, and
        // said, so that a real failure still fails.
        if (error == ERROR_INTERNAL_ERROR && attempt == 1)
        {
            std::fprintf(stderr, "[ retry    ] %s: start failed with error 1359 under Wine, trying once more\n",
                         Utf8(commandLine).c_str());
            continue;
        }
        ADD_FAILURE() << "cannot start " << Utf8(commandLine) << ": error " << error;
        return;
    }
}

Child::~Child()
{
    if (Running())
    {
        TerminateProcess(m_process, 999);
        WaitForSingleObject(m_process, kTimeoutMs);
    }
    if (m_process != nullptr)
        CloseHandle(m_process);
}

bool Child::Running() const
{
    return m_process != nullptr && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

DWORD Child::Wait(DWORD timeoutMs)
{
    if (m_process == nullptr)
        return STILL_ACTIVE;
    if (WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
    {
        ADD_FAILURE() << "the program did not end within " << timeoutMs << " ms";
        return STILL_ACTIVE;
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        Sleep(10);  // the polling interval; the condition decides
    }
    return true;
}

namespace
{
REGSAM ViewFlag(View view)
{
    return view == View::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

HKEY Open(HKEY root, View view, const std::wstring& key, REGSAM access)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, access | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return nullptr;
    return handle;
}
}  // namespace

RegValue Sz(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& text)
{
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    return {root, view, key, name, REG_SZ, bytes};
}

RegValue Dword(HKEY root, View view, const std::wstring& key, const std::wstring& name, DWORD value)
{
    return {root, view, key, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value))};
}

RegValue Multi(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& first)
{
    const std::wstring list = first + std::wstring(2, L'\0');
    return {root, view, key, name, REG_MULTI_SZ,
            std::string(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t))};
}

RegValue Absent(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    return {root, view, key, name, REG_NONE, ""};
}

std::wstring Read(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    HKEY handle = Open(root, view, key, KEY_READ);
    if (handle == nullptr)
        return L"absent";
    DWORD type = 0;
    wchar_t data[1024] = {};
    DWORD cb = sizeof(data) - sizeof(wchar_t);
    LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &cb);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return L"absent";
    return type == REG_DWORD ? std::to_wstring(static_cast<DWORD>(data[0]) | (static_cast<DWORD>(data[1]) << 16)) : data;
}

Registry::~Registry()
{
    for (auto undo = m_undo.rbegin(); undo != m_undo.rend(); ++undo)
    {
        if (undo->createdKey)
        {
            size_t separator = undo->key.rfind(L'\\');
            HKEY parent = Open(undo->root, undo->view, undo->key.substr(0, separator), KEY_ALL_ACCESS);
            if (parent != nullptr)
            {
                RegDeleteTreeW(parent, undo->key.substr(separator + 1).c_str());
                RegCloseKey(parent);
            }
            continue;
        }
        HKEY handle = Open(undo->root, undo->view, undo->key, KEY_SET_VALUE);
        if (handle == nullptr)
            continue;  // it went with a key created later
        if (undo->existed)
            RegSetValueExW(handle, undo->name.c_str(), 0, undo->type, reinterpret_cast<const BYTE*>(undo->bytes.data()),
                           static_cast<DWORD>(undo->bytes.size()));
        else
            RegDeleteValueW(handle, undo->name.c_str());
        RegCloseKey(handle);
    }
}

void Registry::Save(HKEY root, View view, const std::wstring& key, const std::wstring& name)
{
    // The outermost key that does not exist yet goes again as a whole.
    std::wstring outermostNew;
    for (std::wstring path = key; !path.empty(); path = path.substr(0, path.rfind(L'\\')))
    {
        HKEY handle = Open(root, view, path, KEY_READ);
        if (handle != nullptr)
        {
            RegCloseKey(handle);
            break;
        }
        outermostNew = path;
        if (path.find(L'\\') == std::wstring::npos)
            break;
    }
    if (!outermostNew.empty())
    {
        m_undo.push_back({root, view, outermostNew, L"", true, false, 0, ""});
        return;
    }
    Undo undo{root, view, key, name, false, false, REG_NONE, ""};
    HKEY handle = Open(root, view, key, KEY_READ);
    DWORD cb = 0;
    if (handle != nullptr && RegQueryValueExW(handle, name.c_str(), nullptr, &undo.type, nullptr, &cb) == ERROR_SUCCESS)
    {
        undo.bytes.resize(cb);
        RegQueryValueExW(handle, name.c_str(), nullptr, &undo.type,
                         reinterpret_cast<BYTE*>(undo.bytes.empty() ? nullptr : &undo.bytes[0]), &cb);
        undo.existed = true;
    }
    if (handle != nullptr)
        RegCloseKey(handle);
    m_undo.push_back(undo);
}

void Registry::Set(const RegValue& value)
{
    HKEY handle = Open(value.root, value.view, value.key, KEY_READ);
    const bool exists = handle != nullptr &&
                        RegQueryValueExW(handle, value.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (handle != nullptr)
        RegCloseKey(handle);
    if (value.type == REG_NONE && !exists)
        return;
    Save(value.root, value.view, value.key, value.name);
    LONG status = RegCreateKeyExW(value.root, value.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | ViewFlag(value.view), nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS)
    {
        status = value.type == REG_NONE ? RegDeleteValueW(handle, value.name.c_str())
                                        : RegSetValueExW(handle, value.name.c_str(), 0, value.type,
                                                         reinterpret_cast<const BYTE*>(value.bytes.data()),
                                                         static_cast<DWORD>(value.bytes.size()));
        RegCloseKey(handle);
    }
    EXPECT_EQ(status, ERROR_SUCCESS) << "cannot change " << Utf8(value.key) << "\\" << Utf8(value.name);
}

namespace
{
struct WindowSearch
{
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

std::wstring ItemText(HWND control, UINT lengthMessage, UINT textMessage, WPARAM index)
{
    LRESULT cch = SendMessageW(control, lengthMessage, index, 0);
    if (cch < 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(cch) + 1, L'\0');
    SendMessageW(control, textMessage, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(cch));
    return text;
}

std::wstring Items(HWND control, bool combo)
{
    const UINT countMessage = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const LRESULT selection = SendMessageW(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    std::wstring items;
    for (LRESULT i = 0, count = SendMessageW(control, countMessage, 0, 0); i < count; ++i)
    {
        items += (i == 0 ? L"" : L" | ") +
                 ItemText(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, combo ? CB_GETLBTEXT : LB_GETTEXT,
                          static_cast<WPARAM>(i)) +
                 (i == selection ? L"*" : L"");
    }
    return items.empty() ? L"(empty)" : items;
}
}  // namespace

std::vector<HWND> WindowsOf(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Text(HWND window)
{
    wchar_t text[4096] = L"";
    // WM_GETTEXT reads another process's controls; GetWindowText does not.
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kTimeoutMs, nullptr);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

std::vector<std::wstring> Describe(HWND dialog)
{
    std::vector<std::wstring> lines{L"caption: " + Text(dialog)};
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT))
    {
        const std::wstring className = ClassOf(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        std::wstring shown = Text(control);
        if (lstrcmpiW(className.c_str(), L"ComboBox") == 0)
            shown = Items(control, true);
        else if (lstrcmpiW(className.c_str(), L"ListBox") == 0)
            shown = Items(control, false);
        else if (lstrcmpiW(className.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            shown = (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"[x] " : L"[ ] ") + shown;
        else if (lstrcmpiW(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            shown = SendMessageW(control, STM_GETICON, 0, 0) != 0 ? L"(an icon)" : L"(no icon)";
        else if (lstrcmpiW(className.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_BITMAP)
            shown = SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0 ? L"(a bitmap)" : L"(no bitmap)";
        if (shown.empty() || !IsWindowVisible(control))
            continue;
        lines.push_back(std::to_wstring(static_cast<short>(GetDlgCtrlID(control))) + L" " + className + L": " + shown);
    }
    return lines;
}

void Click(HWND dialog, int buttonId)
{
    PostMessageW(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0);
}

void Pick(HWND dialog, int comboId, const std::wstring& item)
{
    HWND combo = GetDlgItem(dialog, comboId);
    LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()));
    ASSERT_NE(index, CB_ERR) << "no entry " << Utf8(item);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void Check(HWND dialog, int checkBoxId)
{
    SendMessageW(GetDlgItem(dialog, checkBoxId), BM_SETCHECK, BST_CHECKED, 0);
}
}  // namespace harness
