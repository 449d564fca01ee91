// The "Advanced Language Monitor" of the sample package: a pass-through
// language monitor. It opens the printer's port through the port monitor
// below it and hands every job call on unchanged, so the spooler loads and
// drives it as it would a vendor's monitor that adds nothing to the data.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstddef>

namespace {

// An open port: the handle and table of the port monitor below it. The
// signature tells our handles from any other the caller might hand in.
struct Port {
    DWORD dwSignature;
    HANDLE hPortBelow;
    const MONITOR2 *pBelow;
};
constexpr DWORD kPortSignature = 0x4C4D5054;

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

Port *PortOf(HANDLE hPort) {
    Port *pPort = static_cast<Port *>(hPort);
    if (pPort == nullptr || pPort->dwSignature != kPortSignature) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return pPort;
}

// The port monitor must offer every call this monitor hands on.
bool CanPassThrough(const MONITOR2 *pBelow) {
    return pBelow != nullptr && pBelow->cbSize >= offsetof(MONITOR2, pfnAddPort) &&
           pBelow->pfnOpenPort != nullptr && pBelow->pfnStartDocPort != nullptr &&
           pBelow->pfnWritePort != nullptr && pBelow->pfnReadPort != nullptr &&
           pBelow->pfnEndDocPort != nullptr && pBelow->pfnClosePort != nullptr;
}

extern MONITOR2 g_monitor;

// The monitor keeps no state per instance: its handle is its own table.
HANDLE Instance() {
    return &g_monitor;
}

BOOL WINAPI OpenPortEx(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR,
                       PHANDLE pHandle, MONITOR2 *pBelow) {
    if (hMonitor != Instance())
        return Fail(ERROR_INVALID_HANDLE);
    if (pPortName == nullptr || pHandle == nullptr || !CanPassThrough(pBelow))
        return Fail(ERROR_INVALID_PARAMETER);
    Port *pPort = static_cast<Port *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Port)));
    if (pPort == nullptr)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (!pBelow->pfnOpenPort(hMonitorPort, pPortName, &pPort->hPortBelow)) {
        const DWORD dwError = GetLastError();
        HeapFree(GetProcessHeap(), 0, pPort);
        return Fail(dwError);
    }
    pPort->dwSignature = kPortSignature;
    pPort->pBelow = pBelow;
    *pHandle = pPort;
    return TRUE;
}

BOOL WINAPI StartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level,
                         LPBYTE pDocInfo) {
    const Port *pPort = PortOf(hPort);
    return pPort != nullptr &&
           pPort->pBelow->pfnStartDocPort(pPort->hPortBelow, pPrinterName, JobId, Level, pDocInfo);
}

BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
    const Port *pPort = PortOf(hPort);
    if (pPort == nullptr)
        return FALSE;
    if ((pBuffer == nullptr && cbBuf != 0) || pcbWritten == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    return pPort->pBelow->pfnWritePort(pPort->hPortBelow, pBuffer, cbBuf, pcbWritten);
}

BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead) {
    const Port *pPort = PortOf(hPort);
    if (pPort == nullptr)
        return FALSE;
    if ((pBuffer == nullptr && cbBuffer != 0) || pcbRead == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    return pPort->pBelow->pfnReadPort(pPort->hPortBelow, pBuffer, cbBuffer, pcbRead);
}

BOOL WINAPI EndDocPort(HANDLE hPort) {
    const Port *pPort = PortOf(hPort);
    return pPort != nullptr && pPort->pBelow->pfnEndDocPort(pPort->hPortBelow);
}

// The port is let go whatever the port monitor answers: the spooler does
// not close a port twice.
BOOL WINAPI ClosePort(HANDLE hPort) {
    Port *pPort = PortOf(hPort);
    if (pPort == nullptr)
        return FALSE;
    const BOOL bClosed = pPort->pBelow->pfnClosePort(pPort->hPortBelow);
    const DWORD dwError = GetLastError();
    pPort->dwSignature = 0;
    HeapFree(GetProcessHeap(), 0, pPort);
    SetLastError(dwError);
    return bClosed;
}

constexpr MONITOR2 Table() {
    MONITOR2 table = {};
    table.cbSize = sizeof(MONITOR2);
    table.pfnOpenPortEx = OpenPortEx;
    table.pfnStartDocPort = StartDocPort;
    table.pfnWritePort = WritePort;
    table.pfnReadPort = ReadPort;
    table.pfnEndDocPort = EndDocPort;
    table.pfnClosePort = ClosePort;
    return table;
}

MONITOR2 g_monitor = Table();

} // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
    if (pMonitorInit == nullptr || phMonitor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *phMonitor = Instance();
    return &g_monitor;
}
