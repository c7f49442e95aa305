#include "platform/CommonControls.h"

#include <windows.h>

namespace
{
bool g_commonControlsReady = false;
}

void EnsureCommonControls()
{
    if (g_commonControlsReady)
        return;
    const DWORD lastError = GetLastError();
    // The bare name on purpose: the manifest's activation context resolves
    // it to the version-6 assembly, as it would for a static import; a full
    // path would load the old version-5 library from the system folder.
    HMODULE comctl32 = LoadLibraryW(L"comctl32.dll");
    if (comctl32 != nullptr)
    {
        using InitFunction = void(WINAPI*)();
        auto init = reinterpret_cast<InitFunction>(GetProcAddress(comctl32, "InitCommonControls"));
        if (init != nullptr)
            init();
        g_commonControlsReady = true;
    }
    SetLastError(lastError);
}
