// The receipt and label installations as the dialog runs them, from the
// port choice to the finished printer: the files staged, the monitor and
// driver records the spooler is handed, the printer created, and every
// status, position and box shown.
// Files are copied and deleted for real; the spooler's driver and printer
// calls are recorded and fail on demand. Then the spooler's own control.
#include "framework/win_app.h"
#include "install/package_layout.h"
#include "install/spooler_service.h"
#include "res/resource.h"
#include "shell/installer_dlg.h"
#include "shell/system_identification.h"
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

// What the installation shows and hands the platform, in order.
Texts g_log;

BOOL Log(const std::string &entry) {
    g_log.push_back(entry);
    return TRUE;
}

std::string Str(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

// The entries of the log that begin with one of the prefixes.
Texts Logged(std::initializer_list<std::string> prefixes) {
    Texts entries;
    for (const std::string &entry : g_log)
        for (const std::string &prefix : prefixes)
            if (entry.rfind(prefix, 0) == 0)
                entries.push_back(entry);
    return entries;
}

std::string Staged(const std::string &name) {
    return std::string(kDirectory) + "\\" + name;
}

std::string Copied(const std::string &name) {
    return "CopyFile " + ReceiptSourceTree() + "\\" + name + " > " + Staged(name);
}

std::string Added(const std::string &port) {
    return "AddPrinter <null> level 2: Front Counter on " + port + ", " + kModel +
           ", WinPrint, RAW";
}

// The record a model is registered with, its files staged in kDirectory.
std::string Record(const std::string &model, const std::string &gpd, const std::string &groupDll,
                   bool bPlugin, const std::string &version) {
    return "AddPrinterDriverEx <null>|3|" + std::to_string(APD_COPY_NEW_FILES) + "|" + version +
           "|" + model + "|" + DriverEnvironment() + "|" + Staged("uniDRV.DLL") + "|" +
           Staged(gpd) + "|" + Staged("uniDRVui.DLL") + "|" + Staged("uniDRV.HLP") +
           "||RAW|\\ttfsub.GPD|\\unires.DLL|\\stdnames.GPD|" +
           (bPlugin ? "\\XOEMUNI.ini|\\XOEMUNI.dll|" : "") + groupDll;
}

void SetList(CStringArray &list, const Texts &entries) {
    list.RemoveAll();
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
}

// The platform as an installation meets it, each call logged. A printer
// handle is the name it is logged by.
struct Spy {
    static inline std::string directory, namesake;
    static inline DWORD dwDirectoryError, dwDriverError, dwPrinterError;

    static inline std::string systemDirectory, windowsDirectory;
    static inline BOOL bOldMonitor;
    static inline DWORD dwMonitorError;

    static std::string Name(HANDLE h) { return static_cast<const char *>(h); }
    static UINT Directory(const std::string &path, LPSTR pBuffer, UINT cch) {
        if (path.size() >= cch)
            return static_cast<UINT>(path.size() + 1);
        std::strcpy(pBuffer, path.c_str());
        return static_cast<UINT>(path.size());
    }
    static UINT WINAPI GetSystemDirectoryA(LPSTR p, UINT cch) {
        return Directory(systemDirectory, p, cch);
    }
    static UINT WINAPI GetWindowsDirectoryA(LPSTR p, UINT cch) {
        return Directory(windowsDirectory, p, cch);
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpPath) {
        return Log("DeleteFile " + Str(lpPath)) && ::DeleteFileA(lpPath);
    }
    static BOOL WINAPI CreateDirectoryA(LPCSTR lpPath, LPSECURITY_ATTRIBUTES) {
        return !Log("CreateDirectory " + Str(lpPath));
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE h, DWORD nArgs, LPCSTR *pArgs) {
        return Log("spooler start") && ServiceFake::StartServiceA(h, nArgs, pArgs);
    }
    static BOOL WINAPI ControlService(SC_HANDLE h, DWORD dwControl, LPSERVICE_STATUS pStatus) {
        return Log("spooler stop") && ServiceFake::ControlService(h, dwControl, pStatus);
    }
    static BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitor) {
        Log("DeleteMonitor " + Str(pName) + "|" + Str(pEnvironment) + "|" + Str(pMonitor));
        ::SetLastError(bOldMonitor ? 0 : ERROR_UNKNOWN_PRINT_MONITOR);
        return bOldMonitor;
    }
    static BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitor) {
        const auto *p = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitor);
        Log("AddMonitor " + Str(pName) + "|" + std::to_string(Level) + "|" + Str(p->pName) + "|" +
            Str(p->pEnvironment) + "|" + Str(p->pDLLName));
        ::SetLastError(dwMonitorError);
        return dwMonitorError == 0;
    }
    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        return Log("CopyFile " + Str(lpFrom) + " > " + lpTo) &&
               ::CopyFileA(lpFrom, lpTo, bFailIfExists);
    }
    static void WINAPI Sleep(DWORD dwMs) { Log("Sleep " + std::to_string(dwMs)); }
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
        Log("box " + Str(lpCaption) + ": " + Str(lpText) + " type " + std::to_string(uType));
        return BoxFake::MessageBoxA(hWnd, lpText, lpCaption, uType);
    }
    static LSTATUS WINAPI RegSetValueExA(HKEY, LPCSTR lpName, DWORD, DWORD, const BYTE *, DWORD) {
        return Log("RegSetValueEx " + Str(lpName)) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR pEnvironment, DWORD, LPBYTE pBuf,
                                                  DWORD cbBuf, LPDWORD) {
        Log("GetPrinterDriverDirectory " + Str(pEnvironment));
        ::SetLastError(dwDirectoryError);
        return dwDirectoryError == 0 && directory.size() < cbBuf &&
               std::strcpy(reinterpret_cast<char *>(pBuf), directory.c_str());
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pInfo, DWORD dwFlags) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        std::string entry = "AddPrinterDriverEx " + Str(pName) + "|" + std::to_string(Level) + "|" +
                            std::to_string(dwFlags) + "|" + std::to_string(p->cVersion);
        for (LPCSTR psz : {p->pName, p->pEnvironment, p->pDriverPath, p->pDataFile, p->pConfigFile,
                           p->pHelpFile, p->pMonitorName, p->pDefaultDataType})
            entry += "|" + Str(psz);
        // Each dependent file is closed by its NUL, the list by one more.
        const LPCSTR pList = p->pDependentFiles;
        for (size_t cb = 0; cb < 500 && pList[cb] != '\0'; cb += std::strlen(pList + cb) + 1)
            entry += "|" + std::string(pList + cb);
        if (ServiceFake::dwState != SERVICE_RUNNING)
            entry += " with the spooler not running";
        ::SetLastError(dwDriverError);
        return Log(entry) && dwDriverError == 0;
    }
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDef) {
        *phPrinter = const_cast<char *>("namesake");
        return Log("OpenPrinter " + Str(pName) + " " + Str(pDef->pDatatype) + " access " +
                   std::to_string(pDef->DesiredAccess)) &&
               namesake == pName;
    }
    static BOOL WINAPI SetPrinterA(HANDLE h, DWORD Level, LPBYTE, DWORD Command) {
        return Log("SetPrinter " + Name(h) + " level " + std::to_string(Level) + " command " +
                   std::to_string(Command));
    }
    static BOOL WINAPI DeletePrinter(HANDLE h) { return Log("DeletePrinter " + Name(h)); }
    static BOOL WINAPI ClosePrinter(HANDLE h) { return Log("ClosePrinter " + Name(h)); }
    static HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
        PRINTER_INFO_2A info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        Log("AddPrinter " + Str(pName) + " level " + std::to_string(Level) + ": " +
            Str(info.pPrinterName) + " on " + Str(info.pPortName) + ", " + Str(info.pDriverName) +
            ", " + Str(info.pPrintProcessor) + ", " + Str(info.pDatatype));
        // Every other field is the spooler's to fill.
        info.pPrinterName = info.pPortName = info.pDriverName = nullptr;
        info.pPrintProcessor = info.pDatatype = nullptr;
        const PRINTER_INFO_2A zero = {};
        if (std::memcmp(&info, &zero, sizeof(zero)) != 0)
            Log("AddPrinter with more fields");
        ::SetLastError(dwPrinterError);
        return dwPrinterError == 0 ? const_cast<char *>("added") : nullptr;
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

    PortChoice m_choice = {PortChoice::kRow, 0, ""};
    // The TCP/IP ports after the choice, as after the wizard added one.
    Texts m_tcpipAfterChoice;

    void ShowStatus(LPCSTR lpszText) override {
        Log("status " + Str(lpszText));
        CInstallerDlg::ShowStatus(lpszText);
    }
    void SetProgress(int nPos) override {
        Log("progress " + std::to_string(nPos));
        CInstallerDlg::SetProgress(nPos);
    }
    PortChoice ChooseParallelPort() override { return m_choice; }
    PortChoice ChooseTcpipPort() override {
        if (!m_tcpipAfterChoice.empty())
            SetList(m_arrTcpipPorts, m_tcpipAfterChoice);
        return m_choice;
    }
    void DetectUsbPort(LPCSTR lpszPrinter) override { Log("DetectUsbPort " + Str(lpszPrinter)); }
    void AssignSerialPort(LPCSTR lpszPrinter) override {
        Log("AssignSerialPort " + Str(lpszPrinter));
    }
};

