// Probe operation of the embedded XML parser.
//
//   bsprobe XmlParser <step>...
//
// Runs the steps in order in one process, so that the clean-up sees the
// folder that the preparation chose. Steps:
//   prepare  the preparation that WinMain runs on Windows 2000
//   cleanup  DeleteResFromTemp

#include "bootstrap/EmbeddedResources.h"
#include "tests/probe/Probe.h"

#include <cwchar>

namespace
{
ProbeCommand xmlParser(L"XmlParser", [](int argc, wchar_t** argv) {
    for (int i = 0; i < argc; ++i)
    {
        if (std::wcscmp(argv[i], L"prepare") == 0)
            PrepareXmlParser();
        else if (std::wcscmp(argv[i], L"cleanup") == 0)
            DeleteResFromTemp();
        else
            return 2;  // an unknown step
    }
    return 0;
});
}  // namespace
