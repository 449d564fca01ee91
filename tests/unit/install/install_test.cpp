// The receipt installation as the dialog runs it, from the port choice to the
// finished printer: the files staged, the driver record the spooler is
// handed, the printer created, and every status, position and box shown.
// Files are copied and deleted for real; the spooler's driver and printer
// calls are recorded and fail on demand.
#include "framework/win_app.h"
#include "install/package_layout.h"
#include "res/resource.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

const char kDirectory[] = "C:\\rcpt-drivers";
const char kModel[] = "Receipt Model A04";
// The files of kModel in the order they are staged.
const Texts kStaged = {"RMGRP1.DLL", "RMA04.GPD",  "XOEMUNI.dll", "XOEMUNI.ini", "uniDRVui.DLL",
                       "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL",  "TTFSUB.GPD",  "STDNAMES.GPD"};
const HANDLE kNamesake = reinterpret_cast<HANDLE>(0x5151);
const HANDLE kAdded = reinterpret_cast<HANDLE>(0x6161);

// What the installation shows and hands the platform, in order.
Texts g_log;

std::string Str(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

// The entries of the log that begin with one of the prefixes.
Texts Logged(std::initializer_list<std::string> prefixes) {
    Texts entries;
    for (const std::string &entry : g_log) {
        for (const std::string &prefix : prefixes) {
            if (entry.rfind(prefix, 0) == 0)
                entries.push_back(entry);
        }
    }
    return entries;
}

std::string Staged(const std::string &name) {
    return std::string(kDirectory) + "\\" + name;
}

std::string Added(const std::string &port) {
    return "AddPrinter <null> level 2: Front Counter on " + port + ", " + kModel +
           ", WinPrint, RAW";
}

// The record a model is registered with, its files staged in kDirectory.
std::string Record(const std::string &model, const std::string &gpd, const std::string &groupDll,
                   bool bPlugin, const std::string &environment, const std::string &version) {
    return "AddPrinterDriverEx <null>|3|" + std::to_string(APD_COPY_NEW_FILES) + "|" + version +
           "|" + model + "|" + environment + "|" + Staged("uniDRV.DLL") + "|" + Staged(gpd) + "|" +
           Staged("uniDRVui.DLL") + "|" + Staged("uniDRV.HLP") +
           "||RAW|\\ttfsub.GPD|\\unires.DLL|\\stdnames.GPD|" +
           (bPlugin ? "\\XOEMUNI.ini|\\XOEMUNI.dll|" : "") + groupDll;
}

void SetList(CStringArray &list, const Texts &entries) {
    list.RemoveAll();
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
}

// The platform as an installation meets it, each call logged.
struct Spy {
    static inline std::string directory, namesake;
    static inline DWORD dwDirectoryError, dwDriverError, dwPrinterError;

    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        g_log.push_back("CopyFile " + Str(lpFrom) + " > " + Str(lpTo));
        return ::CopyFileA(lpFrom, lpTo, bFailIfExists);
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpName) {
        g_log.push_back("DeleteFile " + Str(lpName));
        return ::DeleteFileA(lpName);
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD nArgs, LPCSTR *ppArgs) {
        g_log.push_back("spooler start");
        return ServiceFake::StartServiceA(hService, nArgs, ppArgs);
    }
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS pSt) {
        g_log.push_back("spooler stop");
        return ServiceFake::ControlService(hService, dwControl, pSt);
    }
    static void WINAPI Sleep(DWORD dwMs) { g_log.push_back("Sleep " + std::to_string(dwMs)); }
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
        g_log.push_back("box " + Str(lpCaption) + ": " + Str(lpText) + " type " +
                        std::to_string(uType));
        return BoxFake::MessageBoxA(hWnd, lpText, lpCaption, uType);
    }
    static LSTATUS WINAPI RegSetValueExA(HKEY, LPCSTR lpName, DWORD, DWORD, const BYTE *, DWORD) {
        g_log.push_back("RegSetValueEx " + Str(lpName));
        return ERROR_ACCESS_DENIED;
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR pEnvironment, DWORD, LPBYTE pBuf,
                                                  DWORD cbBuf, LPDWORD pcbNeeded) {
        g_log.push_back("GetPrinterDriverDirectory " + Str(pEnvironment));
        *pcbNeeded = static_cast<DWORD>(directory.size() + 1);
        if (dwDirectoryError != 0 || *pcbNeeded > cbBuf) {
            ::SetLastError(dwDirectoryError != 0 ? dwDirectoryError : ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::memcpy(pBuf, directory.c_str(), *pcbNeeded);
        return TRUE;
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pInfo, DWORD dwFlags) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        std::string entry = "AddPrinterDriverEx " + Str(pName);
        for (const std::string &field :
             {std::to_string(Level), std::to_string(dwFlags), std::to_string(p->cVersion),
              Str(p->pName), Str(p->pEnvironment), Str(p->pDriverPath), Str(p->pDataFile),
              Str(p->pConfigFile), Str(p->pHelpFile), Str(p->pMonitorName),
              Str(p->pDefaultDataType)})
            entry += "|" + field;
        // Each dependent file is closed by its NUL, the list by one more.
        const LPCSTR pList = p->pDependentFiles;
        for (size_t cb = 0; cb < 256 && pList[cb] != '\0'; cb += std::strlen(pList + cb) + 1)
            entry += "|" + std::string(pList + cb);
        g_log.push_back(entry);
        ::SetLastError(dwDriverError);
        return dwDriverError == 0;
    }
    static std::string Which(HANDLE h) {
        return h == kNamesake ? "namesake" : h == kAdded ? "added" : "?";
    }
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDef) {
        g_log.push_back("OpenPrinter " + Str(pName) + " " +
                        (pDef == nullptr
                             ? "without defaults"
                             : Str(pDef->pDatatype) + (pDef->pDevMode ? " devmode" : "") +
                                   " access " + std::to_string(pDef->DesiredAccess)));
        if (namesake != Str(pName)) {
            ::SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        *phPrinter = kNamesake;
        return TRUE;
    }
    static BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
        g_log.push_back("SetPrinter " + Which(hPrinter) + " level " + std::to_string(Level) +
                        (pPrinter ? " record" : "") + " command " + std::to_string(Command));
        return TRUE;
    }
    static BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
        g_log.push_back("DeletePrinter " + Which(hPrinter));
        return TRUE;
    }
    static BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
        if (Which(hPrinter) == "?")
            return ::ClosePrinter(hPrinter);
        g_log.push_back("ClosePrinter " + Which(hPrinter));
        return TRUE;
    }
    static HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
        PRINTER_INFO_2A info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        g_log.push_back("AddPrinter " + Str(pName) + " level " + std::to_string(Level) + ": " +
                        Str(info.pPrinterName) + " on " + Str(info.pPortName) + ", " +
                        Str(info.pDriverName) + ", " + Str(info.pPrintProcessor) + ", " +
                        Str(info.pDatatype));
        info.pPrinterName = info.pPortName = info.pDriverName = nullptr;
        info.pPrintProcessor = info.pDatatype = nullptr;
        const PRINTER_INFO_2A zero = {};
        if (std::memcmp(&info, &zero, sizeof(zero)) != 0)
            g_log.push_back("AddPrinter with more fields");
        ::SetLastError(dwPrinterError);
        return dwPrinterError == 0 ? kAdded : nullptr;
    }
};

