// The installations only Wine's real spooler and the program's own window
// can show, each suite in a prefix of its own: the program started from its
// release folder is worked through its window alone, then the spooler, the
// registry and the files are asked what it left behind.
#include "support/black_box.h"
#include "support/spooler_stand_in.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

const char kModel[] = "Receipt Model A04";
const char kPrinter[] = "Front Counter";
const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// Whether anything of the unpacked package is left at its paths.
bool PackageLeft() {
    return FileExists("C:\\Ticket") || FileExists("C:\\Barcode") ||
           FileExists("C:\\DriverName.cfg");
}

// The parallel port dialog, owned by the main one, is given up by its close
// box, then worked by keys: End goes to the last port, Enter takes it. The
// printer goes there under the name typed and becomes the default; the
// package is gone once "&Finish" ends the program.
TEST(InstallE2E, ReceiptPrinterOnTheParallelPortChosenByKeys) {
    ASSERT_FALSE(PackageLeft()) << "left by an earlier run";
    // Windows always has the default printer's key; a new Wine prefix not yet.
    WriteRegistryString(HKEY_CURRENT_USER, kWindowsKey, "Device", "");
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.StartInstall(kModel, kPrinter, kParallelRow));
    HWND hDlg = window.WaitWindow(kParallelDialogCaption);
    EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), window.Window());
    ::PostMessageW(hDlg, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(hDlg); })) << "the close box did not cancel";
    ASSERT_TRUE(window.StartInstall(kModel, kPrinter, kParallelRow));
    hDlg = window.WaitWindow(kParallelDialogCaption);
    for (const WPARAM key : {VK_END, VK_RETURN})
        ::PostMessageW(::GetDlgItem(hDlg, IDC_PORT_LIST), WM_KEYDOWN, key, 0);
    ASSERT_EQ(window.WaitFinish(), "&Finish");
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW LPT3:");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kWindowsKey, "Device"),
              std::string(kPrinter) + ",winspool,LPT3:");
    window.Click(IDC_INSTALL);
    ASSERT_TRUE(window.WaitExit());
    EXPECT_FALSE(PackageLeft());
}

// A monitor DLL without its entry point cannot be added: the status line
// gives the spooler's code and the program ends after its box, leaving
// nothing of the package.
TEST(InstallE2E, MonitorThatCannotBeAddedEndsTheProgram) {
    const std::string folder = WinePath(E2E_BROKEN_MONITOR_DIR);
    InstallerWindow window(folder + "\\" E2E_PROGRAM, folder);
    ASSERT_TRUE(window.StartInstall("Label Model L05", kPrinter, kParallelRow));
    ASSERT_TRUE(window.ConfirmParallelPort());
    const HWND hBox = window.WaitWindow("");
    EXPECT_EQ(window.Text(IDC_STATUS), "Failed to add Monitor, error 127");
    InstallerWindow::ClickIn(hBox, IDOK);
    ASSERT_TRUE(window.WaitExit());
    EXPECT_FALSE(PackageLeft());
}

// The stand-in spooler service reports on line the printers of the ports a
// test marks attached. With no USB port the printer waits on the parallel
// one and the detection asks; a printer plugged in while it asks is found on
// Retry, through a restart of the spooler.
TEST(UsbE2E, PrinterPluggedInWhileTheBoxIsUpIsFoundOnRetry) {
    const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPortsKey, "USB001");
    // Windows 7 would be given the port without being asked.
    WriteRegistryString(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" E2E_PROGRAM, "Version",
                        "win10");
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.StartInstall(kModel, kPrinter, kUsbRow));
    const HWND hBox = window.WaitWindow("");
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "USB001", "");
    AttachPorts("USB001");
    InstallerWindow::ClickIn(hBox, IDRETRY);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(hBox); }));
    EXPECT_EQ(window.WaitFinish(), "&Finish");
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW USB001");
}

// As on a Simplified Chinese Windows, whose ANSI code page is 936 (Wine
// takes it from the locale: this suite runs with LC_ALL=zh_CN.UTF-8), the
// stand-in of the "Standard TCP/IP Port" monitor describes one of its two
// ports in Chinese: the TCP/IP dialog lists both, and Enter installs on the
// one selected a printer whose Chinese name holds a byte 0x5C that is no
// backslash.
TEST(Cp936E2E, TcpipDialogListsBothDescriptions) {
    ASSERT_EQ(::GetACP(), 936u);
    std::string dll = WinePath(E2E_TCPIP_MONITOR);
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Standard TCP/IP Port"), nullptr, &dll[0]};
    ::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.StartInstall(kModel, "\xE7\x9B\xB6\xE7\xAD\xBE", kTcpipRow));
    const HWND hList =
        ::GetDlgItem(window.WaitWindow("Configure TCP/IP PrinterPort"), IDC_PORT_LIST);
    EXPECT_EQ(window.ListRows(hList),
              (std::vector<std::vector<std::string>>{
                  {"IP_10.0.0.1", "Standard TCP/IP Port"},
                  {"IP_10.0.0.2", "\xE6\xA0\x87\xE5\x87\x86 TCP/IP \xE7\xAB\xAF\xE5\x8F\xA3"}}));
    window.SelectRow(hList, 1);
    ::PostMessageW(hList, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(window.WaitFinish(), "&Finish");
    EXPECT_EQ(Printer("\xB1\x5C\xC7\xA9"), std::string(kModel) + " WinPrint RAW IP_10.0.0.2");
}

} // namespace
