// dialogcamera.exe: takes a picture of each of the bootstrapper's dialogs.
//
//   dialogcamera.exe <kit folder> <output folder>
//
// Opens every dialog through the bootstrapper's own functions, in this
// process, with the process-wide values a run would have set; waits until it
// is shown and painted; copies it into a bitmap; writes the bitmap as
// "<output folder>\<name>.bmp"; and closes the dialog the way a person would.
// The output folder also becomes the temporary folder, so the diagnostic log
// of the shots lands there. scripts/render-dialogs.sh turns the bitmaps into
// the PNG pictures of the documentation. Exit code 0 when every picture was
// taken, 1 otherwise (with the reason on standard error).

#include "bootstrap/LaunchSequence.h"
#include "language/LanguageDialog.h"
#include "platform/CommonControls.h"
#include "prerequisites/ErrorDialog.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqDialog.h"
#include "product/InstalledProduct.h"
#include "resources/resource.h"
#include "support/Handles.h"
#include "support/ProductIdentity.h"
#include "support/RunState.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <strsafe.h>

namespace
{
constexpr DWORD kShotTimeoutMs = 20000;

using UniqueMemoryDc = UniqueResource<NullableHandleTraits<HDC, DeleteDC>>;

// An installed product of the camera's own, so that the downgrade message can
// be shown without touching the registration of the real product: its
// uninstall entry names a newer version than the kit's setup (9.5.0.1).
constexpr wchar_t kCameraProductCode[] = L"{6B1E0C2D-7A54-4F1B-9C3E-D1A10C0CA3E1}";
constexpr wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kInstalledVersion[] = L"99.0";

void Fail(const std::wstring& what)
{
    char text[4096];
    WideCharToMultiByte(CP_UTF8, 0, what.c_str(), -1, text, sizeof(text), nullptr, nullptr);
    std::fprintf(stderr, "dialogcamera: %s\n", text);
}

// Polls until the condition holds or the time-out passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    for (const DWORD start = GetTickCount(); !condition(); Sleep(10))
    {
        if (GetTickCount() - start >= timeoutMs)
            return condition();
    }
    return true;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return folder + L"\\" + name;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A shown dialog of this process that fits.
HWND WaitForOwnDialog(const std::function<bool(HWND)>& fits)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (found = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); found != nullptr;
                 found = FindWindowExW(nullptr, found, L"#32770", nullptr))
            {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (owner == GetCurrentProcessId() && IsWindowVisible(found) && fits(found))
                    return true;
            }
            return false;
        },
        kShotTimeoutMs);
    return found;
}

void SetText(wchar_t* target, const wchar_t* value)
{
    StringCchCopyW(target, kCchText, value);
}

// The values that a run sets before the dialogs open.
void SetRunValues(const wchar_t* selectedLanguage, const wchar_t* osLanguage)
{
    SetText(SelectedLanguageId, selectedLanguage);
    SetText(OsLanguage, osLanguage);
}

bool WriteBitmapFile(const std::wstring& path, int width, int height, const std::vector<unsigned char>& bottomUp)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(bottomUp.size());
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;

    UniqueHandle handle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!handle)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(handle.get(), &file, sizeof(file), &written, nullptr) && written == sizeof(file);
    ok = ok && WriteFile(handle.get(), &info, sizeof(info), &written, nullptr) && written == sizeof(info);
    ok = ok && WriteFile(handle.get(), bottomUp.data(), info.biSizeImage, &written, nullptr) &&
         written == info.biSizeImage;
    return ok;
}

BOOL CALLBACK ChildWaitsForPaint(HWND child, LPARAM lParam)
{
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE))
    {
        *reinterpret_cast<bool*>(lParam) = false;
        return FALSE;
    }
    return TRUE;
}

// True when the window is shown and neither it nor any of its visible
// children waits for WM_PAINT.
bool NothingToPaint(HWND window)
{
    if (!IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool clean = true;
    EnumChildWindows(window, ChildWaitsForPaint, reinterpret_cast<LPARAM>(&clean));
    return clean;
}

// Returns once the window's thread has handled everything it was doing: a
// sent message is only taken between two messages, never inside a handler.
bool SyncWithWindowThread(HWND window)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &answer) != 0;
}

