// The dialog's side of an installation: it calls the parts of the
// sequences, the spooler control and the port handling in their order and
// shows what they return.
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "install/install_constants.h"
#include "install/label_install.h"
#include "install/printer_creation.h"
#include "install/receipt_install.h"
#include "install/spooler_service.h"
#include "ports/parallel_port_dlg.h"
#include "ports/port_enumeration.h"
#include "ports/printer_port_registry.h"
#include "ports/serial_assignment.h"
#include "ports/tcpip_port_dlg.h"
#include "ports/usb_detection.h"
#include "res/resource.h"
#include "shell/system_identification.h"
#include "system/platform.h"

namespace {

constexpr DWORD kReceiptPrinterPauseMs = 500;
constexpr DWORD kLabelPrinterPauseMs = 100;

} // namespace

void CInstallerDlg::StartOrRestartService(LPCSTR lpszServiceName, DWORD dwMode) {
    const ServiceOutcome outcome = StartOrRestart(lpszServiceName, ServiceModeOf(dwMode));
    if (outcome != ServiceOutcome::Done)
        AfxMessageBox(DescribeServiceOutcome(outcome, lpszServiceName),
                      MB_OK | ServiceOutcomeIcon(outcome));
}

void CInstallerDlg::EnumeratePorts() {
    const PortLists lists = EnumeratePortLists();
    m_arrAllPorts = lists.arrAll;
    m_arrUsbPorts = lists.arrUsb;
    m_arrSerialPorts = lists.arrSerial;
    m_arrTcpipPorts = lists.arrTcpip;
    m_arrParallelPorts = lists.arrParallel;
    SetPortKindListStyle();
    m_lstPortKind.SetItemState(lists.kind, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    RefreshControls();
}

void CInstallerDlg::InstallReceiptDriver() {
    if (!ChoosePortForKind())
        return;
    CString strShown;
    m_cboDriver.GetWindowText(strShown);
    int nGroup = 4;
    if (m_nDriverIndex < m_nGroup1Size)
        nGroup = 1;
    else if (m_nDriverIndex < m_nGroup1Size + m_nGroup2Size)
        nGroup = 2;
    else if (m_nDriverIndex < m_nGroup1Size + m_nGroup2Size + m_nGroup3Size)
        nGroup = 3;
    CReceiptInstallation receipt({m_nDriverIndex, strShown, nGroup, m_bWow64});
    CString strPrinterName;
    GetDlgItem(IDC_PRINTER_NAME).GetWindowText(strPrinterName);

    DWORD dwError = ERROR_SUCCESS;
    if (!receipt.Prepare(dwError)) {
        ReportDriverFailure(DescribeReceiptFailure(dwError), kReceiptFailureCaption);
        return;
    }
    receipt.Stage(*this);
    StartOrRestartService(kSpoolerService, SVC_ENSURE_RUNNING);
    if (!receipt.Register(GetWindowsVersionCode() == kVersionCodeWindowsNt, *this, dwError)) {
        ReportDriverFailure(DescribeReceiptFailure(dwError), kReceiptFailureCaption);
        return;
    }
    CreatePrinterAndFinish(receipt.DriverName(), strPrinterName, kReceiptPrinterPauseMs);
}

void CInstallerDlg::ReportDriverFailure(LPCSTR lpszText, LPCSTR lpszCaption) {
    // Only Cancel gives up; a box that could not be shown leaves Install usable.
    if (MessageBox(lpszText, lpszCaption, MB_RETRYCANCEL) == IDCANCEL) {
        CDialog::OnOK();
        return;
    }
    EnableInstall(kReinstallCaption);
    SetProgress(kProgressFailed);
}

void CInstallerDlg::InstallLabelDriver() {
    if (!ChoosePortForKind())
        return;
    const int nRow =
        m_nDriverIndex - (m_nGroup1Size + m_nGroup2Size + m_nGroup3Size + m_nGroup4Size);
    CLabelInstallation label({nRow, m_bWow64});
    // A label printer bears its driver's name as the list shows it.
    CString strPrinterName;
    m_cboDriver.GetWindowText(strPrinterName);

    DWORD dwError = ERROR_SUCCESS;
    if (!label.Prepare(dwError)) {
        ReportDriverFailure(DescribeLabelFailure(dwError), AfxGetAppTitle());
        return;
    }
    label.CopyMonitor(*this);
    StartOrRestartService(kSpoolerService, SVC_ENSURE_RUNNING);
    // The spooler lets go of the old monitor's DLL only when it restarts.
    if (label.RemoveOldMonitor())
        StartOrRestartService(kSpoolerService, SVC_RESTART);
    if (!label.RegisterMonitor(*this, dwError)) {
        ShowStatus(DescribeMonitorFailure(dwError));
        MessageBox(kMonitorFailureText, AfxGetAppTitle(), MB_OK);
        CDialog::OnOK();
        return;
    }
    label.Stage(*this);
    if (!label.Register(GetWindowsVersionCode() == kVersionCodeWindowsNt, *this, dwError)) {
        ReportDriverFailure(DescribeLabelFailure(dwError), AfxGetAppTitle());
        return;
    }
    CreatePrinterAndFinish(label.DriverName(), strPrinterName, kLabelPrinterPauseMs);
}

bool CInstallerDlg::ChoosePortForKind() {
    PortChoice choice;
    const CStringArray *pPorts = nullptr;
    switch (m_nPortKind) {
    case kPortKindTcpip:
        choice = ChooseTcpipPort();
        pPorts = &m_arrTcpipPorts;
        break;
    case kPortKindParallel:
        choice = ChooseParallelPort();
        pPorts = &m_arrParallelPorts;
        break;
    default:
        return true;
    }
    // The wizard's new port is row 0 of the refreshed list.
    const int nRow = ChosenRow(choice, *pPorts, m_nPortKind == kPortKindTcpip);
    if (nRow < 0) {
        const CString strReason = DescribeAbandonedChoice(choice);
        if (!strReason.IsEmpty())
            AfxMessageBox(strReason, MB_OK | MB_ICONWARNING);
        EnableInstall();
        return false;
    }
    m_strPort = (*pPorts)[nRow];
    return true;
}

// Without a port of the chosen kind a serial or USB printer starts on the
// first parallel port.
CString CInstallerDlg::PortForCreation() const {
    const bool bFallback =
        !g_bPortAvailable && (m_nPortKind == kPortKindSerial || m_nPortKind == kPortKindUsb);
    if (!bFallback)
        return m_strPort;
    return m_arrParallelPorts.GetSize() > 0 ? m_arrParallelPorts[0] : CString();
}

void CInstallerDlg::CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName,
                                           DWORD dwPauseMs) {
    EnableLoadDriverPrivilege();
    if (!IsPrinterNameAccepted(lpszPrinterName)) {
        ReportPrinterCreationFailure(ERROR_INVALID_PRINTER_NAME);
        return;
    }
    RemoveNamesake(lpszPrinterName, *this);

    const CString strPort = PortForCreation();
    const DWORD dwError = strPort.IsEmpty()
                              ? ERROR_UNKNOWN_PORT
                              : AddPrinterOnPort(lpszPrinterName, strPort, lpszDriverName);
    if (dwError != ERROR_SUCCESS) {
        ReportPrinterCreationFailure(dwError);
        return;
    }
    m_strPort = strPort;
    ShowPrinterAdded(lpszPrinterName);
    SetProgress(kProgressPrinterAdded);

    if (m_bSetDefault && !WriteDefaultPrinter(lpszPrinterName, m_strPort))
        AfxMessageBox(kSetRegistryFailed, MB_OK);
    SetProgress(kProgressDefaultSet);
    ShowStatus(DefaultStatus(lpszPrinterName));

    if (m_nPortKind == kPortKindSerial)
        AssignSerialPort(lpszPrinterName);
    else if (m_nPortKind == kPortKindUsb && m_arrUsbPorts.GetSize() > 0)
        DetectUsbPort(lpszPrinterName);

    Platform().Sleep(dwPauseMs);
    CompleteInstallation();
}

