// An installation from the port choice to the finished printer, for both
// families, run through a recording host: the files staged (copied for
// real), the records the spooler is handed, the printer created, its port
// assigned, and every status, position and box, in order. Then the
// spooler's own control.
#include "framework/win_app.h"
#include "install/installation_flow.h"
#include "install/package_layout.h"
#include "install/spooler_service.h"
#include "ports/printer_port_registry.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kDirectory[] = "C:\\drivers";
const char kPrinter[] = "Front Counter";
constexpr int kModelA04 = 3;
constexpr int kLabelL02 = 34;
const char kLabelModel[] = "Label Model L02";
// The receipt model's files in the order they are staged.
const std::vector<std::string> kStaged = {
    "RMGRP1.DLL", "RMA04.GPD",  "XOEMUNI.dll", "XOEMUNI.ini", "uniDRVui.DLL",
    "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL",  "TTFSUB.GPD",  "STDNAMES.GPD"};
const std::string kDefaultKey = "hkcu\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kCurrentKey = "hklm\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// What the host shows and the platform is handed, in order.
std::vector<std::string> g_log;

BOOL Log(const std::string &entry) {
    g_log.push_back(entry);
    return TRUE;
}

std::string Str(LPCSTR psz) {
    return psz != nullptr ? psz : "<null>";
}

// The entries that start with one of the prefixes, joined.
std::string Logged(std::initializer_list<std::string> prefixes) {
    std::vector<std::string> entries;
    for (const std::string &entry : g_log)
        if (std::any_of(prefixes.begin(), prefixes.end(),
                        [&](const std::string &prefix) { return entry.rfind(prefix, 0) == 0; }))
            entries.push_back(entry);
    return Joined(entries);
}

std::string DefaultPrinter() {
    const RegistryFake::Value *pDevice = RegistryFake::Find(kDefaultKey, "Device");
    return pDevice ? pDevice->data.c_str() : "";
}

void SetDefaultPrinter(const std::string &device) {
    RegistryFake::Set(kDefaultKey, "Device", REG_SZ, device + std::string(1, '\0'));
}

std::string Staged(const std::string &name) {
    return std::string(kDirectory) + "\\" + name;
}

std::string Added(const std::string &printer, const std::string &port, const std::string &driver) {
    return "AddPrinter " + printer + " on " + port + ", " + driver + ", WinPrint, RAW";
}

// The platform as an installation meets it, each call logged; the printer
// handle is the name it is logged by.
struct Spy {
    static inline std::string directory, systemDirectory, namesake;
    static inline DWORD dwDirectoryError, dwDriverError, dwPrinterError, dwMonitorError;
    static inline BOOL bOldMonitor;

