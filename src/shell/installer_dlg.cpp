// The main dialog: its members, start-up order and the Install handler.
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "res/resource.h"
#include "system/platform.h"

BYTE g_bPortAvailable = TRUE;
const UINT g_nMyUpdateDataMsg = ::RegisterWindowMessageA("MyUpdateData");

namespace {

struct PortKindRow {
    LPCSTR pszPort;
    LPCSTR pszDescription;
};

const PortKindRow kPortKindRows[] = {
    {"Serial port", "The program will select a available serial port during installation"},
    {"USB port", "The program will select a available USB port automatically"},
    {"Parallel port", "The program will prompt you to select a parallel port during installation"},
    {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"},
};
constexpr int kPortColumnWidth = 110;
constexpr int kDescriptionColumnWidth = 525;
constexpr int kLastCatalogueIndex = 37;
constexpr char kNoDriverSelected[] = "No installable driver is selected.";

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

CInstallerDlg::~CInstallerDlg() {
    if (m_hStartupWorker != nullptr)
        ::CloseHandle(m_hStartupWorker);
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
    m_chParity = 'N';
    m_nDataBits = 8;
    m_nStopBits = 1;
    m_nGroup1Size = 15;
    m_nGroup2Size = 7;
    m_nGroup3Size = 5;
    m_nGroup4Size = 6;
    m_nLabelGroupSize = 5;
    InitPortKindList();
    SendMessage(g_nMyUpdateDataMsg, 0, 0);
    m_hStartupWorker = Platform().CreateThread(nullptr, 0, StartupThreadProc, this, 0, nullptr);
    return TRUE;
}

void CInstallerDlg::InitPortKindList() {
    m_lstPortKind.DeleteAllItems();
    const int nColumns =
        static_cast<int>(::SendMessageA(m_lstPortKind.GetHeaderCtrl(), HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < nColumns; ++i)
        m_lstPortKind.DeleteColumn(0);
    m_lstPortKind.SetExtendedStyle((m_lstPortKind.GetExtendedStyle() & ~LVS_EX_TRACKSELECT) |
                                   LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_lstPortKind.InsertColumn(0, "Port", LVCFMT_LEFT);
    m_lstPortKind.InsertColumn(1, "Description", LVCFMT_LEFT);
    m_lstPortKind.SetColumnWidth(0, kPortColumnWidth);
    m_lstPortKind.SetColumnWidth(1, kDescriptionColumnWidth);
    int nRow = 0;
    for (const PortKindRow &row : kPortKindRows) {
        m_lstPortKind.InsertItem(nRow, row.pszPort);
        m_lstPortKind.SetItemText(nRow, 1, row.pszDescription);
        ++nRow;
    }
    m_lstPortKind.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CInstallerDlg::ShowStatus(LPCSTR lpszText) {
    m_strStatus = lpszText;
    SendMessage(g_nMyUpdateDataMsg, 0, 0);
}

LRESULT CInstallerDlg::OnMyUpdateData(WPARAM wParam, LPARAM) {
    return UpdateData(static_cast<BOOL>(wParam));
}

// Runs on the worker thread; it stops between steps once the dialog is
// closing, so it never works on a window that is going away.
void CInstallerDlg::RunStartup() {
    StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    if (m_bStopStartup)
        return;
    EnumeratePorts();
    if (m_bStopStartup)
        return;
    UnpackDriverPackage();
    if (m_bStopStartup)
        return;
    FillDriverList();
    if (m_bStopStartup)
        return;
    IdentifySystem();
    if (m_bStopStartup)
        return;
    m_btnInstall.EnableWindow(TRUE);
}

// The worker sends messages to this thread, so it is waited for while
// messages are pumped.
void CInstallerDlg::StopStartupWorker() {
    if (m_hStartupWorker == nullptr || m_bStopStartup.exchange(true))
        return;
    while (::MsgWaitForMultipleObjects(1, &m_hStartupWorker, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    ::CloseHandle(m_hStartupWorker);
    m_hStartupWorker = nullptr;
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

    const CStringArray *pPorts[] = {&m_arrSerialPorts, &m_arrUsbPorts, &m_arrParallelPorts,
                                    &m_arrTcpipPorts};
    if (m_nPortKind >= 0 && m_nPortKind < static_cast<int>(std::size(pPorts))) {
        const CStringArray &ports = *pPorts[m_nPortKind];
        g_bPortAvailable = ports.GetSize() > 0;
        if (g_bPortAvailable)
            m_strPort = ports[0];
    }

    CString strDriver;
    m_cboDriver.GetWindowText(strDriver);
    m_nDriverIndex = ResolveDriverIndex(m_cboDriver.GetCurSel(), strDriver);
    if (m_nDriverIndex < 0 || m_nDriverIndex > kLastCatalogueIndex) {
        AfxMessageBox(kNoDriverSelected, MB_OK | MB_ICONWARNING);
        m_btnInstall.EnableWindow(TRUE);
        return;
    }
    if (m_nDriverIndex < m_nGroup1Size + m_nGroup2Size + m_nGroup3Size + m_nGroup4Size)
        InstallReceiptDriver();
    else
        InstallLabelDriver();

    GetDlgItem(IDCANCEL).EnableWindow(FALSE);
    UpdateData(FALSE);
}

void CInstallerDlg::OnCancel() {
    StopStartupWorker();
    CDialog::OnCancel();
}

void CInstallerDlg::OnClose() {
    StopStartupWorker();
    EndDialog(IDCANCEL);
}
