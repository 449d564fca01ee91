// The installer dialog run for an installation: a catalogue of the package's
// models, the dialog started and its start-up finished, and recorders of what
// it shows and hands the spooler.
#pragma once

#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"

#include <memory>
#include <string>
#include <vector>

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
    int m_nPortChoices = 0;
    std::vector<std::string> m_usbDetections;

    int ChooseParallelPort() override;
    int ChooseTcpipPort() override;
    void DetectUsbPort(LPCSTR lpszPrinterName) override;
};

// Every status text and progress position the dialog shows, in order.
struct ShownLog {
    std::vector<std::string> statuses;
    std::vector<int> positions;
    bool Showed(const std::string &status) const;
};

struct BoxSeen {
    HWND hOwner;
    std::string text;
    std::string caption;
    UINT uType;
};

// Message boxes, answered without a user.
struct BoxFake {
    static std::vector<BoxSeen> boxes;
    static int nAnswer;
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
};

// What AddPrinterA was handed.
struct AddedPrinter {
    DWORD dwLevel = 0;
    std::string printerName;
    std::string portName;
    std::string driverName;
    std::string printProcessor;
    std::string datatype;
    bool bOtherFieldsZero = false;
};

// The printer calls of the spooler: a namesake that may exist, an add that
// may fail, every call in order.
struct PrinterFake {
    static std::vector<std::string> calls;
    static std::string namesake;
    static std::string openedDatatype;
    static bool bOpenedWithoutDevMode;
    static DWORD dwOpenedAccess;
    static DWORD dwAddError;
    static std::vector<AddedPrinter> added;

    static void Reset();
    static void Install(PlatformApi &api);
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
    static DWORD dwState;
    static int nStops;
    static int nStarts;

    static void Reset();
    static void Install(PlatformApi &api);
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpStatus);
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                      LPSERVICE_STATUS lpStatus);
    static BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs,
                                     LPCSTR *lpServiceArgVectors);
};

constexpr char kCatalogueFile[] = "C:\\DriverName.cfg";
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
    void SelectModel(const std::string &name) const;
    void SetPrinterName(const std::string &name) const;
    void SetDefaultTicked(bool bTicked) const;
    void SelectPortKind(int nRow) const;
    // Presses Install and returns when the handler has run to its end.
    void PressInstall() const;

    std::string InstallCaption() const { return m_pRunner->Text(1012); }
    bool InstallEnabled() const { return m_pRunner->Enabled(1012); }
    int Progress() const;
    HWND Window() const { return m_pRunner->Window(); }
    DialogRunner &Runner() { return *m_pRunner; }
    const ShownLog &Shown() const { return m_log; }

private:
    void StartRunner();

    std::unique_ptr<InstallTestDlg> m_pDlg;
    std::unique_ptr<DialogRunner> m_pRunner;
    ShownLog m_log;
};

// The "Device" value of the default printer, empty when there is none.
std::string DefaultPrinterDevice();
void SetDefaultPrinterDevice(const std::string &device);