    static UINT Directory(const std::string &path, LPSTR pBuffer, UINT cch) {
        if (path.size() >= cch)
            return static_cast<UINT>(path.size() + 1);
        std::strcpy(pBuffer, path.c_str());
        return static_cast<UINT>(path.size());
    }
    static UINT WINAPI GetSystemDirectoryA(LPSTR p, UINT cch) {
        return Directory(systemDirectory, p, cch);
    }
    // The Windows directory is the system directory here.
    static UINT WINAPI GetWindowsDirectoryA(LPSTR p, UINT cch) {
        return Directory(systemDirectory, p, cch);
    }
    static LSTATUS WINAPI RegSetValueExA(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD) {
        return ERROR_ACCESS_DENIED;
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpPath) {
        return Log("DeleteFile " + Str(lpPath)) && ::DeleteFileA(lpPath);
    }
    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        return Log("CopyFile " + Str(lpFrom) + " > " + lpTo) &&
               ::CopyFileA(lpFrom, lpTo, bFailIfExists);
    }
    static void WINAPI Sleep(DWORD dwMs) { Log("Sleep " + std::to_string(dwMs)); }
    static BOOL WINAPI StartServiceA(SC_HANDLE h, DWORD nArgs, LPCSTR *pArgs) {
        return Log("spooler start") && ServiceFake::StartServiceA(h, nArgs, pArgs);
    }
    static BOOL WINAPI ControlService(SC_HANDLE h, DWORD dwControl, LPSERVICE_STATUS pStatus) {
        return Log("spooler stop") && ServiceFake::ControlService(h, dwControl, pStatus);
    }
    static BOOL WINAPI DeleteMonitorA(LPSTR, LPSTR pEnvironment, LPSTR pMonitor) {
        Log("DeleteMonitor " + Str(pEnvironment) + "|" + Str(pMonitor));
        return bOldMonitor;
    }
    static BOOL WINAPI AddMonitorA(LPSTR, DWORD, LPBYTE pMonitor) {
        const auto *p = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitor);
        Log("AddMonitor " + Str(p->pName) + "|" + Str(p->pEnvironment) + "|" + Str(p->pDLLName));
        ::SetLastError(dwMonitorError);
        return dwMonitorError == 0;
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR pEnvironment, DWORD, LPBYTE pBuf,
                                                  DWORD cbBuf, LPDWORD) {
        Log("GetPrinterDriverDirectory " + Str(pEnvironment));
        ::SetLastError(dwDirectoryError);
        return dwDirectoryError == 0 && directory.size() < cbBuf &&
               std::strcpy(reinterpret_cast<char *>(pBuf), directory.c_str());
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR, DWORD, LPBYTE pInfo, DWORD) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        std::string entry = "AddPrinterDriverEx " + std::to_string(p->cVersion);
        for (LPCSTR psz : {p->pName, p->pEnvironment, p->pDriverPath, p->pDataFile, p->pConfigFile,
                           p->pHelpFile, p->pMonitorName, p->pDefaultDataType})
            entry += "|" + Str(psz);
        // Each dependent file is closed by its NUL, the list by one more.
        const LPCSTR pList = p->pDependentFiles;
        for (size_t cb = 0; cb < 500 && pList[cb] != '\0'; cb += std::strlen(pList + cb) + 1)
            entry += "|" + std::string(pList + cb);
        ::SetLastError(dwDriverError);
        return Log(entry) && dwDriverError == 0;
    }
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA) {
        *phPrinter = const_cast<char *>("namesake");
        return Log("OpenPrinter " + Str(pName)) && namesake == pName;
    }
    static BOOL WINAPI SetPrinterA(HANDLE, DWORD, LPBYTE, DWORD Command) {
        return Log("SetPrinter command " + std::to_string(Command));
    }
    static BOOL WINAPI DeletePrinter(HANDLE) { return Log("DeletePrinter"); }
    static BOOL WINAPI ClosePrinter(HANDLE) { return TRUE; }
    static HANDLE WINAPI AddPrinterA(LPSTR, DWORD, LPBYTE pPrinter) {
        const auto &info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        Log("AddPrinter " + Str(info.pPrinterName) + " on " + Str(info.pPortName) + ", " +
            Str(info.pDriverName) + ", " + Str(info.pPrintProcessor) + ", " + Str(info.pDatatype));
        ::SetLastError(dwPrinterError);
        return dwPrinterError == 0 ? const_cast<char *>("added") : nullptr;
    }
};

class InstallationFlowTest : public PlatformTest {
protected:
    void SetUp() override {
        for (const std::string tree : {"C:\\Ticket", "C:\\Ticket\\x86", "C:\\Ticket\\x64"}) {
            ::CreateDirectoryA(tree.c_str(), nullptr);
            for (const std::string &name : kStaged)
                WriteTextFile(tree + "\\" + name, name);
        }
        ::CreateDirectoryA(kDirectory, nullptr);
        Spy::directory = kDirectory;
        Spy::systemDirectory = "C:\\sys";
        Spy::namesake = "";
        Spy::dwDirectoryError = Spy::dwDriverError = Spy::dwPrinterError = 0;
        Spy::dwMonitorError = 0;
        Spy::bOldMonitor = FALSE;
        ServiceFake::Install(api());
        RegistryFake::Install(api());
        PlatformApi &seam = api();
        seam.Sleep = Spy::Sleep;
        seam.CopyFileA = Spy::CopyFileA;
        seam.DeleteFileA = Spy::DeleteFileA;
        seam.GetSystemDirectoryA = Spy::GetSystemDirectoryA;
        seam.GetWindowsDirectoryA = Spy::GetWindowsDirectoryA;
        seam.StartServiceA = Spy::StartServiceA;
        seam.ControlService = Spy::ControlService;
        seam.DeleteMonitorA = Spy::DeleteMonitorA;
        seam.AddMonitorA = Spy::AddMonitorA;
        seam.GetPrinterDriverDirectoryA = Spy::GetPrinterDriverDirectoryA;
        seam.AddPrinterDriverExA = Spy::AddPrinterDriverExA;
        seam.OpenPrinterA = Spy::OpenPrinterA;
        seam.SetPrinterA = Spy::SetPrinterA;
        seam.DeletePrinter = Spy::DeletePrinter;
        seam.AddPrinterA = Spy::AddPrinterA;
        seam.ClosePrinter = Spy::ClosePrinter;
        seam.EnumPortsA = PortsFake::EnumPortsA;
        seam.EnumPrintersA = PrintersFake::EnumPrintersA;
        PortsFake::ports = {};
        PrintersFake::printers = {};
        m_request.ports.arrParallel = List({"LPT1:"});
        RegistryFake::AddKey(kCurrentKey + kPrinter);
        RegistryFake::AddKey(kDefaultKey);
        m_request.bWow64 = SystemIs64Bit();
    }
    void TearDown() override {
        RemoveTree("C:\\Ticket");
        RemoveTree("C:\\Barcode");
        RemoveTree(kDirectory);
        PlatformTest::TearDown();
    }

