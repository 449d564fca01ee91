#include "support/black_box.h"

#include <commctrl.h>

namespace {

const char kDialogCaption[] = "Configure & Install v1.5";
const int kBoxTextId = 0xFFFF;
constexpr int kListTextChars = 1024;

struct WindowSearch {
    DWORD dwProcessId;
    std::string caption; // empty: any message box
    HWND hFound;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM lParam) {
    auto *pSearch = reinterpret_cast<WindowSearch *>(lParam);
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    if (dwPid != pSearch->dwProcessId || !::IsWindowVisible(hWnd))
        return TRUE;
    char szClass[32] = {};
    char szCaption[256] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    ::GetWindowTextA(hWnd, szCaption, sizeof(szCaption));
    if (std::string(szClass) != "#32770")
        return TRUE;
    // A message box is the dialog whose text is the static of id 0xFFFF.
    const bool bDialog = pSearch->caption == szCaption;
    const bool bBox = pSearch->caption.empty() && ::GetDlgItem(hWnd, kBoxTextId) != nullptr;
    if (bDialog || bBox) {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD dwProcessId, const std::string &caption) {
    WindowSearch search{dwProcessId, caption, nullptr};
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

// Wine hands the ANSI forms of some messages back garbled between
// processes; the wide forms work.
std::string WideText(HWND hWnd) {
    wchar_t buffer[1024] = {};
    ::SendMessageW(hWnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
    char text[2048] = {};
    ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

std::string Utf8(const wchar_t *psz) {
    char text[4 * kListTextChars] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, psz, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

// Sends a list-view message whose record, and the text buffer it points
// to, must live in the program's memory; both are copied back.
template <class Record>
LRESULT SendRecord(HANDLE hProcess, HWND hWnd, UINT message, WPARAM wParam, Record &record,
                   wchar_t *pszText = nullptr) {
    const size_t cbText = pszText != nullptr ? kListTextChars * sizeof(wchar_t) : 0;
    auto *pRemote = static_cast<BYTE *>(
        ::VirtualAllocEx(hProcess, nullptr, sizeof(record) + cbText, MEM_COMMIT, PAGE_READWRITE));
    if (pRemote == nullptr)
        return 0;
    Record sent = record;
    if (pszText != nullptr) {
        sent.pszText = reinterpret_cast<LPWSTR>(pRemote + sizeof(record));
        sent.cchTextMax = kListTextChars;
    }
    ::WriteProcessMemory(hProcess, pRemote, &sent, sizeof(sent), nullptr);
    const LRESULT lResult =
        ::SendMessageW(hWnd, message, wParam, reinterpret_cast<LPARAM>(pRemote));
    if (pszText != nullptr)
        ::ReadProcessMemory(hProcess, pRemote + sizeof(record), pszText, cbText, nullptr);
    ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    return lResult;
}

} // namespace

std::string WinePath(const std::string &unixPath) {
    std::string path = "Z:" + unixPath;
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

InstallerWindow::InstallerWindow(const std::string &exePath, const std::string &workDir) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exePath + "\"";
    if (!::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.c_str(), &startup, &m_process))
        return;
    WaitFor(
        [&] {
            m_hDlg = FindProcessWindow(m_process.dwProcessId, kDialogCaption);
            return m_hDlg != nullptr;
        },
        30000);
}

InstallerWindow::~InstallerWindow() {
    if (m_process.hProcess == nullptr)
        return;
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        CloseBox();
        if (!WaitExit(10000))
            ::TerminateProcess(m_process.hProcess, 1);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool InstallerWindow::WaitInstallEnabled(DWORD dwTimeoutMs) const {
    return WaitFor([&] { return Enabled(IDC_INSTALL); }, dwTimeoutMs);
}

std::vector<std::string> InstallerWindow::DriverList() const {
    std::vector<std::string> entries;
    const int nCount = static_cast<int>(::SendMessageW(Item(IDC_DRIVER_LIST), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        wchar_t buffer[512] = {};
        ::SendMessageW(Item(IDC_DRIVER_LIST), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
        char text[1024] = {};
        ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, text, sizeof(text), nullptr, nullptr);
        entries.push_back(text);
    }
    return entries;
}

std::string InstallerWindow::DriverText() const {
    return Text(IDC_DRIVER_LIST);
}

void InstallerWindow::SelectDriver(int nEntry) const {
    ::SendMessageW(Item(IDC_DRIVER_LIST), CB_SETCURSEL, nEntry, 0);
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVER_LIST, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Item(IDC_DRIVER_LIST)));
}

void InstallerWindow::SetPrinterName(const std::string &name) const {
    wchar_t buffer[512] = {};
    ::MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, buffer, 512);
    ::SendMessageW(Item(IDC_PRINTER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(buffer));
}

bool InstallerWindow::SetDefaultTicked() const {
    return ::SendMessageW(Item(IDC_SET_DEFAULT), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int InstallerWindow::SelectedPortKind() const {
    return static_cast<int>(::SendMessageW(Item(IDC_PORT_KIND_LIST), LVM_GETNEXTITEM,
                                           static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void InstallerWindow::SelectRow(HWND hList, int nRow) const {
    LVITEMW item = {};
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendRecord(m_process.hProcess, hList, LVM_SETITEMSTATE, nRow, item);
}

int InstallerWindow::SelectedRow(HWND hList) {
    return static_cast<int>(
        ::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<std::string> InstallerWindow::ListRows(HWND hList) const {
    std::vector<std::string> rows;
    const int nRows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        std::string row;
        for (int nColumn = 0; nColumn < 2; ++nColumn) {
            wchar_t text[kListTextChars] = {};
            LVITEMW item = {};
            item.iSubItem = nColumn;
            SendRecord(m_process.hProcess, hList, LVM_GETITEMTEXTW, nRow, item, text);
            row += (nColumn > 0 ? "|" : "") + Utf8(text);
        }
        rows.push_back(row);
    }
    return rows;
}

std::string InstallerWindow::ListColumns(HWND hList) const {
    const HWND hHeader = reinterpret_cast<HWND>(::SendMessageW(hList, LVM_GETHEADER, 0, 0));
    const int nColumns = static_cast<int>(::SendMessageW(hHeader, HDM_GETITEMCOUNT, 0, 0));
    std::string columns;
    for (int nColumn = 0; nColumn < nColumns; ++nColumn) {
        wchar_t text[kListTextChars] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        SendRecord(m_process.hProcess, hList, LVM_GETCOLUMNW, nColumn, column, text);
        columns += (nColumn > 0 ? "|" : "") + Utf8(text) + " " +
                   std::to_string(::SendMessageW(hList, LVM_GETCOLUMNWIDTH, nColumn, 0));
    }
    return columns;
}

HWND InstallerWindow::WaitWindow(const std::string &caption, DWORD dwTimeoutMs) const {
    HWND hWnd = nullptr;
    WaitFor(
        [&] {
            hWnd = FindProcessWindow(m_process.dwProcessId, caption);
            return hWnd != nullptr;
        },
        dwTimeoutMs);
    return hWnd;
}

bool InstallerWindow::ConfirmParallelPort() const {
    const HWND hDlg = WaitWindow(kParallelDialogCaption);
    if (hDlg != nullptr)
        Press(hDlg, IDC_PORT_OK);
    return hDlg != nullptr;
}

void InstallerWindow::Press(HWND hDlg, int nID) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

int InstallerWindow::Progress() const {
    return static_cast<int>(::SendMessageW(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

std::string InstallerWindow::Text(int nID) const {
    return WideText(Item(nID));
}

void InstallerWindow::Click(int nID) const {
    ::PostMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(nID)));
}

MessageBoxSeen InstallerWindow::WaitMessageBox(DWORD dwTimeoutMs) const {
    MessageBoxSeen box;
    WaitFor(
        [&] {
            box.hWnd = FindProcessWindow(m_process.dwProcessId, "");
            return box.hWnd != nullptr;
        },
        dwTimeoutMs);
    if (box.hWnd != nullptr) {
        box.caption = WideText(box.hWnd);
        box.text = WideText(::GetDlgItem(box.hWnd, kBoxTextId));
    }
    return box;
}

void InstallerWindow::Answer(const MessageBoxSeen &box, int nButtonId) {
    Press(box.hWnd, nButtonId);
}

bool InstallerWindow::WaitInstallCaption(const std::string &text, DWORD dwTimeoutMs) const {
    return WaitFor(
               [&] {
                   return (Text(IDC_INSTALL) == text && Enabled(IDC_INSTALL)) ||
                          FindProcessWindow(m_process.dwProcessId, "") != nullptr;
               },
               dwTimeoutMs) &&
           Text(IDC_INSTALL) == text;
}

bool InstallerWindow::WaitExit(DWORD dwTimeoutMs) const {
    return ::WaitForSingleObject(m_process.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}
