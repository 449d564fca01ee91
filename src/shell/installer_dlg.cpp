// The main dialog: its members, handlers, start-up order, the Install
// handler, the request it hands the installation and what the result does
// to the window, and the one way it shows things.
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "install/driver_tables.h"
#include "install/spooler_restart.h"
#include "ports/parallel_port_dlg.h"
#include "ports/tcpip_monitor.h"
#include "ports/tcpip_port_dlg.h"
#include "res/resource.h"
#include "res/texts.h"
#include "shell/driver_catalogue.h"
#include "shell/package_unpack.h"
#include "shell/system_identification.h"
#include "system/platform.h"

#include <iterator>

BYTE g_bPortAvailable = TRUE;
const UINT g_nMyUpdateDataMsg = ::RegisterWindowMessageA("MyUpdateData");

namespace {

constexpr int kPortColumnWidth = 110;
constexpr int kDescriptionColumnWidth = 525;
// How long a close waits for the start-up worker to finish its current step.
constexpr DWORD kWorkerStopMs = 5000;

} // namespace

DWORD WINAPI StartupThreadProc(LPVOID pParam) {
    static_cast<CInstallerDlg *>(pParam)->RunStartup();
    return 0;
}

BEGIN_MESSAGE_MAP(CInstallerDlg)
ON_BN_CLICKED(IDC_INSTALL, OnInstall)
ON_CBN_SELCHANGE(IDC_DRIVER_LIST, OnSelchangeDriver)
ON_REGISTERED_MESSAGE(g_nMyUpdateDataMsg, OnMyUpdateData)
ON_WM_CLOSE()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CInstallerDlg::CInstallerDlg() : CDialog(IDD_INSTALLER_DIALOG) {}

// A worker that outlived the close has staged on: it is let finish its step,
// and what it staged is cleaned up then.
CInstallerDlg::~CInstallerDlg() {
    if (m_hStartupWorker == nullptr)
        return;
    m_bStopStartup = true;
    WaitForStartupWorker(INFINITE);
    m_staging.CleanUpAndPutBack();
}

void CInstallerDlg::DoDataExchange(CDataExchange *pDX) {
    DDX_Control(pDX, IDC_INSTALL, m_btnInstall);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_DRIVER_LIST, m_cboDriver);
    DDX_Control(pDX, IDC_PORT_KIND_LIST, m_lstPortKind);
    DDX_Check(pDX, IDC_SET_DEFAULT, m_bSetDefault);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
}

BOOL CInstallerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    InitPortKindList();
    RefreshControls();
    // Windows 95 to Me make no thread for a caller that takes no thread id.
    DWORD dwWorkerId = 0;
    m_hStartupWorker = Platform().CreateThread(nullptr, 0, StartupThreadProc, this, 0, &dwWorkerId);
    return TRUE;
}

void CInstallerDlg::InitPortKindList() {
    m_lstPortKind.ResetColumns(kPortColumn, kPortColumnWidth, kDescriptionColumn,
                               kDescriptionColumnWidth);
    int nRow = 0;
    static_assert(std::size(kPortKindTexts) == kPortKindCount, "a row per port kind");
    for (const PortKindText &row : kPortKindTexts) {
        m_lstPortKind.InsertItem(nRow, row.pszPort);
        m_lstPortKind.SetItemText(nRow, 1, row.pszDescription);
        ++nRow;
    }
    m_lstPortKind.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
}

// Sent, never posted: a sender on the worker thread waits until the
// controls show what it set.
void CInstallerDlg::RefreshControls() {
    SendMessage(g_nMyUpdateDataMsg, 0, 0);
}

void CInstallerDlg::ShowStatus(LPCSTR lpszText) {
    m_strStatus = lpszText;
    RefreshControls();
}

void CInstallerDlg::SetProgress(Progress nPos) {
    m_progress.SetPos(nPos);
}

void CInstallerDlg::EnableInstall(LPCSTR lpszCaption) {
    if (lpszCaption != nullptr)
        m_btnInstall.SetWindowText(lpszCaption);
    m_btnInstall.EnableWindow(TRUE);
}

LRESULT CInstallerDlg::OnMyUpdateData(WPARAM wParam, LPARAM) {
    return UpdateData(static_cast<BOOL>(wParam));
}

// Runs on the worker thread; it stops between steps once the dialog is
// closing, so it never works on a window that is going away.
void CInstallerDlg::RunStartup() {
    using Step = void (CInstallerDlg::*)();
    const Step steps[] = {&CInstallerDlg::EnsureSpoolerRunning, &CInstallerDlg::EnumeratePorts,
                          &CInstallerDlg::UnpackDriverPackage, &CInstallerDlg::FillDriverList,
                          &CInstallerDlg::IdentifySystem};
    for (const Step step : steps) {
        if (m_bStopStartup || m_bUnpackFailed)
            return;
        (this->*step)();
    }
    if (!m_bStopStartup)
        m_btnInstall.EnableWindow(TRUE);
}

void CInstallerDlg::EnsureSpoolerRunning() {
    StartOrRestartSpooler(ServiceMode::EnsureRunning, *this);
}

void CInstallerDlg::EnumeratePorts() {
    ShowPortKind(m_ports.Read().kind);
}