// The dialog with its port choices answered and what it shows logged.
class TestDlg : public CInstallerDlg {
public:
    using CInstallerDlg::m_arrParallelPorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrTcpipPorts;
    using CInstallerDlg::m_arrUsbPorts;
    using CInstallerDlg::m_bWow64;
    using CInstallerDlg::m_strPort;

    PortChoice m_choice = {PortChoice::kRow, 0};
    // The TCP/IP ports after the choice, as after the wizard added one.
    Texts m_tcpipAfterChoice;

    void ShowStatus(LPCSTR lpszText) override {
        g_log.push_back("status " + Str(lpszText));
        CInstallerDlg::ShowStatus(lpszText);
    }
    void SetProgress(int nPos) override {
        g_log.push_back("progress " + std::to_string(nPos));
        CInstallerDlg::SetProgress(nPos);
    }
    PortChoice ChooseParallelPort() override { return m_choice; }
    PortChoice ChooseTcpipPort() override {
        if (!m_tcpipAfterChoice.empty())
            SetList(m_arrTcpipPorts, m_tcpipAfterChoice);
        return m_choice;
    }
    void DetectUsbPort(LPCSTR lpszPrinter) override {
        g_log.push_back("DetectUsbPort " + Str(lpszPrinter));
    }
};

// The dialog started, ready to install kModel as "Front Counter" on LPT1:.
class InstallTest : public PlatformTest {
protected:
    void SetUp() override {
        WriteTablesCatalogue();
        ::CreateDirectoryA(kReceiptTree, nullptr);
        for (const std::string tree : {"C:\\Ticket\\x86\\", "C:\\Ticket\\x64\\"}) {
            ::CreateDirectoryA(tree.c_str(), nullptr);
            for (const std::string &name : kStaged)
                WriteTextFile(tree + name, tree + name);
        }
        ::CreateDirectoryA(kDirectory, nullptr);
        Spy::directory = kDirectory;
        Spy::namesake.clear();
        Spy::dwDirectoryError = Spy::dwDriverError = Spy::dwPrinterError = 0;
        BoxFake::Install(api());
        ServiceFake::Install(api());
        PlatformApi &seam = api();
        seam.Sleep = Spy::Sleep;
        seam.MessageBoxA = Spy::MessageBoxA;
        seam.CopyFileA = Spy::CopyFileA;
        seam.DeleteFileA = Spy::DeleteFileA;
        seam.StartServiceA = Spy::StartServiceA;
        seam.ControlService = Spy::ControlService;
        seam.GetPrinterDriverDirectoryA = Spy::GetPrinterDriverDirectoryA;
        seam.AddPrinterDriverExA = Spy::AddPrinterDriverExA;
        seam.OpenPrinterA = Spy::OpenPrinterA;
        seam.SetPrinterA = Spy::SetPrinterA;
        seam.DeletePrinter = Spy::DeletePrinter;
        seam.AddPrinterA = Spy::AddPrinterA;
        seam.ClosePrinter = Spy::ClosePrinter;
        // Windows always has the key of the default printer; a new Wine prefix not yet.
        SetDefaultPrinterDevice("");

        m_runner = std::make_unique<DialogRunner>(m_dlg);
        ASSERT_TRUE(m_runner->WaitStartup());
        ASSERT_TRUE(Runner().SelectModel(kModel));
        Runner().SetText(IDC_PRINTER_NAME, "Front Counter");
        Runner().SelectPortKind(2);
        SetList(m_dlg.m_arrSerialPorts, {});
        SetList(m_dlg.m_arrUsbPorts, {});
        SetList(m_dlg.m_arrParallelPorts, {"LPT1:"});
        BoxFake::boxes.clear();
    }
    void TearDown() override {
        m_runner.reset();
        ::DeleteFileA(kCatalogueFile);
        RemoveTree(kReceiptTree);
        RemoveTree(kDirectory);
        PlatformTest::TearDown();
    }

