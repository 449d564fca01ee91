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

BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
    if ((Level != 1 && Level != 2) || pcbNeeded == nullptr || pcReturned == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const auto ports = Ports();
    const DWORD cbRecord = Level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    DWORD cbNeeded = 0;
    for (const auto &port : ports)
        cbNeeded += cbRecord + (port.first.size() + 1) * sizeof(wchar_t) +
                    (Level == 2 ? sizeof(kMonitorName) + sizeof(kDescription) : 0);
    *pcbNeeded = cbNeeded;
    *pcReturned = 0;
    if (pPorts == nullptr || cbBuf < cbNeeded)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto *pText = reinterpret_cast<wchar_t *>(pPorts + cbRecord * ports.size());
    const auto store = [&](const std::wstring &text) {
        wchar_t *psz = pText;
        pText = std::copy(text.begin(), text.end(), pText);
        *pText++ = L'\0';
        return psz;
    };
    for (size_t i = 0; i < ports.size(); ++i) {
        if (Level == 1) {
            reinterpret_cast<PORT_INFO_1W *>(pPorts)[i].pName = store(ports[i].first);
            continue;
        }
        PORT_INFO_2W &info = reinterpret_cast<PORT_INFO_2W *>(pPorts)[i];
        info = {store(ports[i].first), store(kMonitorName),
                store(ports[i].second ? kDescriptionChinese : kDescription), PORT_TYPE_WRITE, 0};
    }
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

constexpr MONITOR2 Table() {
    MONITOR2 table = {};
    table.cbSize = sizeof(MONITOR2);
    table.pfnEnumPorts = EnumPorts;
    table.pfnAddPort = AddPort;
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
    *phMonitor = &g_monitor;
    return &g_monitor;
}