// The dialog started, ready to install kModel as "Front Counter" on LPT1:.
class InstallTest : public PlatformTest {
protected:
    void SetUp() override {
        WriteTablesCatalogue();
        ::CreateDirectoryA(kReceiptTree, nullptr);
        ::CreateDirectoryA(kDirectory, nullptr);
        for (const std::string tree : {"C:\\Ticket\\x86\\", "C:\\Ticket\\x64\\"}) {
            ::CreateDirectoryA(tree.c_str(), nullptr);
            for (const std::string &name : kStaged)
                WriteTextFile(tree + name, tree + name);
        }
        Spy::directory = kDirectory;
        Spy::namesake.clear();
        Spy::dwDirectoryError = Spy::dwDriverError = Spy::dwPrinterError = 0;
        BoxFake::Install(api());
        ServiceFake::Install(api());
        PlatformApi &seam = api();
        seam.Sleep = Spy::Sleep;
        seam.MessageBoxA = Spy::MessageBoxA;
        seam.CopyFileA = Spy::CopyFileA;
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
        ASSERT_TRUE(m_runner->SelectModel(kModel));
        m_runner->SetText(IDC_PRINTER_NAME, "Front Counter");
        m_runner->SelectPortKind(2);
        SetList(m_dlg.m_arrSerialPorts, {});
        SetList(m_dlg.m_arrUsbPorts, {});
        SetList(m_dlg.m_arrParallelPorts, {"LPT1:"});
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
        m_runner->SetText(IDC_INSTALL, "&Install");
        g_log.clear();
        m_runner->PressInstall();
    }
    // The Install button's caption, and whether it can be pressed.
    std::string Install() const {
        return m_runner->Text(IDC_INSTALL) + (m_runner->Enabled(IDC_INSTALL) ? "" : " (disabled)");
    }
    bool OwnedByDialog() const { return BoxFake::boxes.back().hOwner == m_runner->Window(); }

