// Resource ids shared by the templates and the code.
#pragma once

#define IDD_INSTALLER_DIALOG 103

#define IDC_DRIVER_LIST 1000
#define IDC_PRINTER_NAME 1001
#define IDC_SET_DEFAULT 1002
#define IDC_PORT_HINT 1003
#define IDC_PORT_KIND_LIST 1004
#define IDC_PROGRESS 1007
#define IDC_PORT_GROUP 1008
#define IDC_DRIVER_LABEL 1009
#define IDC_PRINTER_LABEL 1010
#define IDC_STATUS 1011
#define IDC_INSTALL 1012
