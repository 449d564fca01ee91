// The dialog's side of an installation: the request it hands the flow, what
// the flow's outcome does to the window, and the host's boxes and dialogs.
#include "res/texts.h"
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "install/spooler_service.h"
#include "ports/parallel_port_dlg.h"
#include "ports/tcpip_port_dlg.h"
#include "res/resource.h"
#include "shell/system_identification.h"

void CInstallerDlg::StartOrRestartService(LPCSTR lpszServiceName, DWORD dwMode) {
    StartOrRestartShown(lpszServiceName, ServiceModeOf(dwMode), *this);
}

void CInstallerDlg::EnumeratePorts() {
    RefreshPorts();
}

PortLists CInstallerDlg::RefreshPorts() {
    m_ports = EnumeratePortLists();
    m_lstPortKind.SetGridStyle();
    m_lstPortKind.SetItemState(m_ports.kind, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    RefreshControls();
    return m_ports;
}

InstallRequest CInstallerDlg::RequestForInstall() {
    CString strShown;
    m_cboDriver.GetWindowText(strShown);
    CString strPrinterName;
    GetDlgItem(IDC_PRINTER_NAME).GetWindowText(strPrinterName);
    const int nVersionCode = GetWindowsVersionCode();
    return {m_nDriverIndex,
            strShown,
            strPrinterName,
            static_cast<PortKind>(m_nPortKind),
            m_strPort,
            g_bPortAvailable != FALSE,
            m_bSetDefault != FALSE,
            m_bWow64,
            nVersionCode == kVersionCodeWindowsNt,
            nVersionCode == kVersionCodeWindows7,
            m_ports};
}

InstallOutcome CInstallerDlg::Install(const InstallRequest &request) {
    return RunInstallation(request, *this);
}

void CInstallerDlg::ApplyOutcome(InstallOutcome outcome) {
    switch (outcome) {
    case InstallOutcome::kFinished:
        EnableInstall(kFinishCaption);
        break;
    case InstallOutcome::kReady:
        EnableInstall();
        break;
    case InstallOutcome::kReinstall:
        EnableInstall(kReinstallCaption);
        break;
    case InstallOutcome::kEnd:
        CDialog::OnOK();
        break;
    }
}

int CInstallerDlg::ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    return lpszCaption == nullptr ? AfxMessageBox(lpszText, nType)
                                  : MessageBox(lpszText, lpszCaption, nType);
}

PortChoice CInstallerDlg::RunPortDialog(PortKind kind) {
    return kind == kPortKindTcpip ? ChooseTcpipPort() : ChooseParallelPort();
}

PortChoice CInstallerDlg::ChooseParallelPort() {
    CParallelPortDlg dlg(this);
    const INT_PTR nEndCode = dlg.DoModal();
    return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
}

PortChoice CInstallerDlg::ChooseTcpipPort() {
    CTcpipPortDlg dlg(this);
    const INT_PTR nEndCode = dlg.DoModal();
    return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
}

bool CInstallerDlg::RunTcpipWizard() {
    return AddTcpipPort(m_hWnd);
}
