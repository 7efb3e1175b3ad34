// Dialog templates and control ids of CvAccel.
#pragma once

#define IDD_PROGRESS 102
#define IDD_LOGIN 248

#define IDC_STATUS 1001
#define IDC_FILE 1002
#define IDC_PROGRESS_HIDE 1003
#define IDC_HOST 1004
#define IDC_LOGIN_HIDE 1005
#define IDC_FILE_COUNT 1007
#define IDC_USER 1306
#define IDC_PASSWORD 1307