    TestDlg m_dlg;
    std::unique_ptr<DialogRunner> m_runner;
};

TEST_F(InstallTest, StagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spy::namesake = "Front Counter";
    // A stopped spooler is started before the driver is registered.
    ServiceFake::dwState = ServiceFake::dwTarget = SERVICE_STOPPED;
    PressInstall();

    Texts expected = {"GetPrinterDriverDirectory " + std::string(DriverEnvironment())};
    for (const std::string &name : kStaged)
        expected.insert(expected.end(), {Copied(name), "status " + Staged(name)});
    expected.insert(expected.end(),
                    {"progress 10", "status Adding printer drive Receipt Model A04",
                     Record(kModel, "RMA04.GPD", "RMGRP1.DLL", false, "3"),
                     "status Driver Receipt Model A04 is added", "progress 20",
                     "OpenPrinter Front Counter RAW access " + std::to_string(PRINTER_ALL_ACCESS),
                     "status The printer Front Counter exists,Re-adding the printer...",
                     "SetPrinter namesake level 0 command " + std::to_string(PRINTER_CONTROL_PURGE),
                     "DeletePrinter namesake", "ClosePrinter namesake", Added("LPT1:"),
                     "ClosePrinter added", "status Added the printer Front Counter", "progress 30",
                     "progress 40", "status Set the printer Front Counter to default printer",
                     "Sleep 500", "progress 100", "status The installation is completed."});
    EXPECT_EQ(g_log, expected);
    // Everything staged but the plug-in's two files is removed again.
    for (const std::string &name : kStaged)
        EXPECT_EQ(FileExists(Staged(name)), name.rfind("XOEMUNI", 0) == 0) << name;
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT1:");
    EXPECT_EQ(Install(), "&Finish");
}

TEST_F(InstallTest, EachModelIsRegisteredWithItsFilesGroupDllAndVersion) {
    struct Case {
        const char *pszModel, *pszGpd, *pszGroupDll;
        bool bPlugin;
        DWORD dwPlatform, dwMajor;
        const char *pszVersion;
    };
    const DWORD kNt = VER_PLATFORM_WIN32_NT, k9x = VER_PLATFORM_WIN32_WINDOWS;
    const Case cases[] = {
        // Version 2 is for Windows NT 4.0 only.
        {kModel, "RMA04.GPD", "RMGRP1.DLL", false, kNt, 4, "2"},
        {"Receipt Model B01", "RMB01.GPD", "RMGRP2.DLL", false, kNt, 5, "3"},
        {"Receipt Model C01", "RMC01.GPD", "RMGRP3.DLL", false, k9x, 4, "3"},
        // Catalogue index 19 has a DLL of its own only when the list shows its name.
        {"Receipt Model B05", "RMB05.GPD", "RMGRP2W.DLL", false, kNt, 6, "3"},
        {kAliasOfOwnDllModel, "RMB05.GPD", "RMGRP2.DLL", false, kNt, 6, "3"},
        {"Receipt Model D01", "RMD01.GPD", "RMGRP4.DLL", false, kNt, 6, "3"},
        // Catalogue indexes 30 to 32 carry the plug-in.
        {"Receipt Model D04", "RMD04.GPD", "RMGRP4.DLL", true, kNt, 6, "3"},
        {"Receipt Model D06", "RMD06.GPD", "RMGRP4.DLL", true, kNt, 6, "3"},
    };
    api().GetVersionExA = VersionFake::GetVersionExA;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszModel);
        ASSERT_TRUE(m_runner->SelectModel(c.pszModel));
        VersionFake::Set(c.dwPlatform, c.dwMajor, 0);
        PressInstall();

        const std::string model =
            c.pszModel == std::string(kAliasOfOwnDllModel) ? "Receipt Model B05" : c.pszModel;
        EXPECT_EQ(Logged({"CopyFile " + ReceiptSourceTree() + "\\RM", "AddPrinterDriverEx"}),
                  (Texts{Copied(c.pszGroupDll), Copied(c.pszGpd),
                         Record(model, c.pszGpd, c.pszGroupDll, c.bPlugin, c.pszVersion)}));
    }
}

