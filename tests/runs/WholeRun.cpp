#include "tests/runs/WholeRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

using namespace harness;

namespace runs
{
const std::wstring kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{CBE19707-CF6D-4819-9574-3DFD568960FA}";
const std::wstring kProductKey = L"SOFTWARE\\Zel\\DRVS9";
const std::wstring kSourceList =
    L"SOFTWARE\\Classes\\Installer\\Products\\70791EBCD6FC91845947D3DF659806AF\\SourceList";

std::vector<RegValue> NothingMissing()
{
    return {Dword(HKEY_LOCAL_MACHINE, View::Wow32, L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727",
                  L"Install", 1),
            Sz(HKEY_LOCAL_MACHINE, View::Wow32, L"Software\\Microsoft\\DataAccess", L"FullInstallVer", L"2.81.1117.0")};
}

std::vector<RegValue> Installed(const std::wstring& version)
{
    return {Sz(HKEY_LOCAL_MACHINE, View::Wow32, kUninstallKey, L"DisplayName", L"Zel Morvanto 9.5"),
            Sz(HKEY_LOCAL_MACHINE, View::Wow32, kUninstallKey, L"DisplayVersion", version)};
}

RegValue InstallLanguage(const std::wstring& hex)
{
    return Sz(HKEY_LOCAL_MACHINE, View::Native, L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage",
              hex);
}

namespace
{
bool RunsHere(const Row& row)
{
    return row.machines == Machines::Both || (row.machines == Machines::Win64) == Is64BitWindows();
}

BOOL CALLBACK CollectWindowOf(HWND window, LPARAM parameter)
{
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->first && IsWindowVisible(window))
        found->second.push_back(window);
    return TRUE;
}

// The shown top-level windows of a process, in z-order.
std::vector<HWND> WindowsOf(DWORD processId)
{
    std::pair<DWORD, std::vector<HWND>> search{processId, {}};
    EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.second;
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

// A list's or combo box's items, the selected one marked "*".
std::wstring Items(HWND control, bool combo)
{
    const LRESULT selection = SendMessageW(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    std::wstring items;
    for (LRESULT i = 0, count = SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0); i < count; ++i)
    {
        wchar_t item[2048] = L"";
        SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        items += (i == 0 ? L"" : L" | ") + std::wstring(item) + (i == selection ? L"*" : L"");
    }
    return items.empty() ? L"(empty)" : items;
}

// What a person sees of a dialog: its caption, and "<id> <class>: <text>"
// for each shown control with a text, items, a check box's state or a
// picture.
std::vector<std::wstring> Describe(HWND dialog)
{
    std::vector<std::wstring> lines{L"caption: " + Text(dialog)};
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT))
    {
        const std::wstring kind = ClassOf(control);
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        std::wstring shown = Text(control);
        if (kind == L"ComboBox" || kind == L"ListBox")
            shown = Items(control, kind == L"ComboBox");
        else if (kind == L"Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            shown = (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"[x] " : L"[ ] ") + shown;
        else if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON)
            shown = SendMessageW(control, STM_GETICON, 0, 0) != 0 ? L"(an icon)" : L"(no icon)";
        else if (kind == L"Static" && (style & SS_TYPEMASK) == SS_BITMAP)
            shown = SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0 ? L"(a bitmap)" : L"(no bitmap)";
        if (!shown.empty() && IsWindowVisible(control))
            lines.push_back(std::to_wstring(static_cast<short>(GetDlgCtrlID(control))) + L" " + kind + L": " + shown);
    }
    return lines;
}

