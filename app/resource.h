// Resource and control identifiers of the converter.
#ifndef APP_RESOURCE_H_
#define APP_RESOURCE_H_

#define IDD_ABOUTBOX 100
#define IDD_CONVERTER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_PROGRESS 129
#define IDD_HISTORY 131
#define IDD_UNDO 132

// Main dialog
#define IDC_BIG_PATH 1000
#define IDC_SMALL_TO_BIG 1001
#define IDC_SMALL_PATH 1002
#define IDC_BIG_TO_SMALL 1003
#define IDC_INFO 1006
#define IDC_OLD_PERSONAL 1007
#define IDC_OLD_TO_NEW 1008
#define IDC_NEW_PERSONAL 1009

// Progress dialog
#define IDC_PROGRESS_BAR 1002
#define IDC_PROGRESS_GROUP 1003
#define IDC_JOB_TEXT 1004
#define IDC_STATUS_TEXT 1005

// Run history dialog
#define IDC_HISTORY_LIST 1010
#define IDC_HISTORY_UNDO 1011
#define IDC_HISTORY_REPORT 1012

// Undo's progress dialog
#define IDC_UNDO_TEXT 1013
#define IDC_UNDO_BAR 1014

// The items of the system menu
#define IDM_ABOUTBOX 0x0010
#define IDM_HISTORY 0x0020

#endif  // APP_RESOURCE_H_
