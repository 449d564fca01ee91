// Port enumeration: the five port lists and the port-kind row that suits them.
#include "shell/installer_dlg.h"

void CInstallerDlg::EnumeratePorts() {}