    InstallOutcome Install() {
        g_log.clear();
        return RunInstallation(m_request, m_host);
    }

    InstallRequest m_request = {kModelA04, "Receipt Model A04",
                                kPrinter,  kPortKindParallel,
                                "LPT1:",   true,
                                true,      FALSE,
                                false,     false,
                                {}};
    HostFake m_host{g_log};
};

TEST_F(InstallationFlowTest, ReceiptStagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spy::namesake = kPrinter;
    ServiceFake::dwState = ServiceFake::dwTarget = SERVICE_STOPPED;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);

    const std::string env = DriverEnvironment(), tree = ReceiptSourceTree() + "\\";
    std::string expected = "GetPrinterDriverDirectory " + env;
    for (const std::string &name : kStaged)
        expected += "; CopyFile " + tree + name + " > " + Staged(name) + "; status " + Staged(name);
    expected += "; progress 10; status Adding printer drive Receipt Model A04; spooler start; "
                "AddPrinterDriverEx 3|Receipt Model A04|" +
                env + "|" + Staged("uniDRV.DLL") + "|" + Staged("RMA04.GPD") + "|" +
                Staged("uniDRVui.DLL") + "|" + Staged("uniDRV.HLP") +
                "||RAW|\\ttfsub.GPD|\\unires.DLL|\\stdnames.GPD|RMGRP1.DLL; status Driver Receipt "
                "Model A04 is added";
    for (const std::string &name : kStaged)
        if (name.rfind("XOEMUNI", 0) != 0)
            expected += "; DeleteFile " + Staged(name);
    expected += "; progress 20; OpenPrinter Front Counter; status The printer Front Counter "
                "exists,Re-adding the printer...; SetPrinter command 3; DeletePrinter; " +
                Added(kPrinter, "LPT1:", "Receipt Model A04") +
                "; status Added the printer Front Counter; progress 30; progress 40; status Set "
                "the printer Front Counter to default printer; Sleep 500; progress 100; status "
                "The installation is completed.";
    EXPECT_EQ(Logged({""}), expected);
    EXPECT_EQ(DefaultPrinter(), "Front Counter,winspool,LPT1:");
}

// The group decides the DLL; catalogue index 19 has one of its own only when
// the list shows its name; 30 to 32 carry the plug-in; NT 4.0 takes version 2.
TEST_F(InstallationFlowTest, EachReceiptModelIsRegisteredWithItsGpdGroupDllAndVersion) {
    const struct {
        int nIndex;
        const char *pszShown, *pszGpd, *pszGroupDll;
        bool bPlugin, bWindowsNt;
    } cases[] = {
        {14, "Receipt Model A15", "RMA15", "RMGRP1", false, true},
        {15, "Receipt Model B01", "RMB01", "RMGRP2", false, false},
        {19, "Receipt Model B05", "RMB05", "RMGRP2W", false, false},
        {19, "Receipt Model B05 Alias", "RMB05", "RMGRP2", false, false},
        {22, "Receipt Model C01", "RMC01", "RMGRP3", false, false},
        {27, "Receipt Model D01", "RMD01", "RMGRP4", false, false},
        {29, "Receipt Model D03", "RMD03", "RMGRP4", false, false},
        {30, "Receipt Model D04", "RMD04", "RMGRP4", true, false},
        {32, "Receipt Model D06", "RMD06", "RMGRP4", true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nIndex);
        m_request.nModelIndex = c.nIndex;
        m_request.strShownName = c.pszShown;
        m_request.bWindowsNt = c.bWindowsNt;
        Install();
        const std::string record = Logged({"AddPrinterDriverEx"});
        EXPECT_EQ(record.substr(0, 20),
                  std::string("AddPrinterDriverEx ") + (c.bWindowsNt ? "2" : "3"));
        EXPECT_NE(record.find(Staged(c.pszGpd) + ".GPD"), std::string::npos);
        EXPECT_EQ(record.find("XOEMUNI") != std::string::npos, c.bPlugin);
        EXPECT_EQ(record.substr(record.rfind('|') + 1), std::string(c.pszGroupDll) + ".DLL");
    }
}