// Wine's per-program version, or the registry's version values (read by
// each new process) for the service-pack levels Wine does not offer. A
// 32-bit process reads its copy under Wow6432Node, so both are written.
void EmulateWindows(Windows windows, Registry& registry)
{
    static const wchar_t* const kWine[] = {nullptr, L"win2k", L"winxp", nullptr, L"win2003", nullptr, L"vista"};
    if (const wchar_t* wine = kWine[static_cast<int>(windows)])
        registry.Set(Sz(HKEY_CURRENT_USER, View::Native, L"Software\\Wine\\AppDefaults\\SetupBootstrapper.exe", L"Version",
                        wine));
    if (windows != Windows::XpSp2 && windows != Windows::Server2003Gold)
        return;
    const bool xp = windows == Windows::XpSp2;
    for (View view : {View::Native, View::Wow32})
    {
        const std::wstring key = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
        registry.Set(Sz(HKEY_LOCAL_MACHINE, view, key, L"CurrentVersion", xp ? L"5.1" : L"5.2"));
        registry.Set(Sz(HKEY_LOCAL_MACHINE, view, key, L"CurrentBuildNumber", xp ? L"2600" : L"3790"));
        registry.Set(xp ? Sz(HKEY_LOCAL_MACHINE, view, key, L"CSDVersion", L"Service Pack 2")
                        : Absent(HKEY_LOCAL_MACHINE, view, key, L"CSDVersion"));
    }
    registry.Set(Dword(HKEY_LOCAL_MACHINE, View::Native, L"System\\CurrentControlSet\\Control\\Windows", L"CSDVersion",
                       xp ? 0x200 : 0));
    registry.Set(Sz(HKEY_LOCAL_MACHINE, View::Native, L"System\\CurrentControlSet\\Control\\ProductOptions",
                    L"ProductType", xp ? L"WinNT" : L"ServerNT"));
}


struct Places
{
    std::wstring root, kit, temp;

    std::wstring Expand(std::wstring path) const
    {
        if (path.find(L"{PRODUCT}") != std::wstring::npos)
            path.replace(path.find(L"{PRODUCT}"), 9, Read(HKEY_LOCAL_MACHINE, View::Wow32, kProductKey, L"Path"));
        for (const auto& place : {std::make_pair(L"{KIT}", kit), {L"{TEMP}", temp}, {L"{ROOT}", root},
                                  {L"{TOOLS}", Setting(L"BS_TOOLS_DIR")}})
        {
            for (size_t at = 0; (at = path.find(place.first, at)) != std::wstring::npos;)
                path.replace(at, wcslen(place.first), place.second);
        }
        return path;
    }

    // Machine paths back into placeholders, so that the record is the same
    // wherever the scratch folder lies; control characters made visible.
    std::wstring Fold(std::wstring text) const
    {
        for (size_t at = 0; at < text.size(); ++at)
        {
            if (text[at] < L' ' && text[at] != L'\t')
            {
                const wchar_t* digits = L"0123456789ABCDEF";
                text.replace(at, 1, {L'<', digits[text[at] >> 4], digits[text[at] & 15], L'>'});
            }
        }
        for (const auto& place : {std::make_pair(kit, L"{KIT}"), {temp, L"{TEMP}"}, {root, L"{ROOT}"}})
        {
            for (size_t at = 0; (at = text.find(place.first, at)) != std::wstring::npos;)
                text.replace(at, place.first.size(), place.second);
        }
        return text;
    }
};

// Without its package the kit's setup only records how it was started,
// which is all most rows need, and fast.
void CopyKit(const std::wstring& from, const std::wstring& to, bool withPackage)
{
    std::filesystem::create_directory(to);
    for (const auto& file : std::filesystem::directory_iterator(from))
    {
        // What a demo run left in the build's kit is no part of it.
        const std::wstring name = file.path().filename().wstring();
        if (file.is_regular_file() && name.find(L"-received.txt") == std::wstring::npos &&
            name.find(L"-journal.txt") == std::wstring::npos && (withPackage || name != L"morvanto9.msi"))
            std::filesystem::copy_file(file.path(), std::filesystem::path(to) / name);
    }
}

