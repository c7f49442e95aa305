#include "support/RunState.h"

// Zero-initialized: empty texts, no flags, no module, until their writers run.
HINSTANCE instanceHandle;
wchar_t productCaption[kCchText];
InstallModeFlags InstallMode;
wchar_t OsLanguage[kCchText];
wchar_t SelectedLanguageId[kCchText];
