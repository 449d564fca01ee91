// Drives the installer as a user would: the program runs in a process
// of its own and is worked only through its windows' messages.
#pragma once

#include "res/resource.h"
#include "support/window_driver.h"

#include <cstdlib>
#include <string>

constexpr char kParallelDialogCaption[] = "Select A Parallel Port";
// Rows of the main dialog's port-kind list.
enum PortKindRow { kUsbRow = 1, kParallelRow, kTcpipRow };

// The program's main dialog; texts read and written are UTF-8.
class InstallerWindow : public WindowDriver {
public:
    // Starts the program with workDir as its current directory and waits
    // for its dialog; Window() is null when none came.
    InstallerWindow(const std::string &exePath, const std::string &workDir);
    ~InstallerWindow();
    InstallerWindow(const InstallerWindow &) = delete;
    InstallerWindow &operator=(const InstallerWindow &) = delete;

    // Waits for start-up to finish.
    bool WaitInstallEnabled() const { return WaitEnabled(IDC_INSTALL); }
    // Waits for start-up, picks the model as a user does, types the printer's
    // name, picks the port kind and clicks Install; false if any failed.
    bool StartInstall(const std::string &model, const std::string &printer, int nKindRow) const;
    // Waits until Install reads "&Finish" and returns that, or the text of
    // the message box that came first.
    std::string WaitFinish() const;

    // A visible dialog of the program with that caption, or for an empty
    // caption a message box, waited for; null if none came.
    HWND WaitWindow(const std::string &caption, DWORD dwTimeoutMs = 60000) const;
    // Takes the preselected first port in the parallel port dialog; false if none came.
    bool ConfirmParallelPort() const;
    // Waits for the process to end; returns false on time-out.
    bool WaitExit(DWORD dwTimeoutMs = 30000) const {
        return ::WaitForSingleObject(m_process.hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
    }

private:
    HWND FindWindowOf(const std::string &caption) const;

    PROCESS_INFORMATION m_process = {};
};

// Paths of the build, in the Windows form Wine understands.
std::string WinePath(const std::string &unixPath);

// The release folder, as an administrator copies it to Windows, or the one
// RELEASE_FOLDER names, whose package is packed otherwise.
const std::string kReleaseDir =
    WinePath(std::getenv("RELEASE_FOLDER") ? std::getenv("RELEASE_FOLDER") : E2E_RELEASE_DIR);
const std::string kReleaseProgram = kReleaseDir + "\\" E2E_PROGRAM;
