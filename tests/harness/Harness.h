#pragma once
// What every test program shares: the build's paths, files and texts,
// starting and waiting for programs, and registry state that is put back.
//
// Tests never sleep to synchronise: they wait for a condition with a
// time-out (WaitUntil).

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace harness
{
constexpr DWORD kTimeoutMs = 30000;

// --- paths and files ---------------------------------------------------------
// An environment variable that CTest sets (BS_KIT_DIR, BS_SCRATCH_DIR...);
// the test fails when it is missing.
std::wstring Setting(const wchar_t* name);
std::wstring Join(const std::wstring& folder, const std::wstring& name);
bool Exists(const std::wstring& path);
std::string ReadBytes(const std::wstring& path);  // empty when missing
void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// A fresh folder under BS_SCRATCH_DIR, removed when the object goes (kept
// when BS_KEEP_SCRATCH is set, for a look afterwards).
class Scratch
{
public:
    explicit Scratch(const std::wstring& name);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// The bootstrapper's diagnostic log in a temporary folder (none: empty): its
// messages without their timestamps. A log that does not parse (no byte-order mark,
// a line without a timestamp, no CR LF at the end) fails the test.
std::vector<std::wstring> LogMessages(const std::wstring& tempFolder);

// --- processes ---------------------------------------------------------------
class Child
{
public:
    // Starts commandLine (no application name) in folder, with the test's
    // environment plus `environment` (an empty value removes a variable).
    Child(const std::wstring& commandLine, const std::wstring& folder,
          const std::map<std::wstring, std::wstring>& environment = {});
    ~Child();  // ends the child if it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_process != nullptr; }
    DWORD Id() const { return m_id; }
    bool Running() const;
    // The exit code, or STILL_ACTIVE after the time-out (the test then fails).
    DWORD Wait(DWORD timeoutMs = kTimeoutMs);

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

// The machine: a 64-bit Windows (the test programs, 32-bit, run under
// WoW64), or a 32-bit one, where both registry views are the same keys.
bool Is64BitWindows();

// --- registry ----------------------------------------------------------------
enum class View
{
    Native,  // what a 64-bit program sees; HKCU and HKLM\SYSTEM are shared by both views
    Wow32,   // HKLM\Software\Wow6432Node: what the 32-bit product reads on 64-bit Windows
};

struct RegValue
{
    HKEY root;
    View view;
    std::wstring key;
    std::wstring name;
    DWORD type;         // REG_NONE: no such value
    std::string bytes;  // as stored
};
RegValue Sz(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& text);
RegValue Dword(HKEY root, View view, const std::wstring& key, const std::wstring& name, DWORD value);
RegValue Multi(HKEY root, View view, const std::wstring& key, const std::wstring& name, const std::wstring& first);
RegValue Absent(HKEY root, View view, const std::wstring& key, const std::wstring& name);

// Sets values and puts back what was there before when it goes: earlier
// values, absent values, and the keys it had to create.
class Registry
{
public:
    Registry() = default;
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Sets the value, or deletes it when its type is REG_NONE.
    void Set(const RegValue& value);

private:
    struct Undo
    {
        HKEY root;
        View view;
        std::wstring key;
        std::wstring name;  // with createdKey: unused
        bool createdKey;
        bool existed;
        DWORD type;
        std::string bytes;
    };
    void Save(HKEY root, View view, const std::wstring& key, const std::wstring& name);
    std::vector<Undo> m_undo;
};
// What the value holds now: its text, its number, or "absent".
std::wstring Read(HKEY root, View view, const std::wstring& key, const std::wstring& name);

}  // namespace harness
