#include "install/printer_port.h"

#include "install/serial_assignment.h"
#include "install/spooler_restart.h"
#include "install/usb_detection.h"
#include "res/texts.h"

namespace {

constexpr SerialLine kSerialLine = {9600, 'N', 8, 1};

} // namespace

const CPrinterPort::Role CPrinterPort::kRoles[] = {
    {nullptr, &CPrinterPort::AssignSerialPort},
    {nullptr, &CPrinterPort::DetectUsbPort},
    {&CPrinterPort::ChooseParallelPort, nullptr},
    {&CPrinterPort::ChooseTcpipPort, nullptr},
};

CPrinterPort::CPrinterPort(PortKind kind, bool bWindows7, CPortSource &source, IInstallHost &host)
    : m_kind(kind), m_bWindows7(bWindows7), m_source(source), m_host(host) {
    static_assert(sizeof(kRoles) / sizeof(kRoles[0]) == kPortKindCount, "a role per port kind");
    const CStringArray &ports = PortsOfKind(source.Lists(), kind);
    m_bAvailable = ports.GetSize() > 0;
    if (m_bAvailable)
        m_strDecided = ports[0];
}

bool CPrinterPort::Choose() {
    const auto choose = kRoles[m_kind].choose;
    if (choose == nullptr)
        return true;
    const PortChoice choice = (this->*choose)();
    const CStringArray &ports = PortsOfKind(m_source.Lists(), m_kind);
    const int nRow = ChosenRow(choice, ports, m_kind == kPortKindTcpip);
    if (nRow < 0) {
        const CString strReason = DescribeAbandonedChoice(choice);
        if (!strReason.IsEmpty())
            m_host.ShowBox(strReason, nullptr, MB_OK | MB_ICONWARNING);
        return false;
    }
    m_strDecided = ports[nRow];
    return true;
}

// One parallel port is taken without asking.
PortChoice CPrinterPort::ChooseParallelPort() {
    const CStringArray &ports = m_source.Lists().arrParallel;
    if (ports.GetSize() == 0) {
        m_host.ShowBox(kNoParallelPortText, nullptr, MB_OK | MB_ICONEXCLAMATION);
        return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
    }
    if (ports.GetSize() == 1)
        return ChoiceOfEndCode(PORTDLG_INDEX_BASE, ports[0]);
    const PortChoice choice = m_host.RunPortDialog(kPortKindParallel, m_source);
    Reread();
    return choice;
}

// Without a TCP/IP port the monitor's wizard is asked for one directly;
// the port it adds is row 0 of the list read again.
PortChoice CPrinterPort::ChooseTcpipPort() {
    if (m_source.Lists().arrTcpip.GetSize() > 0) {
        const PortChoice choice = m_host.RunPortDialog(kPortKindTcpip, m_source);
        Reread();
        return choice;
    }
    const bool bAdded = m_host.RunTcpipWizard();
    Reread();
    if (!bAdded)
        return ChoiceOfEndCode(PORTDLG_CANCELLED, CString());
    const CStringArray &ports = m_source.Lists().arrTcpip;
    return ChoiceOfEndCode(PORTDLG_ADDED, ports.GetSize() > 0 ? ports[0] : CString());
}

// Without a port of the chosen kind a printer whose port is found after
// its creation starts on the first parallel port.
CString CPrinterPort::ForCreation() const {
    if (m_bAvailable || kRoles[m_kind].assign == nullptr)
        return m_strDecided;
    const CStringArray &parallel = m_source.Lists().arrParallel;
    return parallel.GetSize() > 0 ? parallel[0] : CString();
}

void CPrinterPort::Created(LPCSTR lpszPrinterName, const CString &strPort) {
    m_strDecided = strPort;
    if (m_bAvailable) {
        m_host.ShowStatus(Formatted(kAddedStatus, lpszPrinterName));
    } else if (m_kind == kPortKindSerial) {
        m_host.ShowStatus(Formatted(kNoSerialPortStatus, static_cast<LPCSTR>(m_strDecided)));
    } else if (m_kind == kPortKindUsb) {
        // A USB port may have come with the restart.
        StartOrRestartSpooler(ServiceMode::Restart, m_host);
        Reread();
        m_host.ShowStatus(m_source.Lists().arrUsb.GetSize() > 0
                              ? Formatted(kAddedStatus, lpszPrinterName)
                              : Formatted(kNoUsbPortStatus, static_cast<LPCSTR>(m_strDecided)));
    }
}

void CPrinterPort::AssignAfterCreation(LPCSTR lpszPrinterName) {
    if (const auto assign = kRoles[m_kind].assign)
        (this->*assign)(lpszPrinterName);
}

// Retry asks the user to plug the printer in, which gives it a new
// port: the USB ports are read again before each pass. With none at all
// the box is the user's chance to plug it in.
void CPrinterPort::DetectUsbPort(LPCSTR lpszPrinterName) {
    while (
        !TryUsbPorts(lpszPrinterName, m_source.Lists().arrUsb, m_bWindows7, m_host).Succeeded() &&
        m_host.ShowBox(kUsbNotFoundText, kUsbNotFoundCaption, MB_RETRYCANCEL) == IDRETRY)
        m_source.Read();
    m_host.SetProgress(kProgressUsbDone);
}

void CPrinterPort::AssignSerialPort(LPCSTR lpszPrinterName) {
    CStringArray arrNames;
    CStringArray arrPorts;
    EnumeratePrinterList(arrNames, arrPorts);
    AssignSerialPortTo(lpszPrinterName,
                       {m_source.Lists().arrSerial, arrNames, arrPorts, m_strDecided, kSerialLine},
                       m_host);
}

void CPrinterPort::Reread() {
    m_host.ShowPortKind(m_source.Read().kind);
}