    // Presses Install as on a dialog no installation has finished.
    void PressInstall() {
        Runner().SetText(IDC_INSTALL, "&Install");
        g_log.clear();
        Runner().PressInstall();
    }
    DialogRunner &Runner() const { return *m_runner; }
    std::string Caption() const { return m_runner->Text(IDC_INSTALL); }

    TestDlg m_dlg;
    std::unique_ptr<DialogRunner> m_runner;
};

TEST_F(InstallTest, StagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spy::namesake = "Front Counter";
    ServiceFake::dwState = ServiceFake::dwTarget = SERVICE_STOPPED;
    PressInstall();

    Texts expected = {"GetPrinterDriverDirectory " + std::string(DriverEnvironment())};
    for (const std::string &name : kStaged) {
        expected.push_back("CopyFile " + ReceiptSourceTree() + "\\" + name + " > " + Staged(name));
        expected.push_back("status " + Staged(name));
    }
    expected.insert(expected.end(),
                    {"progress 10", "status Adding printer drive Receipt Model A04",
                     "spooler start",
                     Record(kModel, "RMA04.GPD", "RMGRP1.DLL", false, DriverEnvironment(), "3"),
                     "status Driver Receipt Model A04 is added"});
    // Everything staged but the plug-in's two files is removed again.
    for (const std::string &name : kStaged) {
        if (name.rfind("XOEMUNI", 0) != 0)
            expected.push_back("DeleteFile " + Staged(name));
    }
    expected.insert(expected.end(),
                    {"progress 20",
                     "OpenPrinter Front Counter RAW access " + std::to_string(PRINTER_ALL_ACCESS),
                     "status The printer Front Counter exists,Re-adding the printer...",
                     "SetPrinter namesake level 0 command " + std::to_string(PRINTER_CONTROL_PURGE),
                     "DeletePrinter namesake", "ClosePrinter namesake", Added("LPT1:"),
                     "ClosePrinter added", "status Added the printer Front Counter", "progress 30",
                     "progress 40", "status Set the printer Front Counter to default printer",
                     "Sleep 500", "progress 100", "status The installation is completed."});
    EXPECT_EQ(g_log, expected);
    for (const std::string &name : kStaged)
        EXPECT_EQ(FileExists(Staged(name)), name.rfind("XOEMUNI", 0) == 0) << name;
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT1:");
    EXPECT_EQ(Caption(), "&Finish");
    EXPECT_TRUE(Runner().Enabled(IDC_INSTALL));
}

