// Resource and control IDs of the program file.
#pragma once

#define IDD_PATCH_MENU 101
#define IDI_PROGRAM 101
#define IDB_ARTWORK 103
#define IDC_ARTWORK 1032
#define IDC_START 1009
#define IDC_QUIT 1034
