#include "shell/installer_app.h"

#include "shell/installer_dlg.h"

CInstallerApp theApp;

BOOL CInstallerApp::InitInstance() {
    CInstallerDlg dlg;
    dlg.DoModal();
    return FALSE;
}
