// USB port detection: the USB port on which a new printer answers.
#include "shell/installer_dlg.h"

// The printer stays on the port it was created on.
void CInstallerDlg::DetectUsbPort(LPCSTR) {}
