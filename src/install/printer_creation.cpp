// Port choice and printer creation: the first and the last step that the
// receipt and label installations share.
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "install/install_constants.h"
#include "system/platform.h"

#include <cstring>

namespace {

constexpr char kLoadDriverPrivilege[] = "SeLoadDriverPrivilege";
constexpr char kPrintProcessor[] = "WinPrint";
constexpr DWORD kPrinterInfoLevel = 2;

constexpr char kDefaultPrinterKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kDefaultPrinterValue[] = "Device";
constexpr char kDefaultPrinterFormat[] = "%s,%s,%s";
constexpr char kSpoolerDriver[] = "winspool";

constexpr char kExistsStatusHead[] = "The printer ";
constexpr char kExistsStatusTail[] = " exists,Re-adding the printer...";
constexpr char kAddedStatus[] = "Added the printer ";
constexpr char kNoSerialPortStatus[] = "There's no serial port,the current port is";
constexpr char kNoUsbPortStatus[] = "There's no USB port,the current port is";
constexpr char kDefaultStatusHead[] = "Set the printer ";
constexpr char kDefaultStatusTail[] = " to default printer";

constexpr char kPromptCaption[] = "Prompt";
constexpr char kErrorPromptCaption[] = "Error prompt";
constexpr char kNoUsefulPort[] =
    "There's no available useful port,please select other type of port";
constexpr char kMissingSystemFiles[] = "Missing system flies,please repair system";
constexpr char kAddPrinterError[] = "Error AddPrinter %d";
// The colon is the full-width one of code page 936.
constexpr char kSetRegistryFailed[] = "Error\xA3\xBA"
                                      "Failed to set regist";

// Failures are silent: the spooler says what it needs when the printer is added.
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

// The spooler refuses these names. Opened as a namesake, an empty name
// would reach the print server and a comma or backslash a port monitor or
// another machine, none of which may be purged and deleted.
bool IsPrinterNameAccepted(LPCSTR lpszPrinterName) {
    return lpszPrinterName[0] != '\0' && std::strpbrk(lpszPrinterName, ",\\") == nullptr;
}

// The spooler only reads the texts it is handed.
LPSTR SpoolerText(LPCSTR lpsz) {
    return const_cast<LPSTR>(lpsz);
}

} // namespace

bool CInstallerDlg::ChoosePortForKind() {
    const CStringArray *pPorts = nullptr;
    int nResult = PORTDLG_INDEX_BASE;
    switch (m_nPortKind) {
    case kPortKindTcpip:
        nResult = ChooseTcpipPort();
        if (nResult == PORTDLG_ADDED)
            nResult = PORTDLG_INDEX_BASE;
        pPorts = &m_arrTcpipPorts;
        break;
    case kPortKindParallel:
        nResult = ChooseParallelPort();
        pPorts = &m_arrParallelPorts;
        break;
    default:
        return true;
    }
    // A result that names no row of the list abandons the choice, as Cancel does.
    const int nRow = nResult - PORTDLG_INDEX_BASE;
    if (nResult == PORTDLG_CANCELLED || nRow < 0 || nRow >= pPorts->GetSize()) {
        m_btnInstall.EnableWindow(TRUE);
        return false;
    }
    m_strPort = (*pPorts)[nRow];
    return true;
}

