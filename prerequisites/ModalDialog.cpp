#include "prerequisites/ModalDialog.h"

#include "platform/CommonControls.h"
#include "prerequisites/PrereqCatalogue.h"
#include "prerequisites/TemplateText.h"
#include "support/DiagnosticLog.h"
#include "support/ProductIdentity.h"

#include <strsafe.h>

void CopyText(wchar_t* target, size_t cchTarget, const wchar_t* text)
{
    StringCchCopyW(target, cchTarget, text != nullptr ? text : L"");
}

void CopyText(char* target, size_t cbTarget, const char* text)
{
    StringCchCopyA(target, cbTarget, text != nullptr ? text : "");
}

void FillControlText(HWND dialog, int controlId, const wchar_t* value)
{
    wchar_t szText[kCchText] = L"";
    wchar_t szResText[kCchText] = L"";
    GetDlgItemTextW(dialog, controlId, szText, ARRAYSIZE(szText));
    FillTemplateText(szText, value, szResText, ARRAYSIZE(szResText));
    SetDlgItemTextW(dialog, controlId, szResText);
}

int ChooseTemplate(const wchar_t* dialogLanguage, const LocalizedTemplates& templates)
{
    const LocalizedTemplates::Choice* choice = &templates.english;
    switch (LanguageNumber(dialogLanguage))
    {
    case 1031:
        choice = &templates.german;
        break;
    case 1040:
        choice = &templates.italian;
        break;
    default:
        break;
    }
    LogMessage(kLogInfo, choice->line);
    return choice->templateId;
}

int RunModalDialog(HINSTANCE instance, int templateId, DLGPROC procedure, void* param, const char* failureFormat)
{
    EnsureCommonControls();
    INT_PTR code =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), nullptr, procedure, reinterpret_cast<LPARAM>(param));
    if (code == -1)
        LogMessage(kLogError, failureFormat, static_cast<int>(GetLastError()));
    return code == 1 ? 1 : 0;
}