// A failure shows its code; Retry leaves Install as "Reinstall", Cancel
// ends the dialog. A driver directory that is missing or too long to
// hold a path stops before anything is copied; a refused record after.
TEST_F(InstallationFlowTest, DriverFailuresOfBothFamiliesOfferRetryOrCancel) {
    const std::string kLong = "C:\\" + std::string(250, 'd');
    const auto kRetry = InstallOutcome::kReinstall;
    const struct {
        int nIndex;
        DWORD dwDirectoryError;
        std::string directory, systemDirectory;
        DWORD dwDriverError;
        const char *pszCode;
        int nAnswer;
        InstallOutcome outcome;
    } cases[] = {
        {kModelA04, ERROR_INVALID_ENVIRONMENT, kDirectory, "C:\\sys", 0, "1805", IDRETRY, kRetry},
        {kModelA04, 0, "", "C:\\sys", 0, "3", IDRETRY, kRetry},
        {kModelA04, 0, kLong, "C:\\sys", 0, "206", IDRETRY, kRetry},
        {kModelA04, 0, kDirectory, "C:\\sys", 1797, "1797", IDCANCEL, InstallOutcome::kEnd},
        {kLabelL02, 0, kDirectory, kLong, 0, "206", IDRETRY, kRetry},
        {kLabelL02, 0, kLong, "C:\\sys", 0, "206", IDRETRY, kRetry},
        {kLabelL02, 0, kDirectory, "C:\\sys", 1797, "1797", IDCANCEL, InstallOutcome::kEnd},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.nModelIndex = c.nIndex;
        Spy::dwDirectoryError = c.dwDirectoryError;
        Spy::directory = c.directory;
        Spy::systemDirectory = c.systemDirectory;
        Spy::dwDriverError = c.dwDriverError;
        m_host.answers = {c.nAnswer};
        EXPECT_EQ(Install(), c.outcome);

        const bool bReceipt = c.nIndex == kModelA04;
        EXPECT_EQ(Logged({"box"}), "box " + std::string(bReceipt ? "Error" : AfxGetAppTitle()) +
                                       ": Failed to add the driver " + c.pszCode +
                                       "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA" +
                                       (bReceipt ? "E" : "e") +
                                       "xit and abort installation type 5");
        EXPECT_EQ(Logged({"CopyFile"}).empty(), c.dwDriverError == 0);
        EXPECT_EQ(Logged({"DeleteFile", "OpenPrinter"}), "");
        EXPECT_TRUE(c.outcome != kRetry || g_log.back() == "progress 0");
    }
}

