#pragma once
// Resource identifiers: shared by the resource scripts and the code.

// Language selection dialog and the setup icon.
#define IDD_SELECT_LANGUAGE     101
#define IDI_SETUP               105
#define IDC_LANGUAGE_PROMPT     1002
#define IDC_LANGUAGE_LIST       1005

// Prerequisites dialog, one template per language.
#define IDD_PREREQ_ENGLISH      1033
#define IDD_PREREQ_ITALIAN      1034
#define IDD_PREREQ_GERMAN       1035
#define IDC_PREREQ_HEADING      1013
#define IDC_PREREQ_MISSING      1017
#define IDC_PREREQ_WILL_INSTALL 1015
#define IDC_PREREQ_LIST         1016
#define IDB_TOP9                130

// Prerequisite failure dialog, one template per language.
#define IDD_ERROR_ENGLISH       116
#define IDD_ERROR_ITALIAN       1039
#define IDD_ERROR_GERMAN        1038
#define IDC_ERROR_TEXT          1024
#define IDC_ERROR_OPEN_LOCATION 1025

// The XML parser carried for Windows 2000, as custom "BIN" resources.
#define IDR_MSXML3R_DLL         110
#define IDR_MSXML3_DLL          111
