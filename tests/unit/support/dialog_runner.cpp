#include "support/dialog_runner.h"

#include <vector>

DialogRunner::DialogRunner(CDialog &dlg) : m_dlg(dlg) {
    m_thread = std::thread([this] {
        m_nResult = m_dlg.DoModal();
        m_bEnded = true;
    });
    WaitFor([this] { return m_dlg.m_hWnd != nullptr || m_bEnded; });
    m_hWnd = m_dlg.m_hWnd;
}

DialogRunner::~DialogRunner() {
    if (!m_bEnded)
        Close();
    if (m_thread.joinable())
        m_thread.join();
}

bool DialogRunner::WaitFor(const std::function<bool()> &pred, DWORD dwTimeoutMs) {
    const DWORD dwStart = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - dwStart > dwTimeoutMs)
            return false;
        ::Sleep(10);
    }
    return true;
}

INT_PTR DialogRunner::Join() {
    if (m_thread.joinable())
        m_thread.join();
    return m_nResult;
}

std::string DialogRunner::Text(int nID) const {
    char buffer[1024] = {};
    ::GetWindowTextA(Item(nID), buffer, sizeof(buffer));
    return buffer;
}

void DialogRunner::Click(int nID) const {
    ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

namespace {

struct BoxSearch {
    std::string caption;
    HWND hFound;
};

BOOL CALLBACK FindBoxProc(HWND hWnd, LPARAM lParam) {
    auto *pSearch = reinterpret_cast<BoxSearch *>(lParam);
    char szClass[32] = {};
    char szCaption[256] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    ::GetWindowTextA(hWnd, szCaption, sizeof(szCaption));
    if (std::string(szClass) == "#32770" && pSearch->caption == szCaption &&
        ::IsWindowVisible(hWnd)) {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindMessageBox(const std::string &caption, DWORD dwTimeoutMs) {
    BoxSearch search{caption, nullptr};
    DialogRunner::WaitFor(
        [&] {
            ::EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&search));
            return search.hFound != nullptr;
        },
        dwTimeoutMs);
    return search.hFound;
}

std::string MessageBoxText(HWND hBox) {
    // The message text is the box's static control with id 0xFFFF.
    char buffer[1024] = {};
    ::GetWindowTextA(::GetDlgItem(hBox, 0xFFFF), buffer, sizeof(buffer));
    return buffer;
}
