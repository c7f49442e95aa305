// The x86 product as it ships: no program here can run it, so its file is
// checked: headers for Windows 2000, imports that Windows 2000 has, the
// manifest, and the kit around it.

#include "tests/support/PeImage.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

using namespace test;

namespace
{
std::wstring X86Bootstrapper()
{
    return JoinPath(X86KitDir(), L"SetupBootstrapper.exe");
}

// Every function the product may import, per DLL, each checked to exist on
// Windows 2000 SP4. An import not listed here fails the test: look it up for
// Windows 2000 before adding it (or load it at run time, as IsOS64 does with
// GetNativeSystemInfo).
const std::map<std::string, std::set<std::string>>& Windows2000Exports()
{
    static const std::map<std::string, std::set<std::string>> exports = {
        {"KERNEL32.DLL",
         {"CloseHandle", "CompareStringW", "CreateDirectoryW", "CreateEventW", "CreateFileA", "CreateFileW",
          "CreateMutexW", "CreateProcessW", "CreateSemaphoreA", "CreateSemaphoreW", "CreateThread",
          "DeleteCriticalSection", "DeleteFileW", "DuplicateHandle", "EnterCriticalSection", "ExitProcess",
          "ExpandEnvironmentStringsW", "FindClose", "FindFirstFileW", "FindNextFileW", "FindResourceW",
          "FindResourceExW", "FlushFileBuffers", "FormatMessageW", "FreeLibrary", "GetACP", "GetCommandLineA",
          "GetCommandLineW", "GetCurrentDirectoryW", "GetCurrentProcess", "GetCurrentProcessId",
          "GetCurrentThread", "GetCurrentThreadId", "GetEnvironmentVariableW", "GetExitCodeProcess",
          "GetFileAttributesW", "GetFileSize", "GetFileType", "GetLastError", "GetLocalTime",
          "GetModuleFileNameA", "GetModuleFileNameW", "GetModuleHandleA", "GetModuleHandleW",
          "GetPrivateProfileSectionNamesW", "GetPrivateProfileStringW", "GetProcAddress", "GetProcessHeap",
          "GetStartupInfoA", "GetStartupInfoW", "GetStdHandle", "GetSystemDirectoryW", "GetSystemInfo",
          "GetSystemTimeAsFileTime", "GetTempPathW", "GetTickCount", "GetVersionExA", "GetVersionExW",
          "GlobalAlloc", "GlobalFree", "GlobalLock", "GlobalUnlock", "HeapAlloc", "HeapFree", "HeapReAlloc",
          "InitializeCriticalSection", "InterlockedCompareExchange", "InterlockedDecrement",
          "InterlockedExchange", "InterlockedIncrement", "IsDBCSLeadByteEx", "LeaveCriticalSection",
          "LoadLibraryA", "LoadLibraryW", "LoadResource", "LocalAlloc", "LocalFree", "LockResource",
          "MulDiv", "MultiByteToWideChar", "OutputDebugStringA", "OutputDebugStringW",
          "QueryPerformanceCounter", "RaiseException", "ReadFile", "ReleaseMutex", "ReleaseSemaphore",
          "RemoveDirectoryW", "ResetEvent", "RtlUnwind", "SetEndOfFile", "SetEvent", "SetFileAttributesW",
          "SetFilePointer", "SetLastError", "SetUnhandledExceptionFilter", "SizeofResource", "Sleep",
          "TerminateProcess", "TlsAlloc", "TlsFree", "TlsGetValue", "TlsSetValue", "UnhandledExceptionFilter",
          "VirtualAlloc", "VirtualFree", "VirtualProtect", "VirtualQuery", "WaitForSingleObject",
          "WideCharToMultiByte", "WriteFile", "lstrcmpW", "lstrcmpiW", "lstrcpynW", "lstrlenA", "lstrlenW"}},
        {"USER32.DLL",
         {"CallWindowProcW", "CharNextW", "CheckDlgButton", "CreateWindowExW", "DefWindowProcW", "DestroyIcon", "DestroyWindow",
          "DialogBoxParamW", "DispatchMessageW", "EnableWindow", "EndDialog", "EnumWindows", "FindWindowW",
          "GetClassNameW", "GetClientRect", "GetDlgCtrlID", "GetDlgItem", "GetDlgItemTextW", "GetFocus",
          "GetForegroundWindow", "GetMessageW", "GetParent", "GetSysColor", "GetSystemMetrics",
          "GetWindowLongW", "GetWindowRect", "GetWindowTextW", "GetWindowThreadProcessId", "InvalidateRect",
          "IsDialogMessageW", "IsDlgButtonChecked", "IsWindow", "IsWindowVisible", "LoadBitmapW", "LoadCursorW",
          "LoadIconW", "LoadImageW", "LoadStringW", "MapDialogRect", "MessageBeep", "MessageBoxA", "MessageBoxW",
          "PostMessageW", "PostQuitMessage", "RedrawWindow", "RegisterClassExW", "RegisterClassW",
          "ScreenToClient", "SendDlgItemMessageW", "SendMessageW", "SetCursor", "SetDlgItemTextW", "SetFocus",
          "SetForegroundWindow", "SetWindowLongW", "SetWindowPos", "SetWindowTextW", "ShowWindow",
          "SystemParametersInfoW", "TranslateMessage", "UpdateWindow", "wsprintfW"}},
        {"GDI32.DLL",
         {"CreateBrushIndirect", "CreateFontIndirectW", "CreateSolidBrush", "DeleteObject", "GetDeviceCaps",
          "GetObjectW", "GetStockObject", "SelectObject", "SetBkColor", "SetBkMode", "SetTextColor"}},
        {"ADVAPI32.DLL",
         {"RegCloseKey", "RegCreateKeyExW", "RegDeleteKeyW", "RegDeleteValueW", "RegOpenKeyExW",
          "RegQueryValueExW", "RegSetValueExW"}},
        {"SHELL32.DLL", {"CommandLineToArgvW", "SHGetFileInfoW", "ShellExecuteA", "ShellExecuteW"}},
        {"COMCTL32.DLL", {"InitCommonControls"}},
        {"OLE32.DLL", {"CoCreateInstance", "CoInitialize", "CoInitializeEx", "CoUninitialize", "OleRun"}},
        {"OLEAUT32.DLL", {"SysAllocString", "SysFreeString", "SysStringLen", "VariantChangeType", "VariantClear",
                          "VariantCopy", "VariantInit"}},
        {"VERSION.DLL", {"GetFileVersionInfoSizeW", "GetFileVersionInfoW", "VerQueryValueW"}},
        // The C runtime of Windows 2000 (msvcrt 6.1); only the classic functions.
        {"MSVCRT.DLL",
         {"__getmainargs", "__initenv", "__mb_cur_max", "__p__acmdln", "__p__commode", "__p__fmode",
          "__p__wcmdln", "__set_app_type", "__setusermatherr", "__wgetmainargs", "_amsg_exit", "_cexit",
          "_close", "_errno", "_initterm", "_iob", "_lock", "_onexit", "_read", "_unlock", "_vsnprintf", "_vsnwprintf", "_wcsicmp",
          "abort", "atoi", "calloc", "exit", "fprintf", "fputc", "fputs", "free", "fwrite", "iswspace", "localeconv",
          "malloc", "memchr", "memcmp", "memcpy", "memmove", "memset", "realloc", "setlocale", "signal", "strchr",
          "strcmp", "strerror", "strlen", "strncmp", "vfprintf", "wcschr", "wcscmp", "wcscpy", "wcscspn", "wcslen",
          "wcsncmp", "wcsrchr", "wcsstr", "wcstol", "_wtoi"}},
    };
    return exports;
}
}  // namespace