// A failure shows its code. Retry leaves Install as "Reinstall" with the
// staged files where they are; Cancel ends the dialog. An unavailable driver
// directory, or one whose paths would not fit, stops before anything is copied.
TEST_F(InstallTest, DriverFailureOffersRetryOrCancel) {
    struct Case {
        DWORD dwDirectoryError;
        std::string directory;
        DWORD dwDriverError;
        const char *pszCode;
        size_t cCopies;
        int nAnswer;
    };
    const Case cases[] = {
        {ERROR_INVALID_ENVIRONMENT, kDirectory, 0, "1805", 0, IDRETRY},
        {0, "", 0, "3", 0, IDRETRY},
        {0, "C:\\" + std::string(250, 'd'), 0, "206", 0, IDRETRY},
        {0, kDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 10, IDRETRY},
        {0, kDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 10, IDCANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        Spy::dwDirectoryError = c.dwDirectoryError;
        Spy::directory = c.directory;
        Spy::dwDriverError = c.dwDriverError;
        BoxFake::nAnswer = c.nAnswer;
        PressInstall();

        EXPECT_EQ(Logged({"box"}),
                  Texts{"box Error: Failed to add the driver " + std::string(c.pszCode) +
                        "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
                        "Exit and abort installation type " +
                        std::to_string(MB_RETRYCANCEL)});
        EXPECT_TRUE(OwnedByDialog());
        EXPECT_EQ(Logged({"CopyFile"}).size(), c.cCopies);
        // Only the failed registration, if it came that far.
        EXPECT_EQ(Logged({"AddPrinter", "OpenPrinter"}).size(), c.cCopies / 10);
        for (const std::string &name : kStaged)
            EXPECT_EQ(FileExists(Staged(name)), c.cCopies > 0) << name;
        if (c.nAnswer == IDCANCEL) {
            EXPECT_EQ(m_runner->Join(), IDOK);
            break;
        }
        EXPECT_EQ(g_log.back(), "progress 0");
        EXPECT_EQ(Install(), "Reinstall");
    }
}

// A printer the spooler refuses, or no port to create it on, shows its box
// and leaves Install ready. Names the spooler refuses never reach it, so no
// print server or port monitor is purged and deleted as a namesake.
TEST_F(InstallTest, FailedPrinterCreationShowsItsBox) {
    struct Case {
        const char *pszName;
        int nKind;
        DWORD dwError;
        const char *pszBox, *pszInstall;
        size_t cSpoolerCalls;
    };
    const char kRefused[] = "Error prompt: Error AddPrinter 1801";
    const char kNoPort[] =
        "Prompt: There's no available useful port,please select other type of port";
    const char kMissing[] = "Prompt: Missing system flies,please repair system";
    const Case cases[] = {
        {"Front Counter", 2, 1796, kNoPort, "Reinstall", 2},
        {"Front Counter", 2, 126, kMissing, "Reinstall", 2},
        {"", 2, 0, kRefused, "&Install", 0},
        {"Back\\Office", 2, 0, kRefused, "&Install", 0},
        {",XcvMonitor Local Port", 2, 0, kRefused, "&Install", 0},
        // No parallel port to fall back on: no printer on an invented port.
        {"Front Counter", 0, 0, kNoPort, "Reinstall", 1},
        {"Front Counter", 1, 0, kNoPort, "Reinstall", 1},
    };
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_runner->SetText(IDC_PRINTER_NAME, c.pszName);
        m_runner->SelectPortKind(c.nKind);
        SetList(m_dlg.m_arrParallelPorts, c.nKind == 2 ? Texts{"LPT1:"} : Texts{});
        Spy::dwPrinterError = c.dwError;
        PressInstall();

        EXPECT_EQ(Logged({"box"}), Texts{"box " + std::string(c.pszBox) + " type 0"});
        EXPECT_TRUE(OwnedByDialog());
        EXPECT_EQ(Logged({"OpenPrinter", "AddPrinter "}).size(), c.cSpoolerCalls);
        EXPECT_EQ(g_log.back(), "progress 0");
        EXPECT_EQ(Install(), c.pszInstall);
    }
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
}

TEST_F(InstallTest, DefaultPrinterIsWrittenWhenTickedAndAFailedWriteIsReported) {
    ::SendMessageA(m_runner->Item(IDC_SET_DEFAULT), BM_SETCHECK, BST_UNCHECKED, 0);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    PressInstall();
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_EQ(Logged({"status Set"}),
              Texts{"status Set the printer Front Counter to default printer"});

    ::SendMessageA(m_runner->Item(IDC_SET_DEFAULT), BM_SETCHECK, BST_CHECKED, 0);
    api().RegSetValueExA = Spy::RegSetValueExA;
    PressInstall();
    EXPECT_EQ(Logged({"RegSetValueEx", "box"}),
              (Texts{"RegSetValueEx Device", "box " + std::string(AfxGetAppTitle()) +
                                                 ": Error\xA3\xBA"
                                                 "Failed to set regist type 0"}));
    EXPECT_EQ(g_log.back(), "status The installation is completed.");
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
    const std::string kDetected = "DetectUsbPort Front Counter";
    const std::string kAssigned = "AssignSerialPort Front Counter";
    const std::string kNoUsb = "status There's no USB port,the current port isLPT1:";
    const std::string kNoSerial = "status There's no serial port,the current port isLPT1:";
    const Case cases[] = {
        {0, {}, false, "LPT1:", {Added("LPT1:"), kNoSerial, kAssigned}},
        {1, {"USB002", "USB003"}, false, "USB002", {Added("USB002"), kAddedStatus, kDetected}},
        {1, {}, false, "LPT1:", {Added("LPT1:"), kNoUsb}},
        {1, {}, true, "LPT1:", {Added("LPT1:"), kAddedStatus, kDetected}},
    };
    // The spooler's ports after its restart: none, or one USB port.
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        SetList(c.nKind == 0 ? m_dlg.m_arrSerialPorts : m_dlg.m_arrUsbPorts, c.kindPorts);
        SetList(m_dlg.m_arrParallelPorts, {"LPT1:", "LPT2:"});
        m_runner->SelectPortKind(c.nKind);
        PortsFake::ports = c.bUsbAfterRestart ? Ports{{"USB001", ""}} : Ports{};
        ServiceFake::requests.clear();
        PressInstall();

        EXPECT_EQ(Logged({"AddPrinter ", "status Added the", "status There", "Detect", "Assign"}),
                  c.log);
        // Only a USB printer on the fallback port restarts the spooler.
        EXPECT_EQ(ServiceFake::requests,
                  (c.nKind == 1 && c.kindPorts.empty() ? Texts{"stop", "start"} : Texts{}));
        EXPECT_EQ(DefaultPrinterDevice(), std::string("Front Counter,winspool,") + c.pszPort);
        EXPECT_EQ(Install(), "&Finish");
    }
}

