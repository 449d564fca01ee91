// The receipt installation: which files are staged where, the driver record
// the spooler is handed byte for byte, and what the user is left with when
// the spooler or the driver directory fails.
#include "install/printer_creation_fixture.h"

#include "support/wine_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kDriverDirectory[] = "C:\\rcpt-test\\drivers";
const char kTestRoot[] = "C:\\rcpt-test";
const char kTicket[] = "C:\\Ticket";
const std::vector<std::string> kCoreFiles = {"uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                                             "UNIRES.DLL",   "TTFSUB.GPD", "STDNAMES.GPD"};

// Everything that reaches the platform during an installation, in order.
std::vector<std::string> g_events;

struct DriverDirectoryFake {
    static std::string environment;
    static std::string answer;
    static DWORD dwError;
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                                  LPBYTE pDriverDirectory, DWORD cbBuf,
                                                  LPDWORD pcbNeeded) {
        environment = pEnvironment != nullptr ? pEnvironment : "<null>";
        EXPECT_EQ(pName, nullptr);
        EXPECT_EQ(Level, 1u);
        EXPECT_EQ(cbBuf, 255u);
        g_events.push_back("GetPrinterDriverDirectory");
        if (dwError != 0) {
            ::SetLastError(dwError);
            return FALSE;
        }
        *pcbNeeded = static_cast<DWORD>(answer.size() + 1);
        if (answer.size() + 1 > cbBuf) {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        answer.copy(reinterpret_cast<char *>(pDriverDirectory), answer.size());
        pDriverDirectory[answer.size()] = 0;
        return TRUE;
    }
};
std::string DriverDirectoryFake::environment;
std::string DriverDirectoryFake::answer;
DWORD DriverDirectoryFake::dwError = 0;

// Copies and deletions are real, and recorded.
struct FileSpy {
    static std::vector<std::pair<std::string, std::string>> copies;
    static std::vector<std::string> deletions;
    static BOOL WINAPI CopyFileA(LPCSTR lpExisting, LPCSTR lpNew, BOOL bFailIfExists) {
        EXPECT_FALSE(bFailIfExists);
        copies.emplace_back(lpExisting, lpNew);
        g_events.push_back("CopyFile");
        return ::CopyFileA(lpExisting, lpNew, bFailIfExists);
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
        deletions.push_back(lpFileName);
        g_events.push_back("DeleteFile");
        return ::DeleteFileA(lpFileName);
    }
};
std::vector<std::pair<std::string, std::string>> FileSpy::copies;
std::vector<std::string> FileSpy::deletions;

struct ServiceSpy {
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpStatus) {
        g_events.push_back("QueryServiceStatus");
        return ServiceFake::QueryServiceStatus(hService, lpStatus);
    }
};

// The driver record as the spooler received it.
struct DriverRecord {
    DWORD dwLevel = 0;
    DWORD dwFlags = 0;
    DWORD cVersion = 0;
    std::string name, environment, driverPath, dataFile, configFile, helpFile;
    std::string dependentFiles; // up to and with the closing NUL
    std::string monitorName, defaultDatatype;
};

std::string Field(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

struct DriverFake {
    static std::vector<DriverRecord> records;
    static DWORD dwError;
    static BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo,
                                           DWORD dwFileCopyFlags) {
        EXPECT_EQ(pName, nullptr);
        g_events.push_back("AddPrinterDriverEx");
        const auto *pInfo = reinterpret_cast<const DRIVER_INFO_3A *>(pDriverInfo);
        DriverRecord record;
        record.dwLevel = Level;
        record.dwFlags = dwFileCopyFlags;
        record.cVersion = pInfo->cVersion;
        record.name = Field(pInfo->pName);
        record.environment = Field(pInfo->pEnvironment);
        record.driverPath = Field(pInfo->pDriverPath);
        record.dataFile = Field(pInfo->pDataFile);
        record.configFile = Field(pInfo->pConfigFile);
        record.helpFile = Field(pInfo->pHelpFile);
        record.monitorName = Field(pInfo->pMonitorName);
        record.defaultDatatype = Field(pInfo->pDefaultDataType);
        const char *pList = pInfo->pDependentFiles;
        size_t cb = 0;
        while (cb + 1 < 256 && !(pList[cb] == '\0' && pList[cb + 1] == '\0'))
            ++cb;
        record.dependentFiles.assign(pList, cb + 2);
        records.push_back(record);
        if (dwError != 0) {
            ::SetLastError(dwError);
            return FALSE;
        }
        return TRUE;
    }
};
std::vector<DriverRecord> DriverFake::records;
DWORD DriverFake::dwError = 0;

