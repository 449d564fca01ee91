// CTcpipPortDlg: "Configure TCP/IP PrinterPort", the choice among the
// Standard TCP/IP ports, which the port monitor's own dialogs add,
// configure and delete.
#pragma once

#include "ports/port_list_dlg.h"
// Its callers start the monitor's wizard too.
#include "ports/tcpip_monitor.h"

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