// A choice picks its port in the fresh list, at its new row if it moved; a
// cancelled one only re-enables Install, and one that names no port of the
// list says why, before anything is staged.
TEST_F(InstallTest, PortChoiceResultsPickTheirPortOrAbandonTheInstallation) {
    struct Case {
        int nKind;
        PortChoice::Outcome outcome;
        int nRow;
        const char *pszChosen;
        Texts ports, tcpipAfterChoice;
        const char *pszPort;
        bool bBox;
    };
    const Texts two = {"P1", "P2"};
    const auto kRow = PortChoice::kRow;
    const auto kAdd = PortChoice::kAdded;
    const Case cases[] = {
        {2, kRow, 1, "P2", two, {}, "P2", false},
        {3, kRow, 1, "P2", two, {}, "P2", false},
        {3, kRow, 1, "P2", two, {"P2", "P3"}, "P2", false},
        {3, kRow, 0, "P1", two, {"P2"}, nullptr, true},
        // A port added by the wizard is entry 0 of the refreshed list.
        {3, kAdd, 0, "", two, {"IP_10.0.0.7", "P1"}, "IP_10.0.0.7", false},
        {3, kAdd, 0, "", {}, {}, nullptr, true},
        {2, PortChoice::kCancelled, 0, "", two, {}, nullptr, false},
        {2, kRow, 0, "", {}, {}, nullptr, true},
        {2, kRow, 2, "", two, {}, nullptr, true},
        {2, kRow, -1, "", two, {}, nullptr, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        SetList(m_dlg.m_arrParallelPorts, c.ports);
        SetList(m_dlg.m_arrTcpipPorts, c.ports);
        m_dlg.m_choice = {c.outcome, c.nRow, c.pszChosen};
        m_dlg.m_tcpipAfterChoice = c.tcpipAfterChoice;
        m_runner->SelectPortKind(c.nKind);
        PressInstall();

        EXPECT_EQ(Logged({"AddPrinter "}), c.pszPort ? Texts{Added(c.pszPort)} : Texts{});
        EXPECT_EQ(Logged({"box"}).size(), c.bBox ? 1u : 0u);
        // Nothing but the box when the installation is abandoned.
        EXPECT_EQ(g_log.size() == Logged({"box"}).size(), c.pszPort == nullptr);
        EXPECT_EQ(Install(), c.pszPort ? "&Finish" : "&Install");
    }
}

// The label installation: the monitor copied and registered, the driver's
// files staged and registered with it, the printer named as the driver
// list shows it. The spooler's monitor calls are recorded too.
const char kLabelModel[] = "Label Model L02";
const char kSystemDirectory[] = "C:\\lbl-system";
const char kWindowsDirectory[] = "C:\\lbl-windows";
const std::string kCommon = "C:\\Barcode\\Common\\";
const Texts kLabelCommon = {"THERMAL.chm", "LMDL02.BA0", "LMDL02.DAT", "LMDL02.PP0"};

// A width's files in the order of its list: monitor, driver, user
// interface, then the language resources.
Texts LabelFiles(bool b64) {
    const std::string width = b64 ? "56" : "50";
    Texts files = {b64 ? "zkvNLM64.dll" : "zkvNLMNT.dll", "QLMDRV" + width + ".DLL",
                   "QLMUI" + width + ".DLL"};
    for (const char *pszCode : {"ENG", "SLO", "CRO", "GER", "DAN", "FRA", "SPA", "ITA", "FIN",
                                "DUT", "CZE", "POL", "HUN", "RUS", "TUR", "SWE", "HEB", "SVK",
                                "LIT", "CHI", "SCH", "TAI", "KOR", "JAP", "UKR", "NOR", "PBR"})
        files.push_back("QLM" + std::string(pszCode) + width + ".DLL");
    return files;
}

std::string LabelTree(bool b64) {
    return b64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
}

// kLabelModel picked, the 32-bit road unless a test takes the other.
class LabelInstallTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        if (HasFatalFailure())
            return;
        ::CreateDirectoryA(kLabelTree, nullptr);
        for (bool b64 : {false, true}) {
            ::CreateDirectoryA(LabelTree(b64).c_str(), nullptr);
            for (const std::string &name : LabelFiles(b64))
                WriteTextFile(LabelTree(b64) + name, name);
        }
        ::CreateDirectoryA(kCommon.c_str(), nullptr);
        for (const std::string &name : kLabelCommon)
            WriteTextFile(kCommon + name, name);
        Spy::systemDirectory = kSystemDirectory;
        Spy::windowsDirectory = kWindowsDirectory;
        Spy::bOldMonitor = FALSE;
        Spy::dwMonitorError = 0;
        PlatformApi &seam = api();
        seam.GetSystemDirectoryA = Spy::GetSystemDirectoryA;
        seam.GetWindowsDirectoryA = Spy::GetWindowsDirectoryA;
        seam.DeleteFileA = Spy::DeleteFileA;
        seam.CreateDirectoryA = Spy::CreateDirectoryA;
        seam.StartServiceA = Spy::StartServiceA;
        seam.ControlService = Spy::ControlService;
        seam.DeleteMonitorA = Spy::DeleteMonitorA;
        seam.AddMonitorA = Spy::AddMonitorA;
        ASSERT_TRUE(m_runner->SelectModel(kLabelModel));
        m_dlg.m_bWow64 = FALSE;
    }
    void TearDown() override {
        RemoveTree(kLabelTree);
        InstallTest::TearDown();
    }
};

