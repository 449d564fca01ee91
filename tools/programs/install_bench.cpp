// Milliseconds from pressing Install to "&Finish" for a receipt and a label
// printer on the parallel port, installed from the release folder, less the
// fixed pause that ends each installation (500 ms and 100 ms).
#include "bench_clock.h"
#include "support/black_box.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Bench {
    const char *pszModel;
    double dFixedPauseMs;
};
const Bench kBenches[] = {{"Receipt Model A04", 500.0}, {"Label Model L02", 100.0}};
const char kPrinter[] = "Bench Printer";

// One installation; returns the milliseconds from the model's choice and the
// press to "&Finish", or a negative number when it did not get there.
double TimeOneInstallation(const char *pszModel) {
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    if (!window.Window() || !window.WaitInstallEnabled())
        return -1;
    const double dStart = NowMs();
    if (!window.StartInstall(pszModel, kPrinter, kParallelRow) || !window.ConfirmParallelPort())
        return -1;
    bool bFinished = false;
    while (NowMs() - dStart < 120000) {
        if (window.Text(IDC_INSTALL) == "&Finish" && window.Enabled(IDC_INSTALL)) {
            bFinished = true;
            break;
        }
        ::Sleep(1);
    }
    const double dElapsed = NowMs() - dStart;
    if (!bFinished)
        return -1;
    window.Click(IDC_INSTALL);
    window.WaitExit();
    return dElapsed;
}

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::printf("Install pressed to \"&Finish\", less the final pause, %d runs each (ms):\n",
                nRuns);
    std::printf("  %-18s %9s %7s %7s %7s\n", "model", "first", "median", "best", "worst");
    for (const Bench &bench : kBenches) {
        std::vector<double> figures;
        for (int i = 0; i < nRuns; ++i) {
            const double dElapsed = TimeOneInstallation(bench.pszModel);
            if (dElapsed < 0) {
                std::printf("%s: run %d did not reach \"&Finish\"\n", bench.pszModel, i + 1);
                return 1;
            }
            figures.push_back(dElapsed - bench.dFixedPauseMs);
        }
        std::vector<double> sorted = figures;
        std::sort(sorted.begin(), sorted.end());
        std::printf("  %-18s %9.1f %7.1f %7.1f %7.1f\n", bench.pszModel, figures[0],
                    sorted[sorted.size() / 2], sorted.front(), sorted.back());
    }
    return 0;
}
