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
const std::wstring kSourceList =
    L"SOFTWARE\\Classes\\Installer\\Products\\70791EBCD6FC91845947D3DF659806AF\\SourceList";
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
// installer's memory of the package it came from.
std::vector<RegValue> InstalledWithSettings(const std::wstring& version)
{
    return Installed(version) + std::vector<RegValue>{
                                    Sz(kMachine, View::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", L"{ROOT}\\product"),
                                    Sz(kMachine, View::Native, kSourceList, L"LastUsedSource", L"n;1;D:\\"),
                                    Sz(kMachine, View::Native, kSourceList, L"PackageName", L"morvanto9.msi"),
                                    Sz(kMachine, View::Native, kSourceList, L"MediaPackage", L"\\")};
}

File Settings(const std::string& languageId)
{
    return {L"{ROOT}\\product\\crmiini.xml",
            "<?xml version=\"1.0\"?>\n<Settings><General><Language id=\"" + languageId +
                "\"/></General><Language id=\"1040\"/></Settings>\n"};
}

// The download-and-run library's answers per package file (see its README).
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
    const auto add = [&rows](const char* name, Kits kits) -> Row& {
        rows.emplace_back();
        rows.back().name = name;
        rows.back().kits = kits;
        return rows.back();
    };

    // --- start-up and command line ---------------------------------------------
    {
        Row& row = add("full-ui-on-xp", Kits::X64);
        row.windows = Windows::Xp;
        row.values = NothingMissing();
        row.visits = {{Window::Language, IDOK}, {Window::Setup, 0}};
    }
    {
        // The language switch serves a silent run only: a recording run asks.
        Row& row = add("recording-asks-for-the-language", Kits::X64);
        row.values = NothingMissing();
        row.arguments = L"-RECORD c:\\rec.iss /l 1031";
        row.visits = {{Window::Language, IDOK}};
    }
    {
        // XP SP3 has Windows Installer 3.1 built in.
        Row& row = add("recording-wins-over-silent", Kits::Both);
        row.windows = Windows::Xp;
        row.values = NothingMissing();
        row.arguments = L"/s s.iss /r r.iss";
    }
    {
        Row& row = add("silent-first-installation-in-the-language-of-the-switch", Kits::Both);
        row.values = NothingMissing();
        row.arguments = L"/S answers.iss /language 1040";
    }
    {
        Row& row = add("a-switch-without-its-value-ends-with-87", Kits::Both);
        row.arguments = L"/silent answers.iss /l";
    }
    {
        // The catalogue is the current directory's, the setup and the library
        // are the kit's.
        Row& row = add("catalogue-and-library-by-the-current-directory", Kits::Both);
        row.values = {kMdacPresent};
        row.files = {{L"{ROOT}\\elsewhere\\languages.ini",
                      "[Deutsch]\r\nProductLanguage=1031\r\nCommand=-l1031 /vFromElsewhere=1\r\n"}};
        row.copies = {{L"{KIT}\\downloadandrun.dll", L"{ROOT}\\elsewhere\\downloadandrun.dll", true}};
        row.folder = L"{ROOT}\\elsewhere";
        row.arguments = L"/s a.iss /l 1031";
    }
    {
        Row& row = add("second-instance-brings-the-first-forward", Kits::X64);
        row.first = L"/l 1031";
        row.values = {Dword(kUser, View::Native, L"Control Panel\\Desktop", L"ForegroundLockTimeout", 123456)};
        row.watch = row.values;
        row.arguments = L"/s";  // faulty, but the instance check comes first
    }
    {
        Row& row = add("second-instance-without-a-captioned-window", Kits::Both);
        row.values = NothingMissing();
        row.files = {{L"{KIT}\\morvanto9-control.ini", "[Behaviour]\r\nHangMs=120000\r\n"}};
        row.first = L"/s first.iss";
        row.firstWaitsIn = Window::Setup;
    }

    // --- language -------------------------------------------------------------
    {
        Row& row = add("cancelled-language-dialog", Kits::X64);
        row.visits = {{Window::Language, IDCANCEL}};
    }
    {
        // No display driver for 32-bit windows here: the dialog cannot open.
        add("language-dialog-that-cannot-open", Kits::X86);
    }
    {
        // Vista and later ask for the display language; XP never does.
        Row& row = add("display-language-decides-from-vista-on", Kits::Both);
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
        Row& row = add("silent-update-keeps-the-installed-language", Kits::Both);
        row.values = NothingMissing() + InstalledWithSettings(L"9.5.0.1");
        row.files = {Settings("1031")};
        row.copies = {{L"{KIT}\\languages.ini", L"{ROOT}\\elsewhere\\languages.ini", false}};
        row.folder = L"{ROOT}\\elsewhere";
        row.arguments = L"/s answers.iss";
        for (const wchar_t* name : {L"LastUsedSource", L"PackageName", L"MediaPackage"})
            row.watch.push_back(Absent(kMachine, View::Native, kSourceList, name));
    }
    {
        // An update over an older version whose source list lacks one of the
        // two values; the installed language has no section in the catalogue.
        Row& row = add("update-in-a-language-the-catalogue-lacks", Kits::X64);
        row.values = NothingMissing() + Installed(L"9.0") +
                     std::vector<RegValue>{Sz(kMachine, View::Wow32, L"SOFTWARE\\Zel\\DRVS9", L"Path", L"{ROOT}\\product\\"),
                                           Sz(kMachine, View::Native, kSourceList, L"PackageName", L"morvanto9.msi")};
        row.watch = {Absent(kMachine, View::Native, kSourceList, L"PackageName")};
        row.files = {Settings("1036")};
        row.visits = {{Window::Setup, 0}};
    }

    // --- prerequisites ----------------------------------------------------------
    {
        // The dialogs speak the chosen German; the library fails once.
        Row& row = add("german-machine-installs-dotnet-through-the-dialogs", Kits::X64);
        row.windows = Windows::Xp;
        row.values = {kGermanMachine, kMdacPresent};
        row.files = {LibraryAnswers("NetFx64.exe=1603,0")};
        row.visits = {{Window::Language, IDOK},
                      {Window::Prerequisites, IDOK},
                      {Window::Failure, IDOK},
                      {Window::Setup, 0}};
    }
    {
        // The dialog speaks the chosen language; the pack it offers is the
        // machine's.
        Row& row = add("italian-chosen-on-a-german-machine", Kits::X64);
        row.values = NothingMissing() + std::vector<RegValue>{kGermanMachine};
        row.visits = {{Window::Language, IDOK, L"Italian"},
                      {Window::Prerequisites, IDCANCEL}};
    }
    {
        // Retry until the user gives up and asks for the download location.
        Row& row = add("failing-library-retried-then-given-up", Kits::X64);
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
        Row& row = add("silent-run-still-offers-the-failure-dialog", Kits::X64);
        row.values = {kMdacPresent};
        row.files = {LibraryAnswers("NetFx64.exe=1603,0")};
        row.arguments = L"/s a.iss";
        row.visits = {{Window::Failure, IDOK}};
    }
    {
        // XP before SP3 needs the Windows Installer package; everything is
        // missing and installed silently, in order.
        Row& row = add("everything-missing-on-xp-sp2-installed-silently", Kits::Both);
        row.windows = Windows::XpSp2;
        row.values = {kGermanMachine,
                      Multi(kUser, View::Native, L"Control Panel\\Desktop", L"PreferredUILanguages", L"it-IT")};
        row.arguments = L"/s a.iss";
    }
    {
        // Server 2003 without a service pack takes the package's word; MDAC
        // counts through its rollback version.
        Row& row = add("server-2003-gold-with-the-installer-package", Kits::Both);
        row.windows = Windows::Server2003Gold;
        row.values = {Sz(kMachine, View::Wow32, kInstallerPackage, L"DisplayName", L"Windows Installer 3.1"),
                      Dword(kMachine, View::Wow32, kDotNet, L"Install", 0),
                      Sz(kMachine, View::Wow32, kMdac, L"FullInstallVer", L"2.50.4403.12"),
                      Sz(kMachine, View::Wow32, kMdac, L"RollbackVersion", L"2.81.1117.0")};
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("library-without-its-entry-point", Kits::X64);
        row.values = {kMdacPresent};
        row.copies = {{L"{TOOLS}\\tests\\standin-variants\\downloadandrun-without-entry-point\\downloadandrun.dll",
                       L"{KIT}\\downloadandrun.dll", false}};
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("cancelled-prerequisites-dialog", Kits::X64);
        row.values = {kMdacPresent};
        row.visits = {{Window::Language, IDOK}, {Window::Prerequisites, IDCANCEL}};
    }

    // --- the installed product --------------------------------------------------
    {
        Row& row = add("downgrade-refused-with-a-message", Kits::X64);
        row.values = Installed(L"9.6");
        row.visits = {{Window::Message, IDOK}};
    }
    {
        Row& row = add("downgrade-refused-silently", Kits::Both);
        row.values = Installed(L"9.6");
        row.arguments = L"/s a.iss";
    }

    // --- Windows 2000 -------------------------------------------------------------
    {
        // The parser is extracted and registered first; the readers open
        // keys without a view flag, in the process's own view.
        Row& row = add("windows-2000-prepares-the-xml-parser", Kits::Both);
        row.windows = Windows::Win2000;
        row.values = {Dword(kMachine, Own(), kDotNet, L"Install", 1),
                      Sz(kMachine, Own(), kMdac, L"FullInstallVer", L"2.81.1117.0"),
                      Sz(kMachine, Own(), kInstallerPackage, L"DisplayName", L"Windows Installer 3.1"),
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
        Row& row = add("temporary-folder-with-spaces-and-letters", Kits::Both);
        row.windows = Windows::Server2003;
        row.values = NothingMissing();
        row.temp = L"temp \x00FC\x00DF \x0416\x044F \x65E5\x672C";
        row.arguments = L"/s a.iss";
    }
    {
        // The log is lost; the setup is still told where its own log belongs.
        Row& row = add("temporary-folder-that-does-not-exist", Kits::Both);
        row.values = NothingMissing();
        row.tempExists = false;
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("log-held-open-by-another-program", Kits::Both);
        row.values = NothingMissing();
        row.logHeld = true;
        row.arguments = L"/s a.iss";
    }
    {
        Row& row = add("setup-that-crashes", Kits::Both);
        row.values = NothingMissing();
        row.files = {{L"{KIT}\\morvanto9-control.ini", "[Behaviour]\r\nCrash=1\r\n"}};
        row.arguments = L"/s a.iss";
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
