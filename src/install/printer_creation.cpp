// Printer creation: the last step that the receipt and label installations share.
#include "install/printer_creation.h"

#include "framework/owned_handle.h"
#include "install/install_constants.h"
#include "res/texts.h"
#include "system/ansi_text.h"
#include "system/platform.h"

namespace {

constexpr char kLoadDriverPrivilege[] = "SeLoadDriverPrivilege";
constexpr char kPrintProcessor[] = "WinPrint";

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
    CKernelHandle token;
    if (!api.OpenProcessToken(api.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                              token.Receive()))
        return;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (api.LookupPrivilegeValueA(nullptr, kLoadDriverPrivilege, &privileges.Privileges[0].Luid))
        api.AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
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
    CPrinterHandle namesake;
    if (!api.OpenPrinterA(SpoolerText(lpszPrinterName), namesake.Receive(), &defaults))
        return;
    host.ShowStatus(Formatted(kExistsStatus, lpszPrinterName));
    api.SetPrinterA(namesake.Get(), 0, nullptr, PRINTER_CONTROL_PURGE);
    api.DeletePrinter(namesake.Get());
}

StepResult AddPrinterOnPort(LPCSTR lpszPrinterName, LPCSTR lpszPort, LPCSTR lpszDriverName) {
    PlatformApi &api = Platform();
    PRINTER_INFO_2A info = {};
    info.pPrinterName = SpoolerText(lpszPrinterName);
    info.pPortName = SpoolerText(lpszPort);
    info.pDriverName = SpoolerText(lpszDriverName);
    info.pPrintProcessor = SpoolerText(kPrintProcessor);
    info.pDatatype = SpoolerText(kRawDatatype);
    const CPrinterHandle printer(
        api.AddPrinterA(nullptr, kPrinterInfoLevel, reinterpret_cast<LPBYTE>(&info)));
    if (!printer)
        return StepResult::Failure(api.GetLastError());
    return {};
}

StepResult WriteDefaultPrinter(LPCSTR lpszPrinterName, LPCSTR lpszPort) {
    PlatformApi &api = Platform();
    CString strDevice;
    strDevice.Format(kDefaultPrinterFormat, lpszPrinterName, kSpoolerDriver, lpszPort);
    CRegKey key;
    const LONG lOpened =
        api.RegOpenKeyExA(HKEY_CURRENT_USER, kDefaultPrinterKey, 0, KEY_SET_VALUE, key.Receive());
    if (lOpened != ERROR_SUCCESS)
        return StepResult::OfStatus(lOpened, kDefaultKeyStep);
    return StepResult::OfStatus(
        api.RegSetValueExA(key.Get(), kDefaultPrinterValue, 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(static_cast<LPCSTR>(strDevice)),
                           static_cast<DWORD>(strDevice.GetLength() + 1)),
        kDefaultValueStep);
}

PrinterFailure DescribePrinterFailure(DWORD dwError) {
    if (dwError == ERROR_UNKNOWN_PORT)
        return {kNoUsefulPort, kPromptCaption, true};
    if (dwError == ERROR_MOD_NOT_FOUND)
        return {kMissingSystemFiles, kPromptCaption, true};
    return {Formatted(kAddPrinterError, static_cast<int>(dwError)), kErrorPromptCaption, false};
}
