// Print spooler service control: start the service if stopped, or restart it.
#include "install/spooler_service.h"

#include "framework/owned_handle.h"
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

StepResult StopAndStart(SC_HANDLE hManager, SC_HANDLE hService, LPCSTR lpszServiceName,
                        SERVICE_STATUS &status) {
    PlatformApi &api = Platform();
    const CServiceHandle control(
        api.OpenServiceA(hManager, lpszServiceName, SERVICE_START | SERVICE_STOP));
    if (status.dwCurrentState != SERVICE_STOPPED) {
        if (control)
            api.ControlService(control.Get(), SERVICE_CONTROL_STOP, &status);
        if (!WaitForState(hService, status, SERVICE_STOPPED))
            return StepResult::Failure(ERROR_SERVICE_REQUEST_TIMEOUT, kServiceStopStep);
    }
    if (control)
        api.StartServiceA(control.Get(), 0, nullptr);
    if (!WaitForState(hService, status, SERVICE_RUNNING))
        return StepResult::Failure(ERROR_SERVICE_REQUEST_TIMEOUT, kServiceStartStep);
    return {};
}

} // namespace

StepResult StartOrRestart(LPCSTR lpszServiceName, ServiceMode mode) {
    PlatformApi &api = Platform();
    const CServiceHandle manager(
        api.OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT));
    const CServiceHandle service(
        manager ? api.OpenServiceA(manager.Get(), lpszServiceName, SERVICE_QUERY_STATUS) : nullptr);
    // With no state known, starting or stopping would be a guess.
    SERVICE_STATUS status = {};
    if (!service || !api.QueryServiceStatus(service.Get(), &status))
        return StepResult::Failure(ERROR_SERVICE_NOT_ACTIVE, kServiceStatusStep);
    if (status.dwCurrentState == SERVICE_STOPPED || mode == ServiceMode::Restart)
        return StopAndStart(manager.Get(), service.Get(), lpszServiceName, status);
    return {};
}

ServiceFailure DescribeServiceFailure(const StepResult &result, LPCSTR lpszServiceName) {
    if (result.nStep == kServiceStatusStep)
        return {kStatusUnknown, MB_ICONINFORMATION};
    return {Formatted(result.nStep == kServiceStartStep ? kNotRunningText : kNotStoppedText,
                      lpszServiceName),
            MB_ICONWARNING};
}
