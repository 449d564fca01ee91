// The parallel port dialog: the rows are the parallel port list itself, so
// the row chosen is the entry of that list.
#include "ports/parallel_port_dlg.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CParallelPortDlg)
ON_BN_CLICKED(IDC_PORT_OK, OnOkButton)
ON_BN_CLICKED(IDC_PORT_CANCEL, OnCancelButton)
ON_WM_CLOSE()
END_MESSAGE_MAP()

CParallelPortDlg::CParallelPortDlg(CWnd *pParentWnd, const PortLists &ports)
    : CPortListDlg(IDD_PARALLEL_PORT_DIALOG, pParentWnd), m_ports(ports) {}

BOOL CParallelPortDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    FillPortList();
    return TRUE;
}

void CParallelPortDlg::FillPortList() {
    FillRows(m_ports.arrParallel, m_ports.arrParallelDescriptions);
}

void CParallelPortDlg::OnOkButton() {
    EndWithSelectedRow();
}
