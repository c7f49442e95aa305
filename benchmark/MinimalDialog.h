#pragma once
#define IDD_MINIMAL 101
#define IDI_MINIMAL 105
#define IDC_MINIMAL_LIST 1005
