// The TCP/IP port dialog. All port work is the spooler's and its monitor's;
// the dialog drives them with the whole name of the selected row and shows
// what they answer.
#include "ports/tcpip_port_dlg.h"

#include "res/resource.h"
#include "res/texts.h"
#include "system/platform.h"

#include <vector>

namespace {

// The spooler takes names as writable buffers.
std::vector<char> Writable(const CString &str) {
    return std::vector<char>(static_cast<LPCSTR>(str),
                             static_cast<LPCSTR>(str) + str.GetLength() + 1);
}

} // namespace

bool AddTcpipPort(HWND hOwner) {
    std::vector<char> monitor = Writable(kTcpipMonitor);
    return Platform().AddPortA(nullptr, hOwner, monitor.data()) == TRUE;
}

BEGIN_MESSAGE_MAP(CTcpipPortDlg)
ON_BN_CLICKED(IDC_ADD_PORT, OnAddPort)
ON_BN_CLICKED(IDC_CONFIGURE_PORT, OnConfigurePort)
ON_BN_CLICKED(IDC_PORT_OK, OnOkButton)
ON_BN_CLICKED(IDC_DELETE_PORT, OnDeletePort)
ON_BN_CLICKED(IDC_PORT_CANCEL, OnCancelButton)
ON_WM_CLOSE()
END_MESSAGE_MAP()

CTcpipPortDlg::CTcpipPortDlg(CWnd *pParentWnd, CPortSource &ports)
    : CPortListDlg(IDD_TCPIP_PORT_DIALOG, pParentWnd), m_ports(ports) {}

BOOL CTcpipPortDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillPortList(m_ports.Lists());
    return TRUE;
}

void CTcpipPortDlg::FillPortList(const PortLists &lists) {
    FillRows(lists.arrTcpip, lists.arrTcpipDescriptions);
}

// The port added is the row that was not there before, wherever the
// monitor's order puts it.
void CTcpipPortDlg::OnAddPort() {
    CStringArray before;
    for (int nRow = 0; nRow < m_lstPorts.GetItemCount(); ++nRow)
        before.Add(m_lstPorts.GetItemText(nRow, 0));
    const bool bAdded = AddTcpipPort(m_hWnd);
    FillPortList(m_ports.Read());
    if (!bAdded)
        return;
    for (int nRow = 0; nRow < m_lstPorts.GetItemCount(); ++nRow) {
        const CString strPort = m_lstPorts.GetItemText(nRow, 0);
        bool bKnown = false;
        for (INT_PTR i = 0; i < before.GetSize() && !bKnown; ++i)
            bKnown = before[i] == strPort;
        if (!bKnown) {
            SelectRow(nRow);
            return;
        }
    }
}

void CTcpipPortDlg::OnConfigurePort() {
    const int nRow = SelectedRow();
    if (nRow < 0)
        return;
    std::vector<char> port = Writable(m_lstPorts.GetItemText(nRow, 0));
    if (Platform().ConfigurePortA(nullptr, m_hWnd, port.data()))
        return;
    // Any other failure, the user's cancel among them, is the monitor's to report.
    const DWORD dwError = Platform().GetLastError();
    if (dwError == ERROR_NOT_SUPPORTED)
        MessageBox(kConfigureNotSupportedText, kConfigureNotSupportedCaption, MB_OK);
    else if (dwError == ERROR_ADAP_HDW_ERR)
        MessageBox(kConfigureHardwareErrorText, kConfigureHardwareErrorCaption, MB_OK);
}

void CTcpipPortDlg::OnOkButton() {
    if (m_lstPorts.GetItemCount() == 0) {
        MessageBox(kNoTcpipPortText, kPromptCaption, MB_OK);
        return;
    }
    EndWithSelectedRow();
}

void CTcpipPortDlg::OnDeletePort() {
    const int nRow = SelectedRow();
    if (nRow >= 0) {
        std::vector<char> port = Writable(m_lstPorts.GetItemText(nRow, 0));
        if (!Platform().DeletePortA(nullptr, m_hWnd, port.data()) &&
            Platform().GetLastError() == ERROR_NOT_SUPPORTED)
            MessageBox(kDeleteNotSupportedText, kDeleteNotSupportedCaption, MB_OK);
    }
    FillPortList(m_ports.Read());
}
