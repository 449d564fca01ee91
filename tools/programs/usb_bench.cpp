// Wall and CPU time of one USB detection pass over 8 USB ports with the
// printer's device on the last, each port tried through a real restart of
// the stand-in spooler service, which reports the printer on line. The CPU
// time is this process's own: what the paced spooler waits leave of it.
#include "bench_clock.h"
#include "install/install_constants.h"
#include "install/spooler_service.h"
#include "install/usb_detection.h"
#include "support/spooler_stand_in.h"
#include "support/win_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kPrinter[] = "USB Bench Printer";
constexpr int kPorts = 8;

// The window's side of the detection: only boxes are shown.
struct BenchHost : IInstallHost {
    void ShowStatus(LPCSTR) override {}
    void SetProgress(Progress) override {}
    int ShowBox(LPCSTR lpszText, LPCSTR, UINT) override {
        std::fprintf(stderr, "%s\n", lpszText);
        return IDCANCEL;
    }
    PortChoice RunPortDialog(PortKind, CPortSource &) override { return {}; }
    bool RunTcpipWizard() override { return false; }
    void ShowPortKind(PortKind) override {}
};

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::atoi(argv[1]) : 5;
    if (nRuns <= 0) {
        std::fprintf(stderr, "usage: usb_bench [runs]\n");
        return 2;
    }
    // The stand-in reads the printer's port where the spooler keeps it.
    const std::string printerKey = std::string(kSpoolerPrintersKey) + "\\" + kPrinter;
    WriteRegistryString(HKEY_LOCAL_MACHINE, printerKey, "Port", "LPT1:");
    CStringArray ports;
    char szPort[16];
    for (int i = 1; i <= kPorts; ++i) {
        std::snprintf(szPort, sizeof(szPort), "USB%03d", i);
        ports.Add(szPort);
    }
    AttachPorts({szPort});
    StartOrRestart(kSpoolerService, ServiceMode::EnsureRunning);

    std::printf("%d detections over USB001 to %s, the device on %s\n", nRuns, szPort, szPort);
    BenchHost host;
    double wallMs = 0;
    double cpuMs = 0;
    int nFound = 0;
    const DWORD dwStarts = StandInStarts();
    for (int i = 0; i < nRuns; ++i) {
        const double cpuStart = ProcessCpuMs();
        const double wallStart = NowMs();
        nFound += TryUsbPorts(kPrinter, ports, false, host).Succeeded();
        wallMs += NowMs() - wallStart;
        cpuMs += ProcessCpuMs() - cpuStart;
    }
    std::printf("found %d of %d, %lu spooler starts each\n", nFound, nRuns,
                (StandInStarts() - dwStarts) / static_cast<DWORD>(nRuns));
    std::printf("one detection: wall %7.1f ms, CPU %6.1f ms, CPU/wall %.3f\n", wallMs / nRuns,
                cpuMs / nRuns, wallMs > 0 ? cpuMs / wallMs : 0.0);
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, printerKey.c_str());
    return nFound == nRuns ? 0 : 1;
}
