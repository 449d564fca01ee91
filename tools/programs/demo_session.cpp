// The demo's stand-in for a user without a display: starts the installer
// from the release folder (or the one named), waits for start-up to finish,
// signals READY_FILE so a screenshot can be taken, waits for DONE_FILE, then
// closes the window.
//
// demo_session READY_FILE DONE_FILE [RELEASE_DIR]
#include "support/black_box.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::printf("usage: demo_session READY_FILE DONE_FILE [RELEASE_DIR]\n");
        return 2;
    }
    const std::string releaseDir = argc == 4 ? argv[3] : kReleaseDir;
    InstallerWindow window(releaseDir + "\\" E2E_PROGRAM, releaseDir);
    if (!window.Window() || !window.WaitInstallEnabled()) {
        std::printf("the installer did not become ready\n");
        return 1;
    }
    std::printf("%d models listed; status \"%s\"\n",
                static_cast<int>(::SendMessageW(window.Item(IDC_DRIVER_LIST), CB_GETCOUNT, 0, 0)),
                window.Text(IDC_STATUS).c_str());
    std::fclose(std::fopen(argv[1], "w"));
    WaitFor([&] { return ::GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; }, 60000);
    window.Close();
    return window.WaitExit() ? 0 : 1;
}
