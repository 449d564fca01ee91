// CParallelPortDlg: "Select A Parallel Port", the choice among several
// parallel ports before an installation.
#pragma once

#include "ports/port_enumeration.h"
#include "ports/port_list_dlg.h"

class CParallelPortDlg : public CPortListDlg {
public:
    // The rows are the parallel ports of the lists.
    CParallelPortDlg(CWnd *pParentWnd, const PortLists &ports);

protected:
    BOOL OnInitDialog() override;
    void FillPortList();
    void OnOkButton() override;

    DECLARE_MESSAGE_MAP()

private:
    const PortLists &m_ports;
};
