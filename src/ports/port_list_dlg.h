// CPortListDlg: what the parallel and TCP/IP port dialogs share: the list of
// ports with their descriptions, the row the user selected, and Enter and
// Escape acting as the dialog's own OK and Cancel buttons.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "ports/port_choice.h"

class CPortListDlg : public CDialog {
public:
    CPortListDlg(UINT nIDTemplate, CWnd *pParentWnd) : CDialog(nIDTemplate, pParentWnd) {}

    // The port of the row that OK ended the dialog with.
    CString m_strChosenPort;

protected:
    void DoDataExchange(CDataExchange *pDX) override;
    void OnOK() override { OnOkButton(); }
    void OnCancel() override { OnCancelButton(); }
    virtual void OnOkButton() = 0;
    void OnCancelButton() { EndDialog(PORTDLG_CANCELLED); }
    void OnClose() { OnCancelButton(); }

    // Rebuilds the columns and rows from nothing and selects row 0.
    void FillRows(const CStringArray &names, const CStringArray &descriptions);
    // Selects the row alone, without the focus mark.
    void SelectRow(int nRow);
    // The first selected row, -1 for none.
    int SelectedRow() const;
    // Ends the dialog with the selected row; nothing happens while none is selected.
    void EndWithSelectedRow();

    CListCtrl m_lstPorts;
};
