// The "Advanced Language Monitor" of the sample package: a pass-through
// language monitor. It opens the printer's port through the port monitor
// below it and hands every job call and bidi request on unchanged, so the
// spooler loads and drives it as it would a vendor's monitor that adds
// nothing to the data.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

namespace {

// An open port: the handle and table of the port monitor below it.
struct Port {
    Port *pNext;
    HANDLE hPortBelow;
    const MONITOR2 *pBelow;
};

// What the monitor holds from InitializePrintMonitor2 to Shutdown: its open
// ports, on a heap of their own. A port handle is ours only while it is on
// the list, so a handle from elsewhere, or one already closed, is never read.
struct Monitor {
    HANDLE hHeap;
    CRITICAL_SECTION lock;
    Port *pPorts;
};
Monitor g_monitorState;

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

bool IsStarted(HANDLE hMonitor) {
    return hMonitor == &g_monitorState && g_monitorState.hHeap != nullptr;
}

// Looks hPort up on the list of open ports, and takes it off when asked.
Port *PortOf(HANDLE hPort, bool bUnlink = false) {
    Port *pFound = nullptr;
    if (IsStarted(&g_monitorState)) {
        EnterCriticalSection(&g_monitorState.lock);
        for (Port **ppPort = &g_monitorState.pPorts; *ppPort != nullptr;
             ppPort = &(*ppPort)->pNext) {
            if (*ppPort == hPort) {
                pFound = *ppPort;
                if (bUnlink)
                    *ppPort = pFound->pNext;
                break;
            }
        }
        LeaveCriticalSection(&g_monitorState.lock);
    }
    if (pFound == nullptr)
        SetLastError(ERROR_INVALID_HANDLE);
    return pFound;
}

// An entry of the port monitor's table, or null where that table is of an
// older, shorter MONITOR2 that ends before it.
template <class Fn> Fn EntryBelow(const MONITOR2 *pBelow, Fn MONITOR2::*pEntry) {
    const BYTE *pStart = reinterpret_cast<const BYTE *>(pBelow);
    const BYTE *pEnd = reinterpret_cast<const BYTE *>(&(pBelow->*pEntry) + 1);
    return static_cast<DWORD>(pEnd - pStart) <= pBelow->cbSize ? pBelow->*pEntry : nullptr;
}

// The port monitor must offer every job call this monitor hands on.
bool CanPassThrough(const MONITOR2 *pBelow) {
    return pBelow != nullptr && EntryBelow(pBelow, &MONITOR2::pfnClosePort) != nullptr &&
           pBelow->pfnOpenPort != nullptr && pBelow->pfnStartDocPort != nullptr &&
           pBelow->pfnWritePort != nullptr && pBelow->pfnReadPort != nullptr &&
           pBelow->pfnEndDocPort != nullptr;
}

BOOL WINAPI OpenPortEx(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR,
                       PHANDLE pHandle, MONITOR2 *pBelow) {
    if (!IsStarted(hMonitor))
        return Fail(ERROR_INVALID_HANDLE);
    if (pPortName == nullptr || pHandle == nullptr || !CanPassThrough(pBelow))
        return Fail(ERROR_INVALID_PARAMETER);
    Port *pPort =
        static_cast<Port *>(HeapAlloc(g_monitorState.hHeap, HEAP_ZERO_MEMORY, sizeof(Port)));
    if (pPort == nullptr)
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (!pBelow->pfnOpenPort(hMonitorPort, pPortName, &pPort->hPortBelow)) {
        const DWORD dwError = GetLastError();
        HeapFree(g_monitorState.hHeap, 0, pPort);
        return Fail(dwError);
    }
    pPort->pBelow = pBelow;
    EnterCriticalSection(&g_monitorState.lock);
    pPort->pNext = g_monitorState.pPorts;
    g_monitorState.pPorts = pPort;
    LeaveCriticalSection(&g_monitorState.lock);
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
    Port *pPort = PortOf(hPort, true);
    if (pPort == nullptr)
        return FALSE;
    const BOOL bClosed = pPort->pBelow->pfnClosePort(pPort->hPortBelow);
    const DWORD dwError = GetLastError();
    HeapFree(g_monitorState.hHeap, 0, pPort);
    SetLastError(dwError);
    return bClosed;
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName,
                                   LPWSTR lpInBuffer, DWORD cbInBuffer, LPWSTR lpOutBuffer,
                                   DWORD cbOutBuffer, LPDWORD lpcbReturned) {
    const Port *pPort = PortOf(hPort);
    if (pPort == nullptr)
        return FALSE;
    if ((lpInBuffer == nullptr && cbInBuffer != 0) ||
        (lpOutBuffer == nullptr && cbOutBuffer != 0) || lpcbReturned == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const auto pfnBelow = EntryBelow(pPort->pBelow, &MONITOR2::pfnGetPrinterDataFromPort);
    if (pfnBelow == nullptr)
        return Fail(ERROR_NOT_SUPPORTED);
    return pfnBelow(pPort->hPortBelow, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer,
                    cbOutBuffer, lpcbReturned);
}

// Bidi requests are the port monitor's to answer: this monitor adds nothing.
DWORD WINAPI SendRecvBidiDataFromPort(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction,
                                      PBIDI_REQUEST_CONTAINER pReqData,
                                      PBIDI_RESPONSE_CONTAINER *ppResData) {
    const Port *pPort = PortOf(hPort);
    if (pPort == nullptr)
        return ERROR_INVALID_HANDLE;
    if (pAction == nullptr || ppResData == nullptr)
        return ERROR_INVALID_PARAMETER;
    const auto pfnBelow = EntryBelow(pPort->pBelow, &MONITOR2::pfnSendRecvBidiDataFromPort);
    if (pfnBelow == nullptr)
        return ERROR_NOT_SUPPORTED;
    return pfnBelow(pPort->hPortBelow, dwAccessBit, pAction, pReqData, ppResData);
}

// The spooler has closed every port by now; what it left open is let go
// with the heap, without calling a port monitor that may be gone.
VOID WINAPI Shutdown(HANDLE hMonitor) {
    if (!IsStarted(hMonitor)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return;
    }
    HeapDestroy(g_monitorState.hHeap);
    DeleteCriticalSection(&g_monitorState.lock);
    g_monitorState = Monitor();
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
    table.pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
    table.pfnShutdown = Shutdown;
    table.pfnSendRecvBidiDataFromPort = SendRecvBidiDataFromPort;
    return table;
}

MONITOR2 g_monitor = Table();

} // namespace

// Started once per load: a second call gets the running monitor.
extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor) {
    if (pMonitorInit == nullptr || phMonitor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsStarted(&g_monitorState)) {
        g_monitorState.hHeap = HeapCreate(0, 0, 0);
        if (g_monitorState.hHeap == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        InitializeCriticalSection(&g_monitorState.lock);
    }
    *phMonitor = &g_monitorState;
    return &g_monitor;
}
