#pragma once
// Registry state for one test, undone when the sandbox goes: every value set
// or deleted gets its earlier state back, and every key the sandbox had to
// create is removed again, deepest first. Each change names the registry view
// it is made in, because the readers under test are fixed to one view each.

#include <windows.h>

#include <string>
#include <vector>

namespace test
{
enum class RegView
{
    Native,  // KEY_WOW64_64KEY: what a 64-bit program sees; HKCU and HKLM\SYSTEM are shared
    Wow32    // KEY_WOW64_32KEY: HKLM\Software\Wow6432Node, what the 32-bit product reads
};

class RegistrySandbox
{
public:
    RegistrySandbox() = default;
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    void SetString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                   const std::wstring& value, DWORD type = REG_SZ);
    // Strings joined with zero characters and ended by an empty one.
    void SetMultiString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                        const std::vector<std::wstring>& values);
    void SetDword(HKEY root, RegView view, const std::wstring& key, const std::wstring& name, DWORD value);
    void SetBytes(HKEY root, RegView view, const std::wstring& key, const std::wstring& name, DWORD type,
                  const void* data, DWORD cb);
    void DeleteValue(HKEY root, RegView view, const std::wstring& key, const std::wstring& name);
    // Creates the key (and any missing parents) without values.
    void CreateKey(HKEY root, RegView view, const std::wstring& key);
    // Removes a key the sandbox created earlier, before the sandbox ends.
    void RemoveCreatedKey(HKEY root, RegView view, const std::wstring& key);

    // Undoes everything now, in reverse order.
    void Restore();

private:
    struct SavedValue
    {
        HKEY root;
        RegView view;
        std::wstring key;
        std::wstring name;
        bool existed;
        DWORD type;
        std::string data;
    };
    struct CreatedKey
    {
        HKEY root;
        RegView view;
        std::wstring key;
    };
    struct Change
    {
        bool isKey;
        size_t index;
    };

    void SaveValue(HKEY root, RegView view, const std::wstring& key, const std::wstring& name);
    void EnsureKey(HKEY root, RegView view, const std::wstring& key);

    std::vector<SavedValue> m_values;
    std::vector<CreatedKey> m_keys;
    std::vector<Change> m_changes;
};

// Reading back, for tests that check what the code under test changed.
bool RegistryValueExists(HKEY root, RegView view, const std::wstring& key, const std::wstring& name);
bool RegistryKeyExists(HKEY root, RegView view, const std::wstring& key);
std::wstring RegistryString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name);
// The value's first four bytes; fallback when the value is absent.
DWORD RegistryDword(HKEY root, RegView view, const std::wstring& key, const std::wstring& name, DWORD fallback);

// Makes the next start of exeName report another Windows version through
// Wine's per-program setting ("win2k", "winxp", "win2003", "vista", "win7",
// "win10"); nullptr removes the setting. Undone when the object goes.
class ScopedWineVersion
{
public:
    ScopedWineVersion(const std::wstring& exeName, const wchar_t* version);

private:
    RegistrySandbox m_registry;
};
}  // namespace test
