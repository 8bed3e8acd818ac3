// Resource and command ids, shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SERVICEPACK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_BACKGROUND 134
// The pack's list of files (install/PackList.cpp), only in a release with a pack.
#define IDR_PACK_LIST 200
#define IDC_STATIC (-1)
#define IDC_CHOOSE_FOLDER 1000
#define IDC_START_INSTALLATION 1001

#define KQ_VERSION_NUMBERS 1, 0, 0, 1
#define KQ_VERSION_TEXT "1.0.0.1"
