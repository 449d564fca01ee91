// A receipt printer installed from the release folder as an administrator
// would: through the window only, then the spooler, the registry and the
// driver directory are asked what the installation left behind.
#include "support/system_width.h"
#include "support/black_box.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kPrinter[] = "Receipt Counter";
const std::vector<std::string> kStagedCopies = {"RMGRP1.DLL", "RMA04.GPD",   "uniDRVui.DLL",
                                                "uniDRV.DLL", "UNIDRV.HLP",  "UNIRES.DLL",
                                                "TTFSUB.GPD", "STDNAMES.GPD"};
const std::vector<std::string> kPluginFiles = {"XOEMUNI.dll", "XOEMUNI.ini"};
const std::vector<std::string> kUnpacked = {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"};
const int kParallelKind = 2;

class ReceiptInstallE2E : public ::testing::Test {
protected:
    void SetUp() override {
        // Windows always has the default printer's key; a new Wine prefix not yet.
        SetDefaultPrinterDevice("");
        DeletePrinterNamed(kPrinter);
        m_directory = DriverDirectory(DriverEnvironment());
        ASSERT_FALSE(m_directory.empty());
        for (const std::string &name : kPluginFiles)
            ::DeleteFileA((m_directory + "\\" + name).c_str());
        for (const std::string &path : kUnpacked)
            ASSERT_FALSE(FileExists(path)) << path << " is left from an earlier run";
    }

    // Installs model as kPrinter on the parallel port and waits for "&Finish".
    static void Install(const InstallerWindow &window, const std::string &model) {
        ASSERT_TRUE(window.Found());
        ASSERT_TRUE(window.WaitInstallEnabled());
        const std::vector<std::string> models = window.DriverList();
        const auto itModel = std::find(models.begin(), models.end(), model);
        ASSERT_NE(itModel, models.end()) << model;
        window.SelectDriver(static_cast<int>(itModel - models.begin()));
        window.SetPrinterName(kPrinter);
        window.SelectPortKind(kParallelKind);
        window.Click(IDC_INSTALL);
        ASSERT_TRUE(window.ConfirmParallelPort());
        const bool bFinished = window.WaitInstallCaption("&Finish");
        if (!bFinished) {
            const MessageBoxSeen box = window.WaitMessageBox(0);
            FAIL() << "no \"&Finish\"; box \"" << box.caption << "\": " << box.text;
        }
    }

    std::string m_directory;
};

TEST_F(ReceiptInstallE2E, ReceiptModelOnTheParallelPortInstallsFromTheReleaseFolder) {
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    Install(window, "Receipt Model A04");
    if (HasFatalFailure())
        return;
    EXPECT_EQ(window.Status(), "The installation is completed.");
    EXPECT_EQ(window.Progress(), 100);
    EXPECT_TRUE(window.Enabled(IDC_INSTALL));

    const std::vector<DriverSeen> drivers = InstalledDrivers(DriverEnvironment());
    EXPECT_NE(
        std::find_if(drivers.begin(), drivers.end(),
                     [](const DriverSeen &driver) { return driver.name == "Receipt Model A04"; }),
        drivers.end());
    EXPECT_EQ(Printer(kPrinter), "Receipt Model A04 WinPrint RAW LPT1:");
    EXPECT_EQ(DefaultPrinterDevice(), "Receipt Counter,winspool,LPT1:");
    for (const std::string &name : kStagedCopies)
        EXPECT_FALSE(FileExists(m_directory + "\\" + name)) << name;
    for (const std::string &name : kPluginFiles)
        EXPECT_TRUE(FileExists(m_directory + "\\" + name)) << name;

    window.Click(IDC_INSTALL);
    ASSERT_TRUE(window.WaitExit());
    for (const std::string &path : kUnpacked)
        EXPECT_FALSE(FileExists(path)) << path;
}

// A vendor's package packed by 7z under the same name: the library goes by content.
TEST_F(ReceiptInstallE2E, ReceiptModelInstallsFromA7zPackage) {
    std::vector<std::string> zipModels;
    {
        InstallerWindow zipWindow(kReleaseProgram, kReleaseDir);
        ASSERT_TRUE(zipWindow.Found() && zipWindow.WaitInstallEnabled());
        zipModels = zipWindow.DriverList();
        zipWindow.CloseBox();
        ASSERT_TRUE(zipWindow.WaitExit());
    }
    const std::string folder = WinePath(E2E_SEVENZIP_RELEASE_DIR);
    InstallerWindow window(folder + "\\" E2E_PROGRAM, folder);
    Install(window, "Receipt Model A04");
    if (HasFatalFailure())
        return;
    EXPECT_EQ(window.DriverList(), zipModels);
    EXPECT_EQ(window.Status(), "The installation is completed.");
    EXPECT_EQ(Printer(kPrinter), "Receipt Model A04 WinPrint RAW LPT1:");
    for (const std::string &name : kPluginFiles)
        EXPECT_TRUE(FileExists(m_directory + "\\" + name)) << name;
    window.Click(IDC_INSTALL);
    ASSERT_TRUE(window.WaitExit());
    for (const std::string &path : kUnpacked)
        EXPECT_FALSE(FileExists(path)) << path;
}

} // namespace
