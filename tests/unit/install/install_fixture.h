// The installer dialog run for an installation: the catalogue of the driver
// tables, the dialog started and its start-up finished, the spooler's
// printer calls recorded, and every status and progress position it shows.
#pragma once

#include "res/resource.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using Texts = std::vector<std::string>;

void SetList(CStringArray &list, const Texts &entries);

// The dialog with the members the tests arrange and the port choices answered.
class InstallTestDlg : public CInstallerDlg {
public:
    using CInstallerDlg::m_arrParallelPorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrTcpipPorts;
    using CInstallerDlg::m_arrUsbPorts;
    using CInstallerDlg::m_bWow64;
    using CInstallerDlg::m_strPort;

    PortChoice m_parallelChoice = {PortChoice::kRow, 0};
    PortChoice m_tcpipChoice = {PortChoice::kRow, 0};
    // Ports the TCP/IP choice leaves in its list, as after adding one.
    Texts m_tcpipPortsAfterChoice;
    Texts m_usbDetections;

    PortChoice ChooseParallelPort() override { return m_parallelChoice; }
    PortChoice ChooseTcpipPort() override {
        if (!m_tcpipPortsAfterChoice.empty())
            SetList(m_arrTcpipPorts, m_tcpipPortsAfterChoice);
        return m_tcpipChoice;
    }
    void DetectUsbPort(LPCSTR lpszPrinterName) override {
        m_usbDetections.push_back(lpszPrinterName);
    }
};

// Every status text and progress position the dialog shows, in order.
struct ShownLog {
    Texts statuses;
    std::vector<int> positions;
    bool Showed(const std::string &status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
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
    static inline Texts calls;
    static inline std::string namesake;
    static inline DWORD dwAddError = 0;
    static inline std::vector<AddedPrinter> added;

    static void Install(PlatformApi &api);
    static BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                    LPPRINTER_DEFAULTSA pDefault);
    static BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
    static BOOL WINAPI DeletePrinter(HANDLE hPrinter);
    static HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter);
    static BOOL WINAPI ClosePrinter(HANDLE hPrinter);
};

// Copies and deletions are real, and recorded.
struct FileSpy {
    static inline std::vector<std::pair<std::string, std::string>> copies;
    static inline Texts deletions;

    static void Install(PlatformApi &api);
    static BOOL WINAPI CopyFileA(LPCSTR lpExisting, LPCSTR lpNew, BOOL bFailIfExists);
    static BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
};

class InstallTest : public PlatformTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the dialog until its start-up has finished, ready to install
    // model as printer on the kind's ports.
    template <class Dlg = InstallTestDlg>
    Dlg &StartFor(const std::string &model, const std::string &printer, int nPortKind) {
        auto *pDlg = new Dlg;
        m_pDlg.reset(pDlg);
        StartRunner();
        EXPECT_TRUE(Runner().SelectModel(model)) << model;
        Runner().SetText(IDC_PRINTER_NAME, printer);
        Runner().SelectPortKind(nPortKind);
        return *pDlg;
    }
    // Presses Install as on a dialog no installation has finished.
    void PressInstall() {
        Runner().SetText(IDC_INSTALL, "&Install");
        m_log = {};
        Runner().PressInstall();
    }

    std::string InstallCaption() const { return m_pRunner->Text(IDC_INSTALL); }
    bool InstallEnabled() const { return m_pRunner->Enabled(IDC_INSTALL); }
    DialogRunner &Runner() const { return *m_pRunner; }
    const ShownLog &Shown() const { return m_log; }

private:
    void StartRunner();

    std::unique_ptr<InstallTestDlg> m_pDlg;
    std::unique_ptr<DialogRunner> m_pRunner;
    ShownLog m_log;
};
