// Print spooler service control: start the service if stopped, or restart it.
#include "shell/installer_dlg.h"

void CInstallerDlg::StartOrRestartService(LPCSTR, DWORD) {}
