#include "prerequisites/TemplateText.h"

void FillTemplateText(const wchar_t* templateText, const wchar_t* value, wchar_t* result, size_t cchResult)
{
    if (cchResult == 0)
        return;
    size_t cch = 0;
    auto append = [&](wchar_t c) {
        if (cch + 1 < cchResult)
            result[cch++] = c;
    };
    bool filled = false;
    for (const wchar_t* p = templateText != nullptr ? templateText : L""; *p != L'\0'; ++p)
    {
        if (!filled && p[0] == L'%' && p[1] == L's')
        {
            for (const wchar_t* v = value != nullptr ? value : L""; *v != L'\0'; ++v)
                append(*v);
            filled = true;
            ++p;
            continue;
        }
        append(*p);
    }
    result[cch] = L'\0';
}
