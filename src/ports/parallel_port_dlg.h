// CParallelPortDlg: "Select A Parallel Port", the choice among several
// parallel ports before an installation.
#pragma once

#include "ports/port_list_dlg.h"

class CParallelPortDlg : public CPortListDlg {
public:
    explicit CParallelPortDlg(CWnd *pParentWnd);

protected:
    BOOL OnInitDialog() override;
    void FillPortList();
    void OnOkButton() override;

    DECLARE_MESSAGE_MAP()
};
