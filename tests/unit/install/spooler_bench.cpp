// CPU time this process spends while it restarts the spooler, against the
// wall time of the restart: first with the program's paced waits, then with
// the pause taken out, which queries the service back to back.
#include "shell/installer_dlg.h"
#include "system/platform.h"

#include <cstdio>
#include <cstdlib>

namespace {

class BenchDlg : public CInstallerDlg {
public:
    using CInstallerDlg::StartOrRestartService;
};

ULONGLONG ToUll(const FILETIME &ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// User and kernel time of the whole process, in milliseconds.
double ProcessCpuMs() {
    FILETIME ftCreation, ftExit, ftKernel, ftUser;
    ::GetProcessTimes(::GetCurrentProcess(), &ftCreation, &ftExit, &ftKernel, &ftUser);
    return static_cast<double>(ToUll(ftKernel) + ToUll(ftUser)) / 10000.0;
}

double NowMs() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void WINAPI NoPause(DWORD) {}

int WINAPI PrintBox(HWND, LPCSTR pszText, LPCSTR, UINT) {
    std::fprintf(stderr, "message box: %s\n", pszText);
    return IDOK;
}

void Measure(const char *pszLabel, int nRuns) {
    BenchDlg dlg;
    double wallMs = 0;
    double cpuMs = 0;
    for (int i = 0; i < nRuns; ++i) {
        const double cpuStart = ProcessCpuMs();
        const double wallStart = NowMs();
        dlg.StartOrRestartService("Spooler", SVC_RESTART);
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
    Platform().MessageBoxA = PrintBox;
    BenchDlg().StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);

    std::printf("%d restarts of Spooler each\n", nRuns);
    Measure("paced waits", nRuns);
    Platform().Sleep = NoPause;
    Measure("no pause", nRuns);
    return 0;
}
