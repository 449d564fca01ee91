#include "framework/controls.h"

#include <vector>

void CComboBox::GetLBText(int nIndex, CString &rString) const {
    const LRESULT nLength = SendMessage(CB_GETLBTEXTLEN, nIndex);
    if (nLength == CB_ERR) {
        rString.Empty();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
    SendMessage(CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(buffer.data()));
    rString = CString(buffer.data());
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEMA item = {};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::InsertColumn(int nCol, LPCSTR lpszColumnHeading, int nFormat) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = nFormat;
    column.pszText = const_cast<LPSTR>(lpszColumnHeading);
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNA, nCol, reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int nItem, LPCSTR lpszItem) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = const_cast<LPSTR>(lpszItem);
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCSTR lpszText) {
    LVITEMA item = {};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPSTR>(lpszText);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, nItem, reinterpret_cast<LPARAM>(&item)));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    // The control copies at most the buffer less one; a copy that fills it may be cut.
    for (int cchBuffer = 256;; cchBuffer *= 2) {
        std::vector<char> buffer(static_cast<size_t>(cchBuffer), '\0');
        LVITEMA item = {};
        item.iSubItem = nSubItem;
        item.cchTextMax = cchBuffer;
        item.pszText = buffer.data();
        const int nLength =
            static_cast<int>(SendMessage(LVM_GETITEMTEXTA, nItem, reinterpret_cast<LPARAM>(&item)));
        // The control may point the record at a text of its own.
        if (nLength < cchBuffer - 1)
            return CString(item.pszText, nLength);
    }
}