struct VersionFake {
    static DWORD dwPlatform, dwMajor, dwMinor;
    static BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA pInfo) {
        pInfo->dwPlatformId = dwPlatform;
        pInfo->dwMajorVersion = dwMajor;
        pInfo->dwMinorVersion = dwMinor;
        return TRUE;
    }
};
DWORD VersionFake::dwPlatform = VER_PLATFORM_WIN32_NT;
DWORD VersionFake::dwMajor = 6;
DWORD VersionFake::dwMinor = 1;

std::string Staged(const std::string &name) {
    return std::string(kDriverDirectory) + "\\" + name;
}

// The dependent-file list as the spooler must see it: names each closed by
// a NUL, then one more.
std::string DependentFiles(bool bPluginModel, const std::string &groupDll) {
    std::string list("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0", 38);
    if (bPluginModel)
        list += std::string("\\XOEMUNI.ini\0\\XOEMUNI.dll\0", 26);
    list += groupDll;
    list += std::string("\0\0", 2);
    return list;
}

void WritePackageTree(const std::string &folder) {
    ::CreateDirectoryA(kTicket, nullptr);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> names = kCoreFiles;
    for (const char *pszDll : {"RMGRP1", "RMGRP2", "RMGRP2W", "RMGRP3", "RMGRP3X", "RMGRP4"})
        names.push_back(std::string(pszDll) + ".DLL");
    for (const char *pszGpd : {"RMA04", "RMB01", "RMB05", "RMC01", "RMD01", "RMD04", "RMD06"})
        names.push_back(std::string(pszGpd) + ".GPD");
    names.push_back("XOEMUNI.dll");
    names.push_back("XOEMUNI.ini");
    for (const std::string &name : names)
        WriteTextFile(folder + "\\" + name, folder + " " + name);
}

class ReceiptInstallTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        WritePackageTree("C:\\Ticket\\x86");
        WritePackageTree("C:\\Ticket\\x64");
        RemoveTree(kTestRoot);
        ::CreateDirectoryA(kTestRoot, nullptr);
        ::CreateDirectoryA(kDriverDirectory, nullptr);
        g_events.clear();
        DriverDirectoryFake::answer = kDriverDirectory;
        DriverDirectoryFake::dwError = 0;
        DriverDirectoryFake::environment.clear();
        FileSpy::copies.clear();
        FileSpy::deletions.clear();
        DriverFake::records.clear();
        DriverFake::dwError = 0;
        api().GetPrinterDriverDirectoryA = DriverDirectoryFake::GetPrinterDriverDirectoryA;
        api().CopyFileA = FileSpy::CopyFileA;
        api().DeleteFileA = FileSpy::DeleteFileA;
        api().AddPrinterDriverExA = DriverFake::AddPrinterDriverExA;
        PrinterFake::Install(api());
    }
    void TearDown() override {
        InstallTest::TearDown();
        RemoveTree(kTestRoot);
        RemoveTree(kTicket);
    }

    // The dialog ready to install a model on the parallel port.
    InstallTestDlg &StartFor(const std::string &model, const std::string &printer) {
        InstallTestDlg &dlg = Start();
        SelectModel(model);
        SetPrinterName(printer);
        SelectPortKind(2);
        SetList(dlg.m_arrParallelPorts, {"LPT1:"});
        return dlg;
    }
    // Presses Install again on a dialog that an installation has finished.
    void InstallAgain() {
        ::SetWindowTextA(Runner().Item(1012), "&Install");
        FileSpy::copies.clear();
        DriverFake::records.clear();
        PressInstall();
    }
    static void SetList(CStringArray &list, const std::vector<std::string> &entries) {
        list.RemoveAll();
        for (const std::string &entry : entries)
            list.Add(entry.c_str());
    }
};