void CInstallerDlg::ShowPrinterAdded(LPCSTR lpszPrinterName) {
    if (g_bPortAvailable) {
        ShowStatus(AddedStatus(lpszPrinterName));
    } else if (m_nPortKind == kPortKindSerial) {
        ShowStatus(NoPortStatus(true, m_strPort));
    } else if (m_nPortKind == kPortKindUsb) {
        // A USB port may have come with the restart; detection then moves
        // the printer there, else it stays where it was created.
        StartOrRestartService(kSpoolerService, SVC_RESTART);
        EnumeratePorts();
        ShowStatus(m_arrUsbPorts.GetSize() > 0 ? AddedStatus(lpszPrinterName)
                                               : NoPortStatus(false, m_strPort));
    } else {
        RefreshControls();
    }
}

void CInstallerDlg::ReportPrinterCreationFailure(DWORD dwError) {
    const PrinterFailure failure = DescribePrinterFailure(dwError);
    MessageBox(failure.strText, failure.pszCaption, MB_OK);
    EnableInstall(failure.bReinstall ? kReinstallCaption : nullptr);
    SetProgress(kProgressFailed);
}

void CInstallerDlg::CompleteInstallation() {
    SetProgress(kProgressComplete);
    EnableInstall(kFinishCaption);
    // The serial assignment's status names the printer's port; it stays.
    if (m_nPortKind == kPortKindSerial)
        RefreshControls();
    else
        ShowStatus(kCompletedStatus);
}

