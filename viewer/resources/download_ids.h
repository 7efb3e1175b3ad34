// Control ids of the viewer's download dialogs "DLGPASSWD" and "DLGOPENURL".
#pragma once

#define IDC_PASSWD_USER 100
#define IDC_PASSWD_PASSWORD 101
#define IDC_OPENURL_COMBO 100
