// Milliseconds from process start to a usable Install button, for the
// installer started from the release folder and for a dialog that does
// nothing, under the same Wine. Given a second release folder (the same
// installer beside another archive library), it times that one too, with
// the package's extraction through each folder's library.
#include "bench_clock.h"
#include "install/package_layout.h"
#include "shell/archive_extractor.h"
#include "shell/tree_removal.h"
#include "support/black_box.h"

#include <sevenzip.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Starts the program and waits until the button of the found dialog is
// enabled; returns the elapsed milliseconds, or -1.
long TimeToEnabled(const char *program, const char *folder, const char *caption, int nButton) {
    const double start = NowMs();
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof(commandLine), "\"%s\"", program);
    if (!::CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder,
                          &startup, &process))
        return -1;
    HWND hDlg = nullptr;
    const bool bReady = WaitFor(
        [&] {
            hDlg = ::FindWindowA(nullptr, caption);
            return hDlg != nullptr && ::IsWindowEnabled(::GetDlgItem(hDlg, nButton));
        },
        60000);
    const long nElapsed = bReady ? static_cast<long>(NowMs() - start) : -1;
    if (hDlg != nullptr)
        ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return nElapsed;
}

long Median(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The package of the folder unpacked by the folder's library into a fresh
// folder, as the installer's command does; milliseconds, or -1.
long TimeExtraction(const std::string &folder) {
    const HMODULE hLibrary = ::LoadLibraryA((folder + "\\" SEVENZIP_DLL_NAME).c_str());
    const auto pfnSevenZip = reinterpret_cast<LPSEVENZIP>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hLibrary, "SevenZip")));
    if (pfnSevenZip == nullptr)
        return -1;
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string dest = std::string(szTemp) + "startup_bench";
    const std::string package = folder + "\\" + kPackageFile;
    char szCommand[1024];
    std::snprintf(szCommand, sizeof(szCommand), kExtractCommandFormat, package.c_str(),
                  dest.c_str());
    std::vector<char> output(16384);
    const double start = NowMs();
    const int nResult =
        pfnSevenZip(nullptr, szCommand, output.data(), static_cast<DWORD>(output.size()));
    const long nElapsed = static_cast<long>(NowMs() - start);
    ::FreeLibrary(hLibrary);
    RemoveStagedTree(dest.c_str());
    return nResult == 0 ? nElapsed : -1;
}

// Ready and extraction times of one release folder, run after run.
struct Series {
    std::string folder;
    std::vector<long> ready, extraction;

    void Measure() {
        ready.push_back(TimeToEnabled((folder + "\\" E2E_PROGRAM).c_str(), folder.c_str(),
                                      "Configure & Install v1.5", IDC_INSTALL));
        extraction.push_back(TimeExtraction(folder));
    }
    bool Failed() const {
        return *std::min_element(ready.begin(), ready.end()) < 0 ||
               *std::min_element(extraction.begin(), extraction.end()) < 0;
    }
};

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string minimal = WinePath(E2E_RELEASE_DIR "/../bin/minimal_dialog.exe");
    // The folders take turns, so that a machine's drift weighs on both alike.
    std::vector<Series> series = {{kReleaseDir, {}, {}}};
    if (argc > 2)
        series.push_back({WinePath(argv[2]), {}, {}});
    std::vector<long> yardstick;
    for (int i = 0; i < nRuns; ++i) {
        yardstick.push_back(
            TimeToEnabled(minimal.c_str(), kReleaseDir.c_str(), "Minimal dialog", IDOK));
        for (Series &one : series)
            one.Measure();
    }
    if (*std::min_element(yardstick.begin(), yardstick.end()) < 0 ||
        std::any_of(series.begin(), series.end(), [](const Series &one) { return one.Failed(); })) {
        std::printf("a program did not become ready or an extraction failed\n");
        return 1;
    }
    const long nReady = Median(series[0].ready), nExtraction = Median(series[0].extraction);
    const long nPauses = kPauseAfterLoadMs + kPauseBeforeExtractMs + kPauseAfterReleaseMs;
    const long nYardstick = Median(yardstick);
    std::printf("start to Install enabled, median of %d runs, ms:\n", nRuns);
    std::printf("  %-44s %6ld\n", E2E_PROGRAM, nReady);
    std::printf("  %-44s %6ld\n", "  less the archive library's fixed pauses", nReady - nPauses);
    std::printf("  %-44s %6ld\n", "minimal dialog", nYardstick);
    std::printf("  %-44s %6.2f\n", "ratio", static_cast<double>(nReady) / nYardstick);
    std::printf("  %-44s %6ld\n", "the package's extraction alone", nExtraction);
    if (argc > 2) {
        std::printf("with the baseline archive library beside it:\n");
        const long nBaseReady = Median(series[1].ready);
        const long nBaseExtraction = Median(series[1].extraction);
        std::printf("  %-44s %6ld\n", "ready, less the fixed pauses", nBaseReady - nPauses);
        std::printf("  %-44s %6ld\n", "the package's extraction alone", nBaseExtraction);
        std::printf("  %-44s %6ld\n", "ready time gained", nBaseReady - nReady);
        std::printf("  %-44s %6ld\n", "extraction time gained", nBaseExtraction - nExtraction);
    }
    return 0;
}
