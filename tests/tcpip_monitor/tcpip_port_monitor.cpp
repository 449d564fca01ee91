// A stand-in for the "Standard TCP/IP Port" monitor of Windows, which Wine
// lacks. It lists two ports: one with the description Windows gives them,
// one with the description a Simplified Chinese Windows gives them.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstring>

namespace {

// The spooler copies the texts out of the entries, so they may point here.
// Windows describes the monitor's ports by the monitor's name.
wchar_t g_szMonitor[] = L"Standard TCP/IP Port";
wchar_t g_szChinese[] = L"\x6807\x51C6 TCP/IP \x7AEF\x53E3";
wchar_t g_szPorts[][12] = {L"IP_10.0.0.1", L"IP_10.0.0.2"};
const PORT_INFO_2W kPorts[] = {{g_szPorts[0], g_szMonitor, g_szMonitor, PORT_TYPE_WRITE, 0},
                               {g_szPorts[1], g_szMonitor, g_szChinese, PORT_TYPE_WRITE, 0}};
// Room for the entries and the texts the spooler copies after them.
constexpr DWORD kListingBytes = 1024;

// Level 2 only: what the program asks for. The spooler counts no entries
// of a failed call.
BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
    *pcbNeeded = kListingBytes;
    if (Level != 2 || pPorts == nullptr || cbBuf < kListingBytes) {
        ::SetLastError(Level != 2 ? ERROR_INVALID_LEVEL : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(pPorts, kPorts, sizeof(kPorts));
    *pcReturned = ARRAYSIZE(kPorts);
    return TRUE;
}

} // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT, PHANDLE phMonitor) {
    static MONITOR2 monitor = {};
    monitor.cbSize = sizeof(monitor);
    monitor.pfnEnumPorts = EnumPorts;
    *phMonitor = &monitor;
    return &monitor;
}
