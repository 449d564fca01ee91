// A receipt printer on a USB port, installed through the window in a prefix
// whose spooler service is the stand-in: it counts its starts and reports on
// line the printers whose port has a device attached.
#include "support/black_box.h"
#include "support/spooler_stand_in.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kPrinter[] = "Receipt Counter";
const char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults\\" E2E_PROGRAM;
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// With no USB port the detection restarts the spooler and asks; a printer
// plugged in while it asks is found on Retry, through one more restart.
TEST(PortAssignmentE2E, UsbPrinterPluggedInWhileTheBoxIsUpIsFoundOnRetry) {
    DeletePrinterNamed(kPrinter);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB001");
    AttachPorts("");
    // Windows 7 would be given the port without being asked.
    WriteRegistryString(HKEY_CURRENT_USER, kAppDefaultsKey, "Version", "win10");
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.WaitInstallEnabled());
    const DWORD dwStarts = StandInStarts();
    ASSERT_TRUE(window.StartInstall("Receipt Model A04", kPrinter, kUsbRow));
    const MessageBoxSeen box = window.WaitMessageBox();
    EXPECT_EQ(box.caption, "Fail to select port");
    EXPECT_EQ(StandInStarts() - dwStarts, 1u);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "USB001", "");
    AttachPorts("USB001");
    InstallerWindow::ClickIn(box.hWnd, IDRETRY);
    EXPECT_TRUE(window.WaitFinish()) << window.WaitMessageBox(0).text;
    EXPECT_EQ(StandInStarts() - dwStarts, 2u);
    EXPECT_EQ(Printer(kPrinter), "Receipt Model A04 WinPrint RAW USB001");
}

} // namespace
