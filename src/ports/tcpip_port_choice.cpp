// TCP/IP port choice: the Standard TCP/IP port a new printer is created on.
#include "shell/installer_dlg.h"

// The first TCP/IP port, until the user is asked.
int CInstallerDlg::ChooseTcpipPort() {
    return PORTDLG_INDEX_BASE;
}
