#include "support/window_driver.h"

#include <commctrl.h>

namespace {

constexpr int kTextChars = 1024;

// Sends a list-view item message whose record, and the text buffer it
// points to, must live in the dialog's memory; the text is copied back.
void SendItem(HANDLE hProcess, HWND hWnd, UINT message, WPARAM wParam, LVITEMW item,
              wchar_t *pszText = nullptr) {
    const size_t cbText = kTextChars * sizeof(wchar_t);
    auto *pRemote = static_cast<BYTE *>(
        ::VirtualAllocEx(hProcess, nullptr, sizeof(item) + cbText, MEM_COMMIT, PAGE_READWRITE));
    if (pRemote == nullptr)
        return;
    item.pszText = reinterpret_cast<LPWSTR>(pRemote + sizeof(item));
    item.cchTextMax = kTextChars;
    ::WriteProcessMemory(hProcess, pRemote, &item, sizeof(item), nullptr);
    ::SendMessageW(hWnd, message, wParam, reinterpret_cast<LPARAM>(pRemote));
    if (pszText != nullptr)
        ::ReadProcessMemory(hProcess, item.pszText, pszText, cbText, nullptr);
    ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
}

std::string Narrow(UINT nCodePage, const wchar_t *psz) {
    char text[4 * kTextChars] = {};
    ::WideCharToMultiByte(nCodePage, 0, psz, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

std::wstring Wide(UINT nCodePage, const std::string &text) {
    wchar_t buffer[kTextChars] = {};
    ::MultiByteToWideChar(nCodePage, 0, text.c_str(), -1, buffer, kTextChars - 1);
    return buffer;
}

} // namespace

std::string WindowDriver::WindowText(HWND hWnd) const {
    wchar_t buffer[kTextChars] = {};
    ::SendMessageW(hWnd, WM_GETTEXT, kTextChars, reinterpret_cast<LPARAM>(buffer));
    return Narrow(m_nCodePage, buffer);
}

void WindowDriver::SetText(int nID, const std::string &text) const {
    ::SendMessageW(Item(nID), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(Wide(m_nCodePage, text).c_str()));
}

void WindowDriver::ClickIn(HWND hDlg, int nID) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

void WindowDriver::Press(int nID) const {
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

bool WindowDriver::SelectEntry(int nID, const std::string &text) const {
    const LRESULT nEntry =
        ::SendMessageW(Item(nID), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(Wide(m_nCodePage, text).c_str()));
    ::SendMessageW(Item(nID), CB_SETCURSEL, nEntry, 0);
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Item(nID)));
    return nEntry != CB_ERR;
}

std::vector<std::vector<std::string>> WindowDriver::ListRows(HWND hList) const {
    std::vector<std::vector<std::string>> rows;
    const int nRows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        rows.emplace_back();
        for (int nColumn = 0; nColumn < 2; ++nColumn) {
            wchar_t text[kTextChars] = {};
            LVITEMW item = {};
            item.iSubItem = nColumn;
            SendItem(m_hProcess, hList, LVM_GETITEMTEXTW, nRow, item, text);
            rows.back().push_back(Narrow(m_nCodePage, text));
        }
    }
    return rows;
}

void WindowDriver::SelectRow(HWND hList, int nRow, bool bSelected) const {
    LVITEMW item = {};
    item.state = bSelected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendItem(m_hProcess, hList, LVM_SETITEMSTATE, static_cast<WPARAM>(nRow), item);
}
