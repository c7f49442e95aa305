#include "tests/support/RegistrySandbox.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace test
{
namespace
{
REGSAM ViewFlag(RegView view)
{
    return view == RegView::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

std::string Describe(const std::wstring& key, const std::wstring& name)
{
    return WideToUtf8(key) + "\\" + WideToUtf8(name);
}

std::wstring ParentOf(const std::wstring& key)
{
    size_t separator = key.rfind(L'\\');
    return separator == std::wstring::npos ? std::wstring() : key.substr(0, separator);
}
}  // namespace

bool RegistryKeyExists(HKEY root, RegView view, const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

bool RegistryValueExists(HKEY root, RegView view, const std::wstring& key, const std::wstring& name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return false;
    LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

std::wstring RegistryString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[4096] = L"";
    DWORD cb = sizeof(value) - sizeof(wchar_t);
    RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value), &cb);
    RegCloseKey(handle);
    return value;
}

DWORD RegistryDword(HKEY root, RegView view, const std::wstring& key, const std::wstring& name, DWORD fallback)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return fallback;
    DWORD value = fallback;
    DWORD cb = sizeof(value);
    if (RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &cb) != ERROR_SUCCESS)
        value = fallback;
    RegCloseKey(handle);
    return value;
}

RegistrySandbox::~RegistrySandbox()
{
    Restore();
}

void RegistrySandbox::EnsureKey(HKEY root, RegView view, const std::wstring& key)
{
    if (RegistryKeyExists(root, view, key))
        return;
    // Remember the outermost key that is new, so that removing it removes
    // everything the sandbox created below it too.
    std::wstring outermostNew = key;
    for (std::wstring parent = ParentOf(key); !parent.empty() && !RegistryKeyExists(root, view, parent);
         parent = ParentOf(parent))
        outermostNew = parent;

    HKEY handle = nullptr;
    LONG status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS | ViewFlag(view), nullptr, &handle, nullptr);
    ASSERT_EQ(status, ERROR_SUCCESS) << "cannot create " << WideToUtf8(key);
    RegCloseKey(handle);
    m_keys.push_back({root, view, outermostNew});
    m_changes.push_back({true, m_keys.size() - 1});
}

void RegistrySandbox::SaveValue(HKEY root, RegView view, const std::wstring& key, const std::wstring& name)
{
    SavedValue saved{root, view, key, name, false, REG_NONE, std::string()};
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewFlag(view), &handle) == ERROR_SUCCESS)
    {
        DWORD cb = 0;
        if (RegQueryValueExW(handle, name.c_str(), nullptr, &saved.type, nullptr, &cb) == ERROR_SUCCESS)
        {
            saved.data.resize(cb);
            RegQueryValueExW(handle, name.c_str(), nullptr, &saved.type,
                             reinterpret_cast<BYTE*>(saved.data.empty() ? nullptr : &saved.data[0]), &cb);
            saved.existed = true;
        }
        RegCloseKey(handle);
    }
    m_values.push_back(saved);
    m_changes.push_back({false, m_values.size() - 1});
}

void RegistrySandbox::SetBytes(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                               DWORD type, const void* data, DWORD cb)
{
    EnsureKey(root, view, key);
    SaveValue(root, view, key, name);
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE | ViewFlag(view), &handle), ERROR_SUCCESS)
        << Describe(key, name);
    LONG status = RegSetValueExW(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), cb);
    RegCloseKey(handle);
    ASSERT_EQ(status, ERROR_SUCCESS) << "cannot set " << Describe(key, name);
}

void RegistrySandbox::SetString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                                const std::wstring& value, DWORD type)
{
    SetBytes(root, view, key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegistrySandbox::SetMultiString(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                                     const std::vector<std::wstring>& values)
{
    std::wstring data;
    for (const auto& value : values)
    {
        data += value;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    SetBytes(root, view, key, name, REG_MULTI_SZ, data.data(), static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void RegistrySandbox::SetDword(HKEY root, RegView view, const std::wstring& key, const std::wstring& name,
                               DWORD value)
{
    SetBytes(root, view, key, name, REG_DWORD, &value, sizeof(value));
}

void RegistrySandbox::DeleteValue(HKEY root, RegView view, const std::wstring& key, const std::wstring& name)
{
    if (!RegistryValueExists(root, view, key, name))
        return;
    SaveValue(root, view, key, name);
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE | ViewFlag(view), &handle), ERROR_SUCCESS);
    RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
}

void RegistrySandbox::CreateKey(HKEY root, RegView view, const std::wstring& key)
{
    EnsureKey(root, view, key);
}

namespace
{
void DeleteKeyTree(HKEY root, RegView view, const std::wstring& key)
{
    std::wstring parent = ParentOf(key);
    std::wstring leaf = parent.empty() ? key : key.substr(parent.size() + 1);
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &handle) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(handle, leaf.c_str());
    RegCloseKey(handle);
}
}  // namespace

void RegistrySandbox::RemoveCreatedKey(HKEY root, RegView view, const std::wstring& key)
{
    DeleteKeyTree(root, view, key);
}

void RegistrySandbox::Restore()
{
    for (auto change = m_changes.rbegin(); change != m_changes.rend(); ++change)
    {
        if (change->isKey)
        {
            const CreatedKey& created = m_keys[change->index];
            DeleteKeyTree(created.root, created.view, created.key);
            continue;
        }
        const SavedValue& saved = m_values[change->index];
        HKEY handle = nullptr;
        if (RegOpenKeyExW(saved.root, saved.key.c_str(), 0, KEY_SET_VALUE | ViewFlag(saved.view), &handle) !=
            ERROR_SUCCESS)
            continue;  // its key went with a created one
        if (saved.existed)
            RegSetValueExW(handle, saved.name.c_str(), 0, saved.type,
                           reinterpret_cast<const BYTE*>(saved.data.data()), static_cast<DWORD>(saved.data.size()));
        else
            RegDeleteValueW(handle, saved.name.c_str());
        RegCloseKey(handle);
    }
    m_changes.clear();
    m_values.clear();
    m_keys.clear();
}

ScopedWineVersion::ScopedWineVersion(const std::wstring& exeName, const wchar_t* version)
{
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName;
    if (version == nullptr)
        m_registry.DeleteValue(HKEY_CURRENT_USER, RegView::Native, key, L"Version");
    else
        m_registry.SetString(HKEY_CURRENT_USER, RegView::Native, key, L"Version", version);
}
}  // namespace test
