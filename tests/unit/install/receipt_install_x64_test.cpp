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

#include <string>
#include <vector>

namespace {

const char kTicketX64[] = "C:\\Ticket\\x64";
const char kModel[] = "Receipt Model A04";
const std::vector<std::string> kStagedAndRemoved = {"RMGRP1.DLL", "RMA04.GPD",   "uniDRVui.DLL",
                                                    "uniDRV.DLL", "UNIDRV.HLP",  "UNIRES.DLL",
                                                    "TTFSUB.GPD", "STDNAMES.GPD"};
const std::vector<std::string> kPluginFiles = {"XOEMUNI.dll", "XOEMUNI.ini"};

struct CopySpy {
    static std::vector<std::pair<std::string, std::string>> copies;
    static BOOL WINAPI CopyFileA(LPCSTR lpExisting, LPCSTR lpNew, BOOL bFailIfExists) {
        copies.emplace_back(lpExisting, lpNew);
        return ::CopyFileA(lpExisting, lpNew, bFailIfExists);
    }
};
std::vector<std::pair<std::string, std::string>> CopySpy::copies;

std::string X64DriverDirectory() {
    char directory[MAX_PATH] = {};
    DWORD cbNeeded = 0;
    ::GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Windows x64"), 1,
                                 reinterpret_cast<LPBYTE>(directory), sizeof(directory), &cbNeeded);
    return directory;
}

// The data file of a driver registered for "Windows x64", empty when there is none.
std::string RegisteredX64DataFile(const std::string &driver) {
    DWORD cbNeeded = 0;
    DWORD cDrivers = 0;
    ::EnumPrinterDriversA(nullptr, const_cast<LPSTR>("Windows x64"), 3, nullptr, 0, &cbNeeded,
                          &cDrivers);
    std::vector<BYTE> buffer(cbNeeded + 1);
    if (!::EnumPrinterDriversA(nullptr, const_cast<LPSTR>("Windows x64"), 3, buffer.data(),
                               cbNeeded, &cbNeeded, &cDrivers))
        return "";
    const auto *pDrivers = reinterpret_cast<const DRIVER_INFO_3A *>(buffer.data());
    for (DWORD i = 0; i < cDrivers; ++i) {
        if (driver == pDrivers[i].pName)
            return pDrivers[i].pDataFile;
    }
    return "";
}

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
        m_directory = X64DriverDirectory();
        for (const std::string &name : kPluginFiles)
            ::DeleteFileA((m_directory + "\\" + name).c_str());
        CopySpy::copies.clear();
        api().CopyFileA = CopySpy::CopyFileA;
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

    ASSERT_EQ(CopySpy::copies.size(), 10u);
    for (const auto &copy : CopySpy::copies) {
        EXPECT_EQ(copy.first.rfind("C:\\Ticket\\x64\\", 0), 0u) << copy.first;
        EXPECT_EQ(copy.second.rfind(m_directory + "\\", 0), 0u) << copy.second;
    }
    const std::string dataFile = RegisteredX64DataFile(kModel);
    EXPECT_NE(dataFile.find("RMA04.GPD"), std::string::npos) << dataFile;
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
