// The installer dialog run for an installation: a catalogue of the package's
// models, the dialog started and its start-up finished, and recorders of what
// it shows and hands the spooler.
#pragma once

#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

void SetList(CStringArray &list, const std::vector<std::string> &entries);

// The dialog with the members the tests arrange and the port choices answered.
class InstallTestDlg : public CInstallerDlg {
public:
    using CInstallerDlg::m_arrParallelPorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrTcpipPorts;
    using CInstallerDlg::m_arrUsbPorts;
    using CInstallerDlg::m_bWow64;
    using CInstallerDlg::m_strPort;

    int m_nParallelChoice = PORTDLG_INDEX_BASE;
    int m_nTcpipChoice = PORTDLG_INDEX_BASE;
    // Ports the TCP/IP choice leaves in its list, as after adding one.
    std::vector<std::string> m_tcpipPortsAfterChoice;
    std::vector<std::string> m_usbDetections;

    int ChooseParallelPort() override { return m_nParallelChoice; }
    int ChooseTcpipPort() override {
        if (!m_tcpipPortsAfterChoice.empty())
            SetList(m_arrTcpipPorts, m_tcpipPortsAfterChoice);
        return m_nTcpipChoice;
    }
    void DetectUsbPort(LPCSTR lpszPrinterName) override {
        m_usbDetections.push_back(lpszPrinterName);
    }
};

// Every status text and progress position the dialog shows, in order.
struct ShownLog {
    std::vector<std::string> statuses;
    std::vector<int> positions;
    bool Showed(const std::string &status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
};

// Message boxes, answered without a user.
struct BoxFake {
    struct Box {
        HWND hOwner;
        std::string text, caption;
        UINT uType;
    };
    static inline std::vector<Box> boxes;
    static inline int nAnswer = IDOK;
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
        boxes.push_back(
            {hWnd, lpText ? lpText : "<null>", lpCaption ? lpCaption : "<null>", uType});
        return nAnswer;
    }
};

// What AddPrinterA was handed.
struct AddedPrinter {
    std::string printerName, portName, driverName, printProcessor, datatype;
    bool bOtherFieldsZero;
};

// The printer calls of the spooler: a namesake that may exist, an add that
// may fail, every call in order.
struct PrinterFake {
    static inline std::vector<std::string> calls;
    static inline std::string namesake;
    static inline DWORD dwAddError = 0;
    static inline std::vector<AddedPrinter> added;

    static BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                    LPPRINTER_DEFAULTSA pDefault);
    static BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
    static BOOL WINAPI DeletePrinter(HANDLE hPrinter);
    static HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter);
    static BOOL WINAPI ClosePrinter(HANDLE hPrinter);
};

// The spooler service, always answering at once: Wine's own spooler service
// may take a minute to start in a new prefix, and no test here is about it.
struct ServiceFake {
    static inline DWORD dwState = SERVICE_RUNNING;
    static inline int nStops = 0, nStarts = 0;

    static BOOL WINAPI QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS lpStatus) {
        *lpStatus = {};
        lpStatus->dwCurrentState = dwState;
        return TRUE;
    }
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                      LPSERVICE_STATUS lpStatus) {
        if (dwControl == SERVICE_CONTROL_STOP) {
            ++nStops;
            dwState = SERVICE_STOPPED;
        }
        return QueryServiceStatus(hService, lpStatus);
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE, DWORD, LPCSTR *) {
        ++nStarts;
        dwState = SERVICE_RUNNING;
        return TRUE;
    }
};

// A second name of catalogue index 19, so the list can show it without its
// display name.
constexpr char kAliasOfModel19[] = "Receipt Model B05 Alias";

class InstallTest : public PlatformTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the dialog until its start-up has finished.
    template <class Dlg = InstallTestDlg> Dlg &Start() {
        auto *pDlg = new Dlg;
        m_pDlg.reset(pDlg);
        StartRunner();
        return *pDlg;
    }
    void SelectModel(const std::string &name) const {
        const HWND hList = m_pRunner->Item(1000);
        const LRESULT nEntry = ::SendMessageA(hList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(name.c_str()));
        ASSERT_NE(nEntry, CB_ERR) << name;
        ::SendMessageA(hList, CB_SETCURSEL, nEntry, 0);
    }
    void SetPrinterName(const std::string &name) const {
        ::SetWindowTextA(m_pRunner->Item(1001), name.c_str());
    }
    void SelectPortKind(int nRow) const {
        LVITEMA item = {};
        item.state = item.stateMask = LVIS_SELECTED;
        ::SendMessageA(m_pRunner->Item(1004), LVM_SETITEMSTATE, nRow,
                       reinterpret_cast<LPARAM>(&item));
    }
    // Presses Install as on a dialog no installation has finished, and
    // returns when the handler has run to its end.
    void PressInstall() const {
        ::SetWindowTextA(m_pRunner->Item(1012), "&Install");
        ::SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(1012, BN_CLICKED),
                       reinterpret_cast<LPARAM>(m_pRunner->Item(1012)));
    }

    std::string InstallCaption() const { return m_pRunner->Text(1012); }
    bool InstallEnabled() const { return m_pRunner->Enabled(1012); }
    int Progress() const {
        return static_cast<int>(::SendMessageA(m_pRunner->Item(1007), PBM_GETPOS, 0, 0));
    }
    HWND Window() const { return m_pRunner->Window(); }
    DialogRunner &Runner() { return *m_pRunner; }
    ShownLog &Shown() { return m_log; }

private:
    void StartRunner();

    std::unique_ptr<InstallTestDlg> m_pDlg;
    std::unique_ptr<DialogRunner> m_pRunner;
    ShownLog m_log;
};

// The "Device" value of the default printer, empty when there is none.
std::string DefaultPrinterDevice();
void SetDefaultPrinterDevice(const std::string &device);
