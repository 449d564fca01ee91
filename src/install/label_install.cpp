// Installation of a label-printer driver with its language monitor.
#include "shell/installer_dlg.h"

void CInstallerDlg::InstallLabelDriver() {}
