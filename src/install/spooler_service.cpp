// Print spooler service control: start the service if stopped, or restart it.
#include "install/spooler_service.h"

#include "res/texts.h"
#include "system/platform.h"

namespace {

// A service that starts or stops at all does so well within a minute; the
// pause keeps the wait from taking a processor away from that service.
constexpr DWORD kQueryPauseMs = 50;
constexpr DWORD kWaitLimitMs = 60000;

// Waits for the service to report dwState: the state already held first,
// then queries with a pause between them.
bool WaitForState(SC_HANDLE hService, SERVICE_STATUS &status, DWORD dwState) {
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
    return false;
}

ServiceOutcome StopAndStart(SC_HANDLE hManager, SC_HANDLE hService, LPCSTR lpszServiceName,
                            SERVICE_STATUS &status) {
    PlatformApi &api = Platform();
    const SC_HANDLE hControl =
        api.OpenServiceA(hManager, lpszServiceName, SERVICE_START | SERVICE_STOP);
    ServiceOutcome outcome = ServiceOutcome::Done;
    if (status.dwCurrentState != SERVICE_STOPPED) {
        if (hControl != nullptr)
            api.ControlService(hControl, SERVICE_CONTROL_STOP, &status);
        if (!WaitForState(hService, status, SERVICE_STOPPED))
            outcome = ServiceOutcome::NotStopped;
    }
    if (outcome == ServiceOutcome::Done) {
        if (hControl != nullptr)
            api.StartServiceA(hControl, 0, nullptr);
        if (!WaitForState(hService, status, SERVICE_RUNNING))
            outcome = ServiceOutcome::NotRunning;
    }
    if (hControl != nullptr)
        api.CloseServiceHandle(hControl);
    return outcome;
}

} // namespace

ServiceMode ServiceModeOf(DWORD dwMode) {
    return dwMode == SVC_ENSURE_RUNNING ? ServiceMode::EnsureRunning : ServiceMode::Restart;
}

ServiceOutcome StartOrRestart(LPCSTR lpszServiceName, ServiceMode mode) {
    PlatformApi &api = Platform();
    const SC_HANDLE hManager =
        api.OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT);
    const SC_HANDLE hService =
        hManager ? api.OpenServiceA(hManager, lpszServiceName, SERVICE_QUERY_STATUS) : nullptr;

    // With no state known, starting or stopping would be a guess.
    ServiceOutcome outcome = ServiceOutcome::StatusUnknown;
    SERVICE_STATUS status = {};
    if (hService != nullptr && api.QueryServiceStatus(hService, &status)) {
        outcome = ServiceOutcome::Done;
        if (status.dwCurrentState == SERVICE_STOPPED || mode == ServiceMode::Restart)
            outcome = StopAndStart(hManager, hService, lpszServiceName, status);
    }

    if (hService != nullptr)
        api.CloseServiceHandle(hService);
    if (hManager != nullptr)
        api.CloseServiceHandle(hManager);
    return outcome;
}

CString DescribeServiceOutcome(ServiceOutcome outcome, LPCSTR lpszServiceName) {
    CString strText;
    switch (outcome) {
    case ServiceOutcome::Done:
        break;
    case ServiceOutcome::StatusUnknown:
        strText = kStatusUnknown;
        break;
    case ServiceOutcome::NotStopped:
    case ServiceOutcome::NotRunning:
        strText.Format(outcome == ServiceOutcome::NotRunning ? kNotRunningText : kNotStoppedText,
                       lpszServiceName);
        break;
    }
    return strText;
}

UINT ServiceOutcomeIcon(ServiceOutcome outcome) {
    return outcome == ServiceOutcome::StatusUnknown ? MB_ICONINFORMATION : MB_ICONWARNING;
}

void StartOrRestartShown(LPCSTR lpszServiceName, ServiceMode mode, IInstallHost &host) {
    const ServiceOutcome outcome = StartOrRestart(lpszServiceName, mode);
    if (outcome != ServiceOutcome::Done)
        host.ShowBox(DescribeServiceOutcome(outcome, lpszServiceName), nullptr,
                     MB_OK | ServiceOutcomeIcon(outcome));
}
