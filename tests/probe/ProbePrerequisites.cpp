// Probe operations of the prerequisites: for what depends on the Windows
// version that Wine emulates per program.

#include "prerequisites/PrereqCatalogue.h"
#include "tests/probe/Probe.h"

namespace
{
ProbeCommand isWIInstalled(L"IsWIInstalled", [](int, wchar_t**) {
    ProbePrint(L"answer", IsWIInstalled());
    return 0;
});
}  // namespace
