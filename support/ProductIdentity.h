#pragma once
// What identifies the product this kit installs. The bootstrapper has no
// settings of its own: everything here is built in.

#include <cstddef>

constexpr wchar_t kProductName[] = L"Zel Morvanto 9.5";
constexpr wchar_t kSetupSourcePath[] = L"morvanto9.exe";
constexpr wchar_t kProductCode[] = L"{CBE19707-CF6D-4819-9574-3DFD568960FA}";

// kProductCode in the Windows Installer's packed form, under which the
// installer registers the product (first three groups reversed, the bytes of
// the rest nibble-swapped). Held beside the code instead of derived at run
// time; a test keeps the two in step.
constexpr wchar_t kPackedProductCode[] = L"70791EBCD6FC91845947D3DF659806AF";

constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\Zel_Morvanto9i";
constexpr wchar_t kLanguageCatalogueName[] = L"languages.ini";

// Every text of the system lives in a buffer of this many wide characters.
constexpr size_t kCchText = 1024;