TEST_F(LabelInstallTest, AddsTheMonitorThenTheDriverThenThePrinterNamedAsTheList) {
    EXPECT_EQ(QueryWow64() != FALSE, SystemIs64Bit());
    api().GetVersionExA = VersionFake::GetVersionExA;
    for (bool b64 : {false, true}) {
        SCOPED_TRACE(b64 ? "64-bit" : "32-bit");
        m_dlg.m_bWow64 = b64;
        // Version 2 is for Windows NT 4.0 only.
        VersionFake::Set(VER_PLATFORM_WIN32_NT, b64 ? 6 : 4, 0);
        PressInstall();

        const Texts files = LabelFiles(b64);
        const char *pszEnvironment = b64 ? "Windows x64" : "Windows NT x86";
        const std::string monitor = b64 ? std::string(kWindowsDirectory) + "\\SysWOW64\\" + files[0]
                                        : std::string(kSystemDirectory) + "\\" + files[0];
        const std::string monitorCall =
            std::string("Monitor <null>|") + pszEnvironment + "|Advanced Language Monitor";
        Texts expected = {"GetPrinterDriverDirectory " + std::string(pszEnvironment),
                          "CopyFile " + LabelTree(b64) + files[0] + " > " + monitor,
                          "status " + monitor,
                          "Delete" + monitorCall,
                          "AddMonitor <null>|2|Advanced Language Monitor|" +
                              std::string(pszEnvironment) + "|" + monitor,
                          "status Advanced Language Monitor is added"};
        // Windows without 32-bit support has no SysWOW64 to copy the monitor into.
        if (b64)
            expected.insert(expected.begin() + 1,
                            "CreateDirectory " + std::string(kWindowsDirectory) + "\\SysWOW64");
        Texts staged = files;
        staged.insert(staged.end(), kLabelCommon.begin(), kLabelCommon.end());
        for (size_t i = 0; i < staged.size(); ++i)
            expected.insert(expected.end(),
                            {"CopyFile " + (i < files.size() ? LabelTree(b64) : kCommon) +
                                 staged[i] + " > " + Staged(staged[i]),
                             "status " + Staged(staged[i])});
        std::string record = "AddPrinterDriverEx <null>|3|" + std::to_string(APD_COPY_NEW_FILES) +
                             (b64 ? "|3|" : "|2|") + kLabelModel + "|" + pszEnvironment + "|" +
                             Staged(files[1]) + "|" + Staged("LMDL02.DAT") + "|" +
                             Staged(files[2]) + "|" + Staged("THERMAL.chm") +
                             "|Advanced Language Monitor|RAW";
        for (size_t i = 3; i < files.size(); ++i)
            record += "|\\" + files[i];
        record += "|\\LMDL02.BA0|\\LMDL02.PP0";
        expected.insert(expected.end(),
                        {"progress 10", "status Adding printer drive " + std::string(kLabelModel),
                         record, "status Driver Label Model L02 is added"});
        Texts removed = {"THERMAL.chm", "LMDL02.BA0", "LMDL02.PP0", "LMDL02.DAT"};
        removed.insert(removed.end(), files.begin(), files.end());
        for (const std::string &name : removed)
            expected.push_back("DeleteFile " + Staged(name));
        expected.insert(
            expected.end(),
            {"progress 20",
             "OpenPrinter Label Model L02 RAW access " + std::to_string(PRINTER_ALL_ACCESS),
             "AddPrinter <null> level 2: Label Model L02 on LPT1:, Label Model L02, WinPrint, RAW",
             "ClosePrinter added", "status Added the printer Label Model L02", "progress 30",
             "progress 40", "status Set the printer Label Model L02 to default printer",
             "Sleep 100", "progress 100", "status The installation is completed."});
        EXPECT_EQ(g_log, expected);
        EXPECT_EQ(Install(), "&Finish");
    }
}

// The spooler is made to run first; only a removed old monitor restarts it.
TEST_F(LabelInstallTest, OldMonitorIsRemovedWithARestartAndAnInstalledOneCountsAsAdded) {
    const std::string kStart = "spooler start",
                      kAdded = "status Advanced Language Monitor is added";
    for (BOOL bOldMonitor : {TRUE, FALSE}) {
        SCOPED_TRACE(bOldMonitor);
        ServiceFake::dwState = ServiceFake::dwTarget = SERVICE_STOPPED;
        Spy::bOldMonitor = bOldMonitor;
        Spy::dwMonitorError = bOldMonitor ? 0 : ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
        PressInstall();

        Texts log = Logged({"spooler", "DeleteMonitor", "AddMonitor", "status Advanced"});
        for (std::string &entry : log)
            entry = entry.substr(0, entry.find(" <null>"));
        Texts expected = {kStart, "DeleteMonitor", "spooler stop", kStart, "AddMonitor", kAdded};
        if (!bOldMonitor)
            expected.erase(expected.begin() + 2, expected.begin() + 4);
        EXPECT_EQ(log, expected);
        EXPECT_EQ(Install(), "&Finish");
    }
}

