// Stand-in for msxml3.dll: a self-registering library whose registration
// leaves a marker that tests can read. regsvr32 loads it in a process of its
// own, so the marker goes where every process of the user sees it, in
// HKEY_CURRENT_USER (the same key in both registry views):
//
//   HKCU\Software\Zel\Msxml3StandIn
//     Path           REG_SZ     the file that was registered
//     Registrations  REG_DWORD  how many times it was registered since the
//                               key was last removed
//
// DllUnregisterServer removes the key again.

#include <windows.h>
#include <olectl.h>

namespace
{
constexpr wchar_t kMarkerKey[] = L"Software\\Zel\\Msxml3StandIn";

HMODULE g_module = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    DWORD cchPath = GetModuleFileNameW(g_module, path, ARRAYSIZE(path));
    if (cchPath == 0 || cchPath >= ARRAYSIZE(path))
        return E_FAIL;

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kMarkerKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;

    DWORD registrations = 0;
    DWORD cbRegistrations = sizeof(registrations);
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, L"Registrations", nullptr, &type, reinterpret_cast<BYTE*>(&registrations),
                         &cbRegistrations) != ERROR_SUCCESS ||
        type != REG_DWORD)
        registrations = 0;
    ++registrations;

    LONG pathStatus = RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                                     static_cast<DWORD>((cchPath + 1) * sizeof(wchar_t)));
    LONG countStatus = RegSetValueExW(key, L"Registrations", 0, REG_DWORD,
                                      reinterpret_cast<const BYTE*>(&registrations), sizeof(registrations));
    RegCloseKey(key);
    return pathStatus == ERROR_SUCCESS && countStatus == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    LONG status = RegDeleteKeyW(HKEY_CURRENT_USER, kMarkerKey);
    // Not registered is what unregistering asks for.
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
