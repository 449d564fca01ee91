// CTcpipPortDlg: "Configure TCP/IP PrinterPort", the choice among the
// Standard TCP/IP ports, which the port monitor's own dialogs add,
// configure and delete.
#pragma once

#include "ports/port_enumeration.h"
#include "ports/port_list_dlg.h"

// Asks the "Standard TCP/IP Port" monitor for a new port through its
// wizard, owned by hOwner; true only when the monitor answers exactly TRUE.
bool AddTcpipPort(HWND hOwner);

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