void CInstallerDlg::ShowPortKind(PortKind kind) {
    m_lstPortKind.SetGridStyle();
    m_lstPortKind.SetItemState(kind, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    RefreshControls();
}

void CInstallerDlg::StopStartupWorker() {
    if (m_hStartupWorker == nullptr || m_bStopStartup.exchange(true))
        return;
    WaitForStartupWorker(kWorkerStopMs);
}

// The worker sends messages to this thread, so it is waited for while
// messages are pumped. Its handle goes once it has ended.
void CInstallerDlg::WaitForStartupWorker(DWORD dwTimeoutMs) {
    const DWORD dwStart = Platform().GetTickCount();
    DWORD dwResult = WAIT_OBJECT_0 + 1;
    while (dwResult == WAIT_OBJECT_0 + 1) {
        const DWORD dwElapsed = Platform().GetTickCount() - dwStart;
        const DWORD dwLeft = dwTimeoutMs == INFINITE   ? INFINITE
                             : dwElapsed < dwTimeoutMs ? dwTimeoutMs - dwElapsed
                                                       : 0;
        dwResult =
            Platform().MsgWaitForMultipleObjects(1, &m_hStartupWorker, FALSE, dwLeft, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (dwResult != WAIT_OBJECT_0)
        return;
    Platform().CloseHandle(m_hStartupWorker);
    m_hStartupWorker = nullptr;
}

void CInstallerDlg::UnpackDriverPackage() {
    ShowStatus(kReadingStatus);
    m_extractor.m_hOwner = m_hWnd;
    const StepResult result = UnpackPackage(m_extractor, m_staging);
    m_bUnpackFailed = !result.Succeeded();
    if (m_bUnpackFailed)
        ShowStatus(DescribeUnpackFailure(result, m_staging));
}

void CInstallerDlg::FillDriverList() {
    m_cboDriver.ResetContent();
    for (const CatalogueEntry &entry : ReadCatalogue())
        m_cboDriver.AddString(entry.strName);
    m_cboDriver.SetCurSel(0);
    OnSelchangeDriver();
    RefreshControls();
}

int CInstallerDlg::ResolveDriverIndex(int nSelection, const CString &strText) {
    return ResolveCatalogueIndex(ReadCatalogue(), nSelection, strText);
}

void CInstallerDlg::IdentifySystem() {
    m_bWow64 = QueryWow64();
    ShowStatus(DescribeSystem(GetWindowsVersionCode(), m_bWow64));
}

int CInstallerDlg::GetWindowsVersionCode() {
    return QueryWindowsVersionCode();
}

void CInstallerDlg::OnInstall() {
    UpdateData(TRUE);
    CString strCaption;
    m_btnInstall.GetWindowText(strCaption);
    if (strCaption == kFinishCaption) {
        CDialog::OnOK();
        return;
    }
    m_btnInstall.EnableWindow(FALSE);

    const int nRows = m_lstPortKind.GetItemCount();
    for (int nRow = 0; nRow < nRows; ++nRow) {
        if (m_lstPortKind.GetItemState(nRow, LVIS_SELECTED) & LVIS_SELECTED) {
            m_nPortKind = nRow;
            break;
        }
    }

    CString strDriver;
    m_cboDriver.GetWindowText(strDriver);
    m_nDriverIndex = ResolveDriverIndex(m_cboDriver.GetCurSel(), strDriver);
    if (m_nDriverIndex < 0 || m_nDriverIndex >= kCatalogueSize) {
        AfxMessageBox(kNoDriverSelected, MB_OK | MB_ICONWARNING);
        EnableInstall();
        return;
    }
    ApplyResult(Install(RequestForInstall()));

    GetDlgItem(IDCANCEL).EnableWindow(FALSE);
    UpdateData(FALSE);
}

void CInstallerDlg::OnSelchangeDriver() {
    CString strText;
    m_cboDriver.GetWindowText(strText);
    GetDlgItem(IDC_PRINTER_NAME).SetWindowText(strText);
}

void CInstallerDlg::OnCancel() {
    StopStartupWorker();
    CDialog::OnCancel();
}

void CInstallerDlg::OnClose() {
    StopStartupWorker();
    EndDialog(IDCANCEL);
}

// What the run set aside goes back only once nothing of it is staged.
void CInstallerDlg::OnDestroy() {
    StopStartupWorker();
    if (m_hStartupWorker == nullptr)
        m_staging.CleanUpAndPutBack();
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
            m_bSetDefault != FALSE,
            m_bWow64,
            nVersionCode == kVersionCodeWindowsNt,
            nVersionCode == kVersionCodeWindows7};
}

InstallResult CInstallerDlg::Install(const InstallRequest &request) {
    return RunInstallation(request, *this, m_ports);
}

// A kind without a port leaves the port of the installation before.
void CInstallerDlg::ApplyResult(const InstallResult &result) {
    g_bPortAvailable = result.bPortAvailable;
    if (!result.strPort.IsEmpty())
        m_strPort = result.strPort;
    switch (result.outcome) {
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

PortChoice CInstallerDlg::RunPortDialog(PortKind kind, CPortSource &ports) {
    return kind == kPortKindTcpip ? ChooseTcpipPort(ports) : ChooseParallelPort(ports);
}

PortChoice CInstallerDlg::ChooseParallelPort(CPortSource &ports) {
    CParallelPortDlg dlg(this, ports.Lists());
    const INT_PTR nEndCode = dlg.DoModal();
    return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
}

PortChoice CInstallerDlg::ChooseTcpipPort(CPortSource &ports) {
    CTcpipPortDlg dlg(this, ports);
    const INT_PTR nEndCode = dlg.DoModal();
    return ChoiceOfEndCode(nEndCode, dlg.m_strChosenPort);
}

bool CInstallerDlg::RunTcpipWizard() {
    return AddTcpipPort(m_hWnd).Succeeded();
}
