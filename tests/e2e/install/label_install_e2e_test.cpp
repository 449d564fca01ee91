// A label printer installed from the release folder through the window
// only: the language monitor, the driver with its files and the printer are
// then asked of the spooler, the system and the driver directory.
#include "support/black_box.h"
#include "support/system_width.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

const char kMonitor[] = "Advanced Language Monitor";
const char kTypedName[] = "Typed Name";
const int kParallelKind = 2;
const std::vector<std::string> kUnpacked = {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"};

// The files of a label model for this width: the monitor, the driver, its
// user interface and the 27 language DLLs, in the package's order.
std::vector<std::string> WidthFiles() {
    const std::string suffix = SystemIs64Bit() ? "56.DLL" : "50.DLL";
    std::vector<std::string> files = {SystemIs64Bit() ? "zkvNLM64.dll" : "zkvNLMNT.dll",
                                      "QLMDRV" + suffix, "QLMUI" + suffix};
    for (const char *code : {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
                             "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                             "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"})
        files.push_back("QLM" + std::string(code) + suffix);
    return files;
}

constexpr bool k64BitProgram = sizeof(void *) == 8;

// Where the monitor DLL is put: the system directory, for the 32-bit
// program on 64-bit Windows the Windows directory's SysWOW64.
std::string MonitorPath() {
    char directory[MAX_PATH] = {};
    if (SystemIs64Bit() && !k64BitProgram) {
        ::GetWindowsDirectoryA(directory, MAX_PATH);
        return std::string(directory) + "\\SysWOW64\\" + WidthFiles()[0];
    }
    ::GetSystemDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + WidthFiles()[0];
}

// The DLL the spooler's monitor of that name is loaded from, as it was
// given, empty when absent.
std::string MonitorDll() {
    DWORD cbNeeded = 0;
    DWORD cMonitors = 0;
    ::EnumMonitorsA(nullptr, 2, nullptr, 0, &cbNeeded, &cMonitors);
    std::vector<BYTE> buffer(cbNeeded + 1);
    ::EnumMonitorsA(nullptr, 2, buffer.data(), cbNeeded, &cbNeeded, &cMonitors);
    const auto *pMonitors = reinterpret_cast<const MONITOR_INFO_2A *>(buffer.data());
    for (DWORD i = 0; i < cMonitors; ++i) {
        if (std::string(pMonitors[i].pName) == kMonitor)
            return pMonitors[i].pDLLName;
    }
    return "";
}

const DriverSeen *FindDriver(const std::vector<DriverSeen> &drivers, const std::string &name) {
    for (const DriverSeen &driver : drivers)
        if (driver.name == name)
            return &driver;
    return nullptr;
}

class LabelInstallE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultPrinterDevice("");
        for (const char *model : {"Label Model L01", "Label Model L02", kTypedName})
            DeletePrinterNamed(model);
        for (const std::string &path : kUnpacked)
            ASSERT_FALSE(FileExists(path)) << path << " is left from an earlier run";
    }

    // Installs model on the parallel port with another name typed in, up to
    // "&Finish", then ends the program with it.
    static void Install(const std::string &model) {
        InstallerWindow window(kReleaseProgram, kReleaseDir);
        ASSERT_TRUE(window.Found());
        ASSERT_TRUE(window.WaitInstallEnabled());
        Start(window, model);
        ASSERT_TRUE(window.WaitInstallCaption("&Finish")) << window.WaitMessageBox(0).text;
        EXPECT_EQ(window.Status(), "The installation is completed.");
        window.Click(IDC_INSTALL);
        ASSERT_TRUE(window.WaitExit());
    }
    static void Start(const InstallerWindow &window, const std::string &model) {
        const std::vector<std::string> models = window.DriverList();
        for (size_t i = 0; i < models.size(); ++i)
            if (models[i] == model)
                window.SelectDriver(static_cast<int>(i));
        window.SetPrinterName(kTypedName);
        window.SelectPortKind(kParallelKind);
        window.Click(IDC_INSTALL);
        ASSERT_TRUE(window.ConfirmParallelPort());
    }
};

TEST_F(LabelInstallE2E, LabelModelInstallsWithItsLanguageMonitorUnderTheListsName) {
    Install("Label Model L02");
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(FileExists(MonitorPath())) << MonitorPath();
    // The 64-bit program names the monitor by its file, which Windows looks
    // for in the system directory, and leaves SysWOW64 alone.
    EXPECT_EQ(MonitorDll(), k64BitProgram ? WidthFiles()[0] : MonitorPath());
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (k64BitProgram) {
        EXPECT_FALSE(FileExists(std::string(windows) + "\\SysWOW64\\" + WidthFiles()[0]));
    }

    const std::vector<DriverSeen> drivers = InstalledDrivers(DriverEnvironment());
    const DriverSeen *pDriver = FindDriver(drivers, "Label Model L02");
    ASSERT_NE(pDriver, nullptr);
    const std::vector<std::string> files = WidthFiles();
    EXPECT_EQ(pDriver->monitor, kMonitor);
    EXPECT_EQ(pDriver->driverPath + " " + pDriver->configFile + " " + pDriver->dataFile,
              files[1] + " " + files[2] + " LMDL02.DAT");
    std::vector<std::string> dependent(files.begin() + 3, files.end());
    dependent.insert(dependent.end(), {"LMDL02.BA0", "LMDL02.PP0"});
    EXPECT_EQ(pDriver->dependentFiles, dependent);

    EXPECT_EQ(Printer("Label Model L02"), "Label Model L02 WinPrint RAW LPT1:");
    EXPECT_EQ(PrintersNamed(kTypedName), 0);
    EXPECT_EQ(DefaultPrinterDevice(), "Label Model L02,winspool,LPT1:");

    const std::string directory = DriverDirectory(DriverEnvironment());
    std::vector<std::string> staged = files;
    staged.insert(staged.end(), {"THERMAL.chm", "LMDL02.BA0", "LMDL02.DAT", "LMDL02.PP0"});
    for (const std::string &name : staged)
        EXPECT_FALSE(FileExists(directory + "\\" + name)) << name;
    for (const std::string &path : kUnpacked)
        EXPECT_FALSE(FileExists(path)) << path;
}

// A monitor DLL without its entry point cannot be added: the program says so
// in its own box and ends, with no driver and no printer.
TEST_F(LabelInstallE2E, MonitorThatCannotBeAddedEndsTheProgram) {
    const std::string folder = WinePath(E2E_BROKEN_MONITOR_DIR);
    InstallerWindow window(folder + "\\" E2E_PROGRAM, folder);
    ASSERT_TRUE(window.Found());
    ASSERT_TRUE(window.WaitInstallEnabled());
    Start(window, "Label Model L05");
    const MessageBoxSeen box = window.WaitMessageBox();
    // The status line tells the spooler's code as well: no entry point.
    EXPECT_EQ(window.Status(), "Failed to add Monitor, error 127");
    const std::string program = E2E_PROGRAM;
    EXPECT_EQ(box.caption, program.substr(0, program.size() - 4));
    EXPECT_EQ(box.text, "Failed to add Monitor\r\n");
    InstallerWindow::Answer(box, IDOK);
    ASSERT_TRUE(window.WaitExit());
    EXPECT_EQ(FindDriver(InstalledDrivers(DriverEnvironment()), "Label Model L05"), nullptr);
    EXPECT_EQ(Printer("Label Model L05"), "");
    for (const std::string &path : kUnpacked)
        EXPECT_FALSE(FileExists(path)) << path;
}

} // namespace
