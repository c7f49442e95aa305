// The x86 product as it ships: no program here can run it, so its file is
// checked: headers for Windows 2000, imports that Windows 2000 has, what it
// loads or starts by bare name, the manifest, every resource with its
// language and every dialog template control by control, and the kit around
// it. Resources and templates are checked in the x64 build too, which is the
// one the other tests run.

#include "tests/support/PeImage.h"
#include "tests/support/TestFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

using namespace test;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Key;
using ::testing::Not;

namespace
{
std::wstring X86Bootstrapper()
{
    return JoinPath(X86KitDir(), L"SetupBootstrapper.exe");
}

// Every function the product may import, per DLL, each checked to exist on
// Windows 2000 SP4. An import not listed here fails the test: look it up for
// Windows 2000 before adding it (or load it at run time, as IsOS64 does with
// GetNativeSystemInfo). The unbounded copies and formats are left out on
// purpose.
const std::map<std::string, std::set<std::string>>& Windows2000Exports()
{
    static const std::map<std::string, std::set<std::string>> exports = {
        {"KERNEL32.DLL",
         {"CloseHandle", "CompareStringW", "CreateDirectoryW", "CreateEventW", "CreateFileA", "CreateFileW",
          "CreateMutexW", "CreateProcessA", "CreateProcessW", "CreateSemaphoreA", "CreateSemaphoreW", "CreateThread",
          "DeleteCriticalSection", "DeleteFileW", "DuplicateHandle", "EnterCriticalSection", "ExitProcess",
          "ExpandEnvironmentStringsW", "FindClose", "FindFirstFileW", "FindNextFileW", "FindResourceW",
          "FindResourceExW", "FlushFileBuffers", "FormatMessageW", "FreeLibrary", "GetACP", "GetCommandLineA",
          "GetCommandLineW", "GetCurrentDirectoryW", "GetCurrentProcess", "GetCurrentProcessId",
          "GetCurrentThread", "GetCurrentThreadId", "GetEnvironmentVariableW", "GetExitCodeProcess",
          "GetFileAttributesA", "GetFileAttributesW", "GetFileSize", "GetFileType", "GetLastError", "GetLocalTime",
          "GetModuleFileNameA", "GetModuleFileNameW", "GetModuleHandleA", "GetModuleHandleW",
          "GetPrivateProfileSectionNamesW", "GetPrivateProfileStringA", "GetPrivateProfileStringW", "GetProcAddress", "GetProcessHeap",
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
          "WideCharToMultiByte", "WriteFile", "lstrcmpW", "lstrcmpiA", "lstrcmpiW", "lstrcpynW", "lstrlenA", "lstrlenW"}},
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
          "SystemParametersInfoW", "TranslateMessage", "UpdateWindow"}},
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
          "strcmp", "strerror", "strlen", "strncmp", "strrchr", "strtol", "strtoul", "vfprintf", "wcschr", "wcscmp", "wcscspn", "wcslen",
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
    // The stand-ins too: a kit installs offline through downloadandrun.dll.
    for (const wchar_t* file : {L"SetupBootstrapper.exe", L"morvanto9.exe", L"downloadandrun.dll"})
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
        // COM is delay-loaded: its functions are checked only if they are seen.
        if (std::wstring(file) == L"SetupBootstrapper.exe")
        {
            EXPECT_THAT(image.Imports(), Contains(Key("OLE32.DLL"))) << "delay imports not read";
        }
    }
}

TEST(ProductImage, LooksUpWhatWindows2000LacksAtRunTime)
{
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    std::vector<std::string> texts = image.Texts(8);
    for (const char* function : {"GetNativeSystemInfo", "SetDllDirectoryW"})
    {
        SCOPED_TRACE(function);
        for (const auto& dll : image.Imports())
            EXPECT_THAT(dll.second, Not(Contains(function))) << "imported from " << dll.first;
        // The name GetProcAddress is given.
        EXPECT_THAT(texts, Contains(function));
    }
}

