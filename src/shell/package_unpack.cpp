// Unpacking of the driver package at start-up and its removal at the end.
#include "shell/installer_dlg.h"

void CInstallerDlg::UnpackDriverPackage() {}

void CInstallerDlg::OnDestroy() {}
