// Every resource and control identifier of the tool, shared by the .rc file and the code.
#pragma once

// Dialog templates
#define IDD_ABOUT                       100
#define IDD_CLEANUP                     102

// Icon group
#define IDI_MAIN                        128

// Embedded registry data file (resource type "REGDATA_FILE")
#define IDR_REGDATA                     129

// Controls of IDD_CLEANUP (IDOK is the Exit button)
#define IDC_UNINSTALL                   1000
#define IDC_PROGRESS                    1001
#define IDC_STATUS                      1002

// System-menu command that opens the About box
#define IDM_ABOUT                       0x0010

// String table
#define IDS_ABOUTBOX                    101
#define IDS_NOT_ADMIN                   102
#define IDS_NOT_INSTALLED               103
#define IDS_PRODUCT_NAME                104
#define IDS_REGDATA_FILE                105
#define IDS_REGDATA_MISSING             106
#define IDS_TITLE                       107
#define IDS_DONE                        108
#define IDS_UAC_DISABLED                109
#define IDS_CONFIRM                     110
#define IDS_UNSUPPORTED_OS              111
#define IDS_STATUS_CHECKING             112
#define IDS_STATUS_FILES                113
#define IDS_STATUS_STARTMENU            114
#define IDS_STATUS_REGISTRY             115
#define IDS_STATUS_DONE                 116
#define IDS_STATUS_READY                117
#define IDS_FORCED_MODE                 118
#define IDS_FOLDERS_LEFT                119
#define IDS_STATUS_FOLDERS_LEFT         120
#define IDS_FOLDERS_REFUSED             121

// Texts of the small application framework (platform/), kept apart from the tool's own
#define AFX_IDP_FILE_WRITE_ERROR        0xF100

// Name of the embedded data file's resource type
#define REGDATA_TYPE_NAME               "REGDATA_FILE"
