// The order of an installation's steps: the port chosen, the driver staged
// and registered, the spooler started, the printer created on its port or
// the fallback, made the default, its port assigned, the end shown.
#include "install/installation_flow.h"

#include "framework/win_app.h"
#include "install/driver_tables.h"
#include "install/install_constants.h"
#include "install/label_install.h"
#include "install/printer_creation.h"
#include "install/receipt_install.h"
#include "install/spooler_service.h"
#include "ports/serial_assignment.h"
#include "ports/usb_detection.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr DWORD kReceiptPrinterPauseMs = 500;
constexpr DWORD kLabelPrinterPauseMs = 100;
constexpr SerialLine kSerialLine = {9600, 'N', 8, 1};

class CInstallationFlow {
public:
    CInstallationFlow(const InstallRequest &request, IInstallHost &host)
        : m_request(request), m_host(host), m_ports(request.ports), m_strPort(request.strPort),
          m_width(WidthProfileOf(request.bWow64)) {}

    InstallOutcome Run() {
        if (!ChoosePortForKind())
            return InstallOutcome::kReady;
        return m_request.nModelIndex < kReceiptDriverCount ? InstallReceiptDriver()
                                                           : InstallLabelDriver();
    }

private:
    InstallOutcome InstallReceiptDriver() {
        CDriverStaging driver;
        DWORD dwError = ERROR_SUCCESS;
        const DriverPlan plan =
            ReceiptDriverPlan({m_request.nModelIndex, m_request.strShownName,
                               ReceiptGroupOf(m_request.nModelIndex), m_width.pszPackageFolder});
        if (!driver.Prepare(m_width.pszEnvironment, plan, dwError))
            return ReportDriverFailure(Formatted(kReceiptFailureText, static_cast<int>(dwError)),
                                       kReceiptFailureCaption);
        driver.Stage(m_host);
        StartOrRestartShown(kSpoolerService, ServiceMode::EnsureRunning, m_host);
        if (!driver.Register(m_request.bWindowsNt, m_host, dwError))
            return ReportDriverFailure(Formatted(kReceiptFailureText, static_cast<int>(dwError)),
                                       kReceiptFailureCaption);
        return CreatePrinterAndFinish(plan.pszDriverName, m_request.strPrinterName,
                                      kReceiptPrinterPauseMs);
    }

    InstallOutcome InstallLabelDriver() {
        CDriverStaging driver;
        CLanguageMonitor monitor;
        DWORD dwError = ERROR_SUCCESS;
        const DriverPlan plan =
            LabelDriverPlan(m_request.nModelIndex - kReceiptDriverCount, m_width);
        if (!driver.Prepare(m_width.pszEnvironment, plan, dwError) ||
            !monitor.Prepare(m_width.pszEnvironment, m_width, dwError))
            return ReportDriverFailure(Formatted(kLabelFailureText, static_cast<int>(dwError)),
                                       AfxGetAppTitle());
        monitor.Copy(m_host);
        StartOrRestartShown(kSpoolerService, ServiceMode::EnsureRunning, m_host);
        // The spooler lets go of the old monitor's DLL only when it restarts.
        if (monitor.RemoveOld())
            StartOrRestartShown(kSpoolerService, ServiceMode::Restart, m_host);
        if (!monitor.Register(m_host, dwError)) {
            m_host.ShowStatus(Formatted(kMonitorFailureStatus, static_cast<int>(dwError)));
            m_host.ShowBox(kMonitorFailureText, AfxGetAppTitle(), MB_OK);
            return InstallOutcome::kEnd;
        }
        driver.Stage(m_host);
        if (!driver.Register(m_request.bWindowsNt, m_host, dwError))
            return ReportDriverFailure(Formatted(kLabelFailureText, static_cast<int>(dwError)),
                                       AfxGetAppTitle());
        // A label printer bears its driver's name as the list shows it.
        return CreatePrinterAndFinish(plan.pszDriverName, m_request.strShownName,
                                      kLabelPrinterPauseMs);
    }

