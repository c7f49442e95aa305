// Probe operations of the prerequisites: for what depends on the Windows
// version that Wine emulates per program, and for the library as a kit finds
// it, beside the executable.

#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/PrereqInstall.h"
#include "support/ProductIdentity.h"
#include "support/RunState.h"
#include "tests/probe/Probe.h"

#include <cwchar>

#include <strsafe.h>

namespace
{
ProbeCommand isWIInstalled(L"IsWIInstalled", [](int, wchar_t**) {
    ProbePrint(L"answer", IsWIInstalled());
    return 0;
});

// InstallPrerequisites <WI present> <.NET present> <pack present> <OS language>
//                      <MDAC present> <installation language>
// Without a window, as in a silent run; the failure dialog speaks the
// installation language.
ProbeCommand installPrerequisites(L"InstallPrerequisites", [](int argc, wchar_t** argv) {
    if (argc < 6)
        return 2;
    instanceHandle = GetModuleHandleW(nullptr);
    StringCchCopyW(productCaption, ARRAYSIZE(productCaption), kProductName);
    StringCchCopyW(SelectedLanguageId, ARRAYSIZE(SelectedLanguageId), argv[5]);
    ProbePrint(L"answer", InstallPrerequisites(nullptr, productCaption, argv[5], _wtoi(argv[0]), _wtoi(argv[1]),
                                               _wtoi(argv[2]), argv[3], _wtoi(argv[4])));
    return 0;
});
}  // namespace

