// Milliseconds from pressing Install to "&Finish" for a receipt printer on
// the parallel port, installed from the release folder, less the fixed
// pause of 500 ms that ends the installation.
#include "support/black_box.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kModel[] = "Receipt Model A04";
const char kPrinter[] = "Bench Receipt";
const int kParallelKind = 2;
const double kFixedPauseMs = 500.0;

double Now() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One installation; returns the milliseconds from the press to "&Finish",
// or a negative number when it did not get there.
double TimeOneInstallation() {
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    if (!window.Found() || !window.WaitInstallEnabled())
        return -1;
    const std::vector<std::string> models = window.DriverList();
    const auto itModel = std::find(models.begin(), models.end(), kModel);
    if (itModel == models.end())
        return -1;
    window.SelectDriver(static_cast<int>(itModel - models.begin()));
    window.SetPrinterName(kPrinter);
    window.SelectPortKind(kParallelKind);

    const double dStart = Now();
    window.Click(IDC_INSTALL);
    bool bFinished = false;
    while (Now() - dStart < 120000) {
        if (window.Text(IDC_INSTALL) == "&Finish" && window.Enabled(IDC_INSTALL)) {
            bFinished = true;
            break;
        }
        ::Sleep(1);
    }
    const double dElapsed = Now() - dStart;
    if (!bFinished)
        return -1;
    window.Click(IDC_INSTALL);
    window.WaitExit();
    return dElapsed;
}

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> figures;
    for (int i = 0; i < nRuns; ++i) {
        const double dElapsed = TimeOneInstallation();
        if (dElapsed < 0) {
            std::printf("run %d did not reach \"&Finish\"\n", i + 1);
            return 1;
        }
        figures.push_back(dElapsed - kFixedPauseMs);
    }
    std::printf("Install pressed to \"&Finish\", less the %.0f ms pause, %d runs:\n", kFixedPauseMs,
                nRuns);
    std::printf("  first run (new driver)  %7.1f ms\n", figures[0]);
    std::vector<double> sorted = figures;
    std::sort(sorted.begin(), sorted.end());
    std::printf("  median                  %7.1f ms\n", sorted[sorted.size() / 2]);
    std::printf("  best                    %7.1f ms\n", sorted.front());
    std::printf("  worst                   %7.1f ms\n", sorted.back());
    return 0;
}