// A setup that waits at its start (its control file's HangMs) goes on;
// false when it never got there.
bool ReleaseSetup()
{
    HANDLE release = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Morvanto9StandIn.Release");
    if (release == nullptr)
        return false;
    SetEvent(release);
    CloseHandle(release);
    return true;
}

// The product as the Windows Installer has it: installed by a row, and
// taken away again by msiexec's removal, as an administrator would, also
// when the row fails half-way.
class ProductInstallation
{
public:
    explicit ProductInstallation(bool expected) : m_expected(expected)
    {
        if (m_expected && Installed())
            Uninstall();  // what a row that crashed left
    }
    ~ProductInstallation()
    {
        if (m_expected && Installed())
            Uninstall();
    }
    ProductInstallation(const ProductInstallation&) = delete;
    ProductInstallation& operator=(const ProductInstallation&) = delete;

    static DWORD Uninstall()
    {
        const std::wstring code = kUninstallKey.substr(kUninstallKey.rfind(L'\\') + 1);
        return Child(L"msiexec.exe /x " + code + L" /qn", L"").Wait(180000);
    }

    // Whatever of the product is still there: its registrations, in either
    // registry view, and its folder.
    static std::vector<std::string> Leftovers(const std::wstring& folder)
    {
        const std::wstring product = kSourceList.substr(0, kSourceList.rfind(L'\\'));
        const std::wstring packed = product.substr(product.rfind(L'\\') + 1);
        std::vector<std::string> left;
        for (const std::wstring& key :
             {kUninstallKey, std::wstring(L"SOFTWARE\\Zel"), product,
              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\" + packed})
        {
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
            {
                HKEY handle = nullptr;
                if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &handle) == ERROR_SUCCESS)
                {
                    RegCloseKey(handle);
                    left.push_back(Utf8(key) + (view == KEY_WOW64_32KEY ? " (32-bit view)" : " (64-bit view)"));
                }
            }
        }
        if (!folder.empty() && Exists(folder))
            left.push_back(Utf8(folder));
        return left;
    }

private:
    static bool Installed()
    {
        return Read(HKEY_LOCAL_MACHINE, View::Wow32, kUninstallKey, L"DisplayName") != L"absent";
    }
    bool m_expected;
};

// A visible dialog of the process with the window's telling control.
HWND FindWindowOf(DWORD processId, Window window)
{
    static const int kTellingControl[] = {1005, 1016, 1025};
    for (HWND candidate : WindowsOf(processId))
    {
        if (ClassOf(candidate) != L"#32770")
            continue;
        if (window == Window::Message)
        {
            if (GetDlgItem(candidate, 1005) == nullptr && GetDlgItem(candidate, 1016) == nullptr &&
                GetDlgItem(candidate, 1025) == nullptr)
                return candidate;
        }
        else if (GetDlgItem(candidate, kTellingControl[static_cast<int>(window)]) != nullptr &&
                 IsWindowEnabled(GetDlgItem(candidate, IDOK)))
        {
            return candidate;
        }
    }
    return nullptr;
}

const char* const kWindowNames[] = {"language dialog", "prerequisites dialog", "failure dialog", "message",
                                    "setup window"};

// Where two records part, with a little of what comes before.
std::string Difference(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    size_t same = 0;
    while (same < expected.size() && same < actual.size() && expected[same] == actual[same])
        ++same;
    std::ostringstream report;
    report << "the record parts from the expected one at line " << same + 1 << "\n";
    for (size_t i = same >= 3 ? same - 3 : 0; i < same; ++i)
        report << "   same     | " << actual[i] << "\n";
    for (size_t i = same; i < same + 5; ++i)
    {
        report << "   expected | " << (i < expected.size() ? expected[i] : "(end)") << "\n";
        report << "   recorded | " << (i < actual.size() ? actual[i] : "(end)") << "\n";
    }
    return report.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1));
    return lines;
}