// True when the window has painted all of itself. An update region is
// emptied when painting begins, not when it ends: so nothing may be left to
// paint both before and after the window's thread has come back to its
// message loop, which it does only after the paint that was under way.
bool IsPainted(HWND window)
{
    return NothingToPaint(window) && SyncWithWindowThread(window) && NothingToPaint(window);
}

// Copies the whole window, frame and caption included, as it has painted
// itself; what other windows on the display do cannot show through.
bool Capture(HWND window, const std::wstring& path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    if (!bitmap || !memory || bits == nullptr)
        return false;
    HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    // The window's own device context reads what the window has painted,
    // frame and children included; the screen would show it only once the
    // display has caught up.
    HDC source = GetWindowDC(window);
    const bool printed =
        source != nullptr && BitBlt(memory.get(), 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
    if (source != nullptr)
        ReleaseDC(window, source);
    GdiFlush();
    SelectObject(memory.get(), previous);
    if (!printed)
        return false;

    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const unsigned char* first = static_cast<const unsigned char*>(bits);
    std::vector<unsigned char> pixels(first, first + stride * static_cast<size_t>(height));
    return WriteBitmapFile(path, width, height, pixels);
}

// Runs open on a thread of its own (it shows a modal window and returns when
// that has ended), finds the window with find, takes its picture into
// "<folder>\<name>.bmp", closes it with close and waits for open to return.
bool Shoot(const std::wstring& folder, const wchar_t* name, const std::function<void()>& open,
           const std::function<HWND()>& find, const std::function<void(HWND)>& close)
{
    // A Win32 thread: the x86 compiler's win32 thread model has no std::thread.
    struct Opening
    {
        const std::function<void()>& open;
        std::atomic<bool> returned;
        static DWORD WINAPI Run(void* self)
        {
            static_cast<Opening*>(self)->open();
            static_cast<Opening*>(self)->returned = true;
            return 0;
        }
    } opening{open, {false}};
    std::atomic<bool>& returned = opening.returned;
    HANDLE thread = CreateThread(nullptr, 0, Opening::Run, &opening, 0, nullptr);
    if (thread == nullptr)
    {
        Fail(std::wstring(name) + L": no thread to open the window on");
        return false;
    }

    bool ok = true;
    HWND window = find();
    if (window == nullptr)
    {
        Fail(std::wstring(name) + L": the window did not appear");
        ok = false;
    }
    else if (!WaitUntil([&] { return IsPainted(window); }, kShotTimeoutMs))
    {
        Fail(std::wstring(name) + L": the window was not painted");
        ok = false;
    }
    else if (!Capture(window, Join(folder, std::wstring(name) + L".bmp")))
    {
        Fail(std::wstring(name) + L": the picture could not be taken or written");
        ok = false;
    }

    if (window != nullptr)
        close(window);
    if (!WaitUntil([&] { return returned.load(); }, kShotTimeoutMs))
    {
        // A window that does not close leaves nothing to join: end here.
        Fail(std::wstring(name) + L": the window did not close");
        std::fflush(stderr);
        ExitProcess(1);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return ok;
}

HWND FindOwnDialogWith(int controlId)
{
    return WaitForOwnDialog([controlId](HWND dialog) { return GetDlgItem(dialog, controlId) != nullptr; });
}

void Press(HWND dialog, int buttonId)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

std::wstring DisplayName(const Prerequisite& row)
{
    wchar_t name[kCchText];
    CatalogueTextToWide(row.displayName, name, kCchText);
    return name;
}

class CameraProduct
{
public:
    CameraProduct() : m_key(std::wstring(kUninstallRoot) + L"\\" + kCameraProductCode) { Remove(); }
    ~CameraProduct() { Remove(); }
    CameraProduct(const CameraProduct&) = delete;
    CameraProduct& operator=(const CameraProduct&) = delete;

    // The uninstall entry in the view the product's reader uses.
    bool Install() const
    {
        UniqueRegKey key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                            nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
            return false;
        return Set(key.get(), L"DisplayName", kProductName) && Set(key.get(), L"DisplayVersion", kInstalledVersion);
    }

private:
    static bool Set(HKEY key, const wchar_t* name, const wchar_t* value)
    {
        const DWORD cb = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), cb) == ERROR_SUCCESS;
    }
    void Remove() const { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), KEY_WOW64_32KEY, 0); }

    std::wstring m_key;
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: dialogcamera <kit folder> <output folder>\n");
        return 2;
    }
    const std::wstring kit = argv[1];
    const std::wstring out = argv[2];
    const std::wstring setup = Join(kit, kSetupSourcePath);
    const std::wstring catalogue = Join(kit, kLanguageCatalogueName);
    if (!Exists(setup) || !Exists(catalogue) || !Exists(out))
    {
        Fail(L"the kit folder needs morvanto9.exe and languages.ini, and the output folder must exist");
        return 2;
    }

    // Where the diagnostic log goes: read on its first line.
    SetEnvironmentVariableW(L"TMP", out.c_str());
    SetEnvironmentVariableW(L"TEMP", out.c_str());

    // What WinMain sets for every run; this program carries the resources.
    instanceHandle = GetModuleHandleW(nullptr);
    SetText(productCaption, kProductName);
    InstallMode.silent = false;
    EnsureCommonControls();

    bool ok = true;

    // The language dialog of a first installation on an English system.
    SetRunValues(L"", L"1033");
    ok &= Shoot(
        out, L"language",
        [&] {
            wchar_t args[kCchText] = L"";
            ShowSelectLanguageDialog(instanceHandle, setup.c_str(), kProductName, catalogue.c_str(), args);
        },
        [] { return FindOwnDialogWith(IDC_LANGUAGE_LIST); }, [](HWND dialog) { Press(dialog, IDCANCEL); });

    // The prerequisites dialog with two lines in each language: .NET
    // Framework with MDAC on an English system, .NET Framework with the
    // system's language pack on an Italian and a German one.
    const struct
    {
        const wchar_t* name;
        const wchar_t* language;
        int languagePackPresent;
        int mdacPresent;
    } prerequisites[] = {{L"prerequisites-en", L"1033", 1, 0},
                         {L"prerequisites-it", L"1040", 0, 1},
                         {L"prerequisites-de", L"1031", 0, 1}};
    for (const auto& shot : prerequisites)
    {
        SetRunValues(shot.language, shot.language);
        ok &= Shoot(
            out, shot.name,
            [&] {
                CreatePrereqDialog(instanceHandle, productCaption, SelectedLanguageId, 1, 0,
                                   shot.languagePackPresent, OsLanguage, shot.mdacPresent);
            },
            [] { return FindOwnDialogWith(IDC_PREREQ_LIST); }, [](HWND dialog) { Press(dialog, IDCANCEL); });
    }

    // The failure dialog for .NET Framework in each language. Retry closes
    // it without asking the shell to open the download location.
    const std::wstring dotNet = DisplayName(DotNetRow(true));
    const struct
    {
        const wchar_t* name;
        const wchar_t* language;
    } failures[] = {{L"failure-en", L"1033"}, {L"failure-it", L"1040"}, {L"failure-de", L"1031"}};
    for (const auto& shot : failures)
    {
        SetRunValues(shot.language, shot.language);
        ok &= Shoot(
            out, shot.name,
            [&] {
                const Prerequisite& row = DotNetRow(true);
                ShowErrorDialog(instanceHandle, productCaption, dotNet.c_str(), row.downloadLocation, row.fileName);
            },
            [] { return FindOwnDialogWith(IDC_ERROR_TEXT); }, [](HWND dialog) { Press(dialog, IDOK); });
    }

    // The downgrade message of the launch sequence: the installed product is
    // newer than the kit's setup.
    SetRunValues(L"", L"1033");
    CameraProduct product;
    if (!product.Install() || !IsProductInstalled(kCameraProductCode) ||
        !IsDowngrade(kCameraProductCode, setup.c_str()))
    {
        Fail(L"downgrade: the installed product could not be set up as newer than the kit");
        ok = false;
    }
    else
    {
        ok &= Shoot(
            out, L"downgrade",
            [&] {
                LaunchExe(instanceHandle, setup.c_str(), kProductName, kCameraProductCode, catalogue.c_str());
            },
            [] {
                return WaitForOwnDialog([](HWND box) {
                    wchar_t caption[64] = L"";
                    GetWindowTextW(box, caption, ARRAYSIZE(caption));
                    return lstrcmpW(caption, L"Zel Morvanto 9") == 0;
                });
            },
            [](HWND box) { Press(box, IDOK); });
    }

    return ok ? 0 : 1;
}
