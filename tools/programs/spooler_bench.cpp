// CPU time this process spends while it restarts the spooler, against the
// wall time of the restart: with the program's paced waits and with the
// pause taken out (status queries back to back). Wine's spooler stops and
// starts within milliseconds; a Windows spooler takes about a second, which
// the second round models by reporting the real service's state as pending
// for a while after each request.
#include "bench_clock.h"
#include "install/install_constants.h"
#include "install/spooler_service.h"
#include "system/platform.h"

#include <cstdio>
#include <cstdlib>

namespace {

void WINAPI NoPause(DWORD) {}

DWORD g_dwPendingMs = 0;
DWORD g_dwRequestTick = 0;

BOOL WINAPI StartAndHold(SC_HANDLE hService, DWORD nArgs, LPCSTR *ppArgs) {
    g_dwRequestTick = ::GetTickCount();
    return ::StartServiceA(hService, nArgs, ppArgs);
}

BOOL WINAPI ControlAndHold(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS pStatus) {
    g_dwRequestTick = ::GetTickCount();
    return ::ControlService(hService, dwControl, pStatus);
}

BOOL WINAPI QueryHeld(SC_HANDLE hService, LPSERVICE_STATUS pStatus) {
    const BOOL bResult = ::QueryServiceStatus(hService, pStatus);
    if (bResult && ::GetTickCount() - g_dwRequestTick < g_dwPendingMs)
        pStatus->dwCurrentState = pStatus->dwCurrentState == SERVICE_RUNNING ? SERVICE_START_PENDING
                                                                             : SERVICE_STOP_PENDING;
    return bResult;
}

void Report(const StepResult &result) {
    if (!result.Succeeded())
        std::fprintf(stderr, "%s\n",
                     static_cast<LPCSTR>(DescribeServiceFailure(result, kSpoolerService).strText));
}

void Measure(const char *pszLabel, int nRuns) {
    double wallMs = 0;
    double cpuMs = 0;
    for (int i = 0; i < nRuns; ++i) {
        const double cpuStart = ProcessCpuMs();
        const double wallStart = NowMs();
        Report(StartOrRestart(kSpoolerService, ServiceMode::Restart));
        wallMs += NowMs() - wallStart;
        cpuMs += ProcessCpuMs() - cpuStart;
    }
    std::printf("%-13s: wall %7.1f ms/restart, CPU %6.1f ms/restart, CPU/wall %.3f\n", pszLabel,
                wallMs / nRuns, cpuMs / nRuns, wallMs > 0 ? cpuMs / wallMs : 0.0);
}

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::atoi(argv[1]) : 10;
    if (nRuns <= 0) {
        std::fprintf(stderr, "usage: spooler_bench [restarts]\n");
        return 2;
    }
    Report(StartOrRestart(kSpoolerService, ServiceMode::EnsureRunning));

    const decltype(&::Sleep) pfnPause = Platform().Sleep;

    std::printf("%d restarts of Spooler each, as Wine runs it\n", nRuns);
    Measure("paced waits", nRuns);
    Platform().Sleep = NoPause;
    Measure("no pause", nRuns);

    g_dwPendingMs = 1000;
    g_dwRequestTick = ::GetTickCount() - g_dwPendingMs;
    Platform().StartServiceA = StartAndHold;
    Platform().ControlService = ControlAndHold;
    Platform().QueryServiceStatus = QueryHeld;
    std::printf("%d restarts of Spooler each, every stop and start pending for %lu ms\n", nRuns,
                g_dwPendingMs);
    Platform().Sleep = pfnPause;
    Measure("paced waits", nRuns);
    Platform().Sleep = NoPause;
    Measure("no pause", nRuns);
    return 0;
}
