// CTcpipPortDlg: "Configure TCP/IP PrinterPort", the choice among the
// Standard TCP/IP ports, which the port monitor's own dialogs add,
// configure and delete.
#pragma once

#include "ports/port_enumeration.h"
#include "ports/port_list_dlg.h"

class CTcpipPortDlg : public CPortListDlg {
public:
    // The rows are the TCP/IP ports of the source's lists, read again after
    // a port is added or deleted.
    CTcpipPortDlg(CWnd *pParentWnd, CPortSource &ports);

protected:
    BOOL OnInitDialog() override;
    void FillPortList(const PortLists &lists);
    void OnAddPort();
    void OnConfigurePort();
    void OnOkButton() override;
    void OnDeletePort();

    DECLARE_MESSAGE_MAP()

private:
    CPortSource &m_ports;
};
