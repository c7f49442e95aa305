// Probe operations of the platform queries.

#include "platform/OsChecks.h"
#include "tests/probe/Probe.h"

namespace
{
ProbeCommand isWindows2K(L"IsWindows2K", [](int, wchar_t**) {
    ProbePrint(L"answer", IsWindows2K() ? 1 : 0);
    return 0;
});

ProbeCommand isVistaOrLater(L"IsVistaOrLater", [](int, wchar_t**) {
    ProbePrint(L"answer", IsVistaOrLater() ? 1 : 0);
    return 0;
});

ProbeCommand isOS64(L"IsOS64", [](int, wchar_t**) {
    ProbePrint(L"answer", IsOS64() ? 1 : 0);
    return 0;
});
}  // namespace
