// The monitor is driven with the whole name of the port, and only the
// failures it leaves untold get a box.
#include "ports/tcpip_monitor.h"

#include "ports/port_enumeration.h"
#include "res/texts.h"
#include "system/platform.h"

#include <vector>

namespace {

// The spooler takes names as writable buffers.
std::vector<char> Writable(const CString &str) {
    return std::vector<char>(static_cast<LPCSTR>(str),
                             static_cast<LPCSTR>(str) + str.GetLength() + 1);
}

StepResult ResultOf(bool bSucceeded, TcpipMonitorCall call) {
    if (bSucceeded)
        return {};
    return StepResult::Failure(Platform().GetLastError(), call);
}

} // namespace

StepResult AddTcpipPort(HWND hOwner) {
    std::vector<char> monitor = Writable(kTcpipMonitor);
    return ResultOf(Platform().AddPortA(nullptr, hOwner, monitor.data()) == TRUE, kTcpipAddCall);
}

StepResult ConfigureTcpipPort(HWND hOwner, const CString &strPort) {
    std::vector<char> port = Writable(strPort);
    return ResultOf(Platform().ConfigurePortA(nullptr, hOwner, port.data()) != FALSE,
                    kTcpipConfigureCall);
}

StepResult DeleteTcpipPort(HWND hOwner, const CString &strPort) {
    std::vector<char> port = Writable(strPort);
    return ResultOf(Platform().DeletePortA(nullptr, hOwner, port.data()) != FALSE,
                    kTcpipDeleteCall);
}

// Any other failure, the user's cancel among them, is the monitor's to report.
TcpipPortBox DescribeTcpipFailure(const StepResult &result) {
    if (result.Succeeded())
        return {nullptr, nullptr};
    if (result.nStep == kTcpipConfigureCall && result.dwError == ERROR_NOT_SUPPORTED)
        return {kConfigureNotSupportedText, kConfigureNotSupportedCaption};
    if (result.nStep == kTcpipConfigureCall && result.dwError == ERROR_ADAP_HDW_ERR)
        return {kConfigureHardwareErrorText, kConfigureHardwareErrorCaption};
    if (result.nStep == kTcpipDeleteCall && result.dwError == ERROR_NOT_SUPPORTED)
        return {kDeleteNotSupportedText, kDeleteNotSupportedCaption};
    return {nullptr, nullptr};
}
