#include "support/black_box.h"

#include <commctrl.h>

#include <algorithm>

namespace {

const char kDialogCaption[] = "Configure & Install v1.5";
const int kBoxTextId = 0xFFFF;
constexpr int kTextChars = 1024;

std::string Utf8(const wchar_t *psz) {
    char text[4 * kTextChars] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, psz, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

// Wine hands the ANSI forms of some messages back garbled between
// processes; the wide forms work.
std::string WideText(HWND hWnd) {
    wchar_t text[kTextChars] = {};
    ::SendMessageW(hWnd, WM_GETTEXT, kTextChars, reinterpret_cast<LPARAM>(text));
    return Utf8(text);
}

// A visible dialog of the process with that caption; for an empty one, a
// message box: the dialog whose text is the static of id 0xFFFF.
HWND FindProcessWindow(DWORD dwProcessId, const std::string &caption) {
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr)) != nullptr) {
        DWORD dwPid = 0;
        ::GetWindowThreadProcessId(hWnd, &dwPid);
        if (dwPid == dwProcessId && ::IsWindowVisible(hWnd) &&
            (caption.empty() ? ::GetDlgItem(hWnd, kBoxTextId) != nullptr
                             : WideText(hWnd) == caption))
            return hWnd;
    }
    return nullptr;
}

// Sends a list-view message whose item record, and the text it points to,
// must live in the program's memory; returns the text copied back.
std::string SendItem(HANDLE hProcess, HWND hList, UINT message, int nRow, LVITEMW item) {
    constexpr SIZE_T cbText = kTextChars * sizeof(wchar_t);
    auto *pRemote = static_cast<BYTE *>(
        ::VirtualAllocEx(hProcess, nullptr, sizeof(item) + cbText, MEM_COMMIT, PAGE_READWRITE));
    if (pRemote == nullptr)
        return "";
    item.pszText = reinterpret_cast<LPWSTR>(pRemote + sizeof(item));
    item.cchTextMax = kTextChars;
    ::WriteProcessMemory(hProcess, pRemote, &item, sizeof(item), nullptr);
    ::SendMessageW(hList, message, nRow, reinterpret_cast<LPARAM>(pRemote));
    wchar_t text[kTextChars] = {};
    ::ReadProcessMemory(hProcess, pRemote + sizeof(item), text, cbText - sizeof(wchar_t), nullptr);
    ::VirtualFreeEx(hProcess, pRemote, 0, MEM_RELEASE);
    return Utf8(text);
}

} // namespace

std::string WinePath(const std::string &unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

InstallerWindow::InstallerWindow(const std::string &exePath, const std::string &workDir) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exePath + "\"";
    if (::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         workDir.c_str(), &startup, &m_process))
        m_hDlg = WaitWindow(kDialogCaption);
}

InstallerWindow::~InstallerWindow() {
    if (m_process.hProcess == nullptr)
        return;
    CloseBox();
    if (!WaitExit(10000))
        ::TerminateProcess(m_process.hProcess, 1);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool InstallerWindow::WaitInstallEnabled(DWORD dwTimeoutMs) const {
    return WaitFor([&] { return Enabled(IDC_INSTALL); }, dwTimeoutMs);
}

bool InstallerWindow::StartInstall(const std::string &model, const std::string &printer,
                                   int nKindRow) const {
    if (!WaitInstallEnabled())
        return false;
    const std::vector<std::string> models = DriverList();
    const auto itModel = std::find(models.begin(), models.end(), model);
    if (itModel == models.end())
        return false;
    SelectDriver(static_cast<int>(itModel - models.begin()));
    SetPrinterName(printer);
    SelectPortKind(nKindRow);
    Click(IDC_INSTALL);
    return true;
}

bool InstallerWindow::WaitFinish() const {
    const auto finished = [&] { return Text(IDC_INSTALL) == "&Finish" && Enabled(IDC_INSTALL); };
    WaitFor([&] { return finished() || FindProcessWindow(m_process.dwProcessId, "") != nullptr; },
            120000);
    return finished();
}

std::vector<std::string> InstallerWindow::DriverList() const {
    std::vector<std::string> entries;
    const int nCount = static_cast<int>(::SendMessageW(Item(IDC_DRIVER_LIST), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        wchar_t text[kTextChars] = {};
        ::SendMessageW(Item(IDC_DRIVER_LIST), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(Utf8(text));
    }
    return entries;
}

void InstallerWindow::SelectDriver(int nEntry) const {
    ::SendMessageW(Item(IDC_DRIVER_LIST), CB_SETCURSEL, nEntry, 0);
    ::SendMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(IDC_DRIVER_LIST, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(Item(IDC_DRIVER_LIST)));
}

void InstallerWindow::SetPrinterName(const std::string &name) const {
    const std::wstring wide(name.begin(), name.end());
    ::SendMessageW(Item(IDC_PRINTER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string InstallerWindow::Text(int nID) const {
    return WideText(Item(nID));
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

std::vector<std::string> InstallerWindow::ListRows(HWND hList) const {
    std::vector<std::string> rows;
    const int nRows = static_cast<int>(::SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        LVITEMW item = {};
        const std::string name = SendItem(m_process.hProcess, hList, LVM_GETITEMTEXTW, nRow, item);
        item.iSubItem = 1;
        rows.push_back(name + "|" +
                       SendItem(m_process.hProcess, hList, LVM_GETITEMTEXTW, nRow, item));
    }
    return rows;
}

void InstallerWindow::SelectRow(HWND hList, int nRow) const {
    LVITEMW item = {};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendItem(m_process.hProcess, hList, LVM_SETITEMSTATE, nRow, item);
}

MessageBoxSeen InstallerWindow::WaitMessageBox(DWORD dwTimeoutMs) const {
    MessageBoxSeen box;
    box.hWnd = WaitWindow("", dwTimeoutMs);
    if (box.hWnd != nullptr) {
        box.caption = WideText(box.hWnd);
        box.text = WideText(::GetDlgItem(box.hWnd, kBoxTextId));
    }
    return box;
}

bool InstallerWindow::WaitExit(DWORD dwTimeoutMs) const {
    return ::WaitForSingleObject(m_process.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
}