TEST_F(InstallTest, EachModelIsRegisteredWithItsFilesGroupDllAndVersion) {
    struct Case {
        const char *pszModel, *pszGpd, *pszGroupDll;
        bool bPlugin;
        BOOL bWow64;
        DWORD dwPlatform, dwMajor;
        const char *pszVersion;
    };
    const DWORD kNt = VER_PLATFORM_WIN32_NT, k9x = VER_PLATFORM_WIN32_WINDOWS;
    const Case cases[] = {
        // Version 2 is for Windows NT 4.0 only.
        {kModel, "RMA04.GPD", "RMGRP1.DLL", false, FALSE, kNt, 4, "2"},
        {"Receipt Model B01", "RMB01.GPD", "RMGRP2.DLL", false, FALSE, kNt, 5, "3"},
        {"Receipt Model C01", "RMC01.GPD", "RMGRP3.DLL", false, FALSE, k9x, 4, "3"},
        // Catalogue index 19 has a DLL of its own only when the list shows its name.
        {"Receipt Model B05", "RMB05.GPD", "RMGRP2W.DLL", false, FALSE, kNt, 6, "3"},
        {kAliasOfOwnDllModel, "RMB05.GPD", "RMGRP2.DLL", false, FALSE, kNt, 6, "3"},
        {"Receipt Model D01", "RMD01.GPD", "RMGRP4.DLL", false, FALSE, kNt, 6, "3"},
        // Catalogue indexes 30 to 32 carry the plug-in.
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true, FALSE, kNt, 6, "3"},
        {"Receipt Model D06", "RMD06.GPD", "RMGRP4.DLL", true, FALSE, kNt, 6, "3"},
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true, TRUE, kNt, 6, "3"},
    };
    api().GetVersionExA = VersionFake::GetVersionExA;
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pszModel << (c.bWow64 ? " on x64" : ""));
        ASSERT_TRUE(Runner().SelectModel(c.pszModel));
        m_dlg.m_bWow64 = c.bWow64;
        VersionFake::Set(c.dwPlatform, c.dwMajor, 0);
        PressInstall();

        const std::string environment = c.bWow64 ? "Windows x64" : "Windows NT x86";
        const std::string driver =
            c.pszModel == std::string(kAliasOfOwnDllModel) ? "Receipt Model B05" : c.pszModel;
        EXPECT_EQ(Logged({"GetPrinterDriverDirectory"}),
                  Texts{"GetPrinterDriverDirectory " + environment});
        EXPECT_EQ(
            Logged({"AddPrinterDriverEx"}),
            Texts{Record(driver, c.pszGpd, c.pszGroupDll, c.bPlugin, environment, c.pszVersion)});
        Texts names = kStaged, copies;
        names[0] = c.pszGroupDll;
        names[1] = c.pszGpd;
        for (const std::string &name : names)
            copies.push_back("CopyFile C:\\Ticket\\" + std::string(c.bWow64 ? "x64\\" : "x86\\") +
                             name + " > " + Staged(name));
        EXPECT_EQ(Logged({"CopyFile"}), copies);
        EXPECT_EQ(Caption(), "&Finish");
    }
}

