// An installation from the port choice to the finished printer, for both
// families, run through a recording host: the files staged (copied for
// real), the records the spooler is handed, the printer created, its port
// assigned in the prefix's real registry, and what the user is shown. Then
// the spooler's own control.
#include "install/installation_flow.h"
#include "install/spooler_service.h"
#include "res/texts.h"
#include "shell/tree_removal.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/spooler_stand_in.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kDirectory[] = "C:\\drivers";
const char kPrinter[] = "Front Counter";
const char kLabelModel[] = "Label Model L02";
const char kDefaultKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr int kModelA04 = 3;
constexpr int kLabelL02 = 34;
// The receipt model's files in the order they are staged.
const std::vector<std::string> kStaged = {
    "RMGRP1.DLL", "RMA04.GPD",  "XOEMUNI.dll", "XOEMUNI.ini", "uniDRVui.DLL",
    "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL",  "TTFSUB.GPD",  "STDNAMES.GPD"};

std::string PrinterKey(const std::string &name) {
    return std::string(kSpoolerPrintersKey) + "\\" + name;
}

// What the host shows and the spooler is handed, in order.
std::vector<std::string> g_log;

BOOL Log(const std::string &entry) {
    g_log.push_back(entry);
    return TRUE;
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

// A path in the driver directory by its name alone.
std::string Short(LPCSTR psz) {
    const std::string path = psz != nullptr ? psz : "<null>", directory = kDirectory;
    return path.rfind(directory + "\\", 0) == 0 ? path.substr(directory.size() + 1) : path;
}

// What the spooler answers, and where a device is plugged in.
struct Injected {
    std::string directory = kDirectory;
    DWORD dwDirectoryError = 0, dwDriverError = 0, dwPrinterError = 0;
    std::string namesake = "", attachedPort = "";
    DWORD dwOnLine = 1;
};

// The spooler as an installation meets it, each call logged. AddPrinter
// makes the printer's key as the spooler does, and a start marks the
// printer on line when its port has the device.
struct Spy {
    static inline Injected s;

    static BOOL WINAPI DeleteFileA(LPCSTR lpPath) {
        return Log("delete " + Short(lpPath)) && ::DeleteFileA(lpPath);
    }
    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        return Log("copy " + Short(lpTo)) && ::CopyFileA(lpFrom, lpTo, bFailIfExists);
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE h, DWORD nArgs, LPCSTR *pArgs) {
        if (!s.attachedPort.empty() &&
            ReadRegistryString(HKEY_LOCAL_MACHINE, PrinterKey(kPrinter), "Port") == s.attachedPort)
            MarkPrinterOnLine(kPrinter, s.dwOnLine);
        return Log("spooler start") && ServiceFake::StartServiceA(h, nArgs, pArgs);
    }
    static BOOL WINAPI AddMonitorA(LPSTR, DWORD, LPBYTE pMonitor) {
        const auto *p = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitor);
        return Log("AddMonitor " + std::string(p->pName) + "|" + p->pEnvironment + "|" +
                   p->pDLLName);
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR, DWORD, LPBYTE pBuf, DWORD cbBuf,
                                                  LPDWORD) {
        ::SetLastError(s.dwDirectoryError);
        return s.dwDirectoryError == 0 && s.directory.size() < cbBuf &&
               std::strcpy(reinterpret_cast<char *>(pBuf), s.directory.c_str());
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR, DWORD, LPBYTE pInfo, DWORD) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        std::string entry = "driver " + std::to_string(p->cVersion);
        for (LPCSTR psz : {p->pName, p->pEnvironment, p->pDriverPath, p->pDataFile, p->pConfigFile,
                           p->pHelpFile, p->pMonitorName, p->pDefaultDataType})
            entry += "|" + Short(psz);
        // Each dependent file is closed by its NUL, the list by one more.
        for (LPCSTR psz = p->pDependentFiles; *psz != '\0'; psz += std::strlen(psz) + 1)
            entry += "|" + std::string(psz);
        ::SetLastError(s.dwDriverError);
        return Log(entry) && s.dwDriverError == 0;
    }
    // The handles are none the real functions that close them know.
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA) {
        *phPrinter = nullptr;
        return Log("OpenPrinter " + std::string(pName)) && s.namesake == pName;
    }
    static BOOL WINAPI DeletePrinter(HANDLE) { return Log("DeletePrinter"); }
    static HANDLE WINAPI AddPrinterA(LPSTR, DWORD, LPBYTE pPrinter) {
        const auto &info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        Log("AddPrinter " + std::string(info.pPrinterName) + ", " + info.pDriverName + ", " +
            info.pPortName);
        ::SetLastError(s.dwPrinterError);
        if (s.dwPrinterError == 0)
            WriteRegistryString(HKEY_LOCAL_MACHINE, PrinterKey(info.pPrinterName), "Port",
                                info.pPortName);
        return s.dwPrinterError == 0 ? const_cast<char *>("added") : nullptr;
    }
};

