#pragma once
// Which of the five supported languages the machine speaks. A language
// identifier is a Windows locale identifier written as decimal digits in a
// wide string ("1033"); two identifiers are equal only when their texts are.
// The supported ones: "1033" English, "1031" German, "1040" Italian,
// "3082" Spanish, "1049" Russian.

#include <windows.h>

// The machine's language: the OS installation language, replaced on Vista
// and later by the current user's display language when that can be read,
// then folded onto a supported language. Never fails: every failure ends in
// "1033". Returns a constant string.
const wchar_t* OSLanguageID();

// Replaces languageId (a buffer of 1,024 characters) with the user's display
// language when it can be read; otherwise leaves it as it is. Returns it.
wchar_t* DetermineDesktopLanguage(wchar_t* languageId);

// Folds an identifier onto one of the five supported ones (English when no
// family lists it). Returns a constant string.
const wchar_t* GetSupportedLangID(const wchar_t* languageId);

// Reads the decimal digits of value as hexadecimal digits: 409 -> 0x409 = 1033.
DWORD HexLangIDToDecimal(DWORD value);