// A failure shows its code and, on Retry, leaves Install as "Reinstall" with
// the staged files where they are. An unavailable driver directory, or one
// whose paths would not fit, stops before anything is copied.
TEST_F(InstallTest, DriverFailureOffersRetry) {
    struct Case {
        DWORD dwDirectoryError;
        std::string directory;
        DWORD dwDriverError;
        const char *pszCode;
        size_t cCopies;
    };
    const Case cases[] = {
        {0, kDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 10},
        {ERROR_INVALID_ENVIRONMENT, kDirectory, 0, "1805", 0},
        {0, "", 0, "3", 0},
        {0, "C:\\" + std::string(250, 'd'), 0, "206", 0},
    };
    BoxFake::nAnswer = IDRETRY;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszCode);
        Spy::dwDirectoryError = c.dwDirectoryError;
        Spy::directory = c.directory;
        Spy::dwDriverError = c.dwDriverError;
        PressInstall();

        EXPECT_EQ(Logged({"box"}),
                  Texts{"box Error: Failed to add the driver " + std::string(c.pszCode) +
                        "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
                        "Exit and abort installation type " +
                        std::to_string(MB_RETRYCANCEL)});
        EXPECT_EQ(BoxFake::boxes.back().hOwner, Runner().Window());
        EXPECT_EQ(Logged({"CopyFile"}).size(), c.cCopies);
        EXPECT_EQ(Logged({"AddPrinterDriverEx"}).size(), c.dwDriverError != 0 ? 1u : 0u);
        EXPECT_EQ(Logged({"DeleteFile", "OpenPrinter", "AddPrinter "}), Texts{});
        EXPECT_EQ(g_log.back(), "progress 0");
        EXPECT_EQ(Caption(), "Reinstall");
        EXPECT_TRUE(Runner().Enabled(IDC_INSTALL));
    }
}

TEST_F(InstallTest, CancelOnADriverFailureClosesTheDialog) {
    Spy::dwDriverError = ERROR_UNKNOWN_PRINTER_DRIVER;
    BoxFake::nAnswer = IDCANCEL;
    g_log.clear();
    Runner().Click(IDC_INSTALL);
    EXPECT_EQ(Runner().Join(), IDOK);
    EXPECT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(Logged({"AddPrinter "}), Texts{});
}

// A printer the spooler refuses, or no port to create it on, shows its box
// and leaves Install ready. Names the spooler refuses never reach it, so no
// print server or port monitor is purged and deleted as a namesake.
TEST_F(InstallTest, FailedPrinterCreationShowsItsBox) {
    struct Case {
        const char *pszName;
        int nKind;
        DWORD dwError;
        const char *pszBox, *pszCaption;
        size_t cSpoolerCalls;
    };
    const char kRefused[] = "Error prompt: Error AddPrinter 1801";
    const char kNoPort[] =
        "Prompt: There's no available useful port,please select other type of port";
    const Case cases[] = {
        {"Front Counter", 2, 1796, kNoPort, "Reinstall", 2},
        {"Front Counter", 2, 126, "Prompt: Missing system flies,please repair system", "Reinstall",
         2},
        {"Front Counter", 2, 1801, kRefused, "&Install", 2},
        {"", 2, 0, kRefused, "&Install", 0},
        {"Back\\Office", 2, 0, kRefused, "&Install", 0},
        {",XcvMonitor Local Port", 2, 0, kRefused, "&Install", 0},
        // No parallel port to fall back on: no printer on an invented port.
        {"Front Counter", 0, 0, kNoPort, "Reinstall", 1},
        {"Front Counter", 1, 0, kNoPort, "Reinstall", 1},
    };
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pszName << " " << c.nKind << " " << c.dwError);
        Runner().SetText(IDC_PRINTER_NAME, c.pszName);
        Runner().SelectPortKind(c.nKind);
        SetList(m_dlg.m_arrParallelPorts, c.nKind == 2 ? Texts{"LPT1:"} : Texts{});
        Spy::dwPrinterError = c.dwError;
        PressInstall();

        EXPECT_EQ(Logged({"box"}), Texts{"box " + std::string(c.pszBox) + " type 0"});
        EXPECT_EQ(BoxFake::boxes.back().hOwner, Runner().Window());
        EXPECT_EQ(Logged({"OpenPrinter", "AddPrinter "}).size(), c.cSpoolerCalls);
        EXPECT_EQ(g_log.back(), "progress 0");
        EXPECT_EQ(Caption(), c.pszCaption);
        EXPECT_TRUE(Runner().Enabled(IDC_INSTALL));
    }
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
}

