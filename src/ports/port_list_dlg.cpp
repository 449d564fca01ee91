// The list of ports that both port dialogs show and choose from.
#include "ports/port_list_dlg.h"

#include "res/resource.h"
#include "res/texts.h"

namespace {

constexpr int kPortColumnWidth = 125;
constexpr int kDescriptionColumnWidth = 300;

} // namespace

void CPortListDlg::DoDataExchange(CDataExchange *pDX) {
    DDX_Control(pDX, IDC_PORT_LIST, m_lstPorts);
}

void CPortListDlg::FillRows(const CStringArray &names, const CStringArray &descriptions) {
    m_lstPorts.ResetColumns(kPortColumn, kPortColumnWidth, kDescriptionColumn,
                            kDescriptionColumnWidth);
    for (INT_PTR i = 0; i < names.GetSize(); ++i) {
        const int nRow = m_lstPorts.InsertItem(static_cast<int>(i), names[i]);
        m_lstPorts.SetItemText(nRow, 1, descriptions[i]);
    }
    SelectRow(0);
}

void CPortListDlg::SelectRow(int nRow) {
    m_lstPorts.SetItemState(nRow, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
}

int CPortListDlg::SelectedRow() const {
    for (int nRow = 0; nRow < m_lstPorts.GetItemCount(); ++nRow) {
        if (m_lstPorts.GetItemState(nRow, LVIS_SELECTED) & LVIS_SELECTED)
            return nRow;
    }
    return -1;
}

void CPortListDlg::EndWithSelectedRow() {
    const int nRow = SelectedRow();
    if (nRow < 0)
        return;
    m_strChosenPort = m_lstPorts.GetItemText(nRow, 0);
    EndDialog(PORTDLG_INDEX_BASE + nRow);
}
