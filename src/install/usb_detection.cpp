// USB port detection: each candidate written, the spooler restarted, and
// the printer's on-line flag read back.
#include "install/usb_detection.h"

#include "install/spooler_restart.h"
#include "install/printer_port_registry.h"
#include "res/texts.h"

namespace {

constexpr BYTE kOnLine = 1;

} // namespace

StepResult TryUsbPorts(LPCSTR lpszPrinterName, const CStringArray &arrCandidates, bool bWindows7,
                       IInstallHost &host) {
    host.ShowStatus(kCheckingUsbStatus);
    BYTE nFound = 0;
    for (INT_PTR i = 0; i < arrCandidates.GetSize(); ++i) {
        host.ShowStatus(Formatted(kCheckingPortStatus, static_cast<LPCSTR>(arrCandidates[i])));
        WritePrinterPort(lpszPrinterName, arrCandidates[i], host);
        host.SetProgress(kProgressPortWritten);
        // Windows 7 is not asked: each port is written in turn and the last stays.
        if (bWindows7) {
            nFound = kOnLine;
            continue;
        }
        StartOrRestartSpooler(ServiceMode::Restart, host);
        host.SetProgress(kProgressSpoolerRestarted);
        BYTE nFlag = 0;
        if (ReadPrinterOnLine(lpszPrinterName, nFlag)) {
            nFound = nFlag;
            if (nFlag == kOnLine) {
                host.SetProgress(kProgressPortFound);
                break;
            }
        }
    }
    if (nFound == 0)
        return StepResult::Failure(ERROR_DEVICE_NOT_CONNECTED);
    return {};
}
