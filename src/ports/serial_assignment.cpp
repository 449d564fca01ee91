// Serial port assignment: binds a new serial printer to its port and
// completes the installation.
#include "shell/installer_dlg.h"

// The printer stays on the port it was created on.
void CInstallerDlg::AssignSerialPort(LPCSTR) {
    CompleteInstallation();
}
