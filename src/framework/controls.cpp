#include "framework/controls.h"

#include <utility>
#include <vector>

void CListCtrl::SetGridStyle() {
    const auto dwStyle = static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                (dwStyle & ~LVS_EX_TRACKSELECT) | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

void CListCtrl::ResetColumns(LPCSTR lpszFirst, int cxFirst, LPCSTR lpszSecond, int cxSecond) {
    SendMessage(LVM_DELETEALLITEMS);
    const HWND hHeader = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
    const auto nColumns = static_cast<int>(::SendMessageA(hHeader, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < nColumns; ++i)
        SendMessage(LVM_DELETECOLUMN, 0);
    SetGridStyle();
    int nColumn = 0;
    for (const auto &[pszHeading, cx] : {std::pair{lpszFirst, cxFirst}, {lpszSecond, cxSecond}}) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<LPSTR>(pszHeading);
        SendMessage(LVM_INSERTCOLUMNA, nColumn, reinterpret_cast<LPARAM>(&column));
        SendMessage(LVM_SETCOLUMNWIDTH, nColumn, MAKELPARAM(cx, 0));
        ++nColumn;
    }
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEMA item = {};
    item.state = nState;
    item.stateMask = nMask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(&item)));
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
