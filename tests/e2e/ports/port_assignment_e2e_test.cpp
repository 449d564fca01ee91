// A receipt printer on a USB or serial port, installed through the window
// in a prefix whose spooler service is the stand-in: it counts its starts
// and reports on line the printers whose port has a device attached. The
// printer's port is then asked of the spooler and the registry.
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
const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
const char kProfilePrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers\\";
const int kSerialKind = 0;
const int kUsbKind = 1;

std::string PortOf(const std::string &printer) {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, std::string(kSpoolerPrintersKey) + "\\" + printer,
                              "Port");
}

DWORD OnLineOf(const std::string &printer) {
    return ReadRegistryDword(HKEY_CURRENT_CONFIG, kProfilePrintersKey + printer, kOnLineValue, 99);
}

// The value names of a key, in the registry's order.
Texts ValueNames(HKEY hRoot, const char *pszKey) {
    Texts names;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return names;
    char szName[256];
    for (DWORD i = 0;; ++i) {
        DWORD cchName = sizeof(szName);
        if (::RegEnumValueA(hKey, i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(szName);
    }
    ::RegCloseKey(hKey);
    return names;
}

// Wine rebuilds SERIALCOMM from the host's devices when its server starts,
// so it is set once the server is up, and read back.
void SetSerialDevices(const Texts &ports) {
    for (const std::string &name : ValueNames(HKEY_LOCAL_MACHINE, kSerialCommKey))
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSerialCommKey, name);
    for (size_t i = 0; i < ports.size(); ++i)
        WriteRegistryString(HKEY_LOCAL_MACHINE, kSerialCommKey,
                            "\\Device\\Serial" + std::to_string(i), ports[i], REG_OPTION_VOLATILE);
    Texts seen;
    for (const std::string &name : ValueNames(HKEY_LOCAL_MACHINE, kSerialCommKey))
        seen.push_back(ReadRegistryString(HKEY_LOCAL_MACHINE, kSerialCommKey, name));
    ASSERT_EQ(seen, ports);
}

class PortAssignmentE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultPrinterDevice("");
        DeletePrinterNamed(kPrinter);
        SetVersion("win10");
        for (const char *pszPort : {"USB001", "USB002"})
            WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, pszPort, "");
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "USB003");
        AttachPorts({});
    }
    void TearDown() override {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaultsKey);
        for (const char *pszPort : {"USB001", "USB002", "USB003"})
            DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, pszPort);
        AttachPorts({});
    }
    static void SetVersion(const char *pszVersion) {
        WriteRegistryString(HKEY_CURRENT_USER, kAppDefaultsKey, "Version", pszVersion);
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
        EXPECT_EQ(window.Status(), "Checking  USB002 ....");
        EXPECT_EQ(window.Progress(), 60);
        return box;
    }
    static void Answer(const MessageBoxSeen &box, int nButton) {
        InstallerWindow::Answer(box, nButton);
        EXPECT_TRUE(WaitFor([&] { return !::IsWindowVisible(box.hWnd); }));
    }

    DWORD m_dwStarts = 0;
};

TEST_F(PortAssignmentE2E, UsbPrinterGoesToThePortItsDeviceIsOn) {
    AttachPorts({"USB002"});
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    StartInstall(window, kUsbKind);
    ExpectFinished(window);
    EXPECT_EQ(window.Status(), "The installation is completed.");
    EXPECT_EQ(Starts(), 2u);
    EXPECT_EQ(PortOf(kPrinter), "USB002");
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW USB002");
    EXPECT_EQ(OnLineOf(kPrinter), 1u);
}