void CInstallerDlg::CreatePrinterAndFinish(LPCSTR lpszDriverName, LPCSTR lpszPrinterName,
                                           DWORD dwPauseMs) {
    PlatformApi &api = Platform();
    EnableLoadDriverPrivilege();

    const bool bNameAccepted = IsPrinterNameAccepted(lpszPrinterName);
    PRINTER_DEFAULTSA defaults = {SpoolerText(kRawDatatype), nullptr, PRINTER_ALL_ACCESS};
    HANDLE hNamesake = nullptr;
    if (bNameAccepted && api.OpenPrinterA(SpoolerText(lpszPrinterName), &hNamesake, &defaults)) {
        ShowStatus(kExistsStatusHead + CString(lpszPrinterName) + kExistsStatusTail);
        api.SetPrinterA(hNamesake, 0, nullptr, PRINTER_CONTROL_PURGE);
        api.DeletePrinter(hNamesake);
        api.ClosePrinter(hNamesake);
    }

    // Without a port of the chosen kind a serial or USB printer starts on
    // the first parallel port.
    const bool bFallback =
        !g_bPortAvailable && (m_nPortKind == kPortKindSerial || m_nPortKind == kPortKindUsb);
    CString strPort = m_strPort;
    if (bFallback)
        strPort = m_arrParallelPorts.GetSize() > 0 ? m_arrParallelPorts[0] : CString();

    HANDLE hPrinter = nullptr;
    DWORD dwError = ERROR_UNKNOWN_PORT;
    if (!bNameAccepted) {
        dwError = ERROR_INVALID_PRINTER_NAME;
    } else if (!strPort.IsEmpty()) {
        PRINTER_INFO_2A info = {};
        info.pPrinterName = SpoolerText(lpszPrinterName);
        info.pPortName = SpoolerText(strPort);
        info.pDriverName = SpoolerText(lpszDriverName);
        info.pPrintProcessor = SpoolerText(kPrintProcessor);
        info.pDatatype = SpoolerText(kRawDatatype);
        hPrinter = api.AddPrinterA(nullptr, kPrinterInfoLevel, reinterpret_cast<LPBYTE>(&info));
        dwError = api.GetLastError();
    }
    if (hPrinter == nullptr) {
        ReportPrinterCreationFailure(dwError);
        return;
    }
    api.ClosePrinter(hPrinter);
    m_strPort = strPort;

    if (g_bPortAvailable) {
        ShowStatus(kAddedStatus + CString(lpszPrinterName));
    } else if (m_nPortKind == kPortKindSerial) {
        ShowStatus(kNoSerialPortStatus + strPort);
    } else if (m_nPortKind == kPortKindUsb) {
        // A USB port may have come with the restart; detection then moves
        // the printer there, else it stays where it was created.
        StartOrRestartService(kSpoolerService, SVC_RESTART);
        EnumeratePorts();
        if (m_arrUsbPorts.GetSize() > 0)
            ShowStatus(kAddedStatus + CString(lpszPrinterName));
        else
            ShowStatus(kNoUsbPortStatus + strPort);
    } else {
        SendMessage(g_nMyUpdateDataMsg, 0, 0);
    }
    m_progress.SetPos(kProgressPrinterAdded);

    if (m_bSetDefault) {
        CString strDevice;
        strDevice.Format(kDefaultPrinterFormat, lpszPrinterName, kSpoolerDriver,
                         static_cast<LPCSTR>(m_strPort));
        HKEY hKey = nullptr;
        if (api.RegOpenKeyExA(HKEY_CURRENT_USER, kDefaultPrinterKey, 0, KEY_SET_VALUE, &hKey) ==
            ERROR_SUCCESS) {
            if (api.RegSetValueExA(hKey, kDefaultPrinterValue, 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>(static_cast<LPCSTR>(strDevice)),
                                   static_cast<DWORD>(strDevice.GetLength() + 1)) != ERROR_SUCCESS)
                AfxMessageBox(kSetRegistryFailed, MB_OK);
            api.RegCloseKey(hKey);
        }
    }
    m_progress.SetPos(kProgressDefaultSet);
    ShowStatus(kDefaultStatusHead + CString(lpszPrinterName) + kDefaultStatusTail);

    if (m_nPortKind == kPortKindSerial)
        AssignSerialPort(lpszPrinterName);
    else if (m_nPortKind == kPortKindUsb && m_arrUsbPorts.GetSize() > 0)
        DetectUsbPort(lpszPrinterName);

    api.Sleep(dwPauseMs);

    // The serial assignment completes the installation itself.
    if (m_nPortKind != kPortKindSerial)
        CompleteInstallation();
}

void CInstallerDlg::ReportPrinterCreationFailure(DWORD dwError) {
    if (dwError == ERROR_UNKNOWN_PORT || dwError == ERROR_MOD_NOT_FOUND) {
        const LPCSTR pszText = dwError == ERROR_UNKNOWN_PORT ? kNoUsefulPort : kMissingSystemFiles;
        Platform().MessageBoxA(m_hWnd, pszText, kPromptCaption, MB_OK);
        m_btnInstall.SetWindowText(kReinstallCaption);
    } else {
        CString strText;
        strText.Format(kAddPrinterError, static_cast<int>(dwError));
        Platform().MessageBoxA(m_hWnd, strText, kErrorPromptCaption, MB_OK);
    }
    m_btnInstall.EnableWindow(TRUE);
    m_progress.SetPos(kProgressFailed);
}

void CInstallerDlg::CompleteInstallation() {
    m_progress.SetPos(kProgressComplete);
    m_strStatus = kCompletedStatus;
    m_btnInstall.EnableWindow(TRUE);
    m_btnInstall.SetWindowText(kFinishCaption);
    SendMessage(g_nMyUpdateDataMsg, 0, 0);
}
