// USB port detection: each candidate written, the spooler restarted, and
// the printer's on-line flag read back.
#include "ports/usb_detection.h"

#include "ports/printer_port_registry.h"

namespace {

constexpr char kCheckingUsbStatus[] = "Checking USB ports...";
constexpr char kCheckingPortFormat[] = "%s %s %s";
constexpr char kCheckingHead[] = "Checking ";
constexpr char kCheckingTail[] = "....";
constexpr BYTE kOnLine = 1;

constexpr int kProgressPortWritten = 50;
constexpr int kProgressSpoolerRestarted = 60;
constexpr int kProgressPortFound = 70;

} // namespace

const char kUsbNotFoundText[] =
    "Failed to select USB port,please check the port is connected.\r\n\r\n"
    "Click Retry:Retry to select usb port\r\n"
    "Click Cancel:Continue installation, you can select the port after installation";
const char kUsbNotFoundCaption[] = "Fail to select port";

BYTE TryUsbPorts(LPCSTR lpszPrinterName, const CStringArray &arrCandidates, bool bWindows7,
                 IPortAssignmentHost &host) {
    host.ShowStatus(kCheckingUsbStatus);
    BYTE nFound = 0;
    for (INT_PTR i = 0; i < arrCandidates.GetSize(); ++i) {
        CString strStatus;
        strStatus.Format(kCheckingPortFormat, kCheckingHead, static_cast<LPCSTR>(arrCandidates[i]),
                         kCheckingTail);
        host.ShowStatus(strStatus);
        host.WritePrinterPort(lpszPrinterName, arrCandidates[i]);
        host.SetProgress(kProgressPortWritten);
        // Windows 7 is not asked: each port is written in turn and the last stays.
        if (bWindows7) {
            nFound = kOnLine;
            continue;
        }
        host.RestartSpooler();
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
    return nFound;
}
