// Receipt and label printers installed from the release folder through the
// window only; then the spooler, the registry and the files are asked what
// the installation left behind.
#include "support/black_box.h"
#include "support/system_width.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <string>

namespace {

const char kModel[] = "Receipt Model A04";
const char kPrinter[] = "Front Counter";
const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

// The first of the package's paths that is there, empty when none is.
std::string UnpackedLeft() {
    for (const char *path : {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"})
        if (FileExists(path))
            return path;
    return "";
}

class InstallE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // Windows always has the default printer's key; a new Wine prefix not yet.
        WriteRegistryString(HKEY_CURRENT_USER, kWindowsKey, "Device", "");
        for (const char *printer : {kPrinter, "Label Model L02", "Label Model L05"})
            DeletePrinterNamed(printer);
        for (const char *port : {"LPT1:", "LPT2:", "LPT3:"})
            WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, port, "");
        ASSERT_EQ(UnpackedLeft(), "");
    }
};

// The parallel port dialog, owned by the main one, is given up by its Cancel
// button, its close box and Escape, then the third port is chosen: the
// printer goes there under the name typed and becomes the default; the files
// staged for the spooler are gone, and the package too once "&Finish" ends
// the program.
TEST_F(InstallE2E, ReceiptPrinterOnTheParallelPortChosenInItsDialog) {
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    for (int nWay = 0; nWay < 4; ++nWay) {
        ASSERT_TRUE(window.StartInstall(kModel, kPrinter, kParallelRow));
        const HWND hDlg = window.WaitWindow(kParallelDialogCaption);
        ASSERT_NE(hDlg, nullptr) << nWay;
        EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), window.Window());
        const HWND hList = ::GetDlgItem(hDlg, IDC_PORT_LIST);
        if (nWay == 3) {
            window.SelectRow(hList, 2);
            InstallerWindow::ClickIn(hDlg, IDC_PORT_OK);
            break;
        }
        if (nWay == 0)
            InstallerWindow::ClickIn(hDlg, IDC_PORT_CANCEL);
        else if (nWay == 1)
            ::PostMessageW(hDlg, WM_CLOSE, 0, 0);
        else
            ::PostMessageW(hList, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindow(hDlg); })) << nWay;
        EXPECT_EQ(Printer(kPrinter), "") << nWay;
    }
    ASSERT_TRUE(window.WaitFinish()) << window.WaitMessageBox(0).text;
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW LPT3:");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kWindowsKey, "Device"),
              std::string(kPrinter) + ",winspool,LPT3:");
    char directory[MAX_PATH] = {};
    DWORD cbNeeded = 0;
    ::GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>(DriverEnvironment()), 1,
                                 reinterpret_cast<LPBYTE>(directory), MAX_PATH, &cbNeeded);
    for (const char *name : {"RMGRP1.DLL", "RMA04.GPD", "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                             "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"})
        EXPECT_FALSE(FileExists(std::string(directory) + "\\" + name)) << name;
    window.Click(IDC_INSTALL);
    ASSERT_TRUE(window.WaitExit());
    EXPECT_EQ(UnpackedLeft(), "");
}

// A label model brings its language monitor, which the spooler must load;
// the printer takes the driver list's name, not the one typed.
TEST_F(InstallE2E, LabelPrinterWithItsLanguageMonitor) {
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.StartInstall("Label Model L02", kPrinter, kParallelRow));
    ASSERT_TRUE(window.ConfirmParallelPort());
    ASSERT_TRUE(window.WaitFinish()) << window.WaitMessageBox(0).text;
    EXPECT_EQ(Printer("Label Model L02"),
              "Label Model L02 WinPrint RAW LPT1: Advanced Language Monitor");
    EXPECT_EQ(Printer(kPrinter), "");
}

// A monitor DLL without its entry point cannot be added: the status line
// gives the spooler's code and the program ends after its box, with no
// printer and nothing of the package.
TEST_F(InstallE2E, MonitorThatCannotBeAddedEndsTheProgram) {
    const std::string folder = WinePath(E2E_BROKEN_MONITOR_DIR);
    InstallerWindow window(folder + "\\" E2E_PROGRAM, folder);
    ASSERT_TRUE(window.StartInstall("Label Model L05", kPrinter, kParallelRow));
    ASSERT_TRUE(window.ConfirmParallelPort());
    const MessageBoxSeen box = window.WaitMessageBox();
    EXPECT_EQ(window.Status(), "Failed to add Monitor, error 127");
    InstallerWindow::ClickIn(box.hWnd, IDOK);
    ASSERT_TRUE(window.WaitExit());
    EXPECT_EQ(Printer("Label Model L05"), "");
    EXPECT_EQ(UnpackedLeft(), "");
}

} // namespace
