#pragma once
// One whole run of a kit's SetupBootstrapper.exe on a prepared machine, as a
// person (or a deployment script) would start it, and what it left behind.
//
// A row says how the machine looks (Windows version, registry values,
// files), how the bootstrapper is started and what the person does at each
// window. The driver runs it against the kit (BS_KIT_DIR) in the Windows
// machine it runs in, and writes down what happened: each window as the person saw it, the
// exit code, the setup's command line, the download-and-run library's calls,
// the registry values and files a row watches, and the whole diagnostic log.
// Whole runs compare that record with tests/runs/expected/<row>.txt (or
// <row>.win32.txt where the 32-bit Windows differs); BS_WRITE_EXPECTED=1
// rewrites those files after a deliberate change, for review in the diff.

#include "tests/harness/Harness.h"

#include <ostream>
#include <string>
#include <vector>

namespace runs
{
using harness::RegValue;
using harness::View;

// Windows versions: Wine's per-program setting, or (for service-pack levels
// Wine lacks) the version values of the registry.
enum class Windows
{
    Seven,  // the prefix's default
    Win2000,
    Xp,  // SP3
    XpSp2,
    Server2003,  // SP2
    Server2003Gold,
    Vista,
};

// The bootstrapper's windows, each told apart by a control only it has.
enum class Window
{
    Language,       // template 101
    Prerequisites,  // 1033/1034/1035
    Failure,        // 116/1039/1038
    Message,        // the downgrade message
    Setup,          // the setup stand-in's window in a full-UI run
};

// What the person does at a window: picks a language in the list (when
// pick is set), ticks the check box tick (when not 0), then presses button
// (the setup's window: its close box).
struct Visit
{
    Window window;
    int button;
    std::wstring pick = L"";
    int tick = 0;
};

// The Windows machines a row runs in: a 64-bit Windows, where the kit
// meets WoW64 (every row), and a 32-bit one, as most Windows 2000 and XP
// machines were.
enum class Machines
{
    Win64,
    Both,
    Win32,
};

// A path may begin with {KIT} (the scenario's copy of the kit), {TEMP} (its
// temporary folder), {ROOT} (the scenario's folder), {TOOLS} (the test
// build's folder: tools and stand-in variants) or {PRODUCT} (the installed
// product's folder, as its key's Path names it when the record is taken);
// so may a REG_SZ value and a command line.
struct File
{
    std::wstring path;
    std::string bytes;
};
struct Copy
{
    std::wstring from;
    std::wstring to;
    bool move;
};

struct Row
{
    std::string name;
    Machines machines = Machines::Win64;
    Windows windows = Windows::Seven;
    std::vector<RegValue> values;
    std::vector<File> files;
    std::vector<Copy> copies;
    std::wstring temp = L"temp";  // the temporary folder's name under {ROOT}
    bool tempExists = true;
    bool logHeld = false;  // another program holds the log open for writing
    // A first instance started with these arguments (empty: none), which
    // waits in its language dialog or in a setup that hangs.
    std::wstring first;
    Window firstWaitsIn = Window::Language;
    std::wstring arguments;
    std::wstring folder;  // the current directory; empty: the kit's folder
    std::vector<Visit> visits;
    std::vector<RegValue> watch;           // values whose state the record shows
    std::vector<std::wstring> watchFiles;  // present or absent; a .txt or .xml file with its lines
    // Lines of a file (the installer's log, say) that hold a text.
    std::vector<std::pair<std::wstring, std::string>> excerpts;

    // The kit keeps its sample package (morvanto9.msi), so that its setup
    // installs the product through the Windows Installer. The row then
    // uninstalls it and records what is left of the product.
    bool installs = false;
    // Command lines run to their end before the bootstrapper starts, in the
    // kit's folder with the row's temporary folder: an earlier run of the
    // kit, or a package installed by msiexec itself.
    std::vector<std::wstring> before;
    // Values recorded when the setup has started and waits for the driver:
    // what the bootstrapper left before the setup could change it again.
    std::vector<RegValue> watchAtSetup;
};

inline void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

// Runs the row and answers its record, one line each; a window left open
// after the row's visits is cancelled. Answers nothing for a row of the
// other machine.
std::vector<std::string> Record(const Row& row);
// Runs the row and compares its record with the expected one.
void RunAndCompare(const Row& row);

// Where the Windows Installer and the product keep what the rows seed and
// watch: written here as the installer writes them, not taken from the
// product's own constants, so that a wrong belief there shows.
extern const std::wstring kUninstallKey;  // the product's uninstall entry
extern const std::wstring kProductKey;    // SOFTWARE\Zel\DRVS9, with Path
extern const std::wstring kSourceList;    // the source list under the packed product code

// Machine pieces the rows share.
std::vector<RegValue> NothingMissing();
std::vector<RegValue> Installed(const std::wstring& version);
RegValue InstallLanguage(const std::wstring& hex);
}  // namespace runs