TEST(ProductImage, IsAPe32GuiProgramForWindows2000WithoutTimestamp)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    EXPECT_TRUE(image.IsPe32());
    EXPECT_EQ(image.Machine(), IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(image.Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // Windows 2000 refuses to load an image that asks for a later system.
    EXPECT_EQ(image.MajorSubsystemVersion(), 5);
    EXPECT_EQ(image.MinorSubsystemVersion(), 0);
    EXPECT_EQ(image.MajorOsVersion(), 5);
    EXPECT_EQ(image.MinorOsVersion(), 0);
    EXPECT_EQ(image.TimeDateStamp(), 0u) << "the build is not reproducible";
    EXPECT_TRUE(image.Characteristics() & IMAGE_FILE_EXECUTABLE_IMAGE);
}

TEST(ProductImage, ImportsOnlyWhatWindows2000Has)
{
    for (const wchar_t* file : {L"SetupBootstrapper.exe", L"morvanto9.exe"})
    {
        SCOPED_TRACE(WideToUtf8(file));
        PeImage image(JoinPath(X86KitDir(), file));
        ASSERT_TRUE(image.Valid()) << image.Error();
        const auto& allowed = Windows2000Exports();
        for (const auto& dll : image.Imports())
        {
            auto known = allowed.find(dll.first);
            if (known == allowed.end())
            {
                // libstdc++-6.dll, libgcc_s_*.dll, libwinpthread-1.dll: a kit holds no runtime DLLs.
                ADD_FAILURE() << "imports from " << dll.first << ", which is not a system DLL of Windows 2000";
                continue;
            }
            for (const auto& function : dll.second)
            {
                EXPECT_TRUE(known->second.count(function))
                    << dll.first << "!" << function << " is not known to exist on Windows 2000";
            }
        }
    }
}

TEST(ProductImage, CarriesItsOwnVersionRecord)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    std::string version = image.Resource(L"#16", L"#1");
    const std::wstring text(reinterpret_cast<const wchar_t*>(version.data()), version.size() / sizeof(wchar_t));
    EXPECT_NE(text.find(L"Zel Morvanto 9.5 Setup Bootstrapper"), std::wstring::npos);
    EXPECT_NE(text.find(L"SetupBootstrapper.exe"), std::wstring::npos);
}

