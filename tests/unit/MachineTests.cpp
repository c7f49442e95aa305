// The machine as the product meets it where whole runs do not reach: the platform layer's readers,
// log and COM, what the stages read or remove, and the XML parser brought to Windows 2000.

#include "bootstrap/EmbeddedResources.h"
#include "bootstrap/SourceCacheCleanup.h"
#include "language/InstalledLanguage.h"
#include "language/LanguageCatalogue.h"
#include "language/OsLanguage.h"
#include "platform/OsChecks.h"
#include "platform/Registry.h"
#include "prerequisites/PrereqCatalogue.h"
#include "product/InstalledProduct.h"
#include "resources/resource.h"
#include "support/RunState.h"
#include "support/Traced.h"
#include "tests/unit/Unit.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <functional>

#include <strsafe.h>

using harness::View;

namespace
{
harness::RegValue Text(const std::wstring& key, const wchar_t* name, const wchar_t* text, View view = View::Wow32)
{
    return harness::Sz(HKEY_LOCAL_MACHINE, view, key, name, text);
}

// The stand-in msxml3.dll notes here where it was registered from; un-registering removes the key.
const std::wstring kMarker = L"Software\\Zel\\Msxml3StandIn";

std::string Embedded(int id)
{
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BIN");
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                       SizeofResource(nullptr, found));
}

std::vector<std::wstring> LinesWith(const std::vector<std::wstring>& log, const std::wstring& text)
{
    std::vector<std::wstring> lines;
    std::copy_if(log.begin(), log.end(), std::back_inserter(lines), [&](auto& l) { return l.find(text) != l.npos; });
    return lines;
}
}  // namespace

TEST(Machine, RegistryReadersViewsAndLimitsAndTheProcessor)
{
    // A 32-bit process: its own processor is x86 on either Windows; only the native one tells them apart.
    const bool windows64 = harness::Is64BitWindows();
    EXPECT_EQ(IsOS64() != FALSE, windows64);
    EXPECT_EQ(QueryProcessorArchitecture(nullptr), PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(QueryProcessorArchitecture(GetNativeSystemInfo),
              windows64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL);

    // HKLM strings (0) through KEY_WOW64_32KEY, the process's own view; HKCU strings (1) and numbers (2) through
    // KEY_WOW64_64KEY. A value stored in the other view is not found on a 64-bit Windows; on a 32-bit one the
    // flags change nothing. A reader's copy stands at the start of the buffer, the marker everywhere else;
    // strings are stored as binary data where the registry would add a terminator of its own.
    const wchar_t* key = L"SOFTWARE\\BootstrapperUnitTests";
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})  // what a run that crashed left
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, view, 0);
    const auto read = [key](int reader, void* out) {
        return reader == 0   ? QueryStringValueFromRegistry(key, L"V", static_cast<wchar_t*>(out))
               : reader == 1 ? QueryCurrentUserStringValueFromRegistryEx(key, L"V", static_cast<wchar_t*>(out))
                             : QueryDWORDValueFromRegistry(key, L"V", static_cast<DWORD*>(out));
    };
    const auto bytesOf = [](const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    };
    const std::wstring a511(511, L'a'), a512(512, L'a');
    // The answer when the value stands in the reader's own view.
    const std::tuple<int, View, DWORD, std::string, BOOL> rows[] = {
        {0, View::Wow32, REG_SZ, bytesOf(a511 + L'\0'), TRUE}, {0, View::Wow32, REG_SZ, bytesOf(a512 + L'\0'), FALSE},
        {0, View::Wow32, REG_BINARY, bytesOf(L"abc"), TRUE}, {0, View::Wow32, REG_DWORD, bytesOf(L"AB"), TRUE},
        {0, View::Native, REG_SZ, bytesOf(std::wstring(L"x\0", 2)), TRUE}, {2, View::Wow32, REG_DWORD, "1234", TRUE},
        {2, View::Native, REG_DWORD, "\xFF\xFF\xFF\xFF", TRUE}, {2, View::Native, REG_BINARY, "\x34\x12", TRUE},
        {2, View::Native, REG_SZ, bytesOf(std::wstring(L"a\0", 2)), TRUE},
        {2, View::Native, REG_QWORD, "12345678", FALSE}, {1, View::Native, REG_SZ, bytesOf(a512 + L'\0'), FALSE}};
    for (const auto& [reader, view, type, bytes, inOwnView] : rows)
    {
        const BOOL answer = inOwnView && (!windows64 || view == (reader == 0 ? View::Wow32 : View::Native));
        harness::Registry registry;
        registry.Set({reader == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, view, key, L"V", type, bytes});
        std::string buffer(1100, '#');
        EXPECT_EQ(read(reader, &buffer[0]), answer) << reader << ", " << bytes.size() << " bytes";
        EXPECT_TRUE(buffer == ((answer ? bytes : "") + std::string(1100, '#')).substr(0, 1100)) << bytes.size();
    }
}

