// Thin wrappers of the common controls the dialogs use: a handle and one
// message per method.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

class CButton : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    // Operations
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, nPos, 0)); }
};

class CComboBox : public CWnd {
public:
    // Attributes
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }

    // Operations
    int AddString(LPCSTR lpszString) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
    }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
};

class CListCtrl : public CWnd {
public:
    // Attributes
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    UINT GetItemState(int nItem, UINT nMask) const {
        return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, nItem, nMask));
    }
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    // The whole text, however long.
    CString GetItemText(int nItem, int nSubItem) const;

    // Operations
    // Grid lines and whole-row selection, without hot tracking.
    void SetGridStyle();
    // No rows, and the two columns given in place of any there were.
    void ResetColumns(LPCSTR lpszFirst, int cxFirst, LPCSTR lpszSecond, int cxSecond);
    int InsertItem(int nItem, LPCSTR lpszItem);
    BOOL SetItemText(int nItem, int nSubItem, LPCSTR lpszText);
};
