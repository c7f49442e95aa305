// Probe operations of the platform queries.

#include "platform/OsChecks.h"
#include "platform/Registry.h"
#include "tests/probe/Probe.h"

namespace
{
// The three checks in one process, in this order.
ProbeCommand osChecks(L"OsChecks", [](int, wchar_t**) {
    ProbePrint(L"IsWindows2K", IsWindows2K() ? 1 : 0);
    ProbePrint(L"IsVistaOrLater", IsVistaOrLater() ? 1 : 0);
    ProbePrint(L"IsOS64", IsOS64() ? 1 : 0);
    return 0;
});

// <reader> <sub-key> <value name>: prints the answer and what was read.
int ReadString(int argc, wchar_t** argv, BOOL (*reader)(const wchar_t*, const wchar_t*, wchar_t*))
{
    if (argc != 2)
        return 2;
    wchar_t value[kCchRegistryStringOutput + 1] = L"";
    ProbePrint(L"answer", reader(argv[0], argv[1], value) ? 1 : 0);
    ProbePrint(L"value", value);
    return 0;
}

ProbeCommand queryString(L"QueryStringValueFromRegistry", [](int argc, wchar_t** argv) {
    return ReadString(argc, argv, QueryStringValueFromRegistry);
});

ProbeCommand queryCurrentUserString(L"QueryCurrentUserStringValueFromRegistryEx", [](int argc, wchar_t** argv) {
    return ReadString(argc, argv, QueryCurrentUserStringValueFromRegistryEx);
});

ProbeCommand queryDword(L"QueryDWORDValueFromRegistry", [](int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    DWORD value = 0;
    ProbePrint(L"answer", QueryDWORDValueFromRegistry(argv[0], argv[1], &value) ? 1 : 0);
    ProbePrint(L"value", static_cast<long long>(value));
    return 0;
});
}  // namespace
