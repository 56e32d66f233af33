// Resource and control identifiers of the converter.
#ifndef APP_RESOURCE_H_
#define APP_RESOURCE_H_

#define IDD_ABOUTBOX 100
#define IDD_CONVERTER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_PROGRESS 129

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

// The About item of the system menu
#define IDM_ABOUTBOX 0x0010

#endif  // APP_RESOURCE_H_
