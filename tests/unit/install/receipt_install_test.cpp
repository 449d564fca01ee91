// The receipt installation: which files are staged where, the driver record
// the spooler is handed byte for byte, and what the user is left with when
// the spooler or the driver directory fails.
#include "install/install_fixture.h"

#include "support/system_width.h"
#include "support/win_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kDriverDirectory[] = "C:\\rcpt-drivers";
const char kTicket[] = "C:\\Ticket";
const Texts kCoreFiles = {"uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                          "UNIRES.DLL",   "TTFSUB.GPD", "STDNAMES.GPD"};

// Everything that reaches the platform during an installation, in order.
Texts g_events;

std::string Field(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

std::string Staged(const std::string &name) {
    return std::string(kDriverDirectory) + "\\" + name;
}

// The copies and the spooler's status queries, in the order they came.
struct EventSpy {
    static BOOL WINAPI CopyFileA(LPCSTR lpExisting, LPCSTR lpNew, BOOL bFailIfExists) {
        g_events.push_back("CopyFile");
        return FileSpy::CopyFileA(lpExisting, lpNew, bFailIfExists);
    }
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpStatus) {
        g_events.push_back("QueryServiceStatus");
        return ServiceFake::QueryServiceStatus(hService, lpStatus);
    }
};

// The names of a dependent-file list, each closed by its NUL, the list by one more.
Texts DependentFiles(const char *pList) {
    Texts names;
    for (size_t cb = 0; cb < 256 && pList[cb] != '\0'; cb += names.back().size() + 1)
        names.push_back(pList + cb);
    return names;
}

// The driver record as the spooler received it, one text per field.
struct DriverFake {
    static inline std::vector<Texts> records;
    static inline DWORD dwError = 0;
    static BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo,
                                           DWORD dwFileCopyFlags) {
        g_events.push_back("AddPrinterDriverEx");
        const auto *pInfo = reinterpret_cast<const DRIVER_INFO_3A *>(pDriverInfo);
        Texts record = {Field(pName),
                        std::to_string(Level),
                        std::to_string(dwFileCopyFlags),
                        std::to_string(pInfo->cVersion),
                        Field(pInfo->pName),
                        Field(pInfo->pEnvironment),
                        Field(pInfo->pDriverPath),
                        Field(pInfo->pDataFile),
                        Field(pInfo->pConfigFile),
                        Field(pInfo->pHelpFile),
                        Field(pInfo->pMonitorName),
                        Field(pInfo->pDefaultDataType)};
        const Texts files = DependentFiles(pInfo->pDependentFiles);
        record.insert(record.end(), files.begin(), files.end());
        records.push_back(record);
        ::SetLastError(dwError);
        return dwError == 0;
    }
};
constexpr size_t kVersionField = 3;

struct DriverDirectoryFake {
    static inline std::string environment, answer;
    static inline DWORD dwError = 0;
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR pEnvironment, DWORD,
                                                  LPBYTE pDriverDirectory, DWORD cbBuf,
                                                  LPDWORD pcbNeeded) {
        // Each installation asks first, so what the last one did is forgotten.
        FileSpy::copies.clear();
        FileSpy::deletions.clear();
        DriverFake::records.clear();
        environment = Field(pEnvironment);
        g_events.push_back("GetPrinterDriverDirectory");
        *pcbNeeded = static_cast<DWORD>(answer.size() + 1);
        if (dwError != 0 || *pcbNeeded > cbBuf) {
            ::SetLastError(dwError != 0 ? dwError : ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        answer.copy(reinterpret_cast<char *>(pDriverDirectory), answer.size());
        pDriverDirectory[answer.size()] = 0;
        return TRUE;
    }
};

// The record a model must be registered with.
Texts ExpectedRecord(const std::string &model, const std::string &gpd, const std::string &groupDll,
                     bool bPluginModel, const std::string &environment) {
    Texts record = {"<null>",
                    "3",
                    std::to_string(APD_COPY_NEW_FILES),
                    "3",
                    model,
                    environment,
                    Staged("uniDRV.DLL"),
                    Staged(gpd),
                    Staged("uniDRVui.DLL"),
                    Staged("uniDRV.HLP"),
                    "",
                    "RAW",
                    "\\ttfsub.GPD",
                    "\\unires.DLL",
                    "\\stdnames.GPD"};
    if (bPluginModel)
        record.insert(record.end(), {"\\XOEMUNI.ini", "\\XOEMUNI.dll"});
    record.push_back(groupDll);
    return record;
}

void WritePackageTree(const std::string &folder) {
    ::CreateDirectoryA(kTicket, nullptr);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    Texts names = {"RMGRP1.DLL", "RMGRP2.DLL", "RMGRP2W.DLL", "RMGRP3.DLL", "RMGRP4.DLL",
                   "RMA04.GPD",  "RMB01.GPD",  "RMB05.GPD",   "RMC01.GPD",  "RMD01.GPD",
                   "RMD04.GPD",  "RMD06.GPD",  "XOEMUNI.dll", "XOEMUNI.ini"};
    names.insert(names.end(), kCoreFiles.begin(), kCoreFiles.end());
    for (const std::string &name : names)
        WriteTextFile(folder + "\\" + name, folder + " " + name);
}

class ReceiptInstallTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        WritePackageTree("C:\\Ticket\\x86");
        WritePackageTree("C:\\Ticket\\x64");
        RemoveTree(kDriverDirectory);
        ::CreateDirectoryA(kDriverDirectory, nullptr);
        DriverDirectoryFake::answer = kDriverDirectory;
        DriverDirectoryFake::dwError = 0;
        DriverFake::dwError = 0;
        api().GetPrinterDriverDirectoryA = DriverDirectoryFake::GetPrinterDriverDirectoryA;
        api().CopyFileA = EventSpy::CopyFileA;
        api().QueryServiceStatus = EventSpy::QueryServiceStatus;
        api().AddPrinterDriverExA = DriverFake::AddPrinterDriverExA;
    }
    void TearDown() override {
        InstallTest::TearDown();
        RemoveTree(kDriverDirectory);
        RemoveTree(kTicket);
    }

    // The dialog ready to install a model on the parallel port.
    InstallTestDlg &StartWith(const std::string &model) {
        InstallTestDlg &dlg = StartFor(model, "Kitchen", 2);
        SetList(dlg.m_arrParallelPorts, {"LPT1:"});
        g_events.clear();
        return dlg;
    }
};

