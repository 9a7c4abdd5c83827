// Resource identifiers of the installation engine's dialogs.
#pragma once

#define IDD_FILE_ERROR 300
#define IDC_FILE_ERROR_TEXT 1000
#define IDC_FILE_ERROR_RETRY 1001
#define IDC_FILE_ERROR_IGNORE 1002
#define IDC_FILE_ERROR_CANCEL 1003