// What the program may load or start by a bare file name, where the search
// includes folders other than the system's: anything else found among its
// texts fails the test. The DLLs of the import table are checked above.
TEST(ProductImage, LoadsOrStartsByBareNameOnlyWhatItMeansTo)
{
    const std::map<std::string, const char*> meant = {
        {"downloadandrun.dll", "the download-and-run library, looked for beside the executable first"},
        {"morvanto9.exe", "the product's setup, started from beside the executable"},
        {"regsvr32.exe", "the registration tool on Windows 2000, found in the system folder"},
        {"libgcc_s_dw2-1.dll", "GCC's start-up code, which takes it only when already loaded"},
        {"comctl32.dll", "loaded before the first window; the manifest sends it to version 6"},
        // File names handed to the download-and-run library, never run here.
        {"WindowsInstaller-KB893803-v2-x86.exe", "a package name"},
        {"dotnetfx.exe", "a package name"},
        {"NetFx64.exe", "a package name"},
        {"langpack.exe", "a package name"},
        {"mdac_typ.exe", "a package name"},
    };
    PeImage image(X86Bootstrapper());
    ASSERT_TRUE(image.Valid()) << image.Error();
    // A text that is a file name, alone or at the start of a command line.
    const std::regex bareName("([A-Za-z0-9_.-]+\\.(dll|exe))( .*)?", std::regex::icase);
    std::set<std::string> found;
    for (const std::string& text : image.Texts(5))
    {
        std::smatch match;
        if (!std::regex_match(text, match, bareName))
            continue;
        // A wide text stored right behind a narrow one that ends in a
        // letter ("ShellExecuteA") reads with that letter in front.
        std::string name = match[1].str();
        if (!meant.count(name) && meant.count(name.substr(1)))
            name.erase(0, 1);
        found.insert(name);
    }
    EXPECT_THAT(found, Contains("downloadandrun.dll")) << "the search for names sees nothing";
    for (const std::string& name : found)
    {
        std::string upper = name;
        for (auto& c : upper)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        if (image.Imports().count(upper))
            continue;  // a system DLL, loaded with the program
        EXPECT_TRUE(meant.count(name)) << name << " is loaded or started by a bare name";
    }
}

