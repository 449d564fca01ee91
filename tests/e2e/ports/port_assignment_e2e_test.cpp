// A receipt printer on a USB port, installed through the window in a prefix
// whose spooler service is the stand-in: it counts its starts and reports on
// line the printers whose port has a device attached. The printer's port is
// then asked of the spooler and the registry.
#include "support/black_box.h"
#include "support/spooler_stand_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

const char kPrinter[] = "Receipt Counter";
const char kModel[] = "Receipt Model A04";
const char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults\\" E2E_PROGRAM;
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kProfilePrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers\\";
const int kUsbKind = 1;

std::string PortOf(const std::string &printer) {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, std::string(kSpoolerPrintersKey) + "\\" + printer,
                              "Port");
}

DWORD OnLineOf(const std::string &printer) {
    return ReadRegistryDword(HKEY_CURRENT_CONFIG, kProfilePrintersKey + printer, kOnLineValue, 99);
}

class PortAssignmentE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultPrinterDevice("");
        DeletePrinterNamed(kPrinter);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB001");
        AttachPorts({});
        // Windows 7 would be given the port without being asked.
        WriteRegistryString(HKEY_CURRENT_USER, kAppDefaultsKey, "Version", "win10");
    }
    void TearDown() override {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaultsKey);
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB001");
        AttachPorts({});
    }

    // Starts the installation of kModel as kPrinter on a port of the kind
    // and counts the spooler's starts from there.
    void StartInstall(InstallerWindow &window, int nKind) {
        ASSERT_TRUE(window.Found());
        ASSERT_TRUE(window.WaitInstallEnabled());
        const Texts models = window.DriverList();
        const auto itModel = std::find(models.begin(), models.end(), kModel);
        ASSERT_NE(itModel, models.end());
        window.SelectDriver(static_cast<int>(itModel - models.begin()));
        window.SetPrinterName(kPrinter);
        window.SelectPortKind(nKind);
        m_dwStarts = StandInStarts();
        window.Click(IDC_INSTALL);
    }
    DWORD Starts() const { return StandInStarts() - m_dwStarts; }
    static void ExpectFinished(const InstallerWindow &window) {
        const bool bFinished = window.WaitInstallCaption("&Finish");
        EXPECT_TRUE(bFinished) << "box: " << window.WaitMessageBox(0).text;
        EXPECT_EQ(window.Progress(), 100);
    }
    // Waits for the detection's box and checks what it and the window show.
    MessageBoxSeen WaitNotFoundBox(const InstallerWindow &window) const {
        const MessageBoxSeen box = window.WaitMessageBox();
        EXPECT_EQ(box.caption, "Fail to select port");
        EXPECT_EQ(box.text, "Failed to select USB port,please check the port is connected.\r\n\r\n"
                            "Click Retry:Retry to select usb port\r\n"
                            "Click Cancel:Continue installation, you can select the port after "
                            "installation");
        return box;
    }
    static void Answer(const MessageBoxSeen &box, int nButton) {
        InstallerWindow::Answer(box, nButton);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(box.hWnd); }));
    }

    DWORD m_dwStarts = 0;
};

// With no USB port at all the printer starts on the parallel port and the
// detection's box is up: Cancel leaves it there; a printer plugged in while
// the box is up brings its port, which Retry finds.
TEST_F(PortAssignmentE2E, UsbPrinterPluggedInWhileTheBoxIsUpIsFoundOnRetry) {
    {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kUsbKind);
        Answer(WaitNotFoundBox(window), IDCANCEL);
        ExpectFinished(window);
        EXPECT_EQ(window.Status(), "The installation is completed.");
        EXPECT_EQ(PortOf(kPrinter), "LPT1:");
    }
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    StartInstall(window, kUsbKind);
    const MessageBoxSeen box = WaitNotFoundBox(window);
    EXPECT_EQ(Starts(), 1u);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "USB001", "");
    AttachPorts({"USB001"});
    Answer(box, IDRETRY);
    ExpectFinished(window);
    EXPECT_EQ(Starts(), 2u);
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW USB001");
    EXPECT_EQ(OnLineOf(kPrinter), 1u);
    EXPECT_EQ(DefaultPrinterDevice(), std::string(kPrinter) + ",winspool,LPT1:");
}

} // namespace