// The ports as the flow first finds them; the first reading gives the
// refreshed lists, later ones the spooler's ports, which are what is attached.
struct SourceFake : CPortSource {
    PortLists refreshed;
    bool bRefreshed = false;
    PortLists &Initial() { return m_lists; }
    const PortLists &Read() override {
        if (bRefreshed)
            return CPortSource::Read();
        bRefreshed = true;
        m_lists = refreshed;
        return m_lists;
    }
};

class InstallationFlowTest : public PlatformTest {
protected:
    void SetUp() override {
        const std::string tree = SystemIs64Bit() ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";
        for (const std::string folder : {"C:\\Ticket", tree.c_str(), kDirectory})
            ::CreateDirectoryA(folder.c_str(), nullptr);
        for (const std::string &name : kStaged)
            WriteTextFile(tree + name, name);
        // The key Windows keeps the default printer in, which a new prefix lacks.
        WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", "");
        Spy::s = {};
        ServiceFake::Install(api());
        api().CopyFileA = Spy::CopyFileA;
        api().DeleteFileA = Spy::DeleteFileA;
        api().StartServiceA = Spy::StartServiceA;
        api().AddMonitorA = Spy::AddMonitorA;
        api().GetPrinterDriverDirectoryA = Spy::GetPrinterDriverDirectoryA;
        api().AddPrinterDriverExA = Spy::AddPrinterDriverExA;
        api().OpenPrinterA = Spy::OpenPrinterA;
        api().DeletePrinter = Spy::DeletePrinter;
        api().AddPrinterA = Spy::AddPrinterA;
        api().EnumPortsA = PortsFake::EnumPortsA;
        PortsFake::ports = {};
        m_request.bWow64 = SystemIs64Bit();
        m_ports.Initial().arrParallel = Names("LPT1:");
    }
    void TearDown() override {
        for (const char *pszTree : {"C:\\Ticket", "C:\\Barcode", kDirectory})
            RemoveStagedTree(pszTree);
        RemovePrinterKeys();
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kDefaultKey, "Device");
        PlatformTest::TearDown();
    }
    static void RemovePrinterKeys() {
        for (const char *pszName : {kPrinter, kLabelModel}) {
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, PrinterKey(pszName).c_str());
            ::RegDeleteTreeA(HKEY_CURRENT_CONFIG, PrinterKey(pszName).c_str());
        }
    }

    InstallOutcome Install() {
        g_log.clear();
        RemovePrinterKeys();
        m_ports.bRefreshed = false;
        return RunInstallation(m_request, m_host, m_ports).outcome;
    }

    InstallRequest m_request = {
        kModelA04, "Receipt Model A04", kPrinter, kPortKindParallel, true, FALSE, false, false};
    HostFake m_host{g_log};
    SourceFake m_ports;
};

TEST_F(InstallationFlowTest, ReceiptStagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spy::s.namesake = kPrinter;
    ServiceFake::dwState = ServiceFake::dwTarget = SERVICE_STOPPED;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);
    std::string expected;
    for (const std::string &name : kStaged)
        expected += "copy " + name + "; ";
    expected += "spooler start; driver 3|Receipt Model A04|" + std::string(DriverEnvironment()) +
                "|uniDRV.DLL|RMA04.GPD|uniDRVui.DLL|uniDRV.HLP||RAW|\\ttfsub.GPD|\\unires.DLL|"
                "\\stdnames.GPD|RMGRP1.DLL";
    for (const std::string &name : kStaged)
        if (name.rfind("XOEMUNI", 0) != 0)
            expected += "; delete " + name;
    expected += "; OpenPrinter Front Counter; DeletePrinter; AddPrinter Front Counter, Receipt "
                "Model A04, LPT1:; status The installation is completed.";
    EXPECT_EQ(Logged({"copy", "spooler", "driver", "delete", "OpenPrinter", "DeletePrinter",
                      "AddPrinter", "status The installation"}),
              expected);
}

