#pragma once
// Fills the "%s" of a dialog's template text (a product caption, a
// prerequisite's name) without handing the text to printf: a translated
// template with a stray "%" cannot then make the formatting read arguments
// that are not there.

#include <cstddef>

// Copies templateText into result with its first "%s" replaced by value;
// every other character, "%" included, stays as it is. The result is cut to
// cchResult - 1 characters and always terminated.
void FillTemplateText(const wchar_t* templateText, const wchar_t* value, wchar_t* result, size_t cchResult);
