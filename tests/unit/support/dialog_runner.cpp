#include "support/dialog_runner.h"

DialogRunner::DialogRunner(CDialog &dlg) : m_dlg(dlg) {
    DWORD dwThreadId = 0;
    m_hThread = ::CreateThread(nullptr, 0, Run, this, 0, &dwThreadId);
    WaitFor([&] { return dlg.m_hWnd != nullptr; });
    m_hDlg = dlg.m_hWnd;
}

DialogRunner::~DialogRunner() {
    Close();
    Join();
}

DWORD WINAPI DialogRunner::Run(LPVOID pRunner) {
    DialogRunner &runner = *static_cast<DialogRunner *>(pRunner);
    runner.m_nResult = runner.m_dlg.DoModal();
    return 0;
}

INT_PTR DialogRunner::Join() {
    if (m_hThread != nullptr) {
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    return m_nResult;
}
