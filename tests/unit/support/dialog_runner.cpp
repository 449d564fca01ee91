#include "support/dialog_runner.h"

DialogRunner::DialogRunner(CDialog &dlg) {
    m_thread = std::thread([this, &dlg] {
        m_nResult = dlg.DoModal();
        m_bEnded = true;
    });
    WaitFor([&] { return dlg.m_hWnd != nullptr || m_bEnded; });
    m_hDlg = dlg.m_hWnd;
}

DialogRunner::~DialogRunner() {
    if (!m_bEnded)
        Close();
    Join();
}

INT_PTR DialogRunner::Join() {
    if (m_thread.joinable())
        m_thread.join();
    return m_nResult;
}
