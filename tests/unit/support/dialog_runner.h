// Runs a dialog modally on a thread of its own, as the program's main thread
// would, and lets the test look at its controls and work them through
// window messages.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"
#include "support/win_helpers.h"

#include <windows.h>

#include <string>
#include <thread>

class DialogRunner {
public:
    explicit DialogRunner(CDialog &dlg);
    ~DialogRunner();
    DialogRunner(const DialogRunner &) = delete;
    DialogRunner &operator=(const DialogRunner &) = delete;

    // Waits for the start-up worker to enable Install.
    bool WaitStartup() const;
    // Waits for DoModal to return and gives its result.
    INT_PTR Join();

    HWND Window() const { return m_hWnd; }
    HWND Item(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    std::string Text(int nID) const;
    void SetText(int nID, const std::string &text) const;
    bool Enabled(int nID) const { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    bool Open() const { return !m_bEnded; }

    void SelectDriver(int nEntry) const;
    void SelectPortKind(int nRow, bool bSelected = true) const;
    // The selected row of the port-kind list, -1 for none.
    int SelectedPortKind() const;
    // Presses a button, or sends a command, and returns when the handler has run.
    void Press(int nID) const;
    // Posts a click, so that a message box the handler opens does not block the test.
    void Click(int nID) const;
    void Close() const { ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0); }

private:
    CDialog &m_dlg;
    HWND m_hWnd = nullptr;
    INT_PTR m_nResult = -1;
    volatile bool m_bEnded = false;
    std::thread m_thread;
};
