#pragma once
// The built-in catalogue of prerequisite packages and the detections that
// tell whether each prerequisite is already on the machine.

#include <windows.h>

// One row: four 8-bit texts in the ANSI code page.
struct Prerequisite
{
    const char* displayName;
    const char* fileName;
    const char* arguments;         // for a silent, unattended run of the installer
    const char* downloadLocation;  // http, no trailing slash
};

// The eight rows, in storage order.
extern const Prerequisite kDotNet20X86;           // row 0
extern const Prerequisite kDotNet20X64;           // row 1
extern const Prerequisite kLanguagePackGermanX86;  // row 2
extern const Prerequisite kLanguagePackGermanX64;  // row 3
extern const Prerequisite kLanguagePackItalianX86; // row 4
extern const Prerequisite kLanguagePackItalianX64; // row 5
extern const Prerequisite kMdac28;                // row 6
extern const Prerequisite kWindowsInstaller31;    // row 7

// Which row serves a need on an x86 or x64 system. LanguagePackRow answers
// null when no pack is offered for the language (1033 and every language
// other than 1031 and 1040).
const Prerequisite& DotNetRow(bool x64);
const Prerequisite* LanguagePackRow(int language, bool x64);

// Detections: 1 present (nothing to install), 0 missing.
int IsWIInstalled();
int IsDotNet2Installed();
int IsDotNet2LPInstalled(const wchar_t* languageId);
int IsMDAC28Installed();
