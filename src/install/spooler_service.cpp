// Print spooler service control: start the service if stopped, or restart it.
#include "shell/installer_dlg.h"

#include "framework/win_app.h"
#include "system/platform.h"

namespace {

constexpr char kStatusUnknown[] = "Service status is unknown";
constexpr char kStateNotReached[] = "The service %s did not reach the %s state.";
constexpr char kStoppedState[] = "stopped";
constexpr char kRunningState[] = "running";

// A service that starts or stops at all does so well within a minute; the
// pause keeps the wait from taking a processor away from that service.
constexpr DWORD kQueryPauseMs = 50;
constexpr DWORD kWaitLimitMs = 60000;

void ReportStateNotReached(LPCSTR lpszServiceName, DWORD dwState) {
    CString strMessage;
    strMessage.Format(kStateNotReached, lpszServiceName,
                      dwState == SERVICE_RUNNING ? kRunningState : kStoppedState);
    AfxMessageBox(strMessage, MB_OK | MB_ICONWARNING);
}

// Waits for the service to report dwState: the state already held first,
// then queries with a pause between them; reports a service that does not
// get there in time.
bool WaitForState(SC_HANDLE hService, LPCSTR lpszServiceName, SERVICE_STATUS &status,
                  DWORD dwState) {
    if (status.dwCurrentState == dwState)
        return true;
    const DWORD dwStart = Platform().GetTickCount();
    while (Platform().QueryServiceStatus(hService, &status)) {
        if (status.dwCurrentState == dwState)
            return true;
        if (Platform().GetTickCount() - dwStart >= kWaitLimitMs)
            break;
        Platform().Sleep(kQueryPauseMs);
    }
    ReportStateNotReached(lpszServiceName, dwState);
    return false;
}

} // namespace

void CInstallerDlg::StartOrRestartService(LPCSTR lpszServiceName, DWORD dwMode) {
    PlatformApi &api = Platform();
    const SC_HANDLE hManager =
        api.OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS);
    const SC_HANDLE hService =
        hManager ? api.OpenServiceA(hManager, lpszServiceName, SERVICE_ALL_ACCESS) : nullptr;

    SERVICE_STATUS status = {};
    if (hService == nullptr || !api.QueryServiceStatus(hService, &status)) {
        // With no state known, starting or stopping would be a guess.
        AfxMessageBox(kStatusUnknown, MB_OK | MB_ICONINFORMATION);
    } else if (status.dwCurrentState == SERVICE_STOPPED || dwMode != SVC_ENSURE_RUNNING) {
        const SC_HANDLE hControl = api.OpenServiceA(hManager, lpszServiceName, SERVICE_ALL_ACCESS);
        bool bStopped = status.dwCurrentState == SERVICE_STOPPED;
        if (!bStopped) {
            if (hControl != nullptr)
                api.ControlService(hControl, SERVICE_CONTROL_STOP, &status);
            bStopped = WaitForState(hService, lpszServiceName, status, SERVICE_STOPPED);
        }
        if (bStopped) {
            if (hControl != nullptr)
                api.StartServiceA(hControl, 0, nullptr);
            WaitForState(hService, lpszServiceName, status, SERVICE_RUNNING);
        }
        if (hControl != nullptr)
            api.CloseServiceHandle(hControl);
    }

    if (hService != nullptr)
        api.CloseServiceHandle(hService);
    if (hManager != nullptr)
        api.CloseServiceHandle(hManager);
}
