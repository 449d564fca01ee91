// Printer port registry: the keys the spooler reads a printer's port from,
// and the hardware profile's on-line flag.
#include "install/printer_port_registry.h"

#include "framework/owned_handle.h"
#include "res/texts.h"
#include "system/ansi_text.h"
#include "system/platform.h"

#include <cstring>
#include <iterator>
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

struct PortStep {
    LPCSTR pszKey;
    LPCSTR pszSubkey;
    LPCSTR pszValue;
};
// Steps 1 to 4; the on-line flag is the last.
constexpr PortStep kPortSteps[] = {
    {kPrintersKey, "", kPortValue},
    {kPrintersKey, kDsSpoolerSubkey, kPortNameValue},
    {kControlSet001PrintersKey, "", kPortValue},
    {kCurrentPrintersKey, "", kPortValue},
};
constexpr int kOnLineStep = kPrinterPortSteps;
static_assert(std::size(kPortSteps) == kOnLineStep - 1, "the flag follows the port values");

// Windows keeps "portName" as a list; a value keeps the type it has, so
// that rewriting a printer's own port changes nothing else about it.
LONG SetPortValue(HKEY hKey, LPCSTR pszValue, LPCSTR pszPort) {
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
                              static_cast<DWORD>(data.size()));
}

// The profile's key is made when missing; where the system keeps none, as
// Wine does, the flag is passed over.
StepResult ClearOnLine(LPCSTR lpszPrinterName) {
    PlatformApi &api = Platform();
    const CString strKey = kCurrentPrintersKey + CString(lpszPrinterName);
    CRegKey key;
    if (api.RegCreateKeyExA(HKEY_CURRENT_CONFIG, strKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return {};
    const DWORD dwOffLine = 0;
    return StepResult::OfStatus(api.RegSetValueExA(key.Get(), kOnLineValue, 0, REG_DWORD,
                                                   reinterpret_cast<const BYTE *>(&dwOffLine),
                                                   sizeof(dwOffLine)),
                                kOnLineStep);
}

} // namespace

StepResult WritePrinterPortValue(LPCSTR lpszPrinterName, LPCSTR lpszPortName, int nStep) {
    if (lpszPrinterName[0] == '\0' || FindAnsiCharacter(lpszPrinterName, "\\") != nullptr)
        return {};
    if (nStep == kOnLineStep)
        return ClearOnLine(lpszPrinterName);
    const PortStep &step = kPortSteps[nStep - 1];
    // Keys are the spooler's to make; a missing one is passed over.
    const CString strKey = step.pszKey + CString(lpszPrinterName) + step.pszSubkey;
    CRegKey key;
    if (Platform().RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                                 key.Receive()) != ERROR_SUCCESS)
        return {};
    return StepResult::OfStatus(SetPortValue(key.Get(), step.pszValue, lpszPortName), nStep);
}

void WritePrinterPort(LPCSTR lpszPrinterName, LPCSTR lpszPortName, IInstallHost &host) {
    for (int nStep = 1; nStep <= kPrinterPortSteps; ++nStep) {
        const StepResult result = WritePrinterPortValue(lpszPrinterName, lpszPortName, nStep);
        if (!result.Succeeded())
            host.ShowBox(Formatted(kWriteFailed, result.nStep), nullptr,
                         MB_OK | MB_ICONEXCLAMATION);
    }
}

bool ReadPrinterOnLine(LPCSTR lpszPrinterName, BYTE &nFlag) {
    PlatformApi &api = Platform();
    const CString strKey = kCurrentProfileKey + CString(kCurrentPrintersKey) + lpszPrinterName;
    CRegKey key;
    if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKey, 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS)
        return false;
    BYTE data[kOnLineBufferSize] = {};
    DWORD cbData = kOnLineBufferSize;
    // A read that returns no byte says nothing about the printer.
    const bool bRead = api.RegQueryValueExA(key.Get(), kOnLineValue, nullptr, nullptr, data,
                                            &cbData) == ERROR_SUCCESS &&
                       cbData > 0;
    if (bRead)
        nFlag = data[0];
    return bRead;
}
