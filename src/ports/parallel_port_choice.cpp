// Parallel port choice: the parallel port a new printer is created on.
#include "shell/installer_dlg.h"

// The first parallel port, until the user is asked.
int CInstallerDlg::ChooseParallelPort() {
    return PORTDLG_INDEX_BASE;
}
