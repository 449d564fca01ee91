#include "support/dialog_runner.h"

DialogRunner::DialogRunner(CDialog &dlg) {
    m_thread = archive::Thread([this, &dlg] { m_nResult = dlg.DoModal(); });
    WaitFor([&] { return dlg.m_hWnd != nullptr; });
    m_hDlg = dlg.m_hWnd;
}

DialogRunner::~DialogRunner() {
    Close();
    Join();
}

INT_PTR DialogRunner::Join() {
    if (m_thread.joinable())
        m_thread.join();
    return m_nResult;
}
