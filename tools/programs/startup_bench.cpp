// Milliseconds from process start to a usable Install button, for the
// installer started from the release folder and for a dialog that does
// nothing, under the same Wine.
#include "support/black_box.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Starts the program and waits until the button of the found dialog is
// enabled; returns the elapsed milliseconds, or -1.
long TimeToEnabled(const char *program, const char *folder, const char *caption, int nButton) {
    const DWORD dwStart = ::GetTickCount();
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
    const long nElapsed = bReady ? static_cast<long>(::GetTickCount() - dwStart) : -1;
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

} // namespace

int main(int argc, char **argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string minimal = WinePath(E2E_RELEASE_DIR "/../bin/minimal_dialog.exe");
    std::vector<long> installer;
    std::vector<long> yardstick;
    for (int i = 0; i < nRuns; ++i) {
        installer.push_back(TimeToEnabled(kReleaseProgram.c_str(), kReleaseDir.c_str(),
                                          "Configure & Install v1.5", IDC_INSTALL));
        yardstick.push_back(
            TimeToEnabled(minimal.c_str(), kReleaseDir.c_str(), "Minimal dialog", IDOK));
    }
    if (*std::min_element(installer.begin(), installer.end()) < 0 ||
        *std::min_element(yardstick.begin(), yardstick.end()) < 0) {
        std::printf("a program did not become ready\n");
        return 1;
    }
    const long nInstaller = Median(installer);
    const long nYardstick = Median(yardstick);
    std::printf("start to Install enabled, median of %d runs:\n", nRuns);
    std::printf("  %-20s %5ld ms\n", E2E_PROGRAM, nInstaller);
    std::printf("  minimal dialog       %5ld ms\n", nYardstick);
    std::printf("  ratio                %5.2f\n", static_cast<double>(nInstaller) / nYardstick);
    return 0;
}
