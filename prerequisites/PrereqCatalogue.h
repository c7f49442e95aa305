#pragma once
// The built-in catalogue of prerequisite packages and the detections that
// tell whether each prerequisite is already on the machine.

#include <windows.h>

#include <cstddef>

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

// Which row serves a need on an x86 or x64 system.
const Prerequisite& DotNetRow(bool x64);

// The language pack for an OS language, with what the prerequisites dialog
// and the installation each write about it. row is null when no pack is
// offered (1033 and every language other than 1031 and 1040).
struct LanguagePackChoice
{
    const Prerequisite* row;
    const char* listLine;
    const char* installLine;
};
const LanguagePackChoice& ChooseLanguagePack(int language, bool x64);

// A language identifier (decimal digits in wide text, "1033") as a number,
// for picking a template or a row and for the download-and-run library:
// leading blanks and a sign are allowed, reading stops at the first
// non-digit, and text without digits gives 0.
int LanguageNumber(const wchar_t* languageId);

// Catalogue texts are in the ANSI code page. Both conversions always leave a
// terminated buffer; a null or unconvertible text gives the empty text.
void CatalogueTextToWide(const char* text, wchar_t* wide, size_t cchWide);
void WideToCatalogueText(const wchar_t* wide, char* text, size_t cbText);

// What IsWIInstalled answers and writes for a system and whether the
// Windows Installer 3.1 package is registered there: on Windows 2000, XP
// before Service Pack 3 and Server 2003 before Service Pack 1 the package
// decides; every other system has it built in.
struct WindowsInstallerVerdict
{
    int result;
    const char* line;
};
WindowsInstallerVerdict JudgeWindowsInstaller(const OSVERSIONINFOW& versionInfo, bool registered);

// Detections: 1 present (nothing to install), 0 missing.
int IsWIInstalled();
int IsDotNet2Installed();
int IsDotNet2LPInstalled(const wchar_t* languageId);
int IsMDAC28Installed();
