#pragma once
// Yes/no questions about the running Windows. Nothing is cached: every call
// asks the system again and writes its own trace lines, so a registry read's
// trace holds a complete IsWindows2K trace.

#include <windows.h>

bool IsWindows2K();
bool IsVistaOrLater();
BOOL IsOS64();

// GetVersionExW with the basic record (276 bytes), zeroed first. The
// version checks and the Windows Installer detection share it.
BOOL QueryOsVersion(OSVERSIONINFOW* versionInfo);

// The decisions behind the checks, free of the platform so that every input
// can be tried. A failed version query (queried is FALSE) answers true.
bool IsWindows2KVersion(BOOL queried, const OSVERSIONINFOW& versionInfo);
bool IsVistaOrLaterVersion(BOOL queried, const OSVERSIONINFOW& versionInfo);

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

// The system's processor architecture: through the native query when the
// system has one (it sees through WOW64), else through GetSystemInfo.
WORD QueryProcessorArchitecture(GetNativeSystemInfoFn getNativeSystemInfo);

// Looks up GetNativeSystemInfo at run time; null on systems before XP. Never
// linked directly, so the product still loads on Windows 2000.
GetNativeSystemInfoFn FindGetNativeSystemInfo();

// Only AMD64 counts as x64; Itanium and unknown architectures count as x86.
bool IsX64Architecture(WORD processorArchitecture);