// The group decides the DLL; catalogue index 19 has one of its own only when
// the list shows its name; 30 to 32 carry the plug-in; NT 4.0 takes version
// 2. Unticked, the default printer stays.
TEST_F(InstallationFlowTest, EachReceiptModelIsRegisteredWithItsGroupDllAndVersion) {
    m_request.bSetDefault = false;
    const struct {
        int nIndex;
        const char *pszShown;
        bool bWindowsNt;
        std::string record;
    } cases[] = {
        {14, "Receipt Model A15", true, "2 RMGRP1.DLL"},
        {15, "Receipt Model B01", false, "3 RMGRP2.DLL"},
        {19, "Receipt Model B05", false, "3 RMGRP2W.DLL"},
        {19, "Receipt Model B05 Alias", false, "3 RMGRP2.DLL"},
        {22, "Receipt Model C01", false, "3 RMGRP3.DLL"},
        {29, "Receipt Model D03", false, "3 RMGRP4.DLL"},
        {30, "Receipt Model D04", false, "3 \\XOEMUNI.ini|\\XOEMUNI.dll|RMGRP4.DLL"},
    };
    for (const auto &c : cases) {
        m_request.nModelIndex = c.nIndex;
        m_request.strShownName = c.pszShown;
        m_request.bWindowsNt = c.bWindowsNt;
        Install();
        const std::string entry = Logged({"driver"}), after = "|\\stdnames.GPD|";
        EXPECT_EQ(entry.substr(7, 1) + " " + entry.substr(entry.find(after) + after.size()),
                  c.record);
    }
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device"), "");
}