    // Only Cancel gives up; a box that could not be shown leaves Install usable.
    InstallOutcome ReportDriverFailure(LPCSTR lpszText, LPCSTR lpszCaption) {
        if (m_host.ShowBox(lpszText, lpszCaption, MB_RETRYCANCEL) == IDCANCEL)
            return InstallOutcome::kEnd;
        m_host.SetProgress(kProgressFailed);
        return InstallOutcome::kReinstall;
    }

    bool ChoosePortForKind() {
        const auto choose = kRoles[m_request.kind].choose;
        if (choose == nullptr)
            return true;
        const PortChoice choice = (this->*choose)();
        const CStringArray &ports = PortsOfKind(m_ports, m_request.kind);
        const int nRow = ChosenRow(choice, ports, m_request.kind == kPortKindTcpip);
        if (nRow < 0) {
            const CString strReason = DescribeAbandonedChoice(choice);
            if (!strReason.IsEmpty())
                m_host.ShowBox(strReason, nullptr, MB_OK | MB_ICONWARNING);
            return false;
        }
        m_strPort = ports[nRow];
        return true;
    }

    // One parallel port is taken without asking.
    PortChoice ChooseParallelPort() {
        const CStringArray &ports = m_ports.arrParallel;
        if (ports.GetSize() == 0) {
            m_host.ShowBox(kNoParallelPortText, nullptr, MB_OK | MB_ICONEXCLAMATION);
            return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
        }
        if (ports.GetSize() == 1)
            return ChoiceOfEndCode(PORTDLG_INDEX_BASE, ports[0]);
        const PortChoice choice = m_host.RunPortDialog(kPortKindParallel);
        m_ports = m_host.RefreshPorts();
        return choice;
    }

    // Without a TCP/IP port the monitor's wizard is asked for one directly;
    // the port it adds is row 0 of the refreshed list.
    PortChoice ChooseTcpipPort() {
        if (m_ports.arrTcpip.GetSize() > 0) {
            const PortChoice choice = m_host.RunPortDialog(kPortKindTcpip);
            m_ports = m_host.RefreshPorts();
            return choice;
        }
        const bool bAdded = m_host.RunTcpipWizard();
        m_ports = m_host.RefreshPorts();
        if (!bAdded)
            return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
        return ChoiceOfEndCode(PORTDLG_ADDED,
                               m_ports.arrTcpip.GetSize() > 0 ? m_ports.arrTcpip[0] : CString());
    }

    // Without a port of the chosen kind a printer whose port is found after
    // its creation starts on the first parallel port.
    CString PortForCreation() const {
        const bool bFallback =
            !m_request.bPortAvailable && kRoles[m_request.kind].assign != nullptr;
        if (!bFallback)
            return m_strPort;
        return m_ports.arrParallel.GetSize() > 0 ? m_ports.arrParallel[0] : CString();
    }

