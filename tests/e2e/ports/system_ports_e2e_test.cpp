// What start-up tells the user about the machine, through the window only:
// the status line names the Windows version Wine is set to report, and the
// port-kind row preselected matches the ports the spooler lists.
#include "support/system_width.h"
#include "support/black_box.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults\\" E2E_PROGRAM;
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const int kSerialKind = 0;
const int kUsbKind = 1;

// Starts the program, waits for start-up and returns its status line and
// preselected port kind, then closes it.
struct StartupView {
    std::string status;
    int nPortKind = -1;
};

StartupView RunStartup() {
    StartupView view;
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    EXPECT_TRUE(window.Found());
    if (!window.Found())
        return view;
    EXPECT_TRUE(window.WaitInstallEnabled());
    view.status = window.Status();
    view.nPortKind = window.SelectedPortKind();
    window.Click(IDCANCEL);
    EXPECT_TRUE(window.WaitExit());
    return view;
}

// The version table itself is the unit test's; one version of each family
// and the last two, which the program sees only through its manifest.
TEST(SystemPortsE2E, StatusLineNamesTheReportedWindowsVersion) {
    const struct {
        const char *pszWineVersion;
        const char *pszName;
    } cases[] = {
        {"win95", "Microsoft Windows 95 "},
        {"nt40", "Microsoft Windows NT "},
        {"win81", "Microsoft Windows 8.1 "},
        {"win10", "Microsoft Windows 10 "},
    };
    for (const auto &c : cases) {
        // Wine reports the version to the installer alone.
        WriteRegistryString(HKEY_CURRENT_USER, kAppDefaultsKey, "Version", c.pszWineVersion);
        EXPECT_EQ(RunStartup().status,
                  "Current System is " + std::string(c.pszName) + " " + BitWidthText())
            << c.pszWineVersion;
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaultsKey);
    }
}

// A local port of the spooler's local monitor turns the preselection to USB.
TEST(SystemPortsE2E, PortsOfTheSpoolerPreselectTheirRow) {
    EXPECT_EQ(RunStartup().nPortKind, kSerialKind);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "USB001", "");
    EXPECT_EQ(RunStartup().nPortKind, kUsbKind);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB001");
}

} // namespace