// A driver that cannot be staged or registered offers Retry, which leaves
// Install as "Reinstall", or Cancel, which ends the dialog; a directory
// missing or too long to hold a path stops before any copy. A printer the
// spooler refuses or cannot make shows its box; names it would take for a
// port monitor or a subkey never reach it, so nothing is purged as a namesake.
TEST_F(InstallationFlowTest, FailuresShowTheirBoxAndEndAsTheUserChose) {
    const std::string kLong = "C:\\" + std::string(250, 'd');
    const char kXcv[] = ",XcvMonitor Local Port";
    const auto kRetry = InstallOutcome::kReinstall, kEnd = InstallOutcome::kEnd;
    const auto kReady = InstallOutcome::kReady;
    const struct {
        int nIndex;
        const char *pszName;
        Injected spooler;
        int nAnswer;
        std::string box;
        InstallOutcome outcome;
        const char *pszReached;
    } cases[] = {
        {kModelA04, kPrinter, {kDirectory, 1805}, IDRETRY, "driver 1805", kRetry, "none"},
        {kModelA04, kPrinter, {""}, IDRETRY, "driver 3\r", kRetry, "none"},
        {kModelA04, kPrinter, {kLong}, IDRETRY, "driver 206", kRetry, "none"},
        {kModelA04, kPrinter, {kDirectory, 0, 1797}, IDCANCEL, "driver 1797", kEnd, "copy"},
        {kLabelL02, kPrinter, {kDirectory, 0, 1797}, IDCANCEL, "driver 1797", kEnd, "copy"},
        {kModelA04, kPrinter, {kDirectory, 0, 0, 1796}, 0, kNoUsefulPort, kRetry, "open"},
        {kModelA04, kXcv, {}, 0, "AddPrinter 1801", kReady, "copy"},
        {kModelA04, "Back\\Office", {}, 0, "AddPrinter 1801", kReady, "copy"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.nModelIndex = c.nIndex;
        m_request.strPrinterName = c.pszName;
        Spy::s = c.spooler;
        m_host.answers = {c.nAnswer};
        EXPECT_EQ(Install(), c.outcome);
        EXPECT_NE(Logged({"box"}).find(c.box), std::string::npos) << Logged({"box"});
        const char *pszReached = !Logged({"OpenPrinter"}).empty() ? "open"
                                 : Logged({"copy"}).empty()       ? "none"
                                                                  : "copy";
        EXPECT_STREQ(pszReached, c.pszReached);
        EXPECT_TRUE(c.outcome == kEnd || g_log.back() == "progress 0");
    }
}

// Where a printer is created and the port it ends on, for each kind. A
// parallel or TCP/IP choice picks its port in the fresh list, at its new
// row if it moved; one cancelled or naming no port of the list abandons
// the installation before anything is staged. Without a port of their
// kind serial and USB printers start on the first parallel port. A USB
// printer restarts the spooler then and detects its port among those the
// restart brought; Retry reads them again, so a printer plugged in
// meanwhile is found; Cancel leaves it where it is. A row's road: "@" the
// port the printer is created on, each USB port checked, "found" or a box,
// and "=" the port the printer ends on.
TEST_F(InstallationFlowTest, EachKindOfPortLeadsThePrinterToItsPort) {
    const PortChoice kSecond = {PortChoice::kRow, 1, "P2"}, kNone = {};
    const auto kPar = kPortKindParallel, kTcp = kPortKindTcpip, kUsb = kPortKindUsb;
    const struct {
        PortKind kind;
        const char *pszPorts;
        PortChoice choice;
        const char *pszRefreshed, *pszAttached, *pszRoad;
        int nAnswer = 0;
        bool bWizardAdds = false, bWindows7 = false;
        DWORD dwOnLine = 1;
    } cases[] = {
        {kPar, "P1", kNone, "", "", "@P1 =P1"},
        {kPar, "", kNone, "", "", "box ="},
        {kPar, "P1 P2", kNone, "P1 P2", "", "="},
        {kTcp, "P1 P2", kSecond, "P0 P1 P2", "", "@P2 =P2"},
        {kTcp, "P1 P2", kSecond, "P1", "", "box ="},
        // Without a port the wizard is asked; the port it added is row 0.
        {kTcp, "", kNone, "IP_10.0.0.7 P1", "", "@IP_10.0.0.7 =IP_10.0.0.7", 0, true},
        {kTcp, "", kNone, "", "", "box =", 0, true},
        // The answering port first of two: detection stops there.
        {kUsb, "USB001 USB002", kNone, "", "USB001", "@USB001 USB001 found =USB001"},
        {kUsb, "", kNone, "USB003", "USB003", "@LPT1: USB003 found =USB003"},
        {kUsb, "", kNone, "", "", "@LPT1: box =LPT1:"},
        {kUsb, "", kNone, "", "USB004", "@LPT1: box USB004 found =USB004", IDRETRY},
        // The last flag read, though not 1, ends the detection; Windows 7 is
        // not asked and keeps the last port.
        {kUsb, "USB001 USB002", kNone, "", "USB002", "@USB001 USB001 USB002 =USB002", 0, 0, 0, 2},
        {kUsb, "USB001 USB002", kNone, "", "USB001", "@USB001 USB001 USB002 =USB002", 0, 0, true},
        {kPortKindSerial, "", kNone, "", "", "@LPT1: =LPT1:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        PortLists &lists = m_ports.Initial() = {};
        lists.arrTcpip = lists.arrUsb = Names(c.pszPorts);
        lists.arrParallel = Names(c.kind == kPar ? c.pszPorts : "LPT1:");
        m_request.bWindows7 = c.bWindows7;
        m_host.choice = c.choice;
        m_ports.refreshed.arrParallel = m_ports.refreshed.arrTcpip = m_ports.refreshed.arrUsb =
            Names(c.pszRefreshed);
        m_host.bWizardAdds = c.bWizardAdds;
        m_host.answers = {c.nAnswer};
        // What is attached answers a Retry's reading of the ports too.
        PortsFake::ports = *c.pszAttached ? Ports{{c.pszAttached, ""}} : Ports{};
        Spy::s.attachedPort = c.pszAttached;
        Spy::s.dwOnLine = c.dwOnLine;
        ServiceFake::requests.clear();
        const InstallOutcome outcome = Install();
        std::string road;
        for (const std::string &entry : g_log) {
            if (entry.rfind("AddPrinter", 0) == 0)
                road += " @" + entry.substr(entry.rfind(' ') + 1);
            else if (entry.rfind("status Checking  ", 0) == 0)
                road += " " + entry.substr(17, entry.size() - 22);
            else if (entry == "progress 70" || entry.rfind("box", 0) == 0)
                road += entry[0] == 'p' ? " found" : " box";
        }
        const std::string port =
            ReadRegistryString(HKEY_LOCAL_MACHINE, PrinterKey(kPrinter), "Port");
        EXPECT_EQ((road + " =" + port).substr(1), c.pszRoad);
        EXPECT_EQ(outcome, port.empty() ? InstallOutcome::kReady : InstallOutcome::kFinished);
        EXPECT_TRUE(!port.empty() || Logged({"copy"}).empty());
        // Finding a serial or USB port restarts the spooler; Windows 7 is not asked.
        EXPECT_EQ(c.kind < kPar && !c.bWindows7, !ServiceFake::requests.empty());
    }
    // No parallel port to fall back on either: no printer on an invented port.
    m_ports.Initial().arrParallel.RemoveAll();
    EXPECT_EQ(Install(), InstallOutcome::kReinstall);
    EXPECT_EQ(Logged({"AddPrinter", "box"}),
              "box " + std::string(kPromptCaption) + ": " + kNoUsefulPort + " type 0");
}

// The label installation: the monitor copied where the width puts it and
// registered, the driver's files staged and registered with it, the
// printer named as the driver list shows it. The 64-bit program puts the
// monitor in the system directory and names its file; the 32-bit one on
// 64-bit Windows, in SysWOW64 by its full path.
TEST_F(InstallationFlowTest, LabelModelAddsItsMonitorThenItsDriverThenThePrinter) {
    const bool b64 = SystemIs64Bit(), bNative64 = sizeof(void *) == 8;
    const std::string tree = b64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
    const std::string monitorFile = b64 ? "zkvNLM64.dll" : "zkvNLMNT.dll";
    for (const std::string folder : {"C:\\Barcode", "C:\\Barcode\\Common", tree.c_str()})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string name : {"THERMAL.chm", "LMDL02.BA0", "LMDL02.DAT", "LMDL02.PP0"})
        WriteTextFile("C:\\Barcode\\Common\\" + name, name);
    WriteTextFile(tree + monitorFile, monitorFile);
    m_request.nModelIndex = kLabelL02;
    m_request.strShownName = kLabelModel;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);

    const std::string monitor =
        (b64 && !bNative64 ? "C:\\windows\\SysWOW64\\" : "C:\\windows\\system32\\") + monitorFile;
    EXPECT_EQ(ReadTextFile(monitor), monitorFile);
    ::DeleteFileA(monitor.c_str());
    const std::string env = DriverEnvironment(), width = b64 ? "56" : "50";
    const std::string log =
        Logged({"copy C:", "AddMonitor", "driver", "delete THERMAL", "AddPrinter"});
    EXPECT_EQ(log.substr(0, log.find("|\\")),
              "copy " + monitor + "; AddMonitor Advanced Language Monitor|" + env + "|" +
                  (bNative64 ? monitorFile : monitor) + "; driver 3|Label Model L02|" + env +
                  "|QLMDRV" + width + ".DLL|LMDL02.DAT|QLMUI" + width +
                  ".DLL|THERMAL.chm|Advanced Language Monitor|RAW");
    EXPECT_EQ(log.substr(log.rfind(".BA0")), ".BA0|\\LMDL02.PP0; delete THERMAL.chm; AddPrinter "
                                             "Label Model L02, Label Model L02, LPT1:");
}