TEST_F(ReceiptInstallTest, StagesRegistersAndCleansUpAnOrdinaryModel) {
    StartFor("Receipt Model A04", "Kitchen");
    api().QueryServiceStatus = ServiceSpy::QueryServiceStatus;
    PressInstall();

    EXPECT_EQ(DriverDirectoryFake::environment, "Windows NT x86");
    std::vector<std::string> order = {"RMGRP1.DLL", "RMA04.GPD", "XOEMUNI.dll", "XOEMUNI.ini"};
    order.insert(order.end(), kCoreFiles.begin(), kCoreFiles.end());
    ASSERT_EQ(FileSpy::copies.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(FileSpy::copies[i].first, "C:\\Ticket\\x86\\" + order[i]);
        EXPECT_EQ(FileSpy::copies[i].second, Staged(order[i]));
    }
    // One status per destination, in the order of the copies.
    std::vector<std::string> statuses(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        statuses[i] = Staged(order[i]);
    statuses.push_back("Adding printer drive Receipt Model A04");
    statuses.push_back("Driver Receipt Model A04 is added");
    ASSERT_GE(Shown().statuses.size(), statuses.size());
    EXPECT_EQ(std::vector<std::string>(Shown().statuses.begin(),
                                       Shown().statuses.begin() + statuses.size()),
              statuses);

    ASSERT_EQ(DriverFake::records.size(), 1u);
    const DriverRecord &record = DriverFake::records[0];
    EXPECT_EQ(record.dwLevel, 3u);
    EXPECT_EQ(record.dwFlags, static_cast<DWORD>(APD_COPY_NEW_FILES));
    EXPECT_EQ(record.cVersion, 3u);
    EXPECT_EQ(record.name, "Receipt Model A04");
    EXPECT_EQ(record.environment, "Windows NT x86");
    EXPECT_EQ(record.driverPath, Staged("uniDRV.DLL"));
    EXPECT_EQ(record.dataFile, Staged("RMA04.GPD"));
    EXPECT_EQ(record.configFile, Staged("uniDRVui.DLL"));
    EXPECT_EQ(record.helpFile, Staged("uniDRV.HLP"));
    EXPECT_EQ(record.dependentFiles, DependentFiles(false, "RMGRP1.DLL"));
    EXPECT_EQ(record.monitorName, "");
    EXPECT_EQ(record.defaultDatatype, "RAW");

    // The spooler is made to run between the last copy and the registration.
    const auto itAdd = std::find(g_events.begin(), g_events.end(), "AddPrinterDriverEx");
    const auto itLastCopy = std::find(g_events.rbegin(), g_events.rend(), "CopyFile").base();
    EXPECT_NE(std::find(itLastCopy, itAdd, "QueryServiceStatus"), itAdd);

    std::vector<std::string> removed = {"RMGRP1.DLL", "RMA04.GPD"};
    removed.insert(removed.end(), kCoreFiles.begin(), kCoreFiles.end());
    ASSERT_EQ(FileSpy::deletions.size(), removed.size());
    for (size_t i = 0; i < removed.size(); ++i) {
        EXPECT_EQ(FileSpy::deletions[i], Staged(removed[i]));
        EXPECT_FALSE(FileExists(Staged(removed[i])));
    }
    EXPECT_TRUE(FileExists(Staged("XOEMUNI.dll")));
    EXPECT_TRUE(FileExists(Staged("XOEMUNI.ini")));

    ASSERT_EQ(PrinterFake::added.size(), 1u);
    EXPECT_EQ(PrinterFake::added[0].printerName, "Kitchen");
    EXPECT_EQ(PrinterFake::added[0].driverName, "Receipt Model A04");
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_EQ(Shown().positions, (std::vector<int>{10, 20, 30, 40, 100}));
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(ReceiptInstallTest, EachModelGetsItsGroupDllAndPluginModelsTheirPluginFiles) {
    struct Case {
        const char *model;
        const char *gpd;
        const char *groupDll;
        bool bPlugin;
    };
    const Case cases[] = {
        {"Receipt Model A04", "RMA04.GPD", "RMGRP1.DLL", false},
        {"Receipt Model B01", "RMB01.GPD", "RMGRP2.DLL", false},
        // Catalogue index 19 has a DLL of its own only when the list shows its name.
        {"Receipt Model B05", "RMB05.GPD", "RMGRP2W.DLL", false},
        {kAliasOfModel19, "RMB05.GPD", "RMGRP2.DLL", false},
        {"Receipt Model C01", "RMC01.GPD", "RMGRP3.DLL", false},
        {"Receipt Model D01", "RMD01.GPD", "RMGRP4.DLL", false},
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true},
        {"Receipt Model D06", "RMD06.GPD", "RMGRP4.DLL", true},
    };
    StartFor("Receipt Model A04", "Kitchen");
    for (const Case &c : cases) {
        SelectModel(c.model);
        InstallAgain();

        ASSERT_EQ(DriverFake::records.size(), 1u) << c.model;
        const DriverRecord &record = DriverFake::records[0];
        EXPECT_EQ(record.dataFile, Staged(c.gpd)) << c.model;
        EXPECT_EQ(record.dependentFiles, DependentFiles(c.bPlugin, c.groupDll)) << c.model;
        ASSERT_GE(FileSpy::copies.size(), 2u);
        EXPECT_EQ(FileSpy::copies[0].second, Staged(c.groupDll)) << c.model;
        EXPECT_EQ(InstallCaption(), "&Finish") << c.model;
    }
}

TEST_F(ReceiptInstallTest, DriverVersionIsTwoOnlyOnWindowsNt) {
    struct Case {
        DWORD dwPlatform, dwMajor, dwMinor, cVersion;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 4, 0, 2},       {VER_PLATFORM_WIN32_NT, 3, 51, 2},
        {VER_PLATFORM_WIN32_NT, 5, 1, 3},       {VER_PLATFORM_WIN32_NT, 10, 0, 3},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 3},
    };
    StartFor("Receipt Model A04", "Kitchen");
    api().GetVersionExA = VersionFake::GetVersionExA;
    for (const Case &c : cases) {
        VersionFake::dwPlatform = c.dwPlatform;
        VersionFake::dwMajor = c.dwMajor;
        VersionFake::dwMinor = c.dwMinor;
        InstallAgain();
        ASSERT_EQ(DriverFake::records.size(), 1u);
        EXPECT_EQ(DriverFake::records[0].cVersion, c.cVersion) << c.dwMajor << "." << c.dwMinor;
    }
}

