// The TCP/IP port dialog. All port work is the spooler's and its monitor's;
// the dialog hands them the selected row's port and shows the box they call for.
#include "ports/tcpip_port_dlg.h"

#include "ports/tcpip_monitor.h"
#include "res/resource.h"
#include "res/texts.h"

namespace {

void Show(const CWnd &wnd, const StepResult &result) {
    const TcpipPortBox box = DescribeTcpipFailure(result);
    if (box.pszText != nullptr)
        wnd.MessageBox(box.pszText, box.pszCaption, MB_OK);
}

} // namespace

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
    const bool bAdded = AddTcpipPort(m_hWnd).Succeeded();
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
    if (nRow >= 0)
        Show(*this, ConfigureTcpipPort(m_hWnd, m_lstPorts.GetItemText(nRow, 0)));
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
    if (nRow >= 0)
        Show(*this, DeleteTcpipPort(m_hWnd, m_lstPorts.GetItemText(nRow, 0)));
    FillPortList(m_ports.Read());
}
