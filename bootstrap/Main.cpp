// The entry point. Only the executable holds the single-instance guard: it
// is created during static initialization, before WinMain runs, and closed
// at process exit, so the mutex covers the whole run including the setup.

#include "bootstrap/SingleInstanceGuard.h"
#include "bootstrap/Startup.h"
#include "support/ProductIdentity.h"

#include <windows.h>

#include <cstdlib>

// GCC's default terminate handler prints the demangled type of the exception
// to a console that a GUI program does not have, and brings the C++
// demangler and a printf implementation into the executable: some 70 KB of
// a kit that users download. Every operation catches what it throws, so
// terminate only runs on a bug; then the process simply ends.
namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

namespace
{
SingleInstanceGuard g_singleInstanceGuard(kSingleInstanceMutexName);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunSetupBootstrapper(instance, g_singleInstanceGuard);
}