TEST_F(ReceiptInstallTest, StagesRegistersAndCleansUpInOrder) {
    StartWith("Receipt Model A04");
    PressInstall();

    Texts order = {"RMGRP1.DLL", "RMA04.GPD", "XOEMUNI.dll", "XOEMUNI.ini"};
    order.insert(order.end(), kCoreFiles.begin(), kCoreFiles.end());
    ASSERT_EQ(FileSpy::copies.size(), order.size());
    // One status per destination, in the order of the copies.
    Texts statuses;
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(FileSpy::copies[i].first, ReceiptSourceTree() + "\\" + order[i]);
        EXPECT_EQ(FileSpy::copies[i].second, Staged(order[i]));
        statuses.push_back(Staged(order[i]));
    }
    statuses.push_back("Adding printer drive Receipt Model A04");
    statuses.push_back("Driver Receipt Model A04 is added");
    ASSERT_GE(Shown().statuses.size(), statuses.size());
    EXPECT_EQ(Texts(Shown().statuses.begin(), Shown().statuses.begin() + statuses.size()),
              statuses);

    // The spooler is made to run between the last copy and the registration.
    const Texts tail = {"CopyFile", "QueryServiceStatus", "AddPrinterDriverEx"};
    ASSERT_GE(g_events.size(), tail.size());
    EXPECT_EQ(Texts(g_events.end() - 3, g_events.end()), tail);

    // Everything staged but the plug-in's two files is removed again.
    ASSERT_EQ(FileSpy::deletions.size(), order.size() - 2);
    for (const std::string &name : order) {
        const bool bStays = name.rfind("XOEMUNI", 0) == 0;
        EXPECT_EQ(FileExists(Staged(name)), bStays) << name;
    }
    ASSERT_EQ(PrinterFake::added.size(), 1u);
    EXPECT_EQ(PrinterFake::added[0].printerName, "Kitchen");
    EXPECT_EQ(PrinterFake::added[0].driverName, "Receipt Model A04");
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_EQ(Shown().positions, (std::vector<int>{10, 20, 30, 40, 100}));
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(ReceiptInstallTest, EachModelIsRegisteredWithItsGroupDllAndPluginFiles) {
    struct Case {
        const char *pszModel, *pszGpd, *pszGroupDll;
        bool bPlugin, bWow64;
    };
    const Case cases[] = {
        {"Receipt Model A04", "RMA04.GPD", "RMGRP1.DLL", false, false},
        {"Receipt Model B01", "RMB01.GPD", "RMGRP2.DLL", false, false},
        // Catalogue index 19 has a DLL of its own only when the list shows its name.
        {"Receipt Model B05", "RMB05.GPD", "RMGRP2W.DLL", false, false},
        {kAliasOfOwnDllModel, "RMB05.GPD", "RMGRP2.DLL", false, false},
        {"Receipt Model C01", "RMC01.GPD", "RMGRP3.DLL", false, false},
        {"Receipt Model D01", "RMD01.GPD", "RMGRP4.DLL", false, false},
        // Catalogue indexes 30 to 32 carry the plug-in.
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true, false},
        {"Receipt Model D06", "RMD06.GPD", "RMGRP4.DLL", true, false},
        // 64-bit Windows: the x64 tree and environment.
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true, true},
    };
    InstallTestDlg &dlg = StartWith("Receipt Model A04");
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pszModel << (c.bWow64 ? " on x64" : ""));
        Runner().SelectModel(c.pszModel);
        dlg.m_bWow64 = c.bWow64;
        PressInstall();

        const std::string environment = c.bWow64 ? "Windows x64" : "Windows NT x86";
        const std::string driver =
            c.pszModel == std::string(kAliasOfOwnDllModel) ? "Receipt Model B05" : c.pszModel;
        EXPECT_EQ(DriverDirectoryFake::environment, environment);
        ASSERT_EQ(DriverFake::records.size(), 1u);
        EXPECT_EQ(DriverFake::records[0],
                  ExpectedRecord(driver, c.pszGpd, c.pszGroupDll, c.bPlugin, environment));
        ASSERT_EQ(FileSpy::copies.size(), 10u);
        EXPECT_EQ(FileSpy::copies[0].second, Staged(c.pszGroupDll));
        const std::string tree = c.bWow64 ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";
        for (const auto &copy : FileSpy::copies)
            EXPECT_EQ(copy.first.rfind(tree, 0), 0u) << copy.first;
        EXPECT_EQ(InstallCaption(), "&Finish");
    }
}

