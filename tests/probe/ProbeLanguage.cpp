// Probe operation of the language subsystem: the settings-file reader, for
// what depends on the DLLs a process starts with (a machine without MSXML 4.0
// is a process started with msxml4 disabled).

#include "language/InstalledLanguage.h"
#include "tests/probe/Probe.h"

#include <strsafe.h>

namespace
{
// bsprobe GetLangIdFromCrmi <settings file>
ProbeCommand getLangIdFromCrmi(L"GetLangIdFromCrmi", [](int argc, wchar_t** argv) {
    if (argc < 1)
        return 2;
    wchar_t languageId[1024];
    StringCchCopyW(languageId, ARRAYSIZE(languageId), L"untouched");
    LONG status = GetLangIdFromCrmi(argv[0], languageId);
    ProbePrint(L"status", status);
    ProbePrint(L"languageId", languageId);
    return 0;
});
}  // namespace