// A refused or impossible printer shows its box; names the spooler refuses
// never reach it, so no print server or port monitor is purged as a namesake.
TEST_F(InstallationFlowTest, FailedPrinterCreationShowsItsBoxAndLeavesTheDefaultAlone) {
    const char kRefused[] = "Error prompt: Error AddPrinter 1801";
    const char kNoPort[] =
        "Prompt: There's no available useful port,please select other type of port";
    const auto kReady = InstallOutcome::kReady, kRetry = InstallOutcome::kReinstall;
    const auto kPar = kPortKindParallel;
    const struct {
        const char *pszName;
        PortKind kind;
        DWORD dwError;
        const char *pszBox;
        InstallOutcome outcome;
    } cases[] = {
        {kPrinter, kPar, 1796, kNoPort, kRetry},
        {kPrinter, kPar, 126, "Prompt: Missing system flies,please repair system", kRetry},
        {"", kPar, 0, kRefused, kReady},
        {"Back\\Office", kPar, 0, kRefused, kReady},
        {",XcvMonitor Local Port", kPar, 0, kRefused, kReady},
        // No parallel port to fall back on: no printer on an invented port.
        {kPrinter, kPortKindSerial, 0, kNoPort, kRetry},
        {kPrinter, kPortKindUsb, 0, kNoPort, kRetry},
    };
    SetDefaultPrinter("Untouched,winspool,LPT9:");
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.strPrinterName = c.pszName;
        m_request.kind = c.kind;
        m_request.bPortAvailable = c.kind == kPar;
        m_request.ports.arrParallel =
            List(c.kind == kPar ? std::vector<std::string>{"LPT1:"} : std::vector<std::string>{});
        Spy::dwPrinterError = c.dwError;
        EXPECT_EQ(Install(), c.outcome);
        EXPECT_EQ(Logged({"box"}), "box " + std::string(c.pszBox) + " type 0");
        EXPECT_EQ(Logged({"OpenPrinter"}).empty(), c.pszBox == kRefused);
        EXPECT_EQ(g_log.back(), "progress 0");
    }
    EXPECT_EQ(DefaultPrinter(), "Untouched,winspool,LPT9:");
}

TEST_F(InstallationFlowTest, DefaultPrinterIsWrittenOnlyWhenTickedAndAFailureIsReported) {
    m_request.bSetDefault = false;
    SetDefaultPrinter("Untouched,winspool,LPT9:");
    Install();
    EXPECT_EQ(DefaultPrinter(), "Untouched,winspool,LPT9:");
    m_request.bSetDefault = true;
    api().RegSetValueExA = Spy::RegSetValueExA;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);
    EXPECT_EQ(Logged({"box"}), "box app: Error\xA3\xBA"
                               "Failed to set regist type 0");
}

