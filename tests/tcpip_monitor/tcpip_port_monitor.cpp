// A stand-in for the "Standard TCP/IP Port" monitor of Windows, which Wine
// lacks. The spooler loads it into whichever process calls it, so its ports
// live in the registry, one key each under its own key, where the spooler
// also looks a port's monitor up. It lists them in name order; its add-port
// wizard, configuration dialog and delete confirmation are message boxes
// owned by the caller's window. Switches that tests set under the monitor's
// key: the address the wizard finishes with, and the errors that configure
// and delete fail with after their OK.
#include "tcpip_monitor/tcpip_monitor_keys.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kDescription[] = L"Standard TCP/IP Port";
const wchar_t kWizardCaption[] = L"Add Standard TCP/IP Printer Port Wizard";
const wchar_t kConfigureCaption[] = L"Configure Standard TCP/IP Port Monitor";
const wchar_t kDeleteCaption[] = L"Delete Standard TCP/IP Port";
const wchar_t kPortPrefix[] = L"IP_";

struct PortEntry {
    std::wstring name;
    bool bChinese;
};

BOOL Fail(DWORD dwError) {
    SetLastError(dwError);
    return FALSE;
}

DWORD ReadDword(HKEY hKey, const wchar_t *pszValue) {
    DWORD dwData = 0;
    DWORD cbData = sizeof(dwData);
    RegQueryValueExW(hKey, pszValue, nullptr, nullptr, reinterpret_cast<BYTE *>(&dwData), &cbData);
    return dwData;
}

std::wstring ReadString(HKEY hKey, const wchar_t *pszValue) {
    wchar_t szData[256] = {};
    DWORD cbData = sizeof(szData) - sizeof(wchar_t);
    RegQueryValueExW(hKey, pszValue, nullptr, nullptr, reinterpret_cast<BYTE *>(szData), &cbData);
    return szData;
}

// A key with an address is a port; a name longer than a key name may be
// goes on in subkeys, past a backslash of the name.
void CollectPorts(HKEY hKey, const std::wstring &name, std::vector<PortEntry> &ports) {
    if (!name.empty() &&
        RegQueryValueExW(hKey, kAddressValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        ports.push_back({name, ReadDword(hKey, kChineseValue) != 0});
    for (DWORD dwIndex = 0;; ++dwIndex) {
        wchar_t szSubkey[MAX_PATH] = {};
        DWORD cchSubkey = MAX_PATH;
        if (RegEnumKeyExW(hKey, dwIndex, szSubkey, &cchSubkey, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        HKEY hSubkey = nullptr;
        if (RegOpenKeyExW(hKey, szSubkey, 0, KEY_READ, &hSubkey) != ERROR_SUCCESS)
            continue;
        CollectPorts(hSubkey, name.empty() ? szSubkey : name + L"\\" + szSubkey, ports);
        RegCloseKey(hSubkey);
    }
}

std::vector<PortEntry> Ports() {
    std::vector<PortEntry> ports;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
        CollectPorts(hKey, L"", ports);
        RegCloseKey(hKey);
    }
    std::sort(ports.begin(), ports.end(),
              [](const PortEntry &a, const PortEntry &b) { return a.name < b.name; });
    return ports;
}

DWORD Switch(const wchar_t *pszValue) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    const DWORD dwData = ReadDword(hKey, pszValue);
    RegCloseKey(hKey);
    return dwData;
}

bool Confirmed(HWND hWnd, const std::wstring &text, const wchar_t *pszCaption) {
    return MessageBoxW(hWnd, text.c_str(), pszCaption, MB_OKCANCEL) == IDOK;
}

BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                      LPDWORD pcReturned) {
    if ((Level != 1 && Level != 2) || pcbNeeded == nullptr || pcReturned == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const std::vector<PortEntry> ports = Ports();
    const DWORD cbRecord = Level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    DWORD cbNeeded = 0;
    for (const PortEntry &port : ports) {
        cbNeeded += cbRecord + (port.name.size() + 1) * sizeof(wchar_t);
        if (Level == 2)
            cbNeeded += sizeof(kMonitorName) + sizeof(kDescription);
    }
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
            reinterpret_cast<PORT_INFO_1W *>(pPorts)[i].pName = store(ports[i].name);
            continue;
        }
        PORT_INFO_2W &info = reinterpret_cast<PORT_INFO_2W *>(pPorts)[i];
        info.pPortName = store(ports[i].name);
        info.pMonitorName = store(kMonitorName);
        info.pDescription = store(ports[i].bChinese ? kDescriptionChinese : kDescription);
        info.fPortType = PORT_TYPE_WRITE;
        info.Reserved = 0;
    }
    *pcReturned = static_cast<DWORD>(ports.size());
    return TRUE;
}

BOOL WINAPI OpenPort(HANDLE hMonitor, LPWSTR, PHANDLE pHandle) {
    if (pHandle == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    *pHandle = hMonitor;
    return TRUE;
}

BOOL WINAPI ClosePort(HANDLE) {
    return TRUE;
}

BOOL WINAPI AddPort(HANDLE, LPWSTR, HWND hWnd, LPWSTR) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return Fail(ERROR_NOT_SUPPORTED);
    const std::wstring address = ReadString(hKey, kNextAddressValue);
    RegCloseKey(hKey);
    const std::wstring name = kPortPrefix + address;
    if (!Confirmed(hWnd, L"Finish adding the port " + name + L"?", kWizardCaption))
        return Fail(ERROR_CANCELLED);
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + name;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &hKey, nullptr) != ERROR_SUCCESS)
        return Fail(ERROR_ACCESS_DENIED);
    RegSetValueExW(hKey, kAddressValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(address.c_str()),
                   static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    return TRUE;
}

BOOL WINAPI ConfigurePort(HANDLE, LPWSTR, HWND hWnd, LPWSTR pPortName) {
    if (!Confirmed(hWnd, std::wstring(L"Configure the port ") + pPortName, kConfigureCaption))
        return Fail(ERROR_CANCELLED);
    const DWORD dwError = Switch(kConfigureErrorValue);
    return dwError != 0 ? Fail(dwError) : TRUE;
}

// A port whose name goes on in subkeys loses its address only.
BOOL WINAPI DeletePort(HANDLE, LPWSTR, HWND hWnd, LPWSTR pPortName) {
    const std::wstring name = pPortName;
    if (!Confirmed(hWnd, L"Delete the port " + name + L"?", kDeleteCaption))
        return Fail(ERROR_CANCELLED);
    if (const DWORD dwError = Switch(kDeleteErrorValue))
        return Fail(dwError);
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + name;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return Fail(ERROR_UNKNOWN_PORT);
    const LONG lResult = RegDeleteValueW(hKey, kAddressValue);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
        return Fail(ERROR_UNKNOWN_PORT);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    return TRUE;
}

constexpr MONITOR2 Table() {
    MONITOR2 table = {};
    table.cbSize = sizeof(MONITOR2);
    table.pfnEnumPorts = EnumPorts;
    table.pfnOpenPort = OpenPort;
    table.pfnClosePort = ClosePort;
    table.pfnAddPort = AddPort;
    table.pfnConfigurePort = ConfigurePort;
    table.pfnDeletePort = DeletePort;
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