TEST_F(ReceiptInstallTest, DriverVersionIsTwoOnlyOnWindowsNt) {
    struct Case {
        DWORD dwPlatform, dwMajor, dwMinor;
        const char *pszVersion;
    };
    // Which versions are Windows NT is the version code's concern.
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 4, 0, "2"},
        {VER_PLATFORM_WIN32_NT, 5, 1, "3"},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "3"},
    };
    StartWith("Receipt Model A04");
    api().GetVersionExA = VersionFake::GetVersionExA;
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dwPlatform << " " << c.dwMajor << "." << c.dwMinor);
        VersionFake::Set(c.dwPlatform, c.dwMajor, c.dwMinor);
        PressInstall();
        ASSERT_EQ(DriverFake::records.size(), 1u);
        EXPECT_EQ(DriverFake::records[0][kVersionField], c.pszVersion);
    }
}

// A failure shows its code; Retry leaves Install as "Reinstall" with every
// staged file still there. An unavailable driver directory, or one whose
// paths would not fit their buffers, stops before anything is copied.
TEST_F(ReceiptInstallTest, DriverFailureRetryOffersReinstall) {
    struct Case {
        DWORD dwDirectoryError;
        std::string directory;
        DWORD dwAddError;
        const char *pszCode;
        size_t cCopies;
    };
    const Case cases[] = {
        {0, kDriverDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 10},
        {ERROR_INVALID_ENVIRONMENT, kDriverDirectory, 0, "1805", 0},
        {0, "", 0, "3", 0},
        {0, "C:\\" + std::string(250, 'd'), 0, "206", 0},
    };
    BoxFake::nAnswer = IDRETRY;
    StartWith("Receipt Model A04");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszCode);
        DriverDirectoryFake::dwError = c.dwDirectoryError;
        DriverDirectoryFake::answer = c.directory;
        DriverFake::dwError = c.dwAddError;
        BoxFake::boxes.clear();
        PressInstall();

        ASSERT_EQ(BoxFake::boxes.size(), 1u);
        EXPECT_EQ(BoxFake::boxes[0].text, "Failed to add the driver " + std::string(c.pszCode) +
                                              "\r\n\r\nClick Retry:You can retry\r\n"
                                              "Click Cancel\xA3\xBA"
                                              "Exit and abort installation");
        EXPECT_EQ(BoxFake::boxes[0].caption, "Error");
        EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_RETRYCANCEL));
        EXPECT_EQ(BoxFake::boxes[0].hOwner, Runner().Window());
        EXPECT_EQ(InstallCaption(), "Reinstall");
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(Runner().Progress(), 0);
        EXPECT_EQ(DriverFake::records.size(), c.dwAddError != 0 ? 1u : 0u);
        EXPECT_TRUE(FileSpy::deletions.empty());
        ASSERT_EQ(FileSpy::copies.size(), c.cCopies);
        for (const auto &copy : FileSpy::copies)
            EXPECT_TRUE(FileExists(copy.second)) << copy.second;
        EXPECT_TRUE(PrinterFake::added.empty());
        EXPECT_TRUE(Runner().Open());
    }
}

TEST_F(ReceiptInstallTest, RegistrationFailureCancelClosesTheDialog) {
    DriverFake::dwError = ERROR_UNKNOWN_PRINTER_DRIVER;
    BoxFake::nAnswer = IDCANCEL;
    StartWith("Receipt Model A04");
    Runner().Click(IDC_INSTALL);
    EXPECT_EQ(Runner().Join(), IDOK);
    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_TRUE(PrinterFake::added.empty());
}

TEST_F(ReceiptInstallTest, AbandonedPortChoiceStagesNothing) {
    StartWith("Receipt Model A04").m_parallelChoice = {PortChoice::kCancelled, 0};
    PressInstall();

    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(InstallCaption(), "&Install");
}

} // namespace