// A choice picks its port in the fresh list, at its new row if it moved; a
// cancelled one only leaves Install ready, and one that names no port of
// the list says why, before anything is staged.
TEST_F(InstallationFlowTest, PortChoicesPickTheirPortOrAbandonTheInstallation) {
    using Names = std::vector<std::string>;
    const Names two = {"P1", "P2"};
    const PortChoice kSecond = {PortChoice::kRow, 1, "P2"};
    const PortChoice kCancel = {PortChoice::kCancelled, 0, ""};
    const auto kPar = kPortKindParallel, kTcp = kPortKindTcpip;
    const std::string kNoParallel = "box app: There is no available parallel port.\r\n\r\nPlease "
                                    "select other port type. type 48";
    const struct {
        PortKind kind;
        Names ports;
        PortChoice choice;
        Names refreshed;
        bool bWizardAdds;
        const char *pszPort;
        std::string boxes;
    } cases[] = {
        {kPar, two, kSecond, two, false, "P2", ""},
        {kPar, {"P1"}, kCancel, {}, false, "P1", ""},
        {kPar, {}, kCancel, {}, false, nullptr, kNoParallel},
        {kPar, two, kCancel, two, false, nullptr, ""},
        {kTcp, two, kSecond, {"P0", "P2", "P3"}, false, "P2", ""},
        {kTcp, two, kSecond, {"P1"}, false, nullptr, "box"},
        // Without a port the wizard is asked; the port it added is row 0.
        {kTcp, {}, kCancel, {"IP_10.0.0.7", "P1"}, true, "IP_10.0.0.7", ""},
        {kTcp, {}, kCancel, {}, false, nullptr, ""},
        {kTcp, {}, kCancel, {}, true, nullptr, "box"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        m_request.ports.arrParallel = m_request.ports.arrTcpip = List(c.ports);
        m_host.choice = c.choice;
        m_host.refreshed.arrParallel = m_host.refreshed.arrTcpip = List(c.refreshed);
        m_host.bWizardAdds = c.bWizardAdds;
        EXPECT_EQ(Install(), c.pszPort ? InstallOutcome::kFinished : InstallOutcome::kReady);
        EXPECT_EQ(Logged({"AddPrinter "}),
                  c.pszPort ? Added(kPrinter, c.pszPort, "Receipt Model A04") : "");
        EXPECT_EQ(Logged({"box"}).substr(0, c.boxes.size()), c.boxes);
        EXPECT_EQ(Logged({"box"}).empty(), c.boxes.empty());
        EXPECT_TRUE(c.pszPort || Logged({"CopyFile"}).empty());
    }
}

// Without a port of their kind serial and USB printers start on the first
// parallel port. A USB printer restarts the spooler then and detects its
// port among those the restart brought; Retry reads them again, so a
// printer plugged in meanwhile is found; Cancel leaves it where it is.
TEST_F(InstallationFlowTest, UsbAndSerialPrintersFindTheirPortAfterCreation) {
    using Names = std::vector<std::string>;
    const auto kUsb = kPortKindUsb;
    const auto Checking = [](const char *pszPort) {
        return "; status Checking  " + std::string(pszPort) + " ....";
    };
    const std::string kOnLpt1 = Added(kPrinter, "LPT1:", "Receipt Model A04");
    const std::string kAdded = "; status Added the printer Front Counter";
    const std::string kOnUsb1 =
        Added(kPrinter, "USB001", "Receipt Model A04") + kAdded + Checking("USB001");
    const std::string kNoUsb = "; status There's no USB port,the current port isLPT1:; box Fail "
                               "to select port";
    const std::string kDone = "; progress 80; status The installation is completed.";
    const struct {
        PortKind kind;
        Names kindPorts, afterRestart;
        Ports plugged;
        const char *pszAttached;
        int nAnswer;
        std::string log;
        bool bWindows7 = false;
        char chFlag = 1;
    } cases[] = {
        // The answering port first of two: detection stops there.
        {kUsb, {"USB001", "USB002"}, {}, {}, "USB001", 0, kOnUsb1 + "; progress 70" + kDone},
        {kUsb,
         {},
         {"USB003"},
         {},
         "USB003",
         0,
         kOnLpt1 + kAdded + Checking("USB003") + "; progress 70" + kDone},
        {kUsb, {}, {}, {}, "", 0, kOnLpt1 + kNoUsb + kDone},
        {kUsb,
         {},
         {},
         {{"USB004", ""}},
         "USB004",
         IDRETRY,
         kOnLpt1 + kNoUsb + Checking("USB004") + "; progress 70" + kDone},
        // The last flag read, though not 1, ends the detection; Windows 7 is
        // not asked and keeps the last port.
        {kUsb,
         {"USB001", "USB002"},
         {},
         {},
         "USB002",
         0,
         kOnUsb1 + Checking("USB002") + kDone,
         false,
         2},
        {kUsb,
         {"USB001", "USB002"},
         {},
         {},
         "USB001",
         0,
         kOnUsb1 + Checking("USB002") + kDone,
         true},
        {kPortKindSerial,
         {},
         {},
         {},
         "",
         0,
         kOnLpt1 + "; status There's no serial port,the current port isLPT1:; status Unable to "
                   "detect available printer.The current printer port is LPT1:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        m_request.bPortAvailable = !c.kindPorts.empty();
        m_request.strPort = c.kindPorts.empty() ? "" : c.kindPorts[0].c_str();
        m_request.ports.arrUsb = List(c.kindPorts);
        m_request.bWindows7 = c.bWindows7;
        m_host.refreshed.arrUsb = List(c.afterRestart);
        m_host.answers = {c.nAnswer};
        PortsFake::ports = c.plugged;
        ServiceFake::attachedPort = c.pszAttached;
        ServiceFake::onLineFlag = std::string(1, c.chFlag) + std::string(3, '\0');
        ServiceFake::requests.clear();
        EXPECT_EQ(Install(), InstallOutcome::kFinished);
        EXPECT_EQ(ServiceFake::requests.empty(), c.bWindows7);
        std::string log =
            Logged({"AddPrinter ", "status Added", "status There", "status Unable",
                    "status Checking  ", "progress 7", "progress 8", "box", "status The"});
        const size_t nBox = log.find("box Fail to select port:");
        if (nBox != std::string::npos)
            log.erase(nBox + 23, log.find(" type", nBox) + 7 - nBox - 23);
        EXPECT_EQ(log, c.log);
    }
}

// The label installation: the monitor copied where the width puts it and
// registered, the driver's files staged and registered with it, the
// printer named as the driver list shows it.
TEST_F(InstallationFlowTest, LabelModelAddsItsMonitorThenItsDriverThenThePrinter) {
    const bool b64 = SystemIs64Bit();
    const std::string tree = b64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
    const std::string monitorFile = b64 ? "zkvNLM64.dll" : "zkvNLMNT.dll";
    for (const std::string folder : {"C:\\Barcode", "C:\\Barcode\\Common", tree.c_str()})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string name : {"THERMAL.chm", "LMDL02.BA0", "LMDL02.DAT", "LMDL02.PP0"})
        WriteTextFile("C:\\Barcode\\Common\\" + name, name);
    WriteTextFile(tree + monitorFile, monitorFile);
    m_request.nModelIndex = kLabelL02;
    m_request.strShownName = kLabelModel;
    m_request.bWow64 = b64;
    Spy::bOldMonitor = TRUE;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);

    // The 64-bit program puts it in the system directory and names its file;
    // the 32-bit one on 64-bit Windows, in SysWOW64 by its full path.
    const bool bNative64 = sizeof(void *) == 8;
    const std::string monitor =
        "C:\\sys\\" + std::string(b64 && !bNative64 ? "SysWOW64\\" : "") + monitorFile;
    const std::string env = DriverEnvironment();
    EXPECT_EQ(Logged({"CopyFile " + tree + monitorFile, "spooler", "DeleteMonitor", "AddMonitor",
                      "status Adv"}),
              "CopyFile " + tree + monitorFile + " > " + monitor + "; DeleteMonitor " + env +
                  "|Advanced Language Monitor; spooler stop; spooler start; AddMonitor Advanced "
                  "Language Monitor|" +
                  env + "|" + (bNative64 ? monitorFile : monitor) +
                  "; status Advanced Language Monitor is added; CopyFile " + tree + monitorFile +
                  " > " + Staged(monitorFile));
    const std::string record = Logged({"AddPrinterDriverEx"});
    EXPECT_EQ(record.substr(0, record.find("|\\")),
              "AddPrinterDriverEx 3|Label Model L02|" + env + "|" +
                  Staged(b64 ? "QLMDRV56.DLL" : "QLMDRV50.DLL") + "|" + Staged("LMDL02.DAT") + "|" +
                  Staged(b64 ? "QLMUI56.DLL" : "QLMUI50.DLL") + "|" + Staged("THERMAL.chm") +
                  "|Advanced Language Monitor|RAW");
    EXPECT_EQ(record.substr(record.size() - 24), "|\\LMDL02.BA0|\\LMDL02.PP0");
    EXPECT_EQ(
        std::count_if(g_log.begin(), g_log.end(),
                      [](const std::string &entry) { return entry.rfind("DeleteFile", 0) == 0; }),
        34);
    EXPECT_EQ(Logged({"AddPrinter ", "Sleep"}),
              Added(kLabelModel, "LPT1:", kLabelModel) + "; Sleep 100");

    // A monitor the spooler refuses ends the dialog before any driver file.
    Spy::dwMonitorError = ERROR_MOD_NOT_FOUND;
    EXPECT_EQ(Install(), InstallOutcome::kEnd);
    EXPECT_EQ(Logged({"status Failed", "box", "AddPrinterDriverEx"}),
              "status Failed to add Monitor, error 126; box " + std::string(AfxGetAppTitle()) +
                  ": Failed to add Monitor\r\n type 0");
}

