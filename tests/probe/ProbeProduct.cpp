// Probe operations of the installed-product checks.

#include "product/InstalledProduct.h"
#include "tests/probe/Probe.h"

namespace
{
// IsDowngrade <product code> <setup file>: the setup file as the product
// passes it, so that a bare name is looked for from this program's folder.
ProbeCommand isDowngrade(L"IsDowngrade", [](int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    ProbePrint(L"answer", IsDowngrade(argv[0], argv[1]) ? 1 : 0);
    return 0;
});
}  // namespace
