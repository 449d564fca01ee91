#include "support/dialog_runner.h"

#include <commctrl.h>

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

bool DialogRunner::WaitStartup() const {
    return WaitFor([this] { return Enabled(IDC_INSTALL); });
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

void DialogRunner::SetText(int nID, const std::string &text) const {
    ::SetWindowTextA(Item(nID), text.c_str());
}

void DialogRunner::SelectDriver(int nEntry) const {
    ::SendMessageA(Item(IDC_DRIVER_LIST), CB_SETCURSEL, nEntry, 0);
}

void DialogRunner::SelectPortKind(int nRow, bool bSelected) const {
    LVITEMA item = {};
    item.state = bSelected ? LVIS_SELECTED : 0;
    item.stateMask = LVIS_SELECTED;
    ::SendMessageA(Item(IDC_PORT_KIND_LIST), LVM_SETITEMSTATE, nRow,
                   reinterpret_cast<LPARAM>(&item));
}

int DialogRunner::SelectedPortKind() const {
    return static_cast<int>(::SendMessageA(Item(IDC_PORT_KIND_LIST), LVM_GETNEXTITEM,
                                           static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void DialogRunner::Press(int nID) const {
    ::SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

void DialogRunner::Click(int nID) const {
    ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}