// One parallel port is taken without asking; the lists are fresh when a
// dialog has been shown.
PortChoice CInstallerDlg::ChooseParallelPort() {
    if (m_arrParallelPorts.GetSize() == 0) {
        AfxMessageBox(kNoParallelPortText, MB_OK | MB_ICONEXCLAMATION);
        return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
    }
    if (m_arrParallelPorts.GetSize() == 1)
        return ChoiceOfEndCode(PORTDLG_INDEX_BASE, m_arrParallelPorts[0]);
    CParallelPortDlg dlg(this);
    const INT_PTR nEndCode = dlg.DoModal();
    EnumeratePorts();
    return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
}

// Without a TCP/IP port the monitor's wizard is asked for one directly.
PortChoice CInstallerDlg::ChooseTcpipPort() {
    if (m_arrTcpipPorts.GetSize() > 0) {
        CTcpipPortDlg dlg(this);
        const INT_PTR nEndCode = dlg.DoModal();
        EnumeratePorts();
        return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
    }
    const bool bAdded = AddTcpipPort(m_hWnd);
    EnumeratePorts();
    if (!bAdded)
        return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
    return ChoiceOfEndCode(PORTDLG_ADDED,
                           m_arrTcpipPorts.GetSize() > 0 ? m_arrTcpipPorts[0] : CString());
}

void CInstallerDlg::RestartSpooler() {
    StartOrRestartService(kSpoolerService, SVC_RESTART);
}

void CInstallerDlg::WritePrinterPort(LPCSTR lpszPrinterName, CString strPortName) {
    for (const int nStep : WritePrinterPortValues(lpszPrinterName, strPortName))
        ShowMessage(DescribePortWriteFailure(nStep));
}

// Retry asks the user to plug the printer in, which gives it a new port:
// the USB ports are read again before each pass.
void CInstallerDlg::DetectUsbPort(LPCSTR lpszPrinterName) {
    const bool bWindows7 = GetWindowsVersionCode() == kVersionCodeWindows7;
    while (TryUsbPorts(lpszPrinterName, m_arrUsbPorts, bWindows7, *this) == 0 &&
           MessageBox(kUsbNotFoundText, kUsbNotFoundCaption, MB_RETRYCANCEL) == IDRETRY)
        m_arrUsbPorts = EnumeratePortLists().arrUsb;
    SetProgress(kProgressUsbDone);
}

BOOL CInstallerDlg::EnumeratePrinters(CStringArray &arrNames, CStringArray &arrPorts) {
    return EnumeratePrinterList(arrNames, arrPorts);
}

void CInstallerDlg::AssignSerialPort(LPCSTR lpszPrinterName) {
    EnumeratePrinters(m_arrPrinterNames, m_arrPrinterPorts);
    AssignSerialPortTo(lpszPrinterName,
                       {m_arrSerialPorts,
                        m_arrPrinterNames,
                        m_arrPrinterPorts,
                        m_strPort,
                        {m_nBaudRate, m_chParity, m_nDataBits, m_nStopBits}},
                       *this);
}
