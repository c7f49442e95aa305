#pragma once
// The three registry readers through which every value is read. Each read is
// a complete open, query and close in the view the reader is fixed to:
//
//   reader                                     root  view on 64-bit Windows  size limit
//   QueryStringValueFromRegistry               HKLM  32-bit (KEY_WOW64_32KEY) 1024 bytes
//   QueryDWORDValueFromRegistry                HKLM  64-bit (KEY_WOW64_64KEY)    4 bytes
//   QueryCurrentUserStringValueFromRegistryEx  HKCU  64-bit (KEY_WOW64_64KEY) 1024 bytes
//
// Windows 2000 does not know the view flags; there every reader opens with
// KEY_READ alone.
//
// Contract of all three: the stored bytes are copied as they are, whatever
// the value's type, and no terminator is added. The output is written only
// when the answer is TRUE; on every failure (missing key or value, data over
// the limit with status 234, access denied) it is left exactly as it was, so
// a caller that pre-fills a marker sees either the marker or the whole value.

#include <windows.h>

constexpr DWORD kCbRegistryString = 1024;  // 511 characters and a terminator
constexpr size_t kCchRegistryStringOutput = kCbRegistryString / sizeof(wchar_t);

// output: at least kCchRegistryStringOutput (512) characters.
BOOL QueryStringValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output);
BOOL QueryDWORDValueFromRegistry(const wchar_t* subKey, const wchar_t* valueName, DWORD* output);
BOOL QueryCurrentUserStringValueFromRegistryEx(const wchar_t* subKey, const wchar_t* valueName, wchar_t* output);