    InstallOutcome CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName,
                                          DWORD dwPauseMs) {
        EnableLoadDriverPrivilege();
        if (!IsPrinterNameAccepted(lpszPrinterName))
            return ReportPrinterCreationFailure(ERROR_INVALID_PRINTER_NAME);
        RemoveNamesake(lpszPrinterName, m_host);
        const CString strPort = PortForCreation();
        const DWORD dwError = strPort.IsEmpty()
                                  ? ERROR_UNKNOWN_PORT
                                  : AddPrinterOnPort(lpszPrinterName, strPort, lpszDriverName);
        if (dwError != ERROR_SUCCESS)
            return ReportPrinterCreationFailure(dwError);
        m_strPort = strPort;
        ShowPrinterAdded(lpszPrinterName);
        m_host.SetProgress(kProgressPrinterAdded);

        if (m_request.bSetDefault && !WriteDefaultPrinter(lpszPrinterName, m_strPort))
            m_host.ShowBox(kSetRegistryFailed, nullptr, MB_OK);
        m_host.SetProgress(kProgressDefaultSet);
        m_host.ShowStatus(Formatted(kDefaultStatus, lpszPrinterName));

        if (const auto assign = kRoles[m_request.kind].assign)
            (this->*assign)(lpszPrinterName);

        Platform().Sleep(dwPauseMs);
        return CompleteInstallation();
    }

    void ShowPrinterAdded(LPCSTR lpszPrinterName) {
        if (m_request.bPortAvailable) {
            m_host.ShowStatus(Formatted(kAddedStatus, lpszPrinterName));
        } else if (m_request.kind == kPortKindSerial) {
            m_host.ShowStatus(Formatted(kNoSerialPortStatus, static_cast<LPCSTR>(m_strPort)));
        } else if (m_request.kind == kPortKindUsb) {
            // A USB port may have come with the restart.
            StartOrRestartShown(kSpoolerService, ServiceMode::Restart, m_host);
            m_ports = m_host.RefreshPorts();
            m_host.ShowStatus(m_ports.arrUsb.GetSize() > 0
                                  ? Formatted(kAddedStatus, lpszPrinterName)
                                  : Formatted(kNoUsbPortStatus, static_cast<LPCSTR>(m_strPort)));
        }
    }

    InstallOutcome ReportPrinterCreationFailure(DWORD dwError) {
        const PrinterFailure failure = DescribePrinterFailure(dwError);
        m_host.ShowBox(failure.strText, failure.pszCaption, MB_OK);
        m_host.SetProgress(kProgressFailed);
        return failure.bReinstall ? InstallOutcome::kReinstall : InstallOutcome::kReady;
    }

    InstallOutcome CompleteInstallation() {
        m_host.SetProgress(kProgressComplete);
        // The serial assignment's status names the printer's port; it stays.
        if (m_request.kind != kPortKindSerial)
            m_host.ShowStatus(kCompletedStatus);
        return InstallOutcome::kFinished;
    }

    // Retry asks the user to plug the printer in, which gives it a new
    // port: the USB ports are read again before each pass. With none at all
    // the box is the user's chance to plug it in.
    void DetectUsbPort(LPCSTR lpszPrinterName) {
        while (TryUsbPorts(lpszPrinterName, m_ports.arrUsb, m_request.bWindows7, m_host) == 0 &&
               m_host.ShowBox(kUsbNotFoundText, kUsbNotFoundCaption, MB_RETRYCANCEL) == IDRETRY)
            m_ports.arrUsb = EnumeratePortLists().arrUsb;
        m_host.SetProgress(kProgressUsbDone);
    }

    void AssignSerialPort(LPCSTR lpszPrinterName) {
        CStringArray arrNames;
        CStringArray arrPorts;
        EnumeratePrinterList(arrNames, arrPorts);
        AssignSerialPortTo(lpszPrinterName,
                           {m_ports.arrSerial, arrNames, arrPorts, m_strPort, kSerialLine}, m_host);
    }

    // What each kind of port does before the printer is created and after:
    // a choice of port, or a port found for the printer.
    struct PortKindRole {
        PortChoice (CInstallationFlow::*choose)();
        void (CInstallationFlow::*assign)(LPCSTR lpszPrinterName);
    };
    static constexpr PortKindRole kRoles[] = {
        {nullptr, &CInstallationFlow::AssignSerialPort},
        {nullptr, &CInstallationFlow::DetectUsbPort},
        {&CInstallationFlow::ChooseParallelPort, nullptr},
        {&CInstallationFlow::ChooseTcpipPort, nullptr},
    };

    const InstallRequest &m_request;
    IInstallHost &m_host;
    PortLists m_ports;
    CString m_strPort;
    const WidthProfile &m_width;
};

} // namespace

InstallOutcome RunInstallation(const InstallRequest &request, IInstallHost &host) {
    return CInstallationFlow(request, host).Run();
}
