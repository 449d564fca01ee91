// Works a dialog only through window messages, whether it runs in this
// process or another: what a list view returns is copied through the
// dialog's own memory, and texts go by their wide forms, which Wine hands
// between processes intact. Texts are read and written in the code page
// given: the ANSI one, or UTF-8 for tests that name characters of any.
#pragma once

#include "support/win_helpers.h"

#include <windows.h>

#include <string>
#include <vector>

class WindowDriver {
public:
    explicit WindowDriver(HANDLE hProcess = ::GetCurrentProcess(), UINT nCodePage = CP_ACP)
        : m_hProcess(hProcess), m_nCodePage(nCodePage) {}

    HWND Window() const { return m_hDlg; }
    HWND Item(int nID) const { return ::GetDlgItem(m_hDlg, nID); }
    std::string Text(int nID) const { return WindowText(Item(nID)); }
    std::string WindowText(HWND hWnd) const;
    void SetText(int nID, const std::string &text) const;
    bool Enabled(int nID) const { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    bool WaitEnabled(int nID) const {
        return WaitFor([&] { return Enabled(nID); }, 60000);
    }
    // Posted, so that a modal loop the handler opens does not block the test.
    void Click(int nID) const { ClickIn(m_hDlg, nID); }
    static void ClickIn(HWND hDlg, int nID);
    // Sent: returns when the handler has run.
    void Press(int nID) const;
    void Close() const { ::PostMessageW(m_hDlg, WM_CLOSE, 0, 0); }
    // Picks the combo box entry of exactly that text as a user does,
    // notification included; with none, takes the selection away and
    // returns false.
    bool SelectEntry(int nID, const std::string &text) const;

    // A list view's rows, each the texts of its two columns.
    std::vector<std::vector<std::string>> ListRows(HWND hList) const;
    // Selects the row (-1: every row), or takes the selection away.
    void SelectRow(HWND hList, int nRow, bool bSelected = true) const;

protected:
    HWND m_hDlg = nullptr;
    HANDLE m_hProcess;
    UINT m_nCodePage;
};
