#pragma once
// What the prerequisites dialog and the failure dialog share: filling their
// blocks, the template of the installation's language, and the modal run.

#include <windows.h>

#include <cstddef>

// Copies a text into a block's buffer, cut to fit; an absent text becomes the
// empty text.
void CopyText(wchar_t* target, size_t cchTarget, const wchar_t* text);
void CopyText(char* target, size_t cbTarget, const char* text);

// Puts value in place of the "%s" of the control's template text.
void FillControlText(HWND dialog, int controlId, const wchar_t* value);

// A dialog's templates, each with the line that says it is shown.
struct LocalizedTemplates
{
    struct Choice
    {
        int templateId;
        const char* line;
    };
    Choice german;   // 1031
    Choice italian;  // 1040
    Choice english;  // every other language
};

// Picks the template for a dialog language (decimal text) and writes its line.
int ChooseTemplate(const wchar_t* dialogLanguage, const LocalizedTemplates& templates);

// Runs the template modally without an owner window, handing it param; 1 when
// the dialog ended with code 1, else 0. When the dialog cannot be created at
// all, failureFormat is written with the last system error.
int RunModalDialog(HINSTANCE instance, int templateId, DLGPROC procedure, void* param, const char* failureFormat);
