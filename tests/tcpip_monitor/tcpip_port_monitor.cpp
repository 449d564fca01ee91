// A stand-in for the "Standard TCP/IP Port" monitor of Windows, which Wine
// lacks. The spooler loads it into whichever process calls it, so its ports
// live in the registry, one key each under its own key, where the spooler
// also looks a port's monitor up. It lists them in name order; its add-port
// wizard is a message box owned by the caller's window.
#include "tcpip_monitor/tcpip_monitor_keys.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t kMonitorName[] = L"Standard TCP/IP Port";
const wchar_t kDescription[] = L"Standard TCP/IP Port";
const wchar_t kDescriptionChinese[] = L"\x6807\x51C6 TCP/IP \x7AEF\x53E3";

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

// Each port's name and whether its description is the Chinese one.
std::vector<std::pair<std::wstring, bool>> Ports() {
    std::vector<std::pair<std::wstring, bool>> ports;
    HKEY hKey = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &hKey);
    wchar_t szName[MAX_PATH];
    for (DWORD i = 0, cch = MAX_PATH;
         RegEnumKeyExW(hKey, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, cch = MAX_PATH) {
        DWORD dwChinese = 0;
        DWORD cbData = sizeof(dwChinese);
        RegGetValueW(hKey, szName, kChineseValue, RRF_RT_REG_DWORD, nullptr, &dwChinese, &cbData);
        ports.emplace_back(szName, dwChinese != 0);
    }
    RegCloseKey(hKey);
    std::sort(ports.begin(), ports.end());
    return ports;
}

// Level 2 only: what the program asks for.
BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
    if (Level != 2)
        return Fail(ERROR_INVALID_LEVEL);
    const auto ports = Ports();
    DWORD cbNeeded = 0;
    for (const auto &port : ports)
        cbNeeded += sizeof(PORT_INFO_2W) + (port.first.size() + 1) * sizeof(wchar_t) +
                    sizeof(kMonitorName) + sizeof(kDescription);
    *pcbNeeded = cbNeeded;
    *pcReturned = 0;
    if (pPorts == nullptr || cbBuf < cbNeeded)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto *pInfo = reinterpret_cast<PORT_INFO_2W *>(pPorts);
    auto *pText = reinterpret_cast<wchar_t *>(pInfo + ports.size());
    const auto store = [&](const std::wstring &text) {
        wchar_t *psz = pText;
        pText = std::copy(text.begin(), text.end(), pText);
        *pText++ = L'\0';
        return psz;
    };
    for (const auto &port : ports)
        *pInfo++ = {store(port.first), store(kMonitorName),
                    store(port.second ? kDescriptionChinese : kDescription), PORT_TYPE_WRITE, 0};
    *pcReturned = static_cast<DWORD>(ports.size());
    return TRUE;
}

// The wizard finishes with the address a test set under the monitor's key.
BOOL WINAPI AddPort(HANDLE, LPWSTR, HWND hWnd, LPWSTR) {
    wchar_t szAddress[64] = {};
    DWORD cbData = sizeof(szAddress) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kNextAddressValue, RRF_RT_REG_SZ, nullptr,
                 szAddress, &cbData);
    const std::wstring name = std::wstring(L"IP_") + szAddress;
    if (MessageBoxW(hWnd, (L"Finish adding the port " + name + L"?").c_str(),
                    L"Add Standard TCP/IP Printer Port Wizard", MB_OKCANCEL) != IDOK)
        return Fail(ERROR_CANCELLED);
    const DWORD dwChinese = 0;
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + name;
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), kChineseValue, REG_DWORD, &dwChinese,
                           sizeof(dwChinese)) == ERROR_SUCCESS ||
           Fail(ERROR_ACCESS_DENIED);
}

} // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT, PHANDLE phMonitor) {
    static MONITOR2 monitor = {};
    monitor.cbSize = sizeof(monitor);
    monitor.pfnEnumPorts = EnumPorts;
    monitor.pfnAddPort = AddPort;
    *phMonitor = &monitor;
    return &monitor;
}