TEST(ProductImage, ManifestAsksForAdministratorAndCommonControls6)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    std::string manifest = image.Resource(L"#24", L"#1");
    ASSERT_FALSE(manifest.empty()) << "no manifest resource 1";
    for (const char* expected : {
             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
             "type=\"win32\"",
             "name=\"Microsoft.Windows.Common-Controls\"",
             "version=\"6.0.0.0\"",
             "processorArchitecture=\"x86\"",
             "publicKeyToken=\"6595b64144ccf1df\"",
         })
        EXPECT_NE(manifest.find(expected), std::string::npos) << "manifest lacks " << expected << "\n" << manifest;
}

TEST(ProductImage, KitHoldsTheProgramTheCatalogueAndTheStandInsButNoRuntime)
{
    for (const std::wstring& kit : {X86KitDir(), KitDir()})
    {
        SCOPED_TRACE(WideToUtf8(kit));
        for (const wchar_t* file : {L"SetupBootstrapper.exe", L"languages.ini", L"morvanto9.exe"})
            EXPECT_TRUE(FileExists(JoinPath(kit, file))) << WideToUtf8(file);
        for (const wchar_t* runtime : {L"libstdc++-6.dll", L"libgcc_s_dw2-1.dll", L"libgcc_s_seh-1.dll",
                                       L"libwinpthread-1.dll"})
            EXPECT_FALSE(FileExists(JoinPath(kit, runtime))) << WideToUtf8(runtime);
    }
}

TEST(ProductImage, SetupIconIsOne32By32ImageOf24Bits)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    std::string group = image.Resource(L"#14", L"#105");
    ASSERT_GE(group.size(), 6u + 14u) << "no icon group 105";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(group.data());
    EXPECT_EQ(bytes[4] | (bytes[5] << 8), 1) << "image count";
    EXPECT_EQ(bytes[6], 32);                          // width
    EXPECT_EQ(bytes[7], 32);                          // height
    EXPECT_EQ(bytes[6 + 6] | (bytes[6 + 7] << 8), 24);  // bits per pixel
}

TEST(ProductImage, BannerIs499By61At24Bits)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    std::string bitmap = image.Resource(L"#2", L"#130");  // RT_BITMAP, IDB_TOP9
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER)) << "no banner bitmap";
    BITMAPINFOHEADER header;
    memcpy(&header, bitmap.data(), sizeof(header));
    EXPECT_EQ(header.biWidth, 499);
    EXPECT_EQ(header.biHeight, 61);
    EXPECT_EQ(header.biBitCount, 24);
}
