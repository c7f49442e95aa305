#pragma once
// The language catalogue languages.ini: one section per installation
// language, with its ProductLanguage (a language identifier) and Command
// (the arguments for the product's setup in that language). Read only
// through the platform's profile functions, whose rules on case, quotes,
// trimming and encodings apply.

#include "support/ProductIdentity.h"

#include <windows.h>

// Used in a silent run when the OS language has no section.
constexpr wchar_t kEnglishLanguageArgs[] = L"-l1033 /vProductLanguage=1033";

// All arguments buffers hold kCchText characters.

// Appends the Command of the first section whose ProductLanguage equals
// languageId. 1 when found, else 0 (buffer unchanged).
int GetLangArgs(const wchar_t* languageId, const wchar_t* iniFile, wchar_t* args);

// Overwrites args with the Command of OsLanguage's section (1), or with the
// built-in English arguments (0).
int GetOSLanguageArgs(const wchar_t* iniFile, wchar_t* args);

// Silent run: overwrites args with the arguments of the /l language, else of
// the OS language, else the built-in English ones. 1 (0 only after a caught
// exception).
int GetLanguageArgs(const wchar_t* iniFile, wchar_t* args);

// Update: appends the installed product's language arguments (nothing when
// the catalogue has no section for it) and sets SelectedLanguageId. Always 1.
int GetInstalledLanguageArgs(const wchar_t* iniFile, wchar_t* args);

// The section walk that every reader of the catalogue shares: visits each
// section in file order under the part of its name before the first "="
// (the whole name when it has none), until visit answers false. A missing
// file has no sections. The name list is read whole, however long it is;
// only running out of memory stops it, with the structured exception
// STATUS_NO_MEMORY that the callers' guards catch (support/FaultGuard.h).
//
// A plain callback rather than std::function: that, like std::vector, brings
// libstdc++'s throw helpers and their string code into the executable, some
// 90 KB of a kit that users download.
using SectionVisitor = bool (*)(const wchar_t* section, void* context);
void WalkCatalogueSections(const wchar_t* iniFile, SectionVisitor visit, void* context);

// The same for any callable taking the section name (a lambda, say).
template <typename Visit>
void WalkCatalogueSections(const wchar_t* iniFile, Visit visit)
{
    WalkCatalogueSections(
        iniFile, [](const wchar_t* section, void* context) { return (*static_cast<Visit*>(context))(section); },
        &visit);
}

// A section's keys (kCchText characters; empty when missing). The section is
// a name as the walk hands it over.
void ReadProductLanguage(const wchar_t* iniFile, const wchar_t* section, wchar_t* productLanguage);
void ReadCommand(const wchar_t* iniFile, const wchar_t* section, wchar_t* command);