class ServiceControlTest : public PlatformTest {};

// Paced: a pause between queries, never a spin on them; no handle left open.
TEST_F(ServiceControlTest, ModesActOnTheServiceAndWaitPacedAndBounded) {
    const ServiceMode kEnsure = ServiceMode::EnsureRunning, kRestart = ServiceMode::Restart;
    const struct {
        DWORD dwState;
        ServiceMode mode;
        bool bStuck;
        std::vector<std::string> requests;
        int nFailedStep;
        DWORD dwClockMs;
    } cases[] = {
        {SERVICE_RUNNING, kEnsure, false, {}, 0, 0},
        {SERVICE_STOPPED, kEnsure, false, {"start"}, 0, 300},
        {SERVICE_RUNNING, kRestart, false, {"stop", "start"}, 0, 600},
        // A state never reached ends the wait after a minute, and a service
        // that never stops is not started.
        {SERVICE_STOPPED, kEnsure, true, {"start"}, kServiceStartStep, 60000},
        {SERVICE_RUNNING, kRestart, true, {"stop"}, kServiceStopStep, 60000},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        ServiceFake::Install(api(), c.dwState, c.bStuck);
        const StepResult result = StartOrRestart("Spooler", c.mode);
        EXPECT_EQ(result.Succeeded() ? 0 : result.nStep, c.nFailedStep);
        EXPECT_EQ(ServiceFake::requests, c.requests);
        EXPECT_GE(ServiceFake::dwClockMs, c.dwClockMs);
        EXPECT_LE(ServiceFake::dwClockMs, c.dwClockMs + 200);
        EXPECT_LE(ServiceFake::nQueries, ServiceFake::nSleeps + 3);
        EXPECT_EQ(ServiceFake::nOpen, 0);
    }
}

} // namespace
