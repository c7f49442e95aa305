#include "language/LanguageCatalogue.h"

wchar_t SelectedLanguageId[kCchText];
