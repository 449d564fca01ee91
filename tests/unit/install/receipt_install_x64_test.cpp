// The receipt installation on 64-bit Windows, run in a 64-bit Wine prefix
// where the program, a 32-bit process, sees IsWow64Process TRUE and the
// spooler's x64 driver directory. Staging and the registration for
// "Windows x64" are real.
//
// Wine's limit: AddPrinterA then fails with 87, because Wine looks the new
// driver up under the 32-bit environment. The printer's creation is
// therefore recorded through the seam instead of reaching Wine's spooler.
#include "install/install_fixture.h"

#include "support/win_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kTicketX64[] = "C:\\Ticket\\x64";
const char kModel[] = "Receipt Model A04";
const std::vector<std::string> kStagedAndRemoved = {"RMGRP1.DLL", "RMA04.GPD",   "uniDRVui.DLL",
                                                    "uniDRV.DLL", "UNIDRV.HLP",  "UNIRES.DLL",
                                                    "TTFSUB.GPD", "STDNAMES.GPD"};
const std::vector<std::string> kPluginFiles = {"XOEMUNI.dll", "XOEMUNI.ini"};

class ReceiptInstallX64Test : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        ::CreateDirectoryA("C:\\Ticket", nullptr);
        ::CreateDirectoryA(kTicketX64, nullptr);
        std::vector<std::string> names = kStagedAndRemoved;
        names.insert(names.end(), kPluginFiles.begin(), kPluginFiles.end());
        for (const std::string &name : names)
            WriteTextFile(std::string(kTicketX64) + "\\" + name, "x64 " + name);
        m_directory = DriverDirectory("Windows x64");
        for (const std::string &name : kPluginFiles)
            ::DeleteFileA((m_directory + "\\" + name).c_str());
    }
    void TearDown() override {
        InstallTest::TearDown();
        RemoveTree("C:\\Ticket");
    }

    std::string m_directory;
};

TEST_F(ReceiptInstallX64Test, StagesFromTheX64TreeAndRegistersForWindowsX64) {
    ASSERT_FALSE(m_directory.empty());
    InstallTestDlg &dlg = StartFor(kModel, "Kitchen x64", 2);
    ASSERT_TRUE(dlg.m_bWow64) << "not a 64-bit prefix";
    SetList(dlg.m_arrParallelPorts, {"LPT1:"});
    PressInstall();

    ASSERT_EQ(FileSpy::copies.size(), 10u);
    for (const auto &copy : FileSpy::copies) {
        EXPECT_EQ(copy.first.rfind("C:\\Ticket\\x64\\", 0), 0u) << copy.first;
        EXPECT_EQ(copy.second.rfind(m_directory + "\\", 0), 0u) << copy.second;
    }
    const std::vector<DriverSeen> drivers = InstalledDrivers("Windows x64");
    const auto it = std::find_if(drivers.begin(), drivers.end(),
                                 [](const DriverSeen &driver) { return driver.name == kModel; });
    ASSERT_NE(it, drivers.end());
    EXPECT_NE(it->dataFile.find("RMA04.GPD"), std::string::npos) << it->dataFile;
    for (const std::string &name : kStagedAndRemoved)
        EXPECT_FALSE(FileExists(m_directory + "\\" + name)) << name;
    for (const std::string &name : kPluginFiles)
        EXPECT_EQ(ReadTextFile(m_directory + "\\" + name), "x64 " + name);

    ASSERT_EQ(PrinterFake::added.size(), 1u);
    EXPECT_EQ(PrinterFake::added[0].driverName, kModel);
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_EQ(Runner().Progress(), 100);
    EXPECT_TRUE(BoxFake::boxes.empty());
}

} // namespace