TEST_F(LabelInstallTest, AMonitorThatCannotBeAddedIsReportedAndEndsTheDialog) {
    Spy::dwMonitorError = ERROR_MOD_NOT_FOUND;
    PressInstall();

    EXPECT_EQ(
        Logged({"CopyFile", "status Failed", "box", "AddPrinter"}),
        (Texts{"CopyFile " + LabelTree(false) + "zkvNLMNT.dll > " + kSystemDirectory +
                   "\\zkvNLMNT.dll",
               "status Failed to add Monitor, error 126",
               "box " + std::string(AfxGetAppTitle()) + ": Failed to add Monitor\r\n type 0"}));
    EXPECT_TRUE(OwnedByDialog());
    EXPECT_EQ(m_runner->Join(), IDOK);
}

// A failed registration shows its code: Retry leaves Install as
// "Reinstall", Cancel ends the dialog. A driver directory the spooler does
// not name, or a path that would not fit whole, stops before the first copy.
TEST_F(LabelInstallTest, FailuresShowTheDriverBoxAndNothingIsCopiedBeforeEveryPathIsWhole) {
    struct Case {
        DWORD dwDirectoryError;
        std::string directory, systemDirectory;
        DWORD dwDriverError;
        const char *pszCode;
        size_t cCopies;
        int nAnswer;
    };
    const std::string kLong = "C:\\" + std::string(250, 'd');
    const Case cases[] = {
        {ERROR_INVALID_ENVIRONMENT, kDirectory, kSystemDirectory, 0, "1805", 0, IDRETRY},
        {0, "", kSystemDirectory, 0, "3", 0, IDRETRY},
        {0, kLong, kSystemDirectory, 0, "206", 0, IDRETRY},
        {0, kDirectory, kLong, 0, "206", 0, IDRETRY},
        {0, kDirectory, kSystemDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 35, IDRETRY},
        {0, kDirectory, kSystemDirectory, ERROR_UNKNOWN_PRINTER_DRIVER, "1797", 35, IDCANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        Spy::dwDirectoryError = c.dwDirectoryError;
        Spy::directory = c.directory;
        Spy::systemDirectory = c.systemDirectory;
        Spy::dwDriverError = c.dwDriverError;
        BoxFake::nAnswer = c.nAnswer;
        PressInstall();

        EXPECT_EQ(Logged({"box"}), Texts{"box " + std::string(AfxGetAppTitle()) +
                                         ": Failed to add the driver " + c.pszCode +
                                         "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
                                         "exit and abort installation type " +
                                         std::to_string(MB_RETRYCANCEL)});
        EXPECT_TRUE(OwnedByDialog());
        EXPECT_EQ(Logged({"CopyFile"}).size(), c.cCopies);
        EXPECT_EQ(Logged({"AddMonitor"}).size(), c.cCopies > 0 ? 1u : 0u);
        EXPECT_EQ(Logged({"DeleteFile", "OpenPrinter"}), Texts{});
        if (c.nAnswer == IDCANCEL) {
            EXPECT_EQ(m_runner->Join(), IDOK);
            break;
        }
        EXPECT_EQ(g_log.back(), "progress 0");
        EXPECT_EQ(Install(), "Reinstall");
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
    for (const char *pszPlugin : {"\\XOEMUNI.dll", "\\XOEMUNI.ini"})
        ::DeleteFileA((directory + pszPlugin).c_str());
    api().GetPrinterDriverDirectoryA = ::GetPrinterDriverDirectoryA;
    api().AddPrinterDriverExA = ::AddPrinterDriverExA;
    PressInstall();

    EXPECT_EQ(Logged({"CopyFile C:\\Ticket\\x64\\"}).size(), kStaged.size());
    for (const std::string &name : kStaged)
        EXPECT_EQ(FileExists(directory + "\\" + name), name.rfind("XOEMUNI", 0) == 0) << name;
    bool bRegistered = false;
    for (const DriverSeen &driver : InstalledDrivers("Windows x64"))
        bRegistered |=
            driver.name == kModel && driver.dataFile.find("RMA04.GPD") != std::string::npos;
    EXPECT_TRUE(bRegistered);
    EXPECT_EQ(Logged({"AddPrinter ", "box"}), Texts{Added("LPT1:")});
    EXPECT_EQ(g_log.back(), "status The installation is completed.");
}

// Starting and restarting the spooler, against a simulated service whose
// clock only moves when the caller pauses.
class ServiceControlTest : public PlatformTest {};

TEST_F(ServiceControlTest, ModesActOnTheServiceAndWaitPacedAndBounded) {
    struct Case {
        DWORD dwState;
        ServiceMode mode;
        DWORD dwTransitionMs;
        int nQueriesThatWork;
        Texts requests;
        ServiceOutcome outcome;
        DWORD dwMinClockMs, dwMaxClockMs;
    };
    const ServiceMode kEnsure = ServiceMode::EnsureRunning, kRestart = ServiceMode::Restart;
    const DWORD kNever = ServiceFake::kNever;
    using Outcome = ServiceOutcome;
    const Case cases[] = {
        {SERVICE_RUNNING, kEnsure, 300, -1, {}, Outcome::Done, 0, 0},
        {SERVICE_STOP_PENDING, kEnsure, 300, -1, {}, Outcome::Done, 0, 0},
        {SERVICE_STOPPED, kEnsure, 300, -1, {"start"}, Outcome::Done, 300, 400},
        {SERVICE_RUNNING, kRestart, 300, -1, {"stop", "start"}, Outcome::Done, 600, 800},
        {SERVICE_STOPPED, kRestart, 300, -1, {"start"}, Outcome::Done, 300, 400},
        // A state never reached ends the wait after about a minute, and a
        // service that never stops is not started.
        {SERVICE_STOPPED, kEnsure, kNever, -1, {"start"}, Outcome::NotRunning, 50000, 70000},
        {SERVICE_RUNNING, kRestart, kNever, -1, {"stop"}, Outcome::NotStopped, 50000, 70000},
        // A status lost during a wait ends it at once; with none at all,
        // starting or stopping would be a guess.
        {SERVICE_STOPPED, kEnsure, kNever, 3, {"start"}, Outcome::NotRunning, 0, 1000},
        {SERVICE_STOPPED, kEnsure, 300, 0, {}, Outcome::StatusUnknown, 0, 0},
        {SERVICE_RUNNING, kRestart, 300, 0, {}, Outcome::StatusUnknown, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        ServiceFake::Install(api(), c.dwState, c.dwTransitionMs);
        ServiceFake::InstallClock(api());
        ServiceFake::nQueriesThatWork = c.nQueriesThatWork;
        EXPECT_EQ(StartOrRestart("Spooler", c.mode), c.outcome);
        EXPECT_EQ(ServiceFake::requests, c.requests);
        EXPECT_GE(ServiceFake::dwClockMs, c.dwMinClockMs);
        EXPECT_LE(ServiceFake::dwClockMs, c.dwMaxClockMs);
        // Paced: a pause between queries, never a spin on them.
        EXPECT_LE(ServiceFake::nQueries, ServiceFake::nSleeps + 3);
        EXPECT_TRUE(ServiceFake::openHandles.empty()) << "a handle was left open";
    }
    // Without the manager or the service the status is unknown too.
    for (bool bManager : {false, true}) {
        ServiceFake::Install(api(), SERVICE_RUNNING, 300);
        ServiceFake::bManagerOpens = bManager;
        ServiceFake::bServiceExists = !bManager;
        EXPECT_EQ(StartOrRestart("Spooler", kRestart), Outcome::StatusUnknown);
        EXPECT_EQ(ServiceFake::requests, Texts{});
        EXPECT_TRUE(ServiceFake::openHandles.empty());
    }
}

// Every mode code but ensure-running restarts; each outcome but success has its box.
TEST(ServiceOutcomeTest, ModeCodesAndOutcomeBoxes) {
    EXPECT_EQ(ServiceModeOf(16), ServiceMode::EnsureRunning);
    for (DWORD dwMode : {0UL, 7UL, 0xFFFFFFFFUL})
        EXPECT_EQ(ServiceModeOf(dwMode), ServiceMode::Restart) << dwMode;
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::Done, "Spooler")), "");
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::StatusUnknown, "Spooler")),
              "Service status is unknown");
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::NotRunning, "Spooler")),
              "The service Spooler did not reach the running state.");
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::NotStopped, "Spooler")),
              "The service Spooler did not reach the stopped state.");
    EXPECT_EQ(ServiceOutcomeIcon(ServiceOutcome::StatusUnknown), UINT{MB_ICONINFORMATION});
    EXPECT_EQ(ServiceOutcomeIcon(ServiceOutcome::NotStopped), UINT{MB_ICONWARNING});
}

