#pragma once
// One whole run of a kit's SetupBootstrapper.exe on a prepared machine, as a
// person (or a deployment script) would start it, and what it left behind.
//
// A row says how the machine looks (Windows version, registry values,
// files), how the bootstrapper is started and what the person does at each
// window. The driver runs it against the kit under test (BS_KIT_DIR, x64 or
// x86) and writes down what happened: each window as the person saw it, the
// exit code, the setup's command line, the download-and-run library's calls,
// the registry values and files a row watches, and the whole diagnostic
// log. That record is compared with an expected file, tests/runs/expected/
// <row>.txt (or <row>.x86.txt where the 32-bit kit differs); run with
// BS_WRITE_EXPECTED=1 to rewrite them after a deliberate change and review
// the difference.

#include "tests/harness/Harness.h"

#include <ostream>
#include <string>
#include <vector>

namespace runs
{
// Windows versions: Wine's per-program setting, or (for service-pack levels
// Wine lacks) the version values of the registry.
enum class Windows
{
    Seven,  // the prefix's default
    Win2000,
    Xp,        // SP3
    XpSp2,     // registry
    Server2003,      // SP2
    Server2003Gold,  // registry
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

struct Input
{
    enum Kind
    {
        Press,  // a button
        Pick,   // a language in the list
        Tick,   // a check box
        Close,  // the close box (the setup's window: its own way out)
    } kind;
    int id;
    std::wstring text;
};
Input Press(int id);
Input Pick(const std::wstring& language);
Input Tick(int id);
Input Close();

struct Visit
{
    Window window;
    std::vector<Input> inputs;
};

// A path in a row may begin with {KIT} (the scenario's copy of the kit),
// {TEMP} (its temporary folder) or {ROOT} (the scenario's folder).
struct File
{
    std::wstring path;
    std::string bytes;
};

// The 64-bit test build reads the native view where the 32-bit product
// reads Wow6432Node: on Windows 2000 (no view flag) a reader opens the
// process's own view. Own stands for that view of the kit under test.
enum class Seen
{
    Native,
    Wow32,
    Own,
};

struct Value
{
    HKEY root;
    Seen view;
    std::wstring key;
    std::wstring name;
    DWORD type;       // REG_NONE: delete the value
    std::string bytes;
};
Value Sz(HKEY root, Seen view, const std::wstring& key, const std::wstring& name, const std::wstring& text);
Value Dword(HKEY root, Seen view, const std::wstring& key, const std::wstring& name, DWORD number);
Value Absent(HKEY root, Seen view, const std::wstring& key, const std::wstring& name);
Value Multi(HKEY root, Seen view, const std::wstring& key, const std::wstring& name, const std::wstring& first);

enum class Kits
{
    Both,
    X64,  // needs a window or MSXML, which Wine's WoW64 mode lacks here
    X86,  // shows what the 32-bit kit does without them
};

// A file copied (or moved) into the scenario before the start. from may
// begin with {KIT} or {TOOLS} (the test build's tools and stand-in variants).
struct Copy
{
    std::wstring from;
    std::wstring to;
    bool move;
};

struct Row
{
    std::string name;
    Kits kits = Kits::Both;
    Windows windows = Windows::Seven;
    std::vector<Value> values;
    std::vector<File> files;
    std::vector<Copy> copies;
    std::wstring temp = L"temp";   // the temporary folder's name under {ROOT}
    bool tempExists = true;
    bool logHeld = false;          // another program holds the log open for writing
    // A first instance started with these arguments (nothing: none), which
    // waits in its language dialog or in a setup that hangs.
    std::wstring first;
    Window firstWaitsIn = Window::Language;
    std::wstring arguments;
    std::wstring folder;           // the current directory; empty: the kit's folder
    std::vector<Visit> visits;
    std::vector<Value> watch;      // values whose state the record shows
    std::vector<std::wstring> watchFiles;  // present or absent; a .txt file with its lines
};

// A failing row is named by its name, not its bytes.
inline void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

// Runs the row against the kit under test and compares its record.
void RunAndCompare(const Row& row);

// Machine pieces the rows share.
std::vector<Value> NothingMissing();
std::vector<Value> Installed(const std::wstring& version);
Value InstallLanguage(const std::wstring& hex);
}  // namespace runs
