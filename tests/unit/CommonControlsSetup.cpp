// The product loads the common controls on its only thread, just before its
// first window. These tests run dialogs on a background thread while the
// test's thread looks for them, and under Wine loading comctl32 on one
// thread while another is inside user32 can deadlock both (the loader lock
// against user32's own). So this program loads them once, before any test
// runs, as the static import did before the product loaded them late.

#include "platform/CommonControls.h"

namespace
{
const bool g_commonControlsLoaded = (EnsureCommonControls(), true);
}
