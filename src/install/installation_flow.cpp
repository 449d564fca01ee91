// The order of an installation's steps: the port chosen, the driver staged
// and registered, the spooler started, the printer created on its port or
// the fallback, made the default, its port assigned, the end shown.
#include "install/installation_flow.h"

#include "framework/win_app.h"
#include "install/driver_tables.h"
#include "install/label_install.h"
#include "install/printer_creation.h"
#include "install/printer_port.h"
#include "install/receipt_install.h"
#include "install/spooler_restart.h"
#include "res/texts.h"
#include "system/platform.h"

namespace {

constexpr DWORD kReceiptPrinterPauseMs = 500;
constexpr DWORD kLabelPrinterPauseMs = 100;

class CInstallationFlow {
public:
    CInstallationFlow(const InstallRequest &request, IInstallHost &host, CPortSource &ports)
        : m_request(request), m_host(host), m_port(request.kind, request.bWindows7, ports, host),
          m_width(WidthProfileOf(request.bWow64)) {}

    InstallResult Run() {
        InstallOutcome outcome = InstallOutcome::kReady;
        if (m_port.Choose())
            outcome = m_request.nModelIndex < kReceiptDriverCount ? InstallReceiptDriver()
                                                                  : InstallLabelDriver();
        return {outcome, m_port.Available(), m_port.Port()};
    }

private:
    InstallOutcome InstallReceiptDriver() {
        CDriverStaging driver;
        const DriverPlan plan =
            ReceiptDriverPlan({m_request.nModelIndex, m_request.strShownName,
                               ReceiptGroupOf(m_request.nModelIndex), m_width.pszPackageFolder});
        StepResult result = driver.Prepare(m_width.pszEnvironment, plan);
        if (!result.Succeeded())
            return ReportDriverFailure(kReceiptFailureText, result, kReceiptFailureCaption);
        driver.Stage(m_host);
        StartOrRestartSpooler(ServiceMode::EnsureRunning, m_host);
        result = driver.Register(m_request.bWindowsNt, m_host);
        if (!result.Succeeded())
            return ReportDriverFailure(kReceiptFailureText, result, kReceiptFailureCaption);
        return CreatePrinterAndFinish(plan.pszDriverName, m_request.strPrinterName,
                                      kReceiptPrinterPauseMs);
    }

    InstallOutcome InstallLabelDriver() {
        CDriverStaging driver;
        CLanguageMonitor monitor;
        const DriverPlan plan =
            LabelDriverPlan(m_request.nModelIndex - kReceiptDriverCount, m_width);
        StepResult result = driver.Prepare(m_width.pszEnvironment, plan);
        if (result.Succeeded())
            result = monitor.Prepare(m_width.pszEnvironment, m_width);
        if (!result.Succeeded())
            return ReportDriverFailure(kLabelFailureText, result, AfxGetAppTitle());
        monitor.Copy(m_host);
        StartOrRestartSpooler(ServiceMode::EnsureRunning, m_host);
        // The spooler lets go of the old monitor's DLL only when it restarts.
        if (monitor.RemoveOld().Succeeded())
            StartOrRestartSpooler(ServiceMode::Restart, m_host);
        result = monitor.Register(m_host);
        if (!result.Succeeded()) {
            m_host.ShowStatus(Formatted(kMonitorFailureStatus, static_cast<int>(result.dwError)));
            m_host.ShowBox(kMonitorFailureText, AfxGetAppTitle(), MB_OK);
            return InstallOutcome::kEnd;
        }
        driver.Stage(m_host);
        result = driver.Register(m_request.bWindowsNt, m_host);
        if (!result.Succeeded())
            return ReportDriverFailure(kLabelFailureText, result, AfxGetAppTitle());
        // A label printer bears its driver's name as the list shows it.
        return CreatePrinterAndFinish(plan.pszDriverName, m_request.strShownName,
                                      kLabelPrinterPauseMs);
    }

    // Only Cancel gives up; a box that could not be shown leaves Install usable.
    InstallOutcome ReportDriverFailure(LPCSTR lpszFormat, const StepResult &result,
                                       LPCSTR lpszCaption) {
        if (m_host.ShowBox(Formatted(lpszFormat, static_cast<int>(result.dwError)), lpszCaption,
                           MB_RETRYCANCEL) == IDCANCEL)
            return InstallOutcome::kEnd;
        m_host.SetProgress(kProgressFailed);
        return InstallOutcome::kReinstall;
    }

    InstallOutcome CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName,
                                          DWORD dwPauseMs) {
        EnableLoadDriverPrivilege();
        if (!IsPrinterNameAccepted(lpszPrinterName))
            return ReportPrinterCreationFailure(ERROR_INVALID_PRINTER_NAME);
        RemoveNamesake(lpszPrinterName, m_host);
        const CString strPort = m_port.ForCreation();
        const StepResult created = strPort.IsEmpty()
                                       ? StepResult::Failure(ERROR_UNKNOWN_PORT)
                                       : AddPrinterOnPort(lpszPrinterName, strPort, lpszDriverName);
        if (!created.Succeeded())
            return ReportPrinterCreationFailure(created.dwError);
        m_port.Created(lpszPrinterName, strPort);
        m_host.SetProgress(kProgressPrinterAdded);

        if (m_request.bSetDefault) {
            const StepResult result = WriteDefaultPrinter(lpszPrinterName, m_port.Port());
            if (!result.Succeeded() && result.nStep == kDefaultValueStep)
                m_host.ShowBox(kSetRegistryFailed, nullptr, MB_OK);
        }
        m_host.SetProgress(kProgressDefaultSet);
        m_host.ShowStatus(Formatted(kDefaultStatus, lpszPrinterName));

        m_port.AssignAfterCreation(lpszPrinterName);
        Platform().Sleep(dwPauseMs);
        return CompleteInstallation();
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

    const InstallRequest &m_request;
    IInstallHost &m_host;
    CPrinterPort m_port;
    const WidthProfile &m_width;
};

} // namespace

InstallResult RunInstallation(const InstallRequest &request, IInstallHost &host,
                              CPortSource &ports) {
    return CInstallationFlow(request, host, ports).Run();
}
