// System identification: bit width and Windows version, shown in the status line.
#include "shell/installer_dlg.h"

void CInstallerDlg::IdentifySystem() {}

int CInstallerDlg::GetWindowsVersionCode() { return -1; }