// A row's record is <row>.txt; a row of both machines keeps the 32-bit
// Windows's record in <row>.win32.txt where it differs.
void Compare(const Row& row, const std::vector<std::string>& record)
{
    const std::wstring folder = Setting(L"BS_EXPECTED_DIR");
    const std::wstring own = Join(folder, Wide(row.name) + L".win32.txt");
    const std::wstring shared = Join(folder, Wide(row.name) + L".txt");
    wchar_t write[8];
    if (GetEnvironmentVariableW(L"BS_WRITE_EXPECTED", write, ARRAYSIZE(write)) != 0)
    {
        std::string text;
        for (const auto& line : record)
            text += line + "\n";
        // The 64-bit Windows's record is the shared one; the 32-bit one
        // writes its own only where it differs (so write the 64-bit one
        // first: not side by side).
        if (Is64BitWindows() || row.machines == Machines::Win32)
            WriteBytes(shared, text);
        else if (ReadBytes(shared) != text)
            WriteBytes(own, text);
        else
            DeleteFileW(own.c_str());
        return;
    }
    const std::wstring path = !Is64BitWindows() && Exists(own) ? own : shared;
    ASSERT_TRUE(Exists(path)) << "no expected record " << Utf8(path) << " (BS_WRITE_EXPECTED=1 writes it)";
    const std::vector<std::string> expected = Lines(ReadBytes(path));
    if (expected != record)
        ADD_FAILURE() << Utf8(path) << ": " << Difference(expected, record);
}