class ServiceControlTest : public PlatformTest {};

TEST_F(ServiceControlTest, ModesActOnTheServiceAndWaitPacedAndBounded) {
    struct Case {
        DWORD dwState;
        ServiceMode mode;
        DWORD dwTransitionMs;
        int nQueriesThatWork;
        std::vector<std::string> requests;
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
    // Without the manager or the service the status is unknown too, and
    // every outcome but success has its box.
    for (bool bManager : {false, true}) {
        ServiceFake::Install(api(), SERVICE_RUNNING, 300);
        ServiceFake::bManagerOpens = bManager;
        ServiceFake::bServiceExists = !bManager;
        EXPECT_EQ(StartOrRestart("Spooler", kRestart), Outcome::StatusUnknown);
        EXPECT_TRUE(ServiceFake::openHandles.empty());
    }
    EXPECT_EQ(ServiceModeOf(16), ServiceMode::EnsureRunning);
    EXPECT_EQ(ServiceModeOf(0), ServiceMode::Restart);
    EXPECT_EQ(std::string(DescribeServiceOutcome(Outcome::NotRunning, "Spooler")),
              "The service Spooler did not reach the running state.");
    EXPECT_EQ(ServiceOutcomeIcon(Outcome::StatusUnknown), UINT{MB_ICONINFORMATION});
}

} // namespace
