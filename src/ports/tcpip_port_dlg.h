// CTcpipPortDlg: "Configure TCP/IP PrinterPort", the choice among the
// Standard TCP/IP ports, which the port monitor's own dialogs add,
// configure and delete.
#pragma once

#include "ports/port_list_dlg.h"

// Asks the "Standard TCP/IP Port" monitor for a new port through its
// wizard, owned by hOwner; true only when the monitor answers exactly TRUE.
bool AddTcpipPort(HWND hOwner);

class CTcpipPortDlg : public CPortListDlg {
public:
    explicit CTcpipPortDlg(CWnd *pParentWnd);

protected:
    BOOL OnInitDialog() override;
    void FillPortList();
    void OnAddPort();
    void OnConfigurePort();
    void OnOkButton() override;
    void OnDeletePort();

    DECLARE_MESSAGE_MAP()
};
