#include "framework/wnd.h"

#include "system/platform.h"

#include <vector>

void CWnd::GetWindowText(CString &rString) const {
    const int nLength = ::GetWindowTextLengthA(m_hWnd);
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1, '\0');
    const int nCopied = ::GetWindowTextA(m_hWnd, buffer.data(), nLength + 1);
    rString = CString(buffer.data(), nCopied > 0 ? nCopied : 0);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) const {
    return Platform().MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}