// The bootstrapper looks the entry point up by this name; a stdcall export
// of the x86 build is "DownloadAndRunMain@56" unless the build says otherwise.
TEST(ProductImage, DownloadAndRunStandInExportsItsEntryPointByItsPlainName)
{
    PeImage library(JoinPath(X86KitDir(), L"downloadandrun.dll"));
    ASSERT_TRUE(library.Valid()) << library.Error();
    EXPECT_TRUE(library.IsPe32());
    EXPECT_EQ(library.Machine(), IMAGE_FILE_MACHINE_I386);
    EXPECT_NE(library.Characteristics() & IMAGE_FILE_DLL, 0);
    EXPECT_THAT(library.Exports(), ElementsAre("DownloadAndRunMain"));
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
    ASSERT_EQ(group.size(), 6u + 14u) << "icon group 105 with one image";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(group.data());
    EXPECT_EQ(std::vector<int>({bytes[4] | (bytes[5] << 8), bytes[6], bytes[7], bytes[12] | (bytes[13] << 8)}),
              std::vector<int>({1, 32, 32, 24}))
        << "images, width, height, bits per pixel";
    // The image itself, which is what the dialog draws, says the same (its
    // height counts the mask as well).
    const int imageId = bytes[18] | (bytes[19] << 8);
    std::string icon = image.Resource(L"#3", L"#" + std::to_wstring(imageId));
    ASSERT_GE(icon.size(), sizeof(BITMAPINFOHEADER)) << "no icon image " << imageId;
    BITMAPINFOHEADER header;
    memcpy(&header, icon.data(), sizeof(header));
    EXPECT_EQ(std::vector<int>({header.biWidth, header.biHeight, header.biBitCount}),
              std::vector<int>({32, 64, 24}));
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

namespace
{
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr WORD kItalian = MAKELANGID(LANG_ITALIAN, SUBLANG_ITALIAN);

std::string Describe(const PeResourceKey& key)
{
    static const std::map<std::wstring, std::string> types = {
        {L"#2", "bitmap"}, {L"#3", "icon image"}, {L"#5", "dialog"},  {L"#14", "icon"},
        {L"#16", "version"}, {L"#24", "manifest"}, {L"BIN", "\"BIN\""}};
    auto type = types.find(key.type);
    return (type != types.end() ? type->second : WideToUtf8(key.type)) + " " + WideToUtf8(key.name.substr(1)) +
           " in " + std::to_string(key.language);
}

std::vector<std::string> Describe(const std::vector<PeResourceKey>& keys)
{
    std::vector<std::string> lines;
    for (const auto& key : keys)
        lines.push_back(Describe(key));
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Describe(const DialogControl& c)
{
    return std::to_string(c.id) + " " + WideToUtf8(c.className) + " \"" + WideToUtf8(c.text) + "\" style " +
           std::to_string(c.style) + "/" + std::to_string(c.exStyle) + " at " + std::to_string(c.x) + "," +
           std::to_string(c.y) + " size " + std::to_string(c.cx) + "x" + std::to_string(c.cy);
}

std::vector<std::string> Describe(const std::vector<DialogControl>& controls)
{
    std::vector<std::string> lines;
    for (const auto& control : controls)
        lines.push_back(Describe(control));
    return lines;
}

// The control kinds of the templates, with the styles the resource compiler
// gives each statement.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDefaultButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kText = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kCheckBox = kChild | BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP;
constexpr DWORD kSeparator = kChild | SS_SUNKEN;  // a sunken frame one unit high
constexpr DWORD kList = kChild | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP;

struct PrereqTexts
{
    const wchar_t *next, *cancel, *heading, *missing, *willInstall;
    short textWidth;  // of the heading; the text under it is 9 units narrower
};

// The three prerequisites templates share their layout. The banner comes
// first: the heading and the text that lie on it paint after it.
std::vector<DialogControl> PrereqControls(const PrereqTexts& t)
{
    return {{-1, L"Static", L"#130", kChild | SS_BITMAP, 0, 0, 0, 333, 38},
            {1, L"Button", t.next, kDefaultButton, 0, 215, 198, 50, 14},
            {2, L"Button", t.cancel, kButton, 0, 273, 198, 50, 14},
            {1013, L"Static", t.heading, kText, 0, 9, 5, t.textWidth, 11},
            {1017, L"Static", t.missing, kText, 0, 18, 17, static_cast<short>(t.textWidth - 9), 17},
            {1015, L"Static", t.willInstall, kText, 0, 19, 46, 271, 23},
            {-1, L"Static", L"", kSeparator, 0, 0, 187, 329, 1},
            {-1, L"Static", L"", kSeparator, 0, 0, 38, 329, 1},
            {1016, L"ListBox", L"", kList, 0, 19, 76, 277, 95}};
}

struct ExpectedDialog
{
    int id;
    WORD language;
    DWORD style;
    short cx, cy;
    const wchar_t* caption;  // replaced at run time
    std::vector<DialogControl> controls;  // in template order, which is the tab order
};

const std::vector<ExpectedDialog>& ExpectedDialogs()
{
    constexpr DWORD kCentredModal = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    static const std::vector<ExpectedDialog> dialogs = {
        // Language selection. The list keeps the catalogue's order: no
        // CBS_SORT. Its height includes the dropped list.
        {101, kEnglish, kCentredModal | WS_SYSMENU | DS_FIXEDSYS, 249, 75, L"!!!",
         {{1, L"Button", L"OK", kDefaultButton, 0, 69, 55, 54, 14},
          {2, L"Button", L"Cancel", kButton, 0, 126, 55, 54, 14},
          {1002, L"Static", L"&Select the language for this installation from the choices below.", kText, 0, 35, 9,
           207, 12},
          {1005, L"ComboBox", L"", kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 35, 31, 179, 70},
          {-1, L"Static", L"#105", kChild | SS_ICON | SS_CENTERIMAGE, 0, 8, 9, 20, 20}}},
        // Prerequisites, without a system menu.
        {1033, kEnglish, kCentredModal, 330, 216, L"Dialog",
         PrereqControls({L"&Next >", L"Cancel", L"Prerequisites check",
                         L"This machine is missing components required by %s",
                         L"%s setup wizard will now download and install the following components.", 247})},
        {1034, kItalian, kCentredModal, 330, 216, L"Dialog",
         PrereqControls({L"&Avanti >", L"Annulla", L"Prerequisiti di installazione",
                         L"Su questo computer mancano i componenti richiesti da %s",
                         L"La procedura guidata di impostazione %s ora caricherà ed installerà le seguenti "
                         L"componenti.",
                         247})},
        {1035, kGerman, kCentredModal, 330, 216, L"Dialog",
         PrereqControls({L"&Weiter >", L"Abbrechen", L"Überprüfung der Installationsvoraussetzungen",
                         L"Auf diesem Computer fehlen Softwarekomponenten, die von %s benötigt werden",
                         L"Der Setupassistent für %s wird die folgenden Komponenten herunterladen und installieren",
                         243})},
        // Prerequisite failure, without a system menu. Two blanks before "%s".
        {116, kEnglish, kCentredModal, 223, 110, L"Dialog",
         {{1, L"Button", L"&Retry", kDefaultButton, 0, 111, 91, 49, 14},
          {2, L"Button", L"E&xit Setup", kButton, 0, 164, 91, 50, 14},
          {1024, L"Static", L"There was an error while downloading and installing prerequisite:  %s", kText, 0, 8, 3,
           207, 17},
          {-1, L"Static", L"To retry prerequisite installation, click Retry.", kText, 0, 21, 30, 143, 8},
          {-1, L"Static", L"To quit the setup program, click Exit Setup.", kText, 0, 21, 47, 139, 8},
          {1025, L"Button", L"&Open the prerequisite download location when exiting.", kCheckBox, 0, 28, 61, 186,
           15}}},
        {1039, kItalian, kCentredModal, 223, 110, L"Dialog",
         {{1, L"Button", L"&Riprova", kDefaultButton, 0, 87, 91, 49, 14},
          {2, L"Button", L"&Esci dall'installazione", kButton, 0, 139, 91, 80, 14},
          {1024, L"Static",
           L"Si è verificato un errore durante il download e l'installazione del prerequisito:  %s", kText, 0, 11, 3,
           205, 25},
          {-1, L"Static", L"Per riprovare a installare il prerequisito, fare clic su Riprova.", kText, 0, 21, 30, 196,
           15},
          {-1, L"Static", L"Per uscire dal programma di installazione, fare clic su Esci dall'installazione.", kText,
           0, 21, 47, 196, 17},
          {1025, L"Button", L"&Aprire la posizione di download del prerequisito all'uscita del programma.",
           kCheckBox, 0, 28, 67, 186, 17}}},
        {1038, kGerman, kCentredModal, 223, 110, L"Dialog",
         {{1, L"Button", L"&Neu versuchen", kDefaultButton, 0, 91, 91, 59, 14},
          {2, L"Button", L"&Setup beenden", kButton, 0, 154, 91, 60, 14},
          {1024, L"Static",
           L"Beim Herunterladen und der Installation der Voraussetzungen ist ein Fehler aufgetreten:  %s", kText, 0,
           11, 3, 205, 24},
          {-1, L"Static",
           L"Um die erforderliche Installation erneut auszuführen, klicken Sie auf 'Neu versuchen'.", kText, 0, 21,
           28, 194, 15},
          {-1, L"Static", L"Um das Setup-Programm abzubrechen, klicken Sie auf Setup beenden.", kText, 0, 21, 49, 194,
           17},
          {1025, L"Button", L"&Die Downloadseite für die benötigten Aktualisierungen beim Beenden öffnen.",
           kCheckBox, 0, 28, 67, 186, 15}}},
    };
    return dialogs;
}
}  // namespace

// Nothing missing, nothing more, each in its language: a template in the
// wrong language would leave the dialog that asks for it without one.
TEST(ProductResources, EveryResourceWithItsTypeIdAndLanguage)
{
    std::vector<PeResourceKey> expected = {
        {L"#24", L"#1", kEnglish},    // the manifest
        {L"#16", L"#1", kEnglish},    // the version record
        {L"#14", L"#105", kEnglish},  // the setup icon
        {L"#3", L"#1", kEnglish},     // its one image
        {L"#2", L"#130", kEnglish},   // the banner, IDB_TOP9
        {L"BIN", L"#110", kEnglish},  // msxml3r.dll
        {L"BIN", L"#111", kEnglish},  // msxml3.dll
    };
    for (const auto& dialog : ExpectedDialogs())
        expected.push_back({L"#5", L"#" + std::to_wstring(dialog.id), dialog.language});
    for (const std::wstring& kit : {X86KitDir(), KitDir()})
    {
        SCOPED_TRACE(WideToUtf8(kit));
        PeImage image(JoinPath(kit, L"SetupBootstrapper.exe"));
        ASSERT_TRUE(image.Valid()) << image.Error();
        std::vector<PeResourceKey> carried;
        for (const auto& resource : image.Resources())
            carried.push_back(resource.first);
        EXPECT_EQ(Describe(carried), Describe(expected));
    }
}

// Every control with its id, class, style, place and text, the German and
// Italian characters arriving intact from the UTF-8 scripts.
TEST(ProductResources, EveryDialogTemplateControlByControl)
{
    for (const std::wstring& kit : {X86KitDir(), KitDir()})
    {
        SCOPED_TRACE(WideToUtf8(kit));
        PeImage image(JoinPath(kit, L"SetupBootstrapper.exe"));
        ASSERT_TRUE(image.Valid()) << image.Error();
        for (const auto& expected : ExpectedDialogs())
        {
            SCOPED_TRACE(expected.id);
            DialogTemplate dialog = ParseDialogTemplate(image.Resource(L"#5", L"#" + std::to_wstring(expected.id)));
            ASSERT_TRUE(dialog.valid);
            EXPECT_EQ(dialog.style, expected.style);
            EXPECT_EQ(std::vector<int>({static_cast<int>(dialog.exStyle), dialog.x, dialog.y, dialog.cx, dialog.cy}),
                      std::vector<int>({0, 0, 0, expected.cx, expected.cy}))
                << "extended style, position and size";
            EXPECT_EQ(dialog.caption, expected.caption);
            EXPECT_EQ(dialog.fontName, L"MS Shell Dlg");
            EXPECT_EQ(std::vector<int>({dialog.pointSize, dialog.weight, dialog.italic}),
                      std::vector<int>({8, 400, 0}))
                << "points, weight, italic";
            EXPECT_EQ(Describe(dialog.controls), Describe(expected.controls));
        }
    }
}
