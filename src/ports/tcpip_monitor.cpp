// The monitor is driven with the whole name of the port, and only the
// failures it leaves untold get a box.
#include "ports/tcpip_monitor.h"

#include "ports/port_enumeration.h"
#include "res/texts.h"
#include "system/platform.h"

#include <vector>

namespace {

constexpr TcpipPortBox kNoBox = {nullptr, nullptr};

// The spooler takes names as writable buffers.
std::vector<char> Writable(const CString &str) {
    return std::vector<char>(static_cast<LPCSTR>(str),
                             static_cast<LPCSTR>(str) + str.GetLength() + 1);
}

} // namespace

bool AddTcpipPort(HWND hOwner) {
    std::vector<char> monitor = Writable(kTcpipMonitor);
    return Platform().AddPortA(nullptr, hOwner, monitor.data()) == TRUE;
}

TcpipPortBox ConfigureTcpipPort(HWND hOwner, const CString &strPort) {
    std::vector<char> port = Writable(strPort);
    if (Platform().ConfigurePortA(nullptr, hOwner, port.data()))
        return kNoBox;
    // Any other failure, the user's cancel among them, is the monitor's to report.
    const DWORD dwError = Platform().GetLastError();
    if (dwError == ERROR_NOT_SUPPORTED)
        return {kConfigureNotSupportedText, kConfigureNotSupportedCaption};
    if (dwError == ERROR_ADAP_HDW_ERR)
        return {kConfigureHardwareErrorText, kConfigureHardwareErrorCaption};
    return kNoBox;
}

TcpipPortBox DeleteTcpipPort(HWND hOwner, const CString &strPort) {
    std::vector<char> port = Writable(strPort);
    if (!Platform().DeletePortA(nullptr, hOwner, port.data()) &&
        Platform().GetLastError() == ERROR_NOT_SUPPORTED)
        return {kDeleteNotSupportedText, kDeleteNotSupportedCaption};
    return kNoBox;
}
