// Probe operations of the OS language detection.

#include "language/OsLanguage.h"
#include "tests/probe/Probe.h"

namespace
{
ProbeCommand osLanguageId(L"OSLanguageID", [](int, wchar_t**) {
    ProbePrint(L"answer", OSLanguageID());
    return 0;
});
}  // namespace