// Wine's own spooler, started and restarted through its service manager.
TEST(RealSpoolerTest, StoppedSpoolerIsStartedAndRestartedInANewProcess) {
    const SC_HANDLE hManager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const SC_HANDLE hService = ::OpenServiceA(hManager, "Spooler", SERVICE_ALL_ACCESS);
    ASSERT_NE(hService, nullptr);
    SERVICE_STATUS_PROCESS status = {};
    const auto query = [&] {
        DWORD cbNeeded = 0;
        ::QueryServiceStatusEx(hService, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                               sizeof(status), &cbNeeded);
        return status.dwCurrentState;
    };
    SERVICE_STATUS stopped = {};
    ::ControlService(hService, SERVICE_CONTROL_STOP, &stopped);
    ASSERT_TRUE(WaitFor([&] { return query() == SERVICE_STOPPED; }, 10000));

    EXPECT_EQ(StartOrRestart("Spooler", ServiceMode::EnsureRunning), ServiceOutcome::Done);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD dwProcessBefore = status.dwProcessId;
    EXPECT_EQ(StartOrRestart("Spooler", ServiceMode::Restart), ServiceOutcome::Done);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(status.dwProcessId, dwProcessBefore);
    // Later tests expect a running spooler.
    ::StartServiceA(hService, 0, nullptr);
    ::CloseServiceHandle(hService);
    ::CloseServiceHandle(hManager);
}

} // namespace
