// Works a dialog only through window messages, whether it runs in this
// process or another: what a list view returns is copied through the
// dialog's own memory, and texts go by their wide forms, which Wine hands
// between processes intact.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class WindowDriver {
public:
    explicit WindowDriver(HWND hDlg = nullptr, HANDLE hProcess = ::GetCurrentProcess())
        : m_hDlg(hDlg), m_hProcess(hProcess) {}

    HWND Window() const { return m_hDlg; }
    HWND Item(int nID) const { return ::GetDlgItem(m_hDlg, nID); }
    // Texts in the ANSI code page.
    std::string Text(int nID) const;
    void SetText(int nID, const std::string &text) const;
    bool Enabled(int nID) const { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    // Posted, so that a modal loop the handler opens does not block the test.
    void Click(int nID) const;
    // Sent: returns when the handler has run.
    void Press(int nID) const;
    void Close() const { ::PostMessageW(m_hDlg, WM_CLOSE, 0, 0); }
    // Picks a combo box entry as a user does, notification included.
    void SelectEntry(int nID, int nEntry) const;

    // A list view's rows, each column's text joined by "|"; its columns as
    // "heading width|..."; its selected row, -1 for none.
    std::vector<std::string> ListRows(HWND hList) const;
    std::string ListColumns(HWND hList) const;
    static int SelectedRow(HWND hList);
    // Selects the row (-1: every row), or takes the selection away.
    void SelectRow(HWND hList, int nRow, bool bSelected = true) const;

protected:
    HWND m_hDlg;
    HANDLE m_hProcess;
};

// A window's text in the ANSI code page.
std::string WindowText(HWND hWnd);
