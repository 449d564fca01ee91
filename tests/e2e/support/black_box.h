// Drives the installer as a user would: the program runs in a process
// of its own and is worked only through its windows' messages.
#pragma once

#include "res/resource.h"
#include "support/win_helpers.h"

#include <windows.h>

#include <string>
#include <vector>

// Captions of the port dialogs.
constexpr char kParallelDialogCaption[] = "Select A Parallel Port";
constexpr char kTcpipDialogCaption[] = "Configure TCP/IP PrinterPort";

// A message box the program shows.
struct MessageBoxSeen {
    HWND hWnd = nullptr;
    std::string caption;
    std::string text;
};

class InstallerWindow {
public:
    // Starts the program with workDir as its current directory and waits
    // for its dialog. Check Found() before using the window.
    InstallerWindow(const std::string &exePath, const std::string &workDir);
    ~InstallerWindow();
    InstallerWindow(const InstallerWindow &) = delete;
    InstallerWindow &operator=(const InstallerWindow &) = delete;

    bool Found() const { return m_hDlg != nullptr; }

    // Waits for start-up to finish.
    bool WaitInstallEnabled(DWORD dwTimeoutMs = 60000) const;

    std::vector<std::string> DriverList() const;
    std::string DriverText() const;
    // Picks an entry of the driver list as a user does, notification included.
    void SelectDriver(int nEntry) const;
    std::string PrinterName() const { return Text(IDC_PRINTER_NAME); }
    void SetPrinterName(const std::string &name) const;
    bool SetDefaultTicked() const;
    int SelectedPortKind() const;
    void SelectPortKind(int nRow) const { SelectRow(Item(IDC_PORT_KIND_LIST), nRow); }
    std::string Status() const { return Text(IDC_STATUS); }
    int Progress() const;

    std::string Text(int nID) const;
    bool Enabled(int nID) const { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    // Posts the click, so a modal loop the handler opens does not block the test.
    void Click(int nID) const;
    void CloseBox() const { ::PostMessageA(m_hDlg, WM_CLOSE, 0, 0); }

    HWND Window() const { return m_hDlg; }
    // A visible dialog of the program with that caption, waited for; null if none came.
    HWND WaitWindow(const std::string &caption, DWORD dwTimeoutMs = 30000) const;
    // Takes the preselected first port in the parallel port dialog that
    // Install brings up when there are several; false if none came.
    bool ConfirmParallelPort() const;
    // Presses a button of any dialog of the program; posted, as Click is.
    static void Press(HWND hDlg, int nID);

    // A list view of the program: its rows, each column's text joined by "|"
    // in UTF-8; its columns as "heading width|..."; its selected row.
    std::vector<std::string> ListRows(HWND hList) const;
    std::string ListColumns(HWND hList) const;
    static int SelectedRow(HWND hList);
    void SelectRow(HWND hList, int nRow) const;

    // The next visible message box of the program, waited for.
    MessageBoxSeen WaitMessageBox(DWORD dwTimeoutMs = 60000) const;
    static void Answer(const MessageBoxSeen &box, int nButtonId);

    // Waits until the caption of Install reads text, or a message box appears.
    bool WaitInstallCaption(const std::string &text, DWORD dwTimeoutMs = 120000) const;
    // Waits for the process to end; returns false on time-out.
    bool WaitExit(DWORD dwTimeoutMs = 30000) const;

private:
    HWND Item(int nID) const { return ::GetDlgItem(m_hDlg, nID); }

    PROCESS_INFORMATION m_process = {};
    HWND m_hDlg = nullptr;
};

// Paths of the build, in the Windows form Wine understands.
std::string WinePath(const std::string &unixPath);

// The release folder, as an administrator copies it to Windows.
const std::string kReleaseDir = WinePath(E2E_RELEASE_DIR);
const std::string kReleaseProgram = kReleaseDir + "\\" E2E_PROGRAM;