TEST_F(InstallTest, DefaultPrinterIsWrittenWhenTickedAndAFailedWriteIsReported) {
    ::SendMessageA(Runner().Item(IDC_SET_DEFAULT), BM_SETCHECK, BST_UNCHECKED, 0);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    PressInstall();
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_EQ(Logged({"status Set"}),
              Texts{"status Set the printer Front Counter to default printer"});

    ::SendMessageA(Runner().Item(IDC_SET_DEFAULT), BM_SETCHECK, BST_CHECKED, 0);
    api().RegSetValueExA = Spy::RegSetValueExA;
    PressInstall();
    EXPECT_EQ(Logged({"RegSetValueEx", "box"}),
              (Texts{"RegSetValueEx Device", "box " + std::string(AfxGetAppTitle()) +
                                                 ": Error\xA3\xBA"
                                                 "Failed to set regist type 0"}));
    EXPECT_EQ(g_log.back(), "status The installation is completed.");
    EXPECT_EQ(Caption(), "&Finish");
}

// Without a port of their kind serial and USB printers start on the first
// parallel port, and the default printer names that port. A USB printer
// restarts the spooler then and goes to detection if a USB port came.
TEST_F(InstallTest, PrinterStartsOnTheFallbackPortOnlyWithoutAPortOfItsKind) {
    struct Case {
        int nKind;
        Texts kindPorts;
        bool bUsbAfterRestart;
        const char *pszPort;
        Texts log;
    };
    const std::string kAddedStatus = "status Added the printer Front Counter";
    const std::string kDetection = "DetectUsbPort Front Counter";
    const Case cases[] = {
        {0,
         {},
         false,
         "LPT1:",
         {Added("LPT1:"), "status There's no serial port,the current port isLPT1:"}},
        {1, {"USB002", "USB003"}, false, "USB002", {Added("USB002"), kAddedStatus, kDetection}},
        {1,
         {},
         false,
         "LPT1:",
         {Added("LPT1:"), "spooler stop", "spooler start",
          "status There's no USB port,the current port isLPT1:"}},
        {1,
         {},
         true,
         "LPT1:",
         {Added("LPT1:"), "spooler stop", "spooler start", kAddedStatus, kDetection}},
    };
    // The spooler's ports after its restart: none, or one USB port.
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.log.back());
        SetList(c.nKind == 0 ? m_dlg.m_arrSerialPorts : m_dlg.m_arrUsbPorts, c.kindPorts);
        SetList(m_dlg.m_arrParallelPorts, {"LPT1:", "LPT2:"});
        Runner().SelectPortKind(c.nKind);
        PortsFake::ports = c.bUsbAfterRestart ? Ports{{"USB001", ""}} : Ports{};
        PressInstall();

        EXPECT_EQ(Logged({"AddPrinter ", "spooler", "status Added the", "status There", "Detect"}),
                  c.log);
        EXPECT_EQ(std::string(m_dlg.m_strPort), c.pszPort);
        EXPECT_EQ(DefaultPrinterDevice(), std::string("Front Counter,winspool,") + c.pszPort);
        EXPECT_EQ(Caption(), "&Finish");
    }
}

