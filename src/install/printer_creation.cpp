// Printer creation: the last step that the receipt and label installations share.
#include "install/printer_creation.h"

#include "install/install_constants.h"
#include "res/texts.h"
#include "system/ansi_text.h"
#include "system/platform.h"

namespace {

constexpr char kLoadDriverPrivilege[] = "SeLoadDriverPrivilege";
constexpr char kPrintProcessor[] = "WinPrint";
constexpr DWORD kPrinterInfoLevel = 2;

constexpr char kDefaultPrinterKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDefaultPrinterValue[] = "Device";
constexpr char kDefaultPrinterFormat[] = "%s,%s,%s";
constexpr char kSpoolerDriver[] = "winspool";

// The spooler only reads the texts it is handed.
LPSTR SpoolerText(LPCSTR lpsz) {
    return const_cast<LPSTR>(lpsz);
}

} // namespace

void EnableLoadDriverPrivilege() {
    PlatformApi &api = Platform();
    HANDLE hToken = nullptr;
    if (!api.OpenProcessToken(api.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                              &hToken))
        return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (api.LookupPrivilegeValueA(nullptr, kLoadDriverPrivilege, &privileges.Privileges[0].Luid))
        api.AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, nullptr, nullptr);
    api.CloseHandle(hToken);
}

// Opened as a namesake, an empty name would reach the print server and a
// comma or backslash a port monitor or another machine, none of which may
// be purged and deleted.
bool IsPrinterNameAccepted(LPCSTR lpszPrinterName) {
    return lpszPrinterName[0] != '\0' && FindAnsiCharacter(lpszPrinterName, ",\\") == nullptr;
}

void RemoveNamesake(LPCSTR lpszPrinterName, IInstallHost &host) {
    PlatformApi &api = Platform();
    PRINTER_DEFAULTSA defaults = {SpoolerText(kRawDatatype), nullptr, PRINTER_ALL_ACCESS};
    HANDLE hNamesake = nullptr;
    if (!api.OpenPrinterA(SpoolerText(lpszPrinterName), &hNamesake, &defaults))
        return;
    host.ShowStatus(Formatted(kExistsStatus, lpszPrinterName));
    api.SetPrinterA(hNamesake, 0, nullptr, PRINTER_CONTROL_PURGE);
    api.DeletePrinter(hNamesake);
    api.ClosePrinter(hNamesake);
}

DWORD AddPrinterOnPort(LPCSTR lpszPrinterName, LPCSTR lpszPort, LPCSTR lpszDriverName) {
    PlatformApi &api = Platform();
    PRINTER_INFO_2A info = {};
    info.pPrinterName = SpoolerText(lpszPrinterName);
    info.pPortName = SpoolerText(lpszPort);
    info.pDriverName = SpoolerText(lpszDriverName);
    info.pPrintProcessor = SpoolerText(kPrintProcessor);
    info.pDatatype = SpoolerText(kRawDatatype);
    const HANDLE hPrinter =
        api.AddPrinterA(nullptr, kPrinterInfoLevel, reinterpret_cast<LPBYTE>(&info));
    if (hPrinter == nullptr)
        return api.GetLastError();
    api.ClosePrinter(hPrinter);
    return ERROR_SUCCESS;
}

bool WriteDefaultPrinter(LPCSTR lpszPrinterName, LPCSTR lpszPort) {
    PlatformApi &api = Platform();
    CString strDevice;
    strDevice.Format(kDefaultPrinterFormat, lpszPrinterName, kSpoolerDriver, lpszPort);
    HKEY hKey = nullptr;
    if (api.RegOpenKeyExA(HKEY_CURRENT_USER, kDefaultPrinterKey, 0, KEY_SET_VALUE, &hKey) !=
        ERROR_SUCCESS)
        return true;
    const bool bWritten =
        api.RegSetValueExA(hKey, kDefaultPrinterValue, 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(static_cast<LPCSTR>(strDevice)),
                           static_cast<DWORD>(strDevice.GetLength() + 1)) == ERROR_SUCCESS;
    api.RegCloseKey(hKey);
    return bWritten;
}

PrinterFailure DescribePrinterFailure(DWORD dwError) {
    if (dwError == ERROR_UNKNOWN_PORT)
        return {kNoUsefulPort, kPromptCaption, true};
    if (dwError == ERROR_MOD_NOT_FOUND)
        return {kMissingSystemFiles, kPromptCaption, true};
    return {Formatted(kAddPrinterError, static_cast<int>(dwError)), kErrorPromptCaption, false};
}
