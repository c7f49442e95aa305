// The situations a kit meets, each one row: the machine, the start, what the
// person does. What each must leave is in expected/<row>.txt.

#include "tests/runs/WholeRun.h"

#include <gtest/gtest.h>

using namespace harness;
using namespace runs;

namespace
{
const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;
const std::wstring kDotNet = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727";
const std::wstring kMdac = L"Software\\Microsoft\\DataAccess";
const std::wstring kInstallerPackage = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB893803v2";

std::vector<RegValue> operator+(std::vector<RegValue> a, const std::vector<RegValue>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const RegValue kMdacPresent = Sz(kMachine, View::Wow32, kMdac, L"FullInstallVer", L"2.81.1117.0");
const RegValue kGermanMachine = InstallLanguage(L"0407");

// An installed product whose settings file names its language, with the
// installer's memory of the package it came from, laid out as msiexec
// writes it (the rows of a real installation below check that layout).
std::vector<RegValue> InstalledWithSettings(const std::wstring& version)
{
    return Installed(version) + std::vector<RegValue>{
                                    Sz(kMachine, View::Wow32, kProductKey, L"Path", L"{ROOT}\\product"),
                                    Sz(kMachine, View::Native, kSourceList, L"LastUsedSource", L"n;1;D:\\"),
                                    Sz(kMachine, View::Native, kSourceList, L"PackageName", L"morvanto9.msi"),
                                    Sz(kMachine, View::Native, kSourceList + L"\\Media", L"1", L";")};
}

File Settings(const std::string& languageId)
{
    return {L"{ROOT}\\product\\crmiini.xml",
            "<?xml version=\"1.0\"?>\n<Settings><General><Language id=\"" + languageId +
                "\"/></General><Language id=\"1040\"/></Settings>\n"};
}

// The download-and-run library's answers per package file (see its README):
// "<file>=<first answer>,<second answer>...". The .NET Framework's file is
// NetFx64.exe on a 64-bit Windows and dotnetfx.exe on a 32-bit one.
File LibraryAnswers(const std::string& answers)
{
    return {L"{KIT}\\downloadandrun-control.ini", "[Answers]\r\n" + answers + "\r\n"};
}

// The shell's "open" of an address reaches a recorder instead of a browser.
std::vector<RegValue> Browser()
{
    return {Sz(kMachine, View::Native, L"Software\\Classes\\http\\shell\\open\\command", L"",
               L"\"{ROOT}\\browser.exe\" \"%1\"")};
}
const Copy kBrowser{L"{TOOLS}\\tools\\argrecorder.exe", L"{ROOT}\\browser.exe", false};

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    const auto add = [&rows](const char* name, Machines machines = Machines::Win64) -> Row& {
        rows.emplace_back();
        rows.back().name = name;
        rows.back().machines = machines;
        return rows.back();
    };

    // --- start-up and command line ---------------------------------------------
    {
        Row& row = add("full-ui-on-xp");
        row.windows = Windows::Xp;
        row.values = NothingMissing();
        row.visits = {{Window::Language, IDOK}, {Window::Setup, 0}};
    }
    {
        // The language switch serves a silent run only: a recording run asks.
        Row& row = add("recording-asks-for-the-language");
        row.values = NothingMissing();
        row.arguments = L"-RECORD c:\\rec.iss /l 1031";
        row.visits = {{Window::Language, IDOK}};
    }
    {
        // XP SP3 has Windows Installer 3.1 built in.
        Row& row = add("recording-wins-over-silent", Machines::Both);
        row.windows = Windows::Xp;
        row.values = NothingMissing();
        row.arguments = L"/s s.iss /r r.iss";
    }
    {
        Row& row = add("silent-first-installation-in-the-language-of-the-switch", Machines::Both);
        row.values = NothingMissing();
        row.arguments = L"/S answers.iss /language 1040";
    }
    {
        Row& row = add("a-switch-without-its-value-ends-with-87");
        row.arguments = L"/silent answers.iss /l";
    }
    {
        // The catalogue is the current directory's, the setup and the library
        // are the kit's.
        Row& row = add("catalogue-and-library-by-the-current-directory");
        row.values = {kMdacPresent};
        row.files = {{L"{ROOT}\\elsewhere\\languages.ini",
                      "[Deutsch]\r\nProductLanguage=1031\r\nCommand=-l1031 /vFromElsewhere=1\r\n"}};
        row.copies = {{L"{KIT}\\downloadandrun.dll", L"{ROOT}\\elsewhere\\downloadandrun.dll", true}};
        row.folder = L"{ROOT}\\elsewhere";
        row.arguments = L"/s a.iss /l 1031";
    }
    {
        Row& row = add("second-instance-brings-the-first-forward");
        row.first = L"/l 1031";
        row.values = {Dword(kUser, View::Native, L"Control Panel\\Desktop", L"ForegroundLockTimeout", 123456)};
        row.watch = row.values;
        row.arguments = L"/s";  // faulty, but the instance check comes first
    }
    {
        Row& row = add("second-instance-without-a-captioned-window");
        row.values = NothingMissing();
        row.files = {{L"{KIT}\\morvanto9-control.ini", "[Behaviour]\r\nHangMs=120000\r\n"}};
        row.first = L"/s first.iss";
        row.firstWaitsIn = Window::Setup;
    }

    // --- language -------------------------------------------------------------
    {
        Row& row = add("cancelled-language-dialog");
        row.visits = {{Window::Language, IDCANCEL}};
    }
    {
        // Vista and later ask for the display language; XP never does.
        Row& row = add("display-language-decides-from-vista-on", Machines::Both);
        row.windows = Windows::Vista;
        row.values = NothingMissing() +
                     std::vector<RegValue>{kGermanMachine,
                                        Multi(kUser, View::Native, L"Control Panel\\Desktop", L"PreferredUILanguages",
                                              L"it-IT"),
                                        Dword(kMachine, View::Native,
                                              L"SYSTEM\\CurrentControlSet\\Control\\MUI\\UILanguages\\it-IT", L"LCID",
                                              0x410),
                                        Dword(kMachine, View::Wow32, kDotNet + L"\\1040", L"Install", 1)};
        row.arguments = L"/s a.iss";
    }
    {
        // Started from another folder: the kit's setup is still the one
        // beside the bootstrapper, for its version and for its start.
        Row& row = add("silent-update-keeps-the-installed-language", Machines::Both);
        row.values = NothingMissing() + InstalledWithSettings(L"9.5.0.1");
        row.files = {Settings("1031")};
        row.copies = {{L"{KIT}\\languages.ini", L"{ROOT}\\elsewhere\\languages.ini", false}};
        row.folder = L"{ROOT}\\elsewhere";
        row.arguments = L"/s answers.iss";
        for (const wchar_t* name : {L"LastUsedSource", L"PackageName"})
            row.watch.push_back(Absent(kMachine, View::Native, kSourceList, name));
        row.watch.push_back(Absent(kMachine, View::Native, kSourceList + L"\\Media", L"1"));
    }
    {
        // An update over an older version whose source list lacks one of the
        // two values; the installed language has no section in the catalogue.
        Row& row = add("update-in-a-language-the-catalogue-lacks");
        row.values = NothingMissing() + Installed(L"9.0") +
                     std::vector<RegValue>{Sz(kMachine, View::Wow32, kProductKey, L"Path", L"{ROOT}\\product\\"),
                                           Sz(kMachine, View::Native, kSourceList, L"PackageName", L"morvanto9.msi")};
        row.watch = {Absent(kMachine, View::Native, kSourceList, L"PackageName")};
        row.files = {Settings("1036")};
        row.visits = {{Window::Setup, 0}};
    }

    // --- prerequisites ----------------------------------------------------------
    {
        // The dialogs speak the chosen German; the library fails once.
        Row& row = add("german-machine-installs-dotnet-through-the-dialogs", Machines::Both);
        row.windows = Windows::Xp;
        row.values = {kGermanMachine, kMdacPresent};
        row.files = {LibraryAnswers("NetFx64.exe=1603,0\r\ndotnetfx.exe=1603,0")};
        row.visits = {{Window::Language, IDOK},
                      {Window::Prerequisites, IDOK},
                      {Window::Failure, IDOK},
                      {Window::Setup, 0}};
    }
    {
        // The dialog speaks the chosen language; the pack it offers is the
        // machine's.
        Row& row = add("italian-chosen-on-a-german-machine");
        row.values = NothingMissing() + std::vector<RegValue>{kGermanMachine};
        row.visits = {{Window::Language, IDOK, L"Italian"},
                      {Window::Prerequisites, IDCANCEL}};
    }
    {
        // Retry until the user gives up and asks for the download location.
        Row& row = add("failing-library-retried-then-given-up");
        row.values = Browser() + std::vector<RegValue>{kMdacPresent};
        row.files = {LibraryAnswers("NetFx64.exe=1603")};
        row.copies = {kBrowser};
        row.visits = {{Window::Language, IDOK, L"Italian"},
                      {Window::Prerequisites, IDOK},
                      {Window::Failure, IDOK},
                      {Window::Failure, IDCANCEL, L"", 1025}};
        row.watchFiles = {L"{ROOT}\\browser-received.txt"};
    }
    {
        Row& row = add("silent-run-still-offers-the-failure-dialog");
        row.values = {kMdacPresent};
        row.files = {LibraryAnswers("NetFx64.exe=1603,0")};
        row.arguments = L"/s a.iss";
        row.visits = {{Window::Failure, IDOK}};
    }
    {
        // XP before SP3 needs the Windows Installer package; everything is
        // missing and installed silently, in order.
        Row& row = add("everything-missing-on-xp-sp2-installed-silently", Machines::Both);
        row.windows = Windows::XpSp2;
        row.values = {kGermanMachine,
                      Multi(kUser, View::Native, L"Control Panel\\Desktop", L"PreferredUILanguages", L"it-IT")};
        row.arguments = L"/s a.iss";
    }
    {
        // Server 2003 without a service pack takes the package's word; MDAC
        // counts through its rollback version.
        Row& row = add("server-2003-gold-with-the-installer-package", Machines::Both);
        row.windows = Windows::Server2003Gold;
        row.values = {Sz(kMachine, View::Wow32, kInstallerPackage, L"DisplayName", L"Windows Installer 3.1"),
                      Dword(kMachine, View::Wow32, kDotNet, L"Install", 0),
                      Sz(kMachine, View::Wow32, kMdac, L"FullInstallVer", L"2.50.4403.12"),
                      Sz(kMachine, View::Wow32, kMdac, L"RollbackVersion", L"2.81.1117.0")};
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("library-without-its-entry-point");
        row.values = {kMdacPresent};
        row.copies = {{L"{TOOLS}\\tests\\standin-variants\\downloadandrun-without-entry-point\\downloadandrun.dll",
                       L"{KIT}\\downloadandrun.dll", false}};
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("cancelled-prerequisites-dialog");
        row.values = {kMdacPresent};
        row.visits = {{Window::Language, IDOK}, {Window::Prerequisites, IDCANCEL}};
    }

    // --- the installed product --------------------------------------------------
    {
        Row& row = add("downgrade-refused-with-a-message");
        row.values = Installed(L"9.6");
        row.visits = {{Window::Message, IDOK}};
    }
    {
        Row& row = add("downgrade-refused-silently", Machines::Both);
        row.values = Installed(L"9.6");
        row.arguments = L"/s a.iss";
    }

    // --- Windows 2000 -------------------------------------------------------------
    {
        // The parser is extracted and registered first; the readers open
        // keys without a view flag, in the process's own view.
        Row& row = add("windows-2000-prepares-the-xml-parser", Machines::Both);
        row.windows = Windows::Win2000;
        row.values = {Dword(kMachine, View::Wow32, kDotNet, L"Install", 1),
                      Sz(kMachine, View::Wow32, kMdac, L"FullInstallVer", L"2.81.1117.0"),
                      Sz(kMachine, View::Wow32, kInstallerPackage, L"DisplayName", L"Windows Installer 3.1"),
                      // Wine's regsvr32 would load its own msxml3.dll instead of the file named.
                      Sz(kUser, View::Native, L"Software\\Wine\\AppDefaults\\regsvr32.exe\\DllOverrides", L"msxml3",
                         L"native,builtin"),
                      Sz(kUser, View::Native, L"Software\\Zel\\Msxml3StandIn", L"Path", L"(not registered)")};
        row.watch = {row.values.back()};
        row.watchFiles = {L"{TEMP}\\Morvanto9Resources\\msxml3r.dll", L"{TEMP}\\Morvanto9Resources\\msxml3.dll"};
        row.arguments = L"/s a.iss";
    }

    // --- surroundings -------------------------------------------------------------
    {
        // Server 2003 SP2 has Windows Installer 3.1 built in.
        Row& row = add("temporary-folder-with-spaces-and-letters", Machines::Both);
        row.windows = Windows::Server2003;
        row.values = NothingMissing();
        row.temp = L"temp \x00FC\x00DF \x0416\x044F \x65E5\x672C";
        row.arguments = L"/s a.iss";
    }
    {
        // The log is lost; the setup is still told where its own log belongs.
        Row& row = add("temporary-folder-that-does-not-exist");
        row.values = NothingMissing();
        row.tempExists = false;
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("log-held-open-by-another-program");
        row.values = NothingMissing();
        row.logHeld = true;
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("setup-that-crashes");
        row.values = NothingMissing();
        row.files = {{L"{KIT}\\morvanto9-control.ini", "[Behaviour]\r\nCrash=1\r\n"}};
        row.arguments = L"/s a.iss";
    }

    // --- a real installation ---------------------------------------------------
    // The kit's setup hands the run to the Windows Installer with the sample
    // package; each row uninstalls the product afterwards. The installer
    // keeps the uninstall entry and the product's key in the 32-bit view, the
    // source list in the 64-bit one, and the key's Path ends in a backslash.
    const std::wstring log = L"{TEMP}\\DRAVO_v9_InstallKitLog.log";
    const auto bothViews = [](const std::wstring& key, const wchar_t* name) {
        return std::vector<RegValue>{Absent(kMachine, View::Wow32, key, name), Absent(kMachine, View::Native, key, name)};
    };
    const std::vector<RegValue> registered = bothViews(kUninstallKey, L"DisplayVersion") +
                                             bothViews(kProductKey, L"Path");
    for (const auto& [suffix, windows, machines, refusal] :
         {std::tuple("", Windows::Seven, Machines::Win64, true), {"-on-windows-2000", Windows::Win2000, Machines::Win32, true},
          {"-on-xp", Windows::Xp, Machines::Win32, false}})
    {
        const auto install = [&, windows = windows, machines = machines](const std::string& name) -> Row& {
            Row& row = add((name + suffix).c_str(), machines);
            row.windows = windows;
            row.installs = true;
            row.values = NothingMissing() + std::vector<RegValue>{Sz(kMachine, View::Wow32, kInstallerPackage,
                                                                     L"DisplayName", L"Windows Installer 3.1")};
            return row;
        };
        {
            Row& row = install("installs-the-product-in-german");
            row.arguments = L"/s answers.iss /l 1031";
            row.watch = registered;
            row.watchFiles = {L"{PRODUCT}crmiini.xml", log};
            row.excerpts = {{log, "ProductState"}, {log, "PRODUCTLANGUAGE"}};
        }
        {
            // An English machine: the language comes from the installed
            // settings file. The bootstrapper removes the package's name and
            // place from the source list before the setup runs, and nothing
            // else there; the installer's maintenance run then registers its
            // source anew.
            Row& row = install("updates-the-product-it-installed");
            row.before = {L"\"{KIT}\\SetupBootstrapper.exe\" /s first.iss /l 1031"};
            row.arguments = L"/s answers.iss";
            row.watchAtSetup = {Absent(kMachine, View::Native, kSourceList, L"LastUsedSource"),
                                Absent(kMachine, View::Native, kSourceList, L"PackageName"),
                                Absent(kMachine, View::Native, kSourceList + L"\\Media", L"1"),
                                Absent(kMachine, View::Native, kSourceList + L"\\Net", L"1")};
            row.watchFiles = {L"{PRODUCT}crmiini.xml"};
            row.excerpts = {{log, "ProductState"}};
        }
        if (refusal)
        {
            // Installed by msiexec itself, in Italian: the kit's 9.5.0.1 is older.
            Row& row = install("refuses-to-downgrade-what-msiexec-installed");
            row.before = {L"msiexec.exe /i \"{TOOLS}\\tests\\standin-variants\\package-9.6\\morvanto9.msi\" /qn "
                          L"ProductLanguage=1040"};
            row.arguments = L"/s answers.iss";
            row.watch = registered + bothViews(kSourceList, L"PackageName");
            row.watchFiles = {L"{PRODUCT}crmiini.xml", log};
        }
    }
    return rows;
}
}  // namespace

class WholeRuns : public ::testing::TestWithParam<Row>
{
};

TEST_P(WholeRuns, RecordAsExpected)
{
    RunAndCompare(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rows, WholeRuns, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& param) {
                             std::string name = param.param.name;
                             for (char& c : name)
                                 c = (c == '-') ? '_' : c;
                             return name;
                         });
