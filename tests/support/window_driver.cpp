#include "support/window_driver.h"

#include <commctrl.h>

namespace {

constexpr int kListTextChars = 1024;

// Sends a list-view item message whose record, and the text buffer it
// points to, must live in the dialog's memory; the text is copied back.
void SendItem(HANDLE hProcess, HWND hWnd, UINT message, WPARAM wParam, LVITEMW item,
              wchar_t *pszText = nullptr) {
    const size_t cbText = kListTextChars * sizeof(wchar_t);
    auto *pRemote = static_cast<BYTE *>(
        ::VirtualAllocEx(hProcess, nullptr, sizeof(item) + cbText, MEM_COMMIT, PAGE_READWRITE));
    if (pRemote == nullptr)
        return;
    item.pszText = reinterpret_cast<LPWSTR>(pRemote + sizeof(item));
    item.cchTextMax = kListTextChars;
    ::WriteProcessMemory(hProcess, pRemote, &item, sizeof(item), nullptr);
    ::SendMessageW(hWnd, message, wParam, reinterpret_cast<LPARAM>(pRemote));
    if (pszText != nullptr)
        ::ReadProcessMemory(hProcess, item.pszText, pszText, cbText, nullptr);
    ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
}

} // namespace

std::string WindowDriver::Narrow(const wchar_t *psz) const {
    char text[4 * kListTextChars] = {};
    ::WideCharToMultiByte(m_nCodePage, 0, psz, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

std::string WindowDriver::WindowText(HWND hWnd) const {
    wchar_t buffer[kListTextChars] = {};
    ::SendMessageW(hWnd, WM_GETTEXT, kListTextChars, reinterpret_cast<LPARAM>(buffer));
    return Narrow(buffer);
}

std::wstring WindowDriver::Wide(const std::string &text) const {
    wchar_t buffer[kListTextChars] = {};
    ::MultiByteToWideChar(m_nCodePage, 0, text.c_str(), -1, buffer, kListTextChars - 1);
    return buffer;
}

void WindowDriver::SetText(int nID, const std::string &text) const {
    ::SendMessageW(Item(nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void WindowDriver::ClickIn(HWND hDlg, int nID) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

void WindowDriver::Press(int nID) const {
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

void WindowDriver::SelectEntry(int nID, int nEntry) const {
    ::SendMessageW(Item(nID), CB_SETCURSEL, nEntry, 0);
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

std::vector<std::string> WindowDriver::ListRows(HWND hList) const {
    std::vector<std::string> rows;
    const int nRows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        std::string row;
        for (int nColumn = 0; nColumn < 2; ++nColumn) {
            wchar_t text[kListTextChars] = {};
            LVITEMW item = {};
            item.iSubItem = nColumn;
            SendItem(m_hProcess, hList, LVM_GETITEMTEXTW, nRow, item, text);
            row += (nColumn > 0 ? "|" : "") + Narrow(text);
        }
        rows.push_back(row);
    }
    return rows;
}

int WindowDriver::SelectedRow(HWND hList) {
    return static_cast<int>(
        ::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void WindowDriver::SelectRow(HWND hList, int nRow, bool bSelected) const {
    LVITEMW item = {};
    item.state = bSelected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendItem(m_hProcess, hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nRow), item);
}
