// A stand-in for the print spooler service of the test prefixes. Wine's own
// spooler service reports running and does nothing more; this one, started
// by the service manager in its place, counts its starts and, like a
// Windows spooler, marks on line each printer whose port has a device
// attached: the ports a test lists under kStandInKey.
#include "support/spooler_stand_in.h"

#include <string>

namespace {

SERVICE_STATUS_HANDLE g_hStatus = nullptr;
HANDLE g_hStop = nullptr;

void Report(DWORD dwState) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = dwState;
    status.dwControlsAccepted = dwState == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    ::SetServiceStatus(g_hStatus, &status);
}

DWORD WINAPI Handler(DWORD dwControl, DWORD, LPVOID, LPVOID) {
    if (dwControl == SERVICE_CONTROL_STOP || dwControl == SERVICE_CONTROL_SHUTDOWN) {
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(g_hStop);
    }
    return NO_ERROR;
}

std::string ReadString(HKEY hKey, LPCSTR pszValue) {
    char data[1024] = {};
    DWORD cbData = sizeof(data) - 1;
    if (::RegQueryValueExA(hKey, pszValue, nullptr, nullptr, reinterpret_cast<LPBYTE>(data),
                           &cbData) != ERROR_SUCCESS)
        return "";
    return data;
}

// Counts this start and returns the attached ports, blank-separated and
// closed by a blank.
std::string CountStart() {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kStandInKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return "";
    DWORD dwStarts = 0;
    DWORD cbData = sizeof(dwStarts);
    ::RegQueryValueExA(hKey, kStandInStarts, nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwStarts),
                       &cbData);
    ++dwStarts;
    ::RegSetValueExA(hKey, kStandInStarts, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwStarts),
                     sizeof(dwStarts));
    const std::string attached = " " + ReadString(hKey, kStandInAttached) + " ";
    ::RegCloseKey(hKey);
    return attached;
}

void SetOnLine(const std::string &printer) {
    const std::string key = std::string(kSpoolerPrintersKey) + "\\" + printer;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_CONFIG, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD dwOnLine = 1;
    ::RegSetValueExA(hKey, kOnLineValue, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwOnLine),
                     sizeof(dwOnLine));
    ::RegCloseKey(hKey);
}

void MarkAttachedPrinters(const std::string &attached) {
    HKEY hPrinters = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSpoolerPrintersKey, 0, KEY_READ, &hPrinters) !=
        ERROR_SUCCESS)
        return;
    char szName[MAX_PATH];
    for (DWORD dwIndex = 0;; ++dwIndex) {
        DWORD cchName = MAX_PATH;
        if (::RegEnumKeyExA(hPrinters, dwIndex, szName, &cchName, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            break;
        HKEY hPrinter = nullptr;
        if (::RegOpenKeyExA(hPrinters, szName, 0, KEY_QUERY_VALUE, &hPrinter) != ERROR_SUCCESS)
            continue;
        const std::string port = ReadString(hPrinter, "Port");
        ::RegCloseKey(hPrinter);
        if (!port.empty() && attached.find(" " + port + " ") != std::string::npos)
            SetOnLine(szName);
    }
    ::RegCloseKey(hPrinters);
}

void WINAPI ServiceMain(DWORD, LPSTR *) {
    g_hStatus = ::RegisterServiceCtrlHandlerExA("Spooler", Handler, nullptr);
    g_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_START_PENDING);
    MarkAttachedPrinters(CountStart());
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(g_hStop, INFINITE);
    Report(SERVICE_STOPPED);
}

} // namespace

int main() {
    char szName[] = "Spooler";
    SERVICE_TABLE_ENTRYA table[] = {{szName, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