// A choice picks its row of the list; a cancelled one, or one that names no
// row, only re-enables Install, before anything is staged.
TEST_F(InstallTest, PortChoiceResultsPickTheirRowOrAbandonTheInstallation) {
    struct Case {
        int nKind;
        PortChoice choice;
        Texts ports, tcpipAfterChoice;
        const char *pszPort;
    };
    const Texts two = {"P1", "P2"};
    const PortChoice kAdd = {PortChoice::kAdded, 0};
    const Case cases[] = {
        {2, {PortChoice::kRow, 1}, two, {}, "P2"},
        {3, {PortChoice::kRow, 1}, two, {}, "P2"},
        // A port added by the wizard is entry 0 of the refreshed list.
        {3, kAdd, two, {"IP_10.0.0.7", "P1"}, "IP_10.0.0.7"},
        {2, {PortChoice::kCancelled, 0}, two, {}, nullptr},
        {2, {PortChoice::kRow, 0}, {}, {}, nullptr},
        {2, {PortChoice::kRow, 2}, two, {}, nullptr},
        {2, {PortChoice::kRow, -1}, two, {}, nullptr},
        {2, kAdd, two, {}, nullptr},
        {3, kAdd, {}, {}, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.nKind << " choice " << c.choice.outcome
                                          << " row " << c.choice.nRow);
        SetList(m_dlg.m_arrParallelPorts, c.ports);
        SetList(m_dlg.m_arrTcpipPorts, c.ports);
        m_dlg.m_choice = c.choice;
        m_dlg.m_tcpipAfterChoice = c.tcpipAfterChoice;
        Runner().SelectPortKind(c.nKind);
        PressInstall();

        EXPECT_TRUE(Runner().Enabled(IDC_INSTALL));
        if (c.pszPort != nullptr) {
            EXPECT_EQ(Logged({"AddPrinter "}), Texts{Added(c.pszPort)});
        } else {
            EXPECT_EQ(g_log, Texts{});
            EXPECT_EQ(Caption(), "&Install");
        }
    }
}

// The 32-bit program on 64-bit Windows, run in a 64-bit Wine prefix: staged
// from the x64 tree into the spooler's x64 driver directory and registered
// there for real. Wine would then refuse AddPrinterA with 87, looking the
// driver up under the 32-bit environment, so the printer stays recorded.
class ReceiptInstallX64Test : public InstallTest {};

TEST_F(ReceiptInstallX64Test, StagesFromTheX64TreeAndRegistersForWindowsX64) {
    ASSERT_TRUE(m_dlg.m_bWow64) << "not a 64-bit prefix";
    const std::string directory = DriverDirectory("Windows x64");
    ASSERT_FALSE(directory.empty());
    for (const char *pszPlugin : {"\\XOEMUNI.dll", "\\XOEMUNI.ini"})
        ::DeleteFileA((directory + pszPlugin).c_str());
    api().GetPrinterDriverDirectoryA = ::GetPrinterDriverDirectoryA;
    api().AddPrinterDriverExA = ::AddPrinterDriverExA;
    PressInstall();

    Texts copies;
    for (const std::string &name : kStaged) {
        copies.push_back("CopyFile C:\\Ticket\\x64\\" + name + " > " + directory + "\\" + name);
        EXPECT_EQ(FileExists(directory + "\\" + name), name.rfind("XOEMUNI", 0) == 0) << name;
    }
    EXPECT_EQ(Logged({"CopyFile"}), copies);
    bool bRegistered = false;
    for (const DriverSeen &driver : InstalledDrivers("Windows x64"))
        bRegistered |=
            driver.name == kModel && driver.dataFile.find("RMA04.GPD") != std::string::npos;
    EXPECT_TRUE(bRegistered);
    EXPECT_EQ(Logged({"AddPrinter ", "box"}), Texts{Added("LPT1:")});
    EXPECT_EQ(g_log.back(), "status The installation is completed.");
}

} // namespace
