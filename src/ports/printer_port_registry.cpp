// Printer port registry: the keys the spooler reads a printer's port from,
// and the hardware profile's on-line flag.
#include "ports/printer_port_registry.h"

#include "res/texts.h"
#include "system/ansi_text.h"
#include "system/platform.h"

#include <cstring>
#include <string>

namespace {

constexpr char kPrintersKey[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr char kControlSet001PrintersKey[] = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
constexpr char kCurrentPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
// HKEY_CURRENT_CONFIG as the local machine's tree holds it.
constexpr char kCurrentProfileKey[] = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\";
constexpr char kDsSpoolerSubkey[] = "\\DsSpooler";
constexpr char kPortValue[] = "Port";
constexpr char kPortNameValue[] = "portName";
constexpr char kOnLineValue[] = "PrinterOnLine";
constexpr DWORD kOnLineBufferSize = 50;
constexpr int kOnLineStep = 5;

struct PortStep {
    LPCSTR pszKey;
    LPCSTR pszSubkey;
    LPCSTR pszValue;
};
const PortStep kPortSteps[] = {
    {kPrintersKey, "", kPortValue},
    {kPrintersKey, kDsSpoolerSubkey, kPortNameValue},
    {kControlSet001PrintersKey, "", kPortValue},
    {kCurrentPrintersKey, "", kPortValue},
};

// Windows keeps "portName" as a list; a value keeps the type it has, so
// that rewriting a printer's own port changes nothing else about it.
bool SetPortValue(HKEY hKey, LPCSTR pszValue, LPCSTR pszPort) {
    PlatformApi &api = Platform();
    DWORD dwType = REG_SZ;
    if (api.RegQueryValueExA(hKey, pszValue, nullptr, &dwType, nullptr, nullptr) != ERROR_SUCCESS ||
        dwType != REG_MULTI_SZ)
        dwType = REG_SZ;
    std::string data(pszPort, std::strlen(pszPort) + 1);
    if (dwType == REG_MULTI_SZ)
        data += '\0';
    return api.RegSetValueExA(hKey, pszValue, 0, dwType,
                              reinterpret_cast<const BYTE *>(data.data()),
                              static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool ClearOnLine(LPCSTR lpszPrinterName, bool &bOpened) {
    PlatformApi &api = Platform();
    const CString strKey = kCurrentPrintersKey + CString(lpszPrinterName);
    HKEY hKey = nullptr;
    bOpened = api.RegCreateKeyExA(HKEY_CURRENT_CONFIG, strKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &hKey, nullptr) == ERROR_SUCCESS;
    if (!bOpened)
        return false;
    const DWORD dwOffLine = 0;
    const bool bSet = api.RegSetValueExA(hKey, kOnLineValue, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE *>(&dwOffLine),
                                         sizeof(dwOffLine)) == ERROR_SUCCESS;
    api.RegCloseKey(hKey);
    return bSet;
}

} // namespace

std::vector<int> WritePrinterPortValues(LPCSTR lpszPrinterName, LPCSTR lpszPortName) {
    std::vector<int> failedSteps;
    if (lpszPrinterName[0] == '\0' || FindAnsiCharacter(lpszPrinterName, "\\") != nullptr)
        return failedSteps;
    PlatformApi &api = Platform();
    int nStep = 0;
    for (const PortStep &step : kPortSteps) {
        ++nStep;
        // Keys are the spooler's to make; a missing one is passed over.
        const CString strKey = step.pszKey + CString(lpszPrinterName) + step.pszSubkey;
        HKEY hKey = nullptr;
        if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                              &hKey) != ERROR_SUCCESS)
            continue;
        if (!SetPortValue(hKey, step.pszValue, lpszPortName))
            failedSteps.push_back(nStep);
        api.RegCloseKey(hKey);
    }
    bool bOpened = false;
    if (!ClearOnLine(lpszPrinterName, bOpened) && bOpened)
        failedSteps.push_back(kOnLineStep);
    return failedSteps;
}

void WritePrinterPort(LPCSTR lpszPrinterName, LPCSTR lpszPortName, IInstallHost &host) {
    for (const int nStep : WritePrinterPortValues(lpszPrinterName, lpszPortName)) {
        host.ShowBox(Formatted(kWriteFailed, nStep), nullptr, MB_OK | MB_ICONEXCLAMATION);
    }
}

bool ReadPrinterOnLine(LPCSTR lpszPrinterName, BYTE &nFlag) {
    PlatformApi &api = Platform();
    const CString strKey = kCurrentProfileKey + CString(kCurrentPrintersKey) + lpszPrinterName;
    HKEY hKey = nullptr;
    if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return false;
    BYTE data[kOnLineBufferSize] = {};
    DWORD cbData = kOnLineBufferSize;
    // A read that returns no byte says nothing about the printer.
    const bool bRead = api.RegQueryValueExA(hKey, kOnLineValue, nullptr, nullptr, data, &cbData) ==
                           ERROR_SUCCESS &&
                       cbData > 0;
    api.RegCloseKey(hKey);
    if (bRead)
        nFlag = data[0];
    return bRead;
}
