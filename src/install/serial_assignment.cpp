// Serial port assignment: one device gets the printer and its line
// settings, several leave it alone, none leave it where it was created.
// The spooler is restarted so that it reads the ports again.
#include "install/serial_assignment.h"

#include "framework/owned_handle.h"
#include "install/install_constants.h"
#include "install/printer_port_registry.h"
#include "install/spooler_restart.h"
#include "ports/port_enumeration.h"
#include "res/texts.h"
#include "system/platform.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kPrinterEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

constexpr char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
constexpr char kLineFormat[] = "%d,%c,%d,%d";

CString SettingsLine(const SerialLine &line) {
    // The parity is stored in upper case and written in lower case.
    const int chParity =
        line.chParity >= 'A' && line.chParity <= 'Z' ? line.chParity + 32 : line.chParity;
    CString strLine;
    strLine.Format(kLineFormat, line.nBaudRate, chParity, line.nDataBits, line.nStopBits);
    return strLine;
}

// A system without the ports key keeps no line settings: nothing to write.
StepResult WriteLineSettings(LPCSTR pszPort, const SerialLine &line) {
    PlatformApi &api = Platform();
    CRegKey key;
    if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_SET_VALUE, key.Receive()) !=
        ERROR_SUCCESS)
        return {};
    const CString strLine = SettingsLine(line);
    return StepResult::OfStatus(api.RegSetValueExA(
        key.Get(), pszPort, 0, REG_SZ, reinterpret_cast<const BYTE *>(static_cast<LPCSTR>(strLine)),
        static_cast<DWORD>(strLine.GetLength() + 1)));
}

// Rewrites each serial printer's own port, which clears its on-line flag
// until the spooler sees the device again.
void RefreshSerialPrinters(const SerialAssignment &assignment, IInstallHost &host) {
    const INT_PTR nPrinters =
        std::min(assignment.arrPrinterNames.GetSize(), assignment.arrPrinterPorts.GetSize());
    for (INT_PTR i = 0; i < nPrinters; ++i) {
        const CString &strPort = assignment.arrPrinterPorts[i];
        if (IsSerialPortName(strPort))
            WritePrinterPort(assignment.arrPrinterNames[i], strPort, host);
    }
}

} // namespace

BOOL EnumeratePrinterList(CStringArray &arrNames, CStringArray &arrPorts) {
    PlatformApi &api = Platform();
    char szEmpty[] = "";
    DWORD cbNeeded = 0;
    DWORD cReturned = 0;
    api.EnumPrintersA(kPrinterEnumFlags, szEmpty, kPrinterInfoLevel, nullptr, 0, &cbNeeded,
                      &cReturned);
    std::vector<BYTE> buffer(cbNeeded);
    if (!api.EnumPrintersA(kPrinterEnumFlags, szEmpty, kPrinterInfoLevel, buffer.data(), cbNeeded,
                           &cbNeeded, &cReturned))
        return FALSE;
    arrNames.RemoveAll();
    arrPorts.RemoveAll();
    const auto *pPrinters = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
    for (DWORD i = 0; i < cReturned; ++i) {
        arrNames.Add(pPrinters[i].pPrinterName);
        arrPorts.Add(pPrinters[i].pPortName);
    }
    return cReturned > 0 ? TRUE : FALSE;
}

void AssignSerialPortTo(LPCSTR lpszPrinterName, const SerialAssignment &assignment,
                        IInstallHost &host) {
    host.SetProgress(kProgressPrintersListed);
    const INT_PTR nDevices = assignment.arrSerialPorts.GetSize();
    if (nDevices > 1) {
        host.ShowStatus(
            Formatted(kSeveralDevicesStatus, static_cast<LPCSTR>(assignment.arrSerialPorts[0])));
        return;
    }
    if (nDevices == 1) {
        const CString &strPort = assignment.arrSerialPorts[0];
        WritePrinterPort(lpszPrinterName, strPort, host);
        StartOrRestartSpooler(ServiceMode::Restart, host);
        if (!WriteLineSettings(strPort, assignment.line).Succeeded())
            host.ShowBox(kSetPortsFailed, nullptr, MB_OK | MB_ICONEXCLAMATION);
    }
    RefreshSerialPrinters(assignment, host);
    host.SetProgress(kProgressPrintersRefreshed);
    StartOrRestartSpooler(ServiceMode::Restart, host);
    if (nDevices == 1)
        host.ShowStatus(
            Formatted(kOneDeviceStatus, static_cast<LPCSTR>(assignment.arrSerialPorts[0])));
    else
        host.ShowStatus(Formatted(kNoDeviceStatus, assignment.pszCreatedPort));
}