// A window of the test's own, in front, run by a thread of its own so that
// what another process sends it is answered while the test waits.
class OtherWindow
{
public:
    OtherWindow()
    {
        m_thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitUntil([&] { return m_window != nullptr; });
    }
    ~OtherWindow()
    {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        WaitForSingleObject(m_thread, kTimeoutMs);
        CloseHandle(m_thread);
    }
    HWND Handle() const { return m_window; }

private:
    static DWORD WINAPI Run(void* self)
    {
        HWND window = CreateWindowExW(0, L"STATIC", L"Something else", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300,
                                      100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        static_cast<OtherWindow*>(self)->m_window = window;
        MSG message;
        while (IsWindow(window) && GetMessageW(&message, nullptr, 0, 0) > 0)
        {
            if (message.message == WM_CLOSE && message.hwnd == window)
                DestroyWindow(window);
            DispatchMessageW(&message);
        }
        return 0;
    }
    HANDLE m_thread = nullptr;
    HWND volatile m_window = nullptr;
};

// Answers the prerequisites dialog, which the library gets as its window.
HWND VisitWindows(const Child& bootstrapper, const std::vector<Visit>& visits, std::vector<std::string>& record)
{
    HWND prerequisites = nullptr;
    for (const Visit& visit : visits)
    {
        const char* name = kWindowNames[static_cast<int>(visit.window)];
        HWND window = nullptr;
        WaitUntil([&] {
            window = visit.window == Window::Setup ? FindWindowW(L"Morvanto9StandIn", nullptr)
                                                   : FindWindowOf(bootstrapper.Id(), visit.window);
            if (window != nullptr && !IsWindowVisible(window))
                window = nullptr;  // created, not yet shown
            return window != nullptr || !bootstrapper.Running();
        });
        if (window == nullptr)
        {
            ADD_FAILURE() << "no " << name << " appeared";
            break;
        }
        if (visit.window == Window::Prerequisites)
            prerequisites = window;
        record.push_back(std::string("window: ") + name);
        if (visit.window == Window::Setup)  // the setup's own window: only whether we wait for it
            record.push_back(bootstrapper.Running() ? "  the bootstrapper waits" : "  the bootstrapper has ended");
        else
            for (const auto& line : Describe(window))
                record.push_back("  " + Utf8(line));
        // Posted, so that a handler that opens another modal window never
        // blocks the driver.
        if (!visit.pick.empty())
        {
            HWND list = GetDlgItem(window, 1005);
            SendMessageW(list, CB_SETCURSEL, SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                          reinterpret_cast<LPARAM>(visit.pick.c_str())), 0);
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(1005, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        }
        if (visit.tick != 0)
            SendMessageW(GetDlgItem(window, visit.tick), BM_SETCHECK, BST_CHECKED, 0);
        if (visit.window == Window::Setup)
            PostMessageW(window, WM_CLOSE, 0, 0);
        else
            PostMessageW(GetDlgItem(window, visit.button), BM_CLICK, 0, 0);
        // The next window may be of the same kind: this one must be gone
        // first, or (the prerequisites dialog while the library runs) idle.
        WaitUntil([&] {
            return !IsWindow(window) || !IsWindowVisible(window) ||
                   (visit.window != Window::Setup && !IsWindowEnabled(GetDlgItem(window, IDOK)));
        });
    }
    return prerequisites;
}
// Whatever of ours is still open once the row's visits are done goes with
// Cancel (the setup's window with its close box), and the record says so.
void CancelLeftovers(const Child& bootstrapper, std::vector<std::string>& record)
{
    WaitUntil(
        [&] {
            HWND setup = FindWindowW(L"Morvanto9StandIn", nullptr);
            if (setup != nullptr && IsWindowVisible(setup))
            {
                record.push_back("left open: the setup window, closed");
                PostMessageW(setup, WM_CLOSE, 0, 0);
                WaitUntil([&] { return !IsWindow(setup); });
            }
            for (HWND window : WindowsOf(bootstrapper.Id()))
            {
                // One that waits for the person: its way out is enabled (not
                // the prerequisites dialog while the library runs).
                HWND wayOut = GetDlgItem(window, IDCANCEL) ? GetDlgItem(window, IDCANCEL) : GetDlgItem(window, IDOK);
                if (ClassOf(window) == L"#32770" && IsWindowEnabled(window) && wayOut && IsWindowEnabled(wayOut))
                {
                    record.push_back("left open: a dialog, cancelled");
                    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                    WaitUntil([&] { return !IsWindow(window); });
                }
            }
            return !bootstrapper.Running();
        },
        60000);
}

std::string Fold(const Places& places, const std::wstring& text)
{
    return Utf8(places.Fold(text));
}

bool ClosedByItsWriter(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// A watched value's line: where it is, and what it holds now.
std::string Watched(const Places& places, const RegValue& value)
{
    const char* where = value.root == HKEY_CURRENT_USER ? "HKCU"
                        : value.view == View::Wow32     ? "HKLM 32-bit"
                                                        : "HKLM 64-bit";
    return std::string("registry ") + where + " " + Utf8(value.key + L"\\" + value.name) + ": " +
           Fold(places, Read(value.root, value.view, value.key, value.name));
}
}  // namespace

std::vector<std::string> Record(const Row& row)
{
    std::vector<std::string> record;
    if (!RunsHere(row))
        return record;

    ProductInstallation product(row.installs);
    Scratch scratch(Wide(row.name));
    Places places{scratch.Path(), Join(scratch.Path(), L"kit"), Join(scratch.Path(), row.temp)};
    CopyKit(Setting(L"BS_KIT_DIR"), places.kit, row.installs);
    if (row.tempExists)
        CreateDirectoryW(places.temp.c_str(), nullptr);
    for (const Copy& copy : row.copies)
    {
        const std::wstring from = places.Expand(copy.from), to = places.Expand(copy.to);
        CreateDirectoryW(to.substr(0, to.rfind(L'\\')).c_str(), nullptr);
        EXPECT_TRUE(copy.move ? MoveFileW(from.c_str(), to.c_str()) : CopyFileW(from.c_str(), to.c_str(), FALSE))
            << Utf8(from);
    }
    for (const File& file : row.files)
    {
        const std::wstring path = places.Expand(file.path);
        CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        WriteBytes(path, file.bytes);
    }
    Registry registry;
    EmulateWindows(row.windows, registry);
    for (RegValue value : row.values)
    {
        const size_t cch = value.bytes.size() / sizeof(wchar_t);
        if (value.type == REG_SZ && value.bytes.size() % 2 == 0 && cch > 0 &&
            reinterpret_cast<const wchar_t*>(value.bytes.data())[cch - 1] == L'\0')  // a text may name a place
            value = Sz(value.root, value.view, value.key, value.name,
                       places.Expand(reinterpret_cast<const wchar_t*>(value.bytes.c_str())));
        registry.Set(value);
    }

    // Another program's line in the log's own form, in a file it holds open.
    const std::wstring log = Join(places.temp, L"dravo_v9_installhelperBS.csv");
    const std::string theirs = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(L"12/31/2026 23:59:59 held\r\n"), 52);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (row.logHeld)
    {
        held = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, 0, nullptr);
        DWORD cbWritten = 0;
        WriteFile(held, theirs.data(), static_cast<DWORD>(theirs.size()), &cbWritten, nullptr);
    }

    const std::wstring program = L"\"" + Join(places.kit, L"SetupBootstrapper.exe") + L"\"";
    const std::map<std::wstring, std::wstring> environment{{L"TMP", places.temp}, {L"TEMP", places.temp}};
    for (const std::wstring& line : row.before)
    {
        const std::wstring expanded = places.Expand(line);
        record.push_back("before: " + Fold(places, line) + ": exit code " +
                         std::to_string(Child(expanded, places.kit, environment).Wait(180000)));
    }
    if (!row.before.empty())
    {
        // The record is the later run's: its setup's command line, its log.
        DeleteFileW(Join(places.kit, L"morvanto9-received.txt").c_str());
        DeleteFileW(log.c_str());
    }
    if (!row.watchAtSetup.empty())
        WriteBytes(Join(places.kit, L"morvanto9-control.ini"), "[Behaviour]\r\nHangMs=120000\r\n");
    std::unique_ptr<Child> first;
    std::unique_ptr<OtherWindow> other;
    HWND firstDialog = nullptr;
    if (!row.first.empty())
    {
        first.reset(new Child(program + L" " + row.first, places.kit, environment));
        if (row.firstWaitsIn == Window::Language)
        {
            EXPECT_TRUE(WaitUntil([&] { return (firstDialog = FindWindowOf(first->Id(), Window::Language)) != nullptr; }));
            other.reset(new OtherWindow);
            WaitUntil([&] { return GetForegroundWindow() == other->Handle(); });
        }
        else
        {
            EXPECT_TRUE(WaitUntil([&] { return Exists(Join(places.kit, L"morvanto9-received.txt")); }));
        }
    }

    Child bootstrapper(program + (row.arguments.empty() ? L"" : L" ") + row.arguments,
                       row.folder.empty() ? places.kit : places.Expand(row.folder), environment);
    const HWND prerequisites = VisitWindows(bootstrapper, row.visits, record);
    if (!row.watchAtSetup.empty())
    {
        // The stand-in records its command line, then waits for the release.
        const bool started = WaitUntil([&] {
            return Exists(Join(places.kit, L"morvanto9-received.txt")) || !bootstrapper.Running();
        }) && Exists(Join(places.kit, L"morvanto9-received.txt"));
        record.push_back(started ? "the setup has started:" : "the setup did not start");
        for (const RegValue& value : row.watchAtSetup)
            record.push_back("  " + Watched(places, value));
        WaitUntil(ReleaseSetup);
    }
    CancelLeftovers(bootstrapper, record);
    record.push_back("exit code: " + std::to_string(bootstrapper.Wait(60000)));
    if (held != INVALID_HANDLE_VALUE)
    {
        CloseHandle(held);
        record.push_back(std::string("the other program's log: ") + (ReadBytes(log) == theirs ? "as it was" : "changed"));
    }
    if (first)
    {
        if (firstDialog != nullptr)
        {
            record.push_back(WaitUntil([&] { return GetForegroundWindow() == firstDialog; }, 5000)
                                 ? "in front: the first instance's language dialog"
                                 : "in front: another window");
            PostMessageW(firstDialog, WM_COMMAND, IDCANCEL, 0);
        }
        else
        {
            EXPECT_TRUE(WaitUntil(ReleaseSetup));
        }
        record.push_back("first instance's exit code: " + std::to_string(first->Wait(60000)));
    }

    const std::string setup = ReadBytes(Join(places.kit, L"morvanto9-received.txt"));
    record.push_back("setup: " + (setup.size() < 2 ? "(not started)"
                                                   : Fold(places, std::wstring(reinterpret_cast<const wchar_t*>(&setup[2]),
                                                                               (setup.size() - 2) / 2))));
    // The library gets the prerequisites dialog as its window: named, not numbered.
    const std::string dialog = std::to_string(reinterpret_cast<uintptr_t>(prerequisites)) + "\t";
    for (std::string call : Lines(ReadBytes(Join(places.kit, L"downloadandrun-journal.txt"))))
    {
        if (prerequisites != nullptr && call.compare(0, dialog.size(), dialog) == 0)
            call = "(the prerequisites dialog)\t" + call.substr(dialog.size());
        record.push_back("library: " + Fold(places, Wide(call)));
    }
    for (const RegValue& value : row.watch)
        record.push_back(Watched(places, value));
    for (const std::wstring& path : row.watchFiles)
    {
        const std::wstring file = places.Expand(path);
        const std::wstring ending = file.size() > 4 ? file.substr(file.size() - 4) : L"";
        const bool text = ending == L".txt" || ending == L".xml";
        // A text file is written by a program the bootstrapper started and
        // did not wait for: it is whole once its writer, which shares it for
        // reading only, has closed it.
        if (text)
            WaitUntil([&] { return ClosedByItsWriter(file); }, 10000);
        record.push_back("file " + Utf8(path) + ": " + (Exists(file) ? "present" : "absent"));
        for (const std::string& line : text ? Lines(ReadBytes(file)) : std::vector<std::string>())
            record.push_back("  " + Fold(places, Wide(line)));
    }
    for (const auto& [path, text] : row.excerpts)
    {
        record.push_back("lines of " + Utf8(path) + " with \"" + text + "\":");
        for (const std::string& line : Lines(ReadBytes(places.Expand(path))))
            if (line.find(text) != std::string::npos)
                record.push_back("  " + Fold(places, Wide(line)));
    }
    if (row.installs)
    {
        const std::wstring folder = places.Expand(L"{PRODUCT}");
        record.push_back("uninstalled: exit code " + std::to_string(ProductInstallation::Uninstall()));
        const std::vector<std::string> left = ProductInstallation::Leftovers(folder == L"absent" ? L"" : folder);
        record.push_back(left.empty() ? "left of the product: nothing" : "left of the product:");
        for (const std::string& line : left)
            record.push_back("  " + line);
    }

    if (row.logHeld)
        return record;
    record.push_back(Exists(Join(places.temp, L"dravo_v9_installhelperBS.csv")) ? "log:" : "log: (none)");
    for (const std::wstring& message : LogMessages(places.temp))
    {
        // How many of these come, and where, is the window manager's business.
        if (message != L"SetupBootstrapper.PrereqDialogCallback: unknown message" &&
            message != L"SetupBootstrapper.PrereqDialogCallback: WM_CTCOLORSTATIC" &&
            message != L"SetupBootstrapper.PrereqDialogCallback <<")
            record.push_back("  " + Fold(places, message));
    }
    return record;
}

void RunAndCompare(const Row& row)
{
    if (!RunsHere(row))
        GTEST_SKIP() << "a row for the other machine";
    Compare(row, Record(row));
}
}  // namespace runs
