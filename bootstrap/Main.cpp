// The entry point. Only the executable holds the single-instance guard: it
// is created during static initialization, before WinMain runs, and closed
// at process exit, so the mutex covers the whole run including the setup.

#include "bootstrap/SingleInstanceGuard.h"
#include "bootstrap/Startup.h"
#include "support/ProductIdentity.h"

#include <windows.h>

namespace
{
SingleInstanceGuard g_singleInstanceGuard(kSingleInstanceMutexName);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunSetupBootstrapper(instance, g_singleInstanceGuard);
}
