// CWnd: a window handle and the few messages the program sends to any window.
#pragma once

#include "framework/afx_string.h"

#include <windows.h>

class CWnd {
public:
    // Constructors
    CWnd() = default;
    explicit CWnd(HWND hWnd) : m_hWnd(hWnd) {}
    virtual ~CWnd() = default;

    // Attributes
    CWnd GetDlgItem(int nID) const { return CWnd(::GetDlgItem(m_hWnd, nID)); }
    void GetWindowText(CString &rString) const;

    // Operations
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    void SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    // A message box owned by this window, with a caption of its own.
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType = MB_OK) const;

    HWND m_hWnd = nullptr;
};
