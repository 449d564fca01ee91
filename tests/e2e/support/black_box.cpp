#include "support/black_box.h"

#include <algorithm>

const char kDialogCaption[] = "Configure & Install v1.5";
const int kBoxTextId = 0xFFFF;

std::string WinePath(const std::string &unixPath) {
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

InstallerWindow::InstallerWindow(const std::string &exePath, const std::string &workDir)
    : WindowDriver(nullptr, CP_UTF8) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exePath + "\"";
    if (::CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                         workDir.c_str(), &startup, &m_process)) {
        m_hProcess = m_process.hProcess;
        m_hDlg = WaitWindow(kDialogCaption);
    }
}

InstallerWindow::~InstallerWindow() {
    if (m_process.hProcess == nullptr)
        return;
    Close();
    if (!WaitExit(10000))
        ::TerminateProcess(m_process.hProcess, 1);
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool InstallerWindow::StartInstall(const std::string &model, const std::string &printer,
                                   int nKindRow) const {
    if (!WaitInstallEnabled() || !SelectEntry(IDC_DRIVER_LIST, model))
        return false;
    SetText(IDC_PRINTER_NAME, printer);
    SelectRow(Item(IDC_PORT_KIND_LIST), nKindRow);
    Click(IDC_INSTALL);
    return true;
}

std::string InstallerWindow::WaitFinish() const {
    HWND hBox = nullptr;
    WaitFor(
        [&] {
            hBox = FindWindowOf("");
            return hBox != nullptr || (Text(IDC_INSTALL) == "&Finish" && Enabled(IDC_INSTALL));
        },
        120000);
    return hBox != nullptr ? WindowText(::GetDlgItem(hBox, kBoxTextId)) : Text(IDC_INSTALL);
}

HWND InstallerWindow::WaitWindow(const std::string &caption, DWORD dwTimeoutMs) const {
    HWND hWnd = nullptr;
    WaitFor([&] { return (hWnd = FindWindowOf(caption)) != nullptr; }, dwTimeoutMs);
    return hWnd;
}

bool InstallerWindow::ConfirmParallelPort() const {
    const HWND hDlg = WaitWindow(kParallelDialogCaption);
    if (hDlg != nullptr)
        ClickIn(hDlg, IDC_PORT_OK);
    return hDlg != nullptr;
}

// A visible dialog of the program with that caption; for an empty one, a
// message box: the dialog whose text is the static of id 0xFFFF.
HWND InstallerWindow::FindWindowOf(const std::string &caption) const {
    HWND hWnd = nullptr;
    while ((hWnd = ::FindWindowExW(nullptr, hWnd, L"#32770", nullptr)) != nullptr) {
        DWORD dwPid = 0;
        ::GetWindowThreadProcessId(hWnd, &dwPid);
        if (dwPid == m_process.dwProcessId && ::IsWindowVisible(hWnd) &&
            (caption.empty() ? ::GetDlgItem(hWnd, kBoxTextId) != nullptr
                             : WindowText(hWnd) == caption))
            return hWnd;
    }
    return nullptr;
}
