// Probe operation of the embedded XML parser.
//
//   bsprobe XmlParser <step>...
//
// Runs the steps in order in one process, so that the clean-up sees the
// folder that the preparation chose, then prints resourceFolder. Steps:
//   startup  the preparation as WinMain runs it: only on Windows 2000
//   prepare  the preparation, whatever the system
//   cleanup  DeleteResFromTemp

#include "platform/OsChecks.h"
#include "support/EmbeddedResources.h"
#include "tests/probe/Probe.h"

#include <cstdio>
#include <cwchar>

namespace
{
ProbeCommand xmlParser(L"XmlParser", [](int argc, wchar_t** argv) {
    for (int i = 0; i < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"startup") == 0)
        {
            if (IsWindows2K())
                PrepareXmlParser();
        }
        else if (std::wcscmp(argv[i], L"prepare") == 0)
        {
            PrepareXmlParser();
        }
        else if (std::wcscmp(argv[i], L"cleanup") == 0)
        {
            DeleteResFromTemp();
        }
        else
        {
            std::fprintf(stderr, "bsprobe XmlParser: unknown step\n");
            return 2;
        }
    }
    ProbePrint(L"resourceFolder", resourceFolder);
    return 0;
});
}  // namespace