TEST(DiagnosticLog, AppendsCutLinesAndLeavesTheLastErrorAlone)
{
    unit::TempFolder temp;
    LogMessage(kLogInfo, "error returned:%d", static_cast<int>(0x80004003u));
    SetEnvironmentVariableW(L"TMP", L"C:\\");  // the log stays where its first line went
    LogMessage(kLogThreshold + 1, "too verbose");
    LogMessage(kLogInfo, std::string(kCchLogFormat, 'f').c_str());  // a format beyond its bound is dropped whole
    SetLastError(ERROR_ACCESS_DENIED);
    LogMessage(kLogThreshold, "<%s>", std::wstring(9898, L'x').c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    unit::TempFolder::Point(temp.Path());  // a later run appends, without a second byte-order mark (LogMessages checks)
    LogMessage(kLogError, "<%s>", std::wstring(150000, L'y').c_str());
    const std::vector<std::wstring> expected = {L"error returned:-2147467261", L"<" + std::wstring(9898, L'x') + L">",
                                                L"<" + std::wstring(9899, L'y')};
    EXPECT_EQ(temp.Log(), expected);
}

namespace
{
BOOL CALLBACK RaiseFromCallback(HMODULE, LPCWSTR, LPWSTR, LONG_PTR code)
{
    RaiseException(static_cast<DWORD>(code), EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return TRUE;
}
}  // namespace

// The catch-all of every operation: structured exceptions, wherever they are raised below it.
TEST(FaultGuard, CatchesWhatIsRaisedBelowItAndKeepsTheLastError)
{
    constexpr DWORD kRaised = 0xE0425301;
    struct Case
    {
        const char* name;
        int (*body)();
        bool completes;
    };
    const Case cases[] = {
        {"a body that returns", [] { return 7; }, true},
        {"RaiseException", [] { SetLastError(1234); RaiseException(kRaised, 0, 0, nullptr); return 7; }, false},
        {"an access violation", [] { SetLastError(1234); *static_cast<volatile int*>(nullptr) = 1; return 7; }, false},
        {"an inner guard's catch", [] {
             int inner = 0;
             return RunGuarded(&inner, [] { RaiseException(kRaised, 0, 0, nullptr); return 1; }) ? 0 : 7;
         }, true},
        {"inside a system call's callback", [] {
             SetLastError(1234);
             EnumResourceNamesW(nullptr, RT_DIALOG, RaiseFromCallback, kRaised);
             return 7;
         }, false},
    };
    for (const Case& c : cases)
    {
        SetLastError(ERROR_SUCCESS);
        int result = -1;
        const bool completed = RunGuarded(&result, c.body);
        EXPECT_EQ(completed, c.completes) << c.name;
        EXPECT_EQ(result, c.completes ? 7 : -1) << c.name;
        if (!completed)
        {
            EXPECT_EQ(GetLastError(), 1234u) << c.name;
        }
    }

    // An operation's frame: the exception line with the last error, no exit line, the answer 0.
    unit::TempFolder temp;
    const int answer = RunTraced("Op >>", "Op <<", kLogError, "Op: exception caught, error returned: %d", [] {
        SetLastError(ERROR_ACCESS_DENIED);
        RaiseException(kRaised, 0, 0, nullptr);
        return 1;
    });
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(temp.Log(), (std::vector<std::wstring>{L"Op >>", L"Op: exception caught, error returned: 5"}));
}

TEST(SettingsFile, FirstLanguageElementBelowTheRootDecides)
{
    // COM that cannot be initialised (a multithreaded apartment) is left as it was.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    wchar_t untouched[kCchText] = L"untouched";
    EXPECT_EQ(GetLangIdFromCrmi(L"C:\\crmiini.xml", untouched), -3);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE) << "the apartment was left";
    CoUninitialize();
    CoUninitialize();
    EXPECT_STREQ(untouched, L"untouched");

    const std::wstring path = harness::Join(unit::programTemp.Path(), L"crmiini.xml");
    const std::string id1023(1023, '7');
    // What a careless or hostile file holds: 10,000 levels, an entity bomb, and an external entity that names a
    // local file holding a language of the catalogue, which must not reach it.
    harness::WriteBytes(harness::Join(unit::programTemp.Path(), L"secret.txt"), "1031");
    std::string deep = "<S>", bomb = "<!DOCTYPE S [<!ENTITY a \"aaaaaaaaaa\">";
    for (int i = 0; i < 10000; ++i)
        deep += "<a>";
    for (char level = 'b'; level <= 'j'; ++level)
    {
        bomb += std::string("<!ENTITY ") + level + " \"";
        for (int i = 0; i < 10; ++i)
            bomb += std::string("&") + static_cast<char>(level - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><S><Language id=\"&j;\"/></S>";
    const std::tuple<std::string, LONG, std::wstring> files[] = {  // no text: no file
        {"<crmi><General><Language id=\"1040\"/></General><Language id=\"1031\"/></crmi>", 0, L"1040"},
        {"<Language id=\"1031\"><Language id=\"1040\"/></Language>", 0, L"1040"},
        {"<Language id=\"1031\"/>", -1, L"untouched"}, {"<c><language id=\"1031\"/></c>", -1, L"untouched"},
        {"<crmi><Language id=\"1031\"></crmi>", -5, L"1033"}, {"", -5, L"1033"},
        {"<crmi><Language lang=\"1031\"/><Language id=\"1040\"/></crmi>", -7, L"1033"},
        {"<crmi><Language id=\"" + id1023 + "\"/></crmi>", 0, std::wstring(1023, L'7')},
        {"<crmi><Language id=\"" + id1023 + "7\"/></crmi>", -8, L"1033"}, {deep, -5, L"1033"}, {bomb, -5, L"1033"},
        {"<!DOCTYPE S [<!ENTITY x SYSTEM \"secret.txt\">]><S><Language id=\"&x;\"/></S>", -5, L"1033"}};
    for (const auto& [xml, status, languageId] : files)
    {
        DeleteFileW(path.c_str());
        if (!xml.empty())
            harness::WriteBytes(path, xml);
        wchar_t read[kCchText] = L"untouched";
        EXPECT_EQ(GetLangIdFromCrmi(path.c_str(), read), status) << xml.substr(0, 60);
        EXPECT_EQ(read, languageId) << xml.substr(0, 60);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "COM left initialised";
        CoUninitialize();
    }
}

TEST(Catalogue, FileOrderDecidesMissingKeysReadEmptyAndLongListsReadWhole)
{
    const std::wstring catalogue = harness::Join(unit::programTemp.Path(), L"languages.ini");
    harness::WriteBytes(catalogue, "[English]\r\nProductLanguage=1033\r\nCommand=first\r\n"
                                   "[British]\r\nProductLanguage=1033\r\nCommand=second\r\n"
                                   "[NoLanguage]\r\nCommand=none\r\n[NoCommand]\r\nProductLanguage=1049\r\n");
    // A silent run's arguments: the /l language's (as typed), else the OS language's, else the built-in English.
    for (const auto& [language, os, args] : {std::tuple(L"1033", L"1049", L"first"), {L"", L"1049", L"none"},
                                             {L"1049", L"1033", L""}, {L"9999", L"1033", L"first"},
                                             {L"9999", L"3082", kEnglishLanguageArgs}, {nullptr, L"1049", L""}})
    {
        InstallMode.languageGiven = language != nullptr;
        StringCchCopyW(InstallMode.language, kCchText, language != nullptr ? language : L"");
        StringCchCopyW(OsLanguage, kCchText, os);
        wchar_t read[kCchText] = L"stale";
        EXPECT_EQ(GetLanguageArgs(catalogue.c_str(), read), 1);
        EXPECT_STREQ(read, args) << (language != nullptr ? language : L"no /l") << ", OS " << os;
    }
    // Some 4,000 characters of names: several reads of the list.
    std::string text;
    std::vector<std::wstring> names, walked;
    for (int i = 1000; i < 1300; ++i)
        text += "[" + harness::Utf8(names.emplace_back(L"Language " + std::to_wstring(i))) + "]\r\nCommand=x\r\n";
    harness::WriteBytes(catalogue, text);
    WalkCatalogueSections(catalogue.c_str(), [&](const wchar_t* section) { return walked.push_back(section), true; });
    EXPECT_TRUE(walked == names) << walked.size() << " sections";
}

TEST(Detections, EdgesOfEachRule)
{
    const std::wstring dotNet = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
    const std::wstring mdac = L"Software\\Microsoft\\DataAccess";
    const auto pack = [](const wchar_t* language) { return [=] { return IsDotNet2LPInstalled(language); }; };
    const std::tuple<std::vector<harness::RegValue>, std::function<int()>, int> rows[] = {
        {{harness::Dword(HKEY_LOCAL_MACHINE, View::Wow32, dotNet, L"Install", 0)}, IsDotNet2Installed, 1},
        {{Text(mdac, L"FullInstallVer", L"2.8")}, IsMDAC28Installed, 1},
        {{Text(mdac, L"FullInstallVer", L"10.0")}, IsMDAC28Installed, 0},
        {{Text(mdac, L"FullInstallVer", L"2.70"), Text(mdac, L"RollbackVersion", L"2.81")}, IsMDAC28Installed, 1},
        {{}, pack(L"1033"), 1}, {{}, pack(L"3082"), 0}, {{}, pack(L"01033"), 0},
        {{Text(dotNet + L"\\3082", L"Install", L"1")}, pack(L"3082"), 1}};
    for (size_t row = 0; row < std::size(rows); ++row)
    {
        const auto& [values, detect, expected] = rows[row];
        harness::Registry registry;
        for (const auto& [key, name] : {std::pair(dotNet, L"Install"), {dotNet + L"\\3082", L"Install"},
                                        {mdac, L"FullInstallVer"}, {mdac, L"RollbackVersion"}})
            registry.Set(harness::Absent(HKEY_LOCAL_MACHINE, View::Wow32, key, name));
        for (const harness::RegValue& value : values)
            registry.Set(value);
        EXPECT_EQ(detect(), expected) << "row " << row;
    }
}

// Whatever type and length a value that a detection reads has, the detection ends in an answer, not in its
// exception line; a string without its terminator stands in a buffer with more behind it.
TEST(Detections, ValuesOfAnyShapeEndInAnAnswer)
{
    const std::wstring uninstall = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProductCode;
    const std::pair<harness::RegValue, std::function<void()>> places[] = {
        {Text(L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727", L"Install", L""), [] { IsDotNet2Installed(); }},
        {Text(L"Software\\Microsoft\\DataAccess", L"FullInstallVer", L""), [] { IsMDAC28Installed(); }},
        {Text(uninstall, L"DisplayName", L""), [] { IsProductInstalled(kProductCode); }},
        {Text(L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Language", L"InstallLanguage", L"", View::Native),
         [] { OSLanguageID(); }},
        {harness::Sz(HKEY_CURRENT_USER, View::Native, L"Control Panel\\Desktop", L"PreferredUILanguages", L""),
         [] { OSLanguageID(); }}};
    const std::wstring longText(600, L'9');
    const std::pair<DWORD, std::string> shapes[] = {
        {REG_BINARY, std::string("\x01\x02\x03", 3)},
        {REG_SZ, std::string(2, '\0')},
        {REG_SZ, std::string(reinterpret_cast<const char*>(longText.c_str()), longText.size() * 2 + 2)},
        {REG_SZ, std::string("2\0.\0" "9", 5)},  // stored without a terminator, odd length
        {REG_MULTI_SZ, std::string("2\0.\0" "9\0\0\0x\0\0\0\0\0", 14)},
        {REG_DWORD, std::string(4, '\0')},
        {REG_QWORD, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8)}};
    for (auto [value, detect] : places)
    {
        for (const auto& [type, bytes] : shapes)
        {
            unit::TempFolder temp;
            harness::Registry registry;
            value.type = type;
            value.bytes = bytes;
            registry.Set(value);
            detect();
            EXPECT_TRUE(LinesWith(temp.Log(), L"exception caug").empty())
                << harness::Utf8(value.name) << " of type " << type << ", " << bytes.size() << " bytes";
        }
    }
}

TEST(SourceCache, EachOfTheTwoValuesGoesOnItsOwnFromTheNativeView)
{
    // Windows 7 shares the installer's classes between the views, and so does Wine, until the 32-bit view has a
    // copy of its own, as on the 64-bit XP and Vista, where the classes were redirected. Such a copy must stay
    // as it is: the installer's registration is the native one.
    const std::wstring list =
        std::wstring(L"SOFTWARE\\Classes\\Installer\\Products\\") + kPackedProductCode + L"\\SourceList";
    const std::wstring redirected =
        std::wstring(L"SOFTWARE\\Wow6432Node\\Classes\\Installer\\Products\\") + kPackedProductCode + L"\\SourceList";
    for (const wchar_t* present : {L"LastUsedSource", L"PackageName"})
    {
        harness::Registry registry;
        registry.Set(Text(list, present, L"n;1;C:\\", View::Native));
        registry.Set(Text(list + L"\\Media", L"MediaPackage", L"\\", View::Native));
        if (harness::Is64BitWindows())
            registry.Set(Text(redirected, present, L"the 32-bit copy", View::Native));
        EXPECT_EQ(Zel_DeleteDRVS9CachedKey(), 0);
        EXPECT_EQ(harness::Read(HKEY_LOCAL_MACHINE, View::Native, list, present), L"absent") << harness::Utf8(present);
        EXPECT_NE(harness::Read(HKEY_LOCAL_MACHINE, View::Native, list + L"\\Media", L"MediaPackage"), L"absent");
        if (harness::Is64BitWindows())
        {
            EXPECT_EQ(harness::Read(HKEY_LOCAL_MACHINE, View::Native, redirected, present), L"the 32-bit copy");
        }
    }
}

TEST(Downgrade, OnlyWhenTheInstalledTextIsGreaterAndTheKitsVersionReadable)
{
    const std::wstring entry = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProductCode;
    const std::wstring variants = harness::Join(harness::Setting(L"BS_TEST_BIN_DIR"), L"standin-variants\\");
    // No installed version; no setup; a translation naming strings the setup does not have.
    for (const auto& [installed, setup, downgrade] :
         {std::tuple(L"9.5", L"product-9.0", TRUE), {nullptr, L"product-9.0", FALSE}, {L"99", L"none", FALSE},
          {L"99", L"product-other-translation", FALSE}})
    {
        harness::Registry registry;
        registry.Set(Text(entry, L"DisplayName", L"Zel Morvanto 9.5"));
        registry.Set(installed != nullptr ? Text(entry, L"DisplayVersion", installed)
                                          : harness::Absent(HKEY_LOCAL_MACHINE, View::Wow32, entry, L"DisplayVersion"));
        EXPECT_EQ(IsDowngrade(kProductCode, (variants + setup + L"\\morvanto9.exe").c_str()), downgrade) << setup;
    }
}

// The XML parser of Windows 2000: files in the way or left behind, the clean-up, no temporary
// folder. In a copy of this program that Wine takes for Windows 2000 without MSXML 4.0, as it comes.
TEST(XmlParser, CleanUpOnLaterWindowsAndAllOnWindows2000InACopy)
{
    unit::TempFolder temp;
    DeleteResFromTemp();  // whatever it removed would write DeleteResFile or DeleteResFromTemp lines
    const std::wstring own = L"SetupBootStrapper.DeleteResFromTemp ";
    EXPECT_EQ(LinesWith(temp.Log(), L"DeleteRes"), (std::vector<std::wstring>{own + L">>", own + L"<<"}));
    const std::wstring none = temp.Path() + L"\\none.dll";  // a resource it lacks leaves no file that passes for it
    EXPECT_TRUE(!ExtractResToTemp(L"BIN", 999, none.c_str()) && !harness::Exists(none));
    const std::wstring defaults = L"Software\\Wine\\AppDefaults\\";
    harness::Registry registry;
    for (const auto& [key, name, text] : {std::tuple(defaults + unit::kCopyName, L"Version", L"win2k"),
                                          {defaults + unit::kCopyName + L"\\DllOverrides", L"msxml4", L""},
                                          // Wine's regsvr32 would load its own msxml3.dll, not the file named.
                                          {defaults + L"regsvr32.exe\\DllOverrides", L"msxml3", L"native,builtin"},
                                          {kMarker, L"Path", L""}})  // put back, or removed, afterwards
        registry.Set(harness::Sz(HKEY_CURRENT_USER, View::Native, key, name, text));
    const std::string report = unit::RunInCopy(L"Windows2000");
    EXPECT_NE(report.find("[  PASSED  ] 1 test."), std::string::npos) << report;
}

TEST(Windows2000, ParserPreparationAndCleanUp)
{
    if (!unit::InCopy())
        GTEST_SKIP() << "runs in a copy of this program (XmlParser.CleanUpOnLaterWindowsAndAllOnWindows2000InACopy)";
    unit::TempFolder temp(L"windows 2000 temp");  // spaces, as in "Documents and Settings"
    const std::wstring folder = temp.Path() + L"\\Morvanto9Resources\\";
    const auto registered = [] {
        return harness::Read(HKEY_CURRENT_USER, View::Native, kMarker, L"Path") != L"absent";
    };
    RegDeleteKeyW(HKEY_CURRENT_USER, kMarker.c_str());

    // Without MSXML 4.0 the installed product's settings file answers English.
    const std::wstring settings = harness::Join(temp.Path(), L"crmiini.xml");
    harness::WriteBytes(settings, "<crmi><Language id=\"1031\"/></crmi>");
    wchar_t languageId[kCchText] = L"untouched";
    EXPECT_EQ(GetLangIdFromCrmi(settings.c_str(), languageId), -4);
    EXPECT_STREQ(languageId, L"1033");

    // Folders where the files belong: both extractions fail, registering is still tried.
    for (const wchar_t* name : {L"", L"msxml3r.dll", L"msxml3.dll"})
        CreateDirectoryW((folder + name).c_str(), nullptr);
    PrepareXmlParser();
    const std::wstring said = L"SetupBootStrapper.WinMain: ";
    const std::vector<std::wstring> expected = {
        said + L"It's Windows 2000, extracting and registerring msxml3.dll", said + L"failed to extract 'msxml3r.dll'.",
        said + L"failed to extract 'msxml3.dll'. ", said + L"registering msxml3.dll"};
    EXPECT_EQ(LinesWith(temp.Log(), said), expected);

    // Files left by an earlier run, longer than ours, are written anew. Then
    // a later run's clean-up, with msxml3.dll in use and then not: it
    // un-registers, deletes msxml3.dll first and goes on after a failure.
    for (const wchar_t* name : {L"msxml3r.dll", L"msxml3.dll"})
    {
        RemoveDirectoryW((folder + name).c_str());
        harness::WriteBytes(folder + name, std::string(Embedded(IDR_MSXML3_DLL).size() + 4096, 'x'));
    }
    for (bool inUse : {true, false})
    {
        PrepareXmlParser();
        EXPECT_TRUE(harness::ReadBytes(folder + L"msxml3r.dll") == Embedded(IDR_MSXML3R_DLL));
        EXPECT_TRUE(harness::ReadBytes(folder + L"msxml3.dll") == Embedded(IDR_MSXML3_DLL));
        EXPECT_TRUE(registered());
        DeleteFileW(harness::Join(temp.Path(), L"dravo_v9_installhelperBS.csv").c_str());
        resourceFolder[0] = L'\0';  // a later run works the folder out on its own
        HANDLE held = inUse ? CreateFileW((folder + L"msxml3.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr)
                            : INVALID_HANDLE_VALUE;
        DeleteResFromTemp();
        if (inUse)
            CloseHandle(held);
        EXPECT_FALSE(registered());
        EXPECT_EQ(harness::Exists(folder), inUse);
        EXPECT_FALSE(harness::Exists(folder + L"msxml3r.dll"));
        const std::wstring deleting = L"SetupBootStrapper.DeleteResFile: Deleting '" + folder;
        EXPECT_EQ(LinesWith(temp.Log(), deleting),
                  (std::vector<std::wstring>{deleting + L"msxml3.dll'", deleting + L"msxml3r.dll'"}));
        EXPECT_EQ(LinesWith(temp.Log(), folder + L"msxml3.dll', error returned:32").size(), inUse ? 1u : 0u);
    }

    // No usable temporary folder: nothing is written or deleted anywhere,
    // such as a stranger's msxml3.dll in the current directory.
    harness::WriteBytes(L"msxml3.dll", "not ours");
    unit::TempFolder::Point(temp.Path() + L"\\" + std::wstring(300, L'a'));  // too long for GetTempPath
    resourceFolder[0] = L'\0';
    PrepareXmlParser();
    DeleteResFromTemp();
    EXPECT_EQ(harness::ReadBytes(L"msxml3.dll"), "not ours");
    EXPECT_FALSE(harness::Exists(L"msxml3r.dll") || harness::Exists(L"Morvanto9Resources"));
    EXPECT_FALSE(registered());
}