TEST_F(ReceiptInstallTest, SixtyFourBitWindowsTakesTheX64FilesAndEnvironment) {
    InstallTestDlg &dlg = StartFor("Receipt Model D04", "Kitchen");
    dlg.m_bWow64 = TRUE;
    PressInstall();

    EXPECT_EQ(DriverDirectoryFake::environment, "Windows x64");
    ASSERT_EQ(FileSpy::copies.size(), 10u);
    for (const auto &copy : FileSpy::copies)
        EXPECT_EQ(copy.first.rfind("C:\\Ticket\\x64\\", 0), 0u) << copy.first;
    ASSERT_EQ(DriverFake::records.size(), 1u);
    EXPECT_EQ(DriverFake::records[0].environment, "Windows x64");
    EXPECT_EQ(DriverFake::records[0].dependentFiles, DependentFiles(true, "RMGRP4.DLL"));
    EXPECT_EQ(ReadTextFile(Staged("XOEMUNI.ini")), "C:\\Ticket\\x64 XOEMUNI.ini");
}

TEST_F(ReceiptInstallTest, RegistrationFailureRetryKeepsTheStagedFilesAndOffersReinstall) {
    DriverFake::dwError = ERROR_UNKNOWN_PRINTER_DRIVER;
    BoxFake::nAnswer = IDRETRY;
    StartFor("Receipt Model A04", "Kitchen");
    PressInstall();

    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text, "Failed to add the driver 1797\r\n\r\n"
                                      "Click Retry:You can retry\r\n"
                                      "Click Cancel\xA3\xBA"
                                      "Exit and abort installation");
    EXPECT_EQ(BoxFake::boxes[0].caption, "Error");
    EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_RETRYCANCEL));
    EXPECT_EQ(BoxFake::boxes[0].hOwner, Window());
    EXPECT_EQ(InstallCaption(), "Reinstall");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(Progress(), 0);
    EXPECT_TRUE(FileSpy::deletions.empty());
    for (const auto &copy : FileSpy::copies)
        EXPECT_TRUE(FileExists(copy.second)) << copy.second;
    EXPECT_TRUE(PrinterFake::added.empty());
    EXPECT_TRUE(Runner().Open());
}

TEST_F(ReceiptInstallTest, RegistrationFailureCancelClosesTheDialog) {
    DriverFake::dwError = ERROR_UNKNOWN_PRINTER_DRIVER;
    BoxFake::nAnswer = IDCANCEL;
    StartFor("Receipt Model A04", "Kitchen");
    Runner().Click(1012);
    EXPECT_EQ(Runner().Join(), IDOK);
    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].caption, "Error");
    EXPECT_TRUE(PrinterFake::added.empty());
}

TEST_F(ReceiptInstallTest, UnavailableDriverDirectoryStopsWithNothingCopied) {
    BoxFake::nAnswer = IDRETRY;
    StartFor("Receipt Model A04", "Kitchen");
    DriverDirectoryFake::dwError = ERROR_INVALID_ENVIRONMENT;
    PressInstall();

    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text.rfind("Failed to add the driver 1805\r\n", 0), 0u);
    EXPECT_EQ(BoxFake::boxes[0].caption, "Error");
    EXPECT_TRUE(FileSpy::copies.empty());
    EXPECT_TRUE(DriverFake::records.empty());
    EXPECT_EQ(InstallCaption(), "Reinstall");
    EXPECT_EQ(Progress(), 0);

    // A directory whose file paths would not fit their buffers is not cut short.
    DriverDirectoryFake::dwError = 0;
    DriverDirectoryFake::answer = "C:\\" + std::string(250, 'd');
    BoxFake::boxes.clear();
    PressInstall();
    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text.rfind("Failed to add the driver 206\r\n", 0), 0u);
    EXPECT_TRUE(FileSpy::copies.empty());
    EXPECT_TRUE(DriverFake::records.empty());
    EXPECT_TRUE(InstallEnabled());
}

TEST_F(ReceiptInstallTest, AbandonedPortChoiceStagesNothing) {
    InstallTestDlg &dlg = StartFor("Receipt Model A04", "Kitchen");
    dlg.m_nParallelChoice = PORTDLG_CANCELLED;
    PressInstall();

    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(InstallCaption(), "&Install");
}

} // namespace
