// Installation of a receipt-printer driver on the universal printer driver.
#include "shell/installer_dlg.h"

void CInstallerDlg::InstallReceiptDriver() {}
