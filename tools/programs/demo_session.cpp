// The demo's stand-in for a user without a display: starts the installer
// from the release folder, waits for start-up to finish, signals READY_FILE
// so a screenshot can be taken, waits for DONE_FILE, then closes the window.
//
// demo_session READY_FILE DONE_FILE
#include "support/black_box.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::printf("usage: demo_session READY_FILE DONE_FILE\n");
        return 2;
    }
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    if (!window.Found() || !window.WaitInstallEnabled()) {
        std::printf("the installer did not become ready\n");
        return 1;
    }
    std::printf("%zu models listed; status \"%s\"\n", window.DriverList().size(),
                window.Status().c_str());
    std::fclose(std::fopen(argv[1], "w"));
    WaitFor([&] { return ::GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES; }, 60000);
    window.CloseBox();
    return window.WaitExit() ? 0 : 1;
}
