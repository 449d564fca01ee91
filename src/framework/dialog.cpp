#include "framework/dialog.h"

#include "system/platform.h"

INT_PTR CDialog::DoModal() {
    return ::DialogBoxParamA(Platform().GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate),
                             m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(m_hWnd, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto *pDlg = reinterpret_cast<CDialog *>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        pDlg->m_hWnd = hWnd;
        return pDlg->OnInitDialog();
    }
    auto *pDlg = reinterpret_cast<CDialog *>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pDlg == nullptr)
        return FALSE;
    LRESULT lResult = 0;
    const bool bHandled = pDlg->Dispatch(message, wParam, lParam, lResult);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pDlg->m_hWnd = nullptr;
    }
    if (!bHandled)
        return FALSE;
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &lResult) {
    for (const AFX_MSGMAP_ENTRY *pEntry = GetMessageMap();
         pEntry && (pEntry->pfnVoid || pEntry->pfnParams); ++pEntry) {
        const bool bMatch = pEntry->pnRegistered
                                ? message == *pEntry->pnRegistered
                                : message == pEntry->nMessage &&
                                      (message != WM_COMMAND || (HIWORD(wParam) == pEntry->nCode &&
                                                                 LOWORD(wParam) == pEntry->nID));
        if (!bMatch)
            continue;
        if (pEntry->pfnParams)
            lResult = (this->*pEntry->pfnParams)(wParam, lParam);
        else
            (this->*pEntry->pfnVoid)();
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

void DDX_Control(CDataExchange *pDX, int nIDC, CWnd &rControl) {
    if (rControl.m_hWnd == nullptr)
        rControl.m_hWnd = ::GetDlgItem(pDX->m_hDlg, nIDC);
}

void DDX_Check(CDataExchange *pDX, int nIDC, BOOL &value) {
    HWND hCtrl = ::GetDlgItem(pDX->m_hDlg, nIDC);
    if (pDX->m_bSaveAndValidate)
        value = ::SendMessageA(hCtrl, BM_GETCHECK, 0, 0) == BST_CHECKED;
    else
        ::SendMessageA(hCtrl, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DDX_Text(CDataExchange *pDX, int nIDC, CString &value) {
    CWnd ctrl(::GetDlgItem(pDX->m_hDlg, nIDC));
    if (pDX->m_bSaveAndValidate)
        ctrl.GetWindowText(value);
    else
        ctrl.SetWindowText(value);
}
