// A stand-in for the print spooler service of the test prefixes. Wine's own
// spooler service reports running and does nothing more; this one, started
// by the service manager in its place, counts its starts and, like a
// Windows spooler, marks on line each printer whose port has a device
// attached: the ports a test lists under kStandInKey.
#include "support/spooler_stand_in.h"
#include "support/win_helpers.h"

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
    if (dwControl == SERVICE_CONTROL_STOP || dwControl == SERVICE_CONTROL_SHUTDOWN)
        ::SetEvent(g_hStop);
    return NO_ERROR;
}

void CountStartAndMarkPrinters() {
    const DWORD dwStarts = StandInStarts() + 1;
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kStandInKey, kStandInStarts, REG_DWORD, &dwStarts,
                      sizeof(dwStarts));
    const std::string attached =
        " " + ReadRegistryString(HKEY_LOCAL_MACHINE, kStandInKey, kStandInAttached) + " ";
    // Without printers the key is missing and the loop below ends at once.
    HKEY hPrinters = nullptr;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSpoolerPrintersKey, 0, KEY_READ, &hPrinters);
    char szName[MAX_PATH];
    for (DWORD i = 0, cch = MAX_PATH; ::RegEnumKeyExA(hPrinters, i, szName, &cch, nullptr, nullptr,
                                                      nullptr, nullptr) == ERROR_SUCCESS;
         ++i, cch = MAX_PATH) {
        const std::string key = std::string(kSpoolerPrintersKey) + "\\" + szName;
        const std::string port = ReadRegistryString(HKEY_LOCAL_MACHINE, key, "Port");
        if (!port.empty() && attached.find(" " + port + " ") != std::string::npos)
            MarkPrinterOnLine(szName, 1);
    }
    ::RegCloseKey(hPrinters);
}

void WINAPI ServiceMain(DWORD, LPSTR *) {
    g_hStatus = ::RegisterServiceCtrlHandlerExA("Spooler", Handler, nullptr);
    g_hStop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CountStartAndMarkPrinters();
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