// Retry runs the pass again; a printer plugged in meanwhile brings a new
// port, which the next pass tries.
TEST_F(PortAssignmentE2E, UsbRetryTriesAgainAndFindsAPortPluggedInMeanwhile) {
    {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kUsbKind);
        Answer(WaitNotFoundBox(window), IDRETRY);
        EXPECT_EQ(Starts(), 2u);
        const MessageBoxSeen box = WaitNotFoundBox(window);
        EXPECT_EQ(Starts(), 4u);
        Answer(box, IDCANCEL);
        ExpectFinished(window);
        EXPECT_EQ(PortOf(kPrinter), "USB002");
    }
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    StartInstall(window, kUsbKind);
    const MessageBoxSeen box = WaitNotFoundBox(window);
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "USB003", "");
    AttachPorts({"USB003"});
    Answer(box, IDRETRY);
    ExpectFinished(window);
    EXPECT_EQ(Starts(), 5u);
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW USB003");
}

TEST_F(PortAssignmentE2E, UsbOnWindows7TakesTheLastPortWithoutRestart) {
    SetVersion("win7");
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    StartInstall(window, kUsbKind);
    ExpectFinished(window);
    EXPECT_EQ(Starts(), 0u);
    EXPECT_EQ(PortOf(kPrinter), "USB002");
}

// Two devices leave everything alone; one takes the printer and its line
// settings and refreshes the other serial printers; none leaves the printer
// on the parallel port, and without that either there is no printer.
TEST_F(PortAssignmentE2E, SerialPrinterIsBoundToTheOneSerialDevice) {
    const std::string kStatusHead = "The current printer port is COM1:";
    {
        SetSerialDevices({"COM1", "COM2"});
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kSerialKind);
        ExpectFinished(window);
        EXPECT_EQ(window.Status(), kStatusHead + " ,you can set that after the installation");
        EXPECT_EQ(Starts(), 0u);
        EXPECT_EQ(PortOf(kPrinter), "COM1:");
    }
    const std::vector<std::pair<std::string, std::string>> others = {
        {"Serial Old", "COM2:"}, {"Parallel Old", "LPT1:"}, {"Lower Old", "com3:"}};
    for (const auto &other : others) {
        DeletePrinterNamed(other.first);
        ASSERT_TRUE(AddPrinterOn(other.first, kModel, other.second));
        WriteRegistryDword(HKEY_CURRENT_CONFIG, kProfilePrintersKey + other.first, kOnLineValue, 1);
    }
    WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "COM1:", "19200,e,7,2");
    {
        SetSerialDevices({"COM1"});
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kSerialKind);
        ExpectFinished(window);
        EXPECT_EQ(window.Status(), kStatusHead + ",you can configure after the installation");
        EXPECT_EQ(Starts(), 2u);
        EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW COM1:");
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "COM1:"), "9600,n,8,1");
        for (const auto &other : others) {
            EXPECT_EQ(PortOf(other.first), other.second);
            EXPECT_EQ(OnLineOf(other.first), other.first == "Serial Old" ? 0u : 1u) << other.first;
            DeletePrinterNamed(other.first);
        }
    }
    {
        SetSerialDevices({});
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kSerialKind);
        ExpectFinished(window);
        EXPECT_EQ(window.Status(),
                  "Unable to detect available printer.The current printer port is LPT1:");
        EXPECT_EQ(PortOf(kPrinter), "LPT1:");
        EXPECT_EQ(DefaultPrinterDevice(), std::string(kPrinter) + ",winspool,LPT1:");
    }
    DeletePrinterNamed(kPrinter);
    const Texts parallel = {"LPT1:", "LPT2:", "LPT3:"};
    Texts saved;
    for (const std::string &port : parallel) {
        saved.push_back(ReadRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, port));
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, port);
    }
    {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        StartInstall(window, kSerialKind);
        const MessageBoxSeen box = window.WaitMessageBox();
        EXPECT_EQ(box.caption + ": " + box.text,
                  "Prompt: There's no available useful port,please select other type of port");
        Answer(box, IDOK);
        EXPECT_TRUE(window.WaitInstallCaption("Reinstall"));
        EXPECT_EQ(PortOf(kPrinter), "");
    }
    for (size_t i = 0; i < parallel.size(); ++i)
        WriteRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, parallel[i], saved[i]);
}

} // namespace
