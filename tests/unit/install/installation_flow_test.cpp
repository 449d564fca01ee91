// An installation from the port choice to the finished printer, for both
// families, run through a recording host: the files staged, the records
// the spooler is handed, the printer created, its port
// assigned in the prefix's real registry, and what the user is shown. Then
// the spooler's own control, and the port values and serial assignment on
// printer keys laid out as the spooler keeps them.
#include "install/installation_flow.h"
#include "install/printer_port_registry.h"
#include "install/serial_assignment.h"
#include "install/spooler_service.h"
#include "res/texts.h"
#include "shell/tree_removal.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/spooler_stand_in.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kDirectory[] = "C:\\drivers";
const char kPrinter[] = "Front Counter";
const char kLabelModel[] = "Label Model L02";
const char kDefaultKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kCurrent = std::string(kSpoolerPrintersKey) + "\\";
constexpr int kModelA04 = 3;
constexpr int kLabelL02 = 34;
// The receipt model's files in the order they are staged.
const std::vector<std::string> kStaged = {
    "RMGRP1.DLL", "RMA04.GPD",  "XOEMUNI.dll", "XOEMUNI.ini", "uniDRVui.DLL",
    "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL",  "TTFSUB.GPD",  "STDNAMES.GPD"};
// What every receipt model's driver depends on before its own files.
const std::vector<std::string> kReceiptDependents = {"\\ttfsub.GPD", "\\unires.DLL",
                                                     "\\stdnames.GPD"};

// What the host shows, the spooler is handed and its service is asked, in order.
std::vector<std::string> g_log;

BOOL Log(const std::string &entry) {
    g_log.push_back(entry);
    return TRUE;
}

// The entries that start with one of the prefixes.
std::vector<std::string> Logged(std::initializer_list<std::string> prefixes) {
    std::vector<std::string> entries;
    for (const std::string &entry : g_log)
        for (const std::string &prefix : prefixes)
            if (entry.rfind(prefix, 0) == 0)
                entries.push_back(entry);
    return entries;
}

// A list of the program's own kind from names separated by blanks.
CStringArray Names(const std::string &names) {
    std::istringstream in(names);
    CStringArray list;
    for (std::string name; in >> name;)
        list.Add(name.c_str());
    return list;
}

// A path in the driver directory by its name alone.
std::string Short(LPCSTR psz) {
    const std::string path = psz != nullptr ? psz : "<null>", directory = kDirectory;
    return path.rfind(directory + "\\", 0) == 0 ? path.substr(directory.size() + 1) : path;
}

// A record the spooler was handed: its fields by name.
using Fields = std::map<std::string, std::string>;

// Names and values in turn, each value against the field of its name, so
// that a failure names the field.
void ExpectFields(Fields handed, const std::vector<std::string> &expected) {
    for (size_t i = 0; i + 1 < expected.size(); i += 2)
        EXPECT_EQ(handed[expected[i]], expected[i + 1]) << expected[i];
}

// What the spooler answers, and where a device is plugged in.
struct Injected {
    std::string directory = kDirectory;
    DWORD dwDirectoryError = 0, dwDriverError = 0, dwPrinterError = 0;
    std::string namesake = "", attachedPort = "";
    DWORD dwOnLine = 1;
};

// The spooler as an installation meets it, each call logged and its last
// records kept, and its service, whose start or stop takes 300 ms of a
// clock that only the caller's pauses advance, or never ends when the
// service is stuck. AddPrinter makes the printer's key as the spooler
// does, and a start marks the printer on line when its port has the device.
struct Spooler {
    static inline Injected s;
    static inline Fields driver, monitor, printer;
    static inline std::vector<std::string> dependents;
    static inline DWORD dwState, dwTarget, dwReadyAtMs, dwClockMs;
    static inline bool bStuck;
    static inline int nQueries, nSleeps, nOpen;

    static void InstallService(PlatformApi &api, DWORD dwInitial = SERVICE_RUNNING,
                               bool bStuckService = false) {
        dwState = dwTarget = dwInitial;
        bStuck = bStuckService;
        dwReadyAtMs = dwClockMs = 0;
        nQueries = nSleeps = nOpen = 0;
        api.OpenSCManagerA = Open;
        api.OpenServiceA = Open;
        api.QueryServiceStatus = QueryServiceStatus;
        api.StartServiceA = StartServiceA;
        api.ControlService = ControlService;
        api.CloseServiceHandle = CloseServiceHandle;
        api.Sleep = Sleep;
        api.GetTickCount = GetTickCount;
    }
    // The program reads the states a start or stop leads to, never its result.
    static BOOL Request(const char *pszWhat, DWORD dwPending, DWORD dwFinal) {
        dwState = dwPending;
        dwTarget = dwFinal;
        dwReadyAtMs = dwClockMs + 300;
        return Log(pszWhat);
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE, DWORD, LPCSTR *) {
        if (!s.attachedPort.empty() &&
            ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + kPrinter, "Port") == s.attachedPort)
            MarkPrinterOnLine(kPrinter, s.dwOnLine);
        return Request("start", SERVICE_START_PENDING, SERVICE_RUNNING);
    }
    static BOOL WINAPI ControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS) {
        return Request("stop", SERVICE_STOP_PENDING, SERVICE_STOPPED);
    }
    // The manager and the service alike.
    template <typename... Args> static SC_HANDLE WINAPI Open(Args...) {
        return reinterpret_cast<SC_HANDLE>(static_cast<UINT_PTR>(++nOpen));
    }
    static BOOL WINAPI CloseServiceHandle(SC_HANDLE) { return --nOpen >= 0; }
    // Past ten minutes it answers no more, so that an unbounded wait ends.
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS pStatus) {
        if (!bStuck && dwClockMs >= dwReadyAtMs)
            dwState = dwTarget;
        *pStatus = {};
        pStatus->dwCurrentState = dwState;
        ++nQueries;
        return dwClockMs <= 600000;
    }
    static void WINAPI Sleep(DWORD dwMs) {
        ++nSleeps;
        dwClockMs += dwMs;
    }
    // Starts far from zero so that a wait across the counter's wrap is covered.
    static DWORD WINAPI GetTickCount() { return dwClockMs + 0xFFFFF000u; }

    static void Install(PlatformApi &api) {
        s = {};
        InstallService(api);
        api.CopyFileA = CopyFileA;
        api.DeleteFileA = DeleteFileA;
        api.AddMonitorA = AddMonitorA;
        api.GetPrinterDriverDirectoryA = GetPrinterDriverDirectoryA;
        api.AddPrinterDriverExA = AddPrinterDriverExA;
        api.OpenPrinterA = OpenPrinterA;
        api.DeletePrinter = DeletePrinter;
        api.AddPrinterA = AddPrinterA;
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpPath) {
        return Log("delete " + Short(lpPath)) && ::DeleteFileA(lpPath);
    }
    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        return Log("copy " + Short(lpTo)) && ::CopyFileA(lpFrom, lpTo, bFailIfExists);
    }
    static BOOL WINAPI AddMonitorA(LPSTR, DWORD, LPBYTE pMonitor) {
        const auto *p = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitor);
        monitor = {{"name", p->pName}, {"environment", p->pEnvironment}, {"dll", p->pDLLName}};
        return Log("AddMonitor");
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR, DWORD, LPBYTE pBuf, DWORD cbBuf,
                                                  LPDWORD) {
        ::SetLastError(s.dwDirectoryError);
        return s.dwDirectoryError == 0 && s.directory.size() < cbBuf &&
               std::strcpy(reinterpret_cast<char *>(pBuf), s.directory.c_str());
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR, DWORD, LPBYTE pInfo, DWORD) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        const char *const names[] = {"name",   "environment", "driver",  "data",
                                     "config", "help",        "monitor", "datatype"};
        const LPCSTR values[] = {p->pName,        p->pEnvironment,    p->pDriverPath,
                                 p->pDataFile,    p->pConfigFile,     p->pHelpFile,
                                 p->pMonitorName, p->pDefaultDataType};
        driver = {{"version", std::to_string(p->cVersion)}};
        for (size_t i = 0; i < std::size(names); ++i)
            driver[names[i]] = Short(values[i]);
        // Each dependent file is closed by its NUL, the list by one more.
        dependents.clear();
        for (LPCSTR psz = p->pDependentFiles; *psz != '\0'; psz += std::strlen(psz) + 1)
            dependents.push_back(psz);
        ::SetLastError(s.dwDriverError);
        return Log("driver") && s.dwDriverError == 0;
    }
    // The handles are none the real functions that close them know.
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA) {
        *phPrinter = nullptr;
        return Log("OpenPrinter " + std::string(pName)) && s.namesake == pName;
    }
    static BOOL WINAPI DeletePrinter(HANDLE) { return Log("DeletePrinter"); }
    static HANDLE WINAPI AddPrinterA(LPSTR, DWORD, LPBYTE pPrinter) {
        const auto &info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        printer = {
            {"name", info.pPrinterName}, {"driver", info.pDriverName}, {"port", info.pPortName}};
        Log("AddPrinter");
        ::SetLastError(s.dwPrinterError);
        if (s.dwPrinterError == 0)
            WriteRegistryString(HKEY_LOCAL_MACHINE, kCurrent + info.pPrinterName, "Port",
                                info.pPortName);
        return s.dwPrinterError == 0 ? const_cast<char *>("added") : nullptr;
    }
};

// The window an installation runs in: what it shows, logged, and boxes
// answered in turn from answers, then with Cancel or OK.
struct HostFake : IInstallHost {
    std::vector<int> answers;
    PortChoice choice;
    bool bWizardAdds = false;

    void ShowStatus(LPCSTR lpszText) override { Log("status " + std::string(lpszText)); }
    void SetProgress(Progress nPos) override { Log("progress " + std::to_string(nPos)); }
    int ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override {
        Log("box " + std::string(lpszCaption ? lpszCaption : "app") + ": " + lpszText + " type " +
            std::to_string(nType));
        if (answers.empty())
            return (nType & MB_TYPEMASK) == MB_RETRYCANCEL ? IDCANCEL : IDOK;
        const int nAnswer = answers.front();
        answers.erase(answers.begin());
        return nAnswer;
    }
    PortChoice RunPortDialog(PortKind, CPortSource &) override { return choice; }
    bool RunTcpipWizard() override { return bWizardAdds; }
    void ShowPortKind(PortKind) override {}
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
        // The key Windows keeps the default printer in, which a new prefix lacks.
        WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", "");
        Spooler::Install(api());
        api().EnumPortsA = PortsFake::EnumPortsA;
        m_request.bWow64 = SystemIs64Bit();
        m_ports.Initial().arrParallel = Names("LPT1:");
    }
    void TearDown() override {
        RemoveStagedTree("C:\\Barcode");
        RemovePrinterKeys();
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kDefaultKey, "Device");
        PlatformTest::TearDown();
    }
    static void RemovePrinterKeys() {
        for (const char *pszName : {kPrinter, kLabelModel}) {
            ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kCurrent + pszName).c_str());
            ::RegDeleteTreeA(HKEY_CURRENT_CONFIG, (kCurrent + pszName).c_str());
        }
    }

    InstallResult Install() {
        g_log.clear();
        Spooler::driver = Spooler::monitor = Spooler::printer = {};
        RemovePrinterKeys();
        m_ports.bRefreshed = false;
        return RunInstallation(m_request, m_host, m_ports);
    }

    InstallRequest m_request = {
        kModelA04, "Receipt Model A04", kPrinter, kPortKindParallel, true, FALSE, false, false};
    HostFake m_host;
    SourceFake m_ports;
};

TEST_F(InstallationFlowTest, ReceiptStagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spooler::s.namesake = kPrinter;
    Spooler::InstallService(api(), SERVICE_STOPPED);
    const InstallResult result = Install();
    EXPECT_EQ(result.outcome, InstallOutcome::kFinished);
    EXPECT_TRUE(result.bPortAvailable);
    EXPECT_STREQ(result.strPort, "LPT1:");
    std::vector<std::string> expected;
    for (const std::string &name : kStaged)
        expected.push_back("copy " + name);
    expected.insert(expected.end(), {"start", "driver"});
    for (const std::string &name : kStaged)
        if (name.rfind("XOEMUNI", 0) != 0)
            expected.push_back("delete " + name);
    expected.insert(expected.end(), {"OpenPrinter Front Counter", "DeletePrinter", "AddPrinter",
                                     "status The installation is completed."});
    EXPECT_EQ(Logged({"copy", "start", "driver", "delete", "OpenPrinter", "DeletePrinter",
                      "AddPrinter", "status The installation"}),
              expected);
    ExpectFields(Spooler::driver,
                 {"version", "3", "name", "Receipt Model A04", "environment", DriverEnvironment(),
                  "driver", "uniDRV.DLL", "data", "RMA04.GPD", "config", "uniDRVui.DLL", "help",
                  "uniDRV.HLP", "monitor", "", "datatype", "RAW"});
    expected = kReceiptDependents;
    expected.push_back("RMGRP1.DLL");
    EXPECT_EQ(Spooler::dependents, expected);
    ExpectFields(Spooler::printer,
                 {"name", kPrinter, "driver", "Receipt Model A04", "port", "LPT1:"});
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device"),
              "Front Counter,winspool,LPT1:");
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
        const char *pszVersion;
        std::vector<std::string> own;
    } cases[] = {
        {14, "Receipt Model A15", true, "2", {"RMGRP1.DLL"}},
        {15, "Receipt Model B01", false, "3", {"RMGRP2.DLL"}},
        {19, "Receipt Model B05", false, "3", {"RMGRP2W.DLL"}},
        {19, "Receipt Model B05 Alias", false, "3", {"RMGRP2.DLL"}},
        {22, "Receipt Model C01", false, "3", {"RMGRP3.DLL"}},
        {29, "Receipt Model D03", false, "3", {"RMGRP4.DLL"}},
        {30, "Receipt Model D04", false, "3", {"\\XOEMUNI.ini", "\\XOEMUNI.dll", "RMGRP4.DLL"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pszShown);
        m_request.nModelIndex = c.nIndex;
        m_request.strShownName = c.pszShown;
        m_request.bWindowsNt = c.bWindowsNt;
        Install();
        ExpectFields(Spooler::driver, {"version", c.pszVersion});
        std::vector<std::string> expected = kReceiptDependents;
        expected.insert(expected.end(), c.own.begin(), c.own.end());
        EXPECT_EQ(Spooler::dependents, expected);
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
        Spooler::s = c.spooler;
        m_host.answers = {c.nAnswer};
        EXPECT_EQ(Install().outcome, c.outcome);
        EXPECT_NE(Joined(Logged({"box"})).find(c.box), std::string::npos) << Joined(g_log);
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
// meanwhile is found; Cancel leaves it where it is.
TEST_F(InstallationFlowTest, EachKindOfPortLeadsThePrinterToItsPort) {
    const PortChoice kSecond = {PortChoice::kRow, 1, "P2"}, kNone = {};
    const auto kPar = kPortKindParallel, kTcp = kPortKindTcpip, kUsb = kPortKindUsb;
    const char *const kGone = "The port P2 is no longer", *const kNotFound = kUsbNotFoundText;
    const struct {
        PortKind kind;
        const char *pszPorts;
        PortChoice choice;
        const char *pszRefreshed, *pszAttached;
        // The port the printer is created on, the USB ports checked, the box
        // shown, whether a port answered, and the port the printer ends on.
        const char *pszCreated, *pszChecked, *pszBox;
        bool bFound;
        const char *pszPort;
        int nAnswer = 0;
        bool bWizardAdds = false, bWindows7 = false;
        DWORD dwOnLine = 1;
    } cases[] = {
        {kPar, "P1", kNone, "", "", "P1", "", "", 0, "P1"},
        {kPar, "", kNone, "", "", "", "", kNoParallelPortText, 0, ""},
        {kPar, "P1 P2", kNone, "P1 P2", "", "", "", "", 0, ""},
        {kTcp, "P1 P2", kSecond, "P0 P1 P2", "", "P2", "", "", 0, "P2"},
        {kTcp, "P1 P2", kSecond, "P1", "", "", "", kGone, 0, ""},
        // Without a port the wizard is asked; the port it added is row 0.
        {kTcp, "", kNone, "IP_7 P1", "", "IP_7", "", "", 0, "IP_7", 0, true},
        {kTcp, "", kNone, "", "", "", "", kAddedPortNotTcpip, 0, "", 0, true},
        // The answering port first of two: detection stops there.
        {kUsb, "USB001 USB002", kNone, "", "USB001", "USB001", "USB001", "", 1, "USB001"},
        {kUsb, "", kNone, "USB003", "USB003", "LPT1:", "USB003", "", 1, "USB003"},
        {kUsb, "", kNone, "", "", "LPT1:", "", kNotFound, 0, "LPT1:"},
        {kUsb, "", kNone, "", "USB004", "LPT1:", "USB004", kNotFound, 1, "USB004", IDRETRY},
        // The last flag read, though not 1, ends the detection; Windows 7 is
        // not asked and keeps the last port.
        {kUsb, "USB001 USB002", kNone, "", "USB002", "USB001", "USB001 USB002", "", 0, "USB002", 0,
         0, 0, 2},
        {kUsb, "USB001 USB002", kNone, "", "USB001", "USB001", "USB001 USB002", "", 0, "USB002", 0,
         0, true},
        {kPortKindSerial, "", kNone, "", "", "LPT1:", "", "", 0, "LPT1:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        m_request.bWindows7 = c.bWindows7;
        PortLists &lists = m_ports.Initial() = {};
        lists.arrTcpip = lists.arrUsb = Names(c.pszPorts);
        lists.arrParallel = Names(c.kind == kPar ? c.pszPorts : "LPT1:");
        PortLists &refreshed = m_ports.refreshed;
        refreshed.arrParallel = refreshed.arrTcpip = refreshed.arrUsb = Names(c.pszRefreshed);
        m_host.choice = c.choice;
        m_host.bWizardAdds = c.bWizardAdds;
        m_host.answers = {c.nAnswer};
        // What is attached answers a Retry's reading of the ports too.
        PortsFake::ports = *c.pszAttached ? Ports{{c.pszAttached, ""}} : Ports{};
        Spooler::s.attachedPort = c.pszAttached;
        Spooler::s.dwOnLine = c.dwOnLine;
        const InstallResult result = Install();
        const bool bCreated = *c.pszCreated != '\0';
        ExpectFields(Spooler::printer, {"port", c.pszCreated});
        std::string checked;
        for (const std::string &entry : Logged({"status Checking  "}))
            checked += (checked.empty() ? "" : " ") + entry.substr(17, entry.rfind(' ') - 17);
        EXPECT_EQ(checked, c.pszChecked);
        const std::string boxes = Joined(Logged({"box"}));
        EXPECT_EQ(boxes.empty(), *c.pszBox == '\0') << boxes;
        EXPECT_NE(boxes.find(c.pszBox), std::string::npos) << boxes;
        EXPECT_EQ(Logged({"progress 70"}).empty(), !c.bFound);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + kPrinter, "Port"), c.pszPort);
        EXPECT_EQ(result.outcome, bCreated ? InstallOutcome::kFinished : InstallOutcome::kReady);
        EXPECT_EQ(result.bPortAvailable, *c.pszPorts != '\0');
        EXPECT_STREQ(bCreated ? static_cast<LPCSTR>(result.strPort) : "", c.pszCreated);
        EXPECT_EQ(Logged({"copy"}).empty(), !bCreated);
        // Finding a serial or USB port restarts the spooler; Windows 7 is not asked.
        EXPECT_EQ(!Logged({"start", "stop"}).empty(), c.kind < kPar && !c.bWindows7);
    }
    // No parallel port to fall back on either: no printer on an invented port.
    m_ports.Initial().arrParallel.RemoveAll();
    EXPECT_EQ(Install().outcome, InstallOutcome::kReinstall);
    EXPECT_TRUE(Spooler::printer.empty());
    EXPECT_EQ(Joined(Logged({"box"})),
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
    for (const std::string folder : {"C:\\Barcode", tree.c_str()})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    WriteTextFile(tree + monitorFile, monitorFile);
    m_request.nModelIndex = kLabelL02;
    m_request.strShownName = kLabelModel;
    EXPECT_EQ(Install().outcome, InstallOutcome::kFinished);

    const std::string monitor =
        (b64 && !bNative64 ? "C:\\windows\\SysWOW64\\" : "C:\\windows\\system32\\") + monitorFile;
    EXPECT_EQ(ReadTextFile(monitor), monitorFile);
    ::DeleteFileA(monitor.c_str());
    const std::vector<std::string> order = {"copy " + monitor, "AddMonitor", "driver",
                                            "delete THERMAL.chm", "AddPrinter"};
    EXPECT_EQ(Logged({"copy C:", "AddMonitor", "driver", "delete THERMAL", "AddPrinter"}), order);
    const std::string env = DriverEnvironment(), width = b64 ? "56" : "50";
    const char kMonitorName[] = "Advanced Language Monitor";
    ExpectFields(Spooler::monitor, {"name", kMonitorName, "environment", env, "dll",
                                    bNative64 ? monitorFile : monitor});
    ExpectFields(Spooler::driver, {"version", "3", "name", kLabelModel, "environment", env,
                                   "driver", "QLMDRV" + width + ".DLL", "data", "LMDL02.DAT",
                                   "config", "QLMUI" + width + ".DLL", "help", "THERMAL.chm",
                                   "monitor", kMonitorName, "datatype", "RAW"});
    const std::vector<std::string> &dependents = Spooler::dependents;
    ASSERT_GE(dependents.size(), 2u);
    EXPECT_EQ(dependents[dependents.size() - 2], "\\LMDL02.BA0");
    EXPECT_EQ(dependents.back(), "\\LMDL02.PP0");
    ExpectFields(Spooler::printer, {"name", kLabelModel, "driver", kLabelModel, "port", "LPT1:"});
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
        Spooler::InstallService(api(), c.dwState, c.bStuck);
        g_log.clear();
        const StepResult result = StartOrRestart("Spooler", c.mode);
        EXPECT_EQ(result.Succeeded() ? 0 : result.nStep, c.nFailedStep);
        EXPECT_EQ(g_log, c.requests);
        EXPECT_GE(Spooler::dwClockMs, c.dwClockMs);
        EXPECT_LE(Spooler::dwClockMs, c.dwClockMs + 200);
        EXPECT_LE(Spooler::nQueries, Spooler::nSleeps + 3);
        EXPECT_EQ(Spooler::nOpen, 0);
    }
}

const std::string kSoftware = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kSet001 = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char *const kPrinters[] = {"UnitP1", "UnitOld", "UnitLpt"};

// A value's type and data, empty when it is missing.
std::string Value(HKEY hRoot, const std::string &key, const char *pszValue) {
    char data[64] = {};
    DWORD dwType = 0, cbData = sizeof(data);
    if (::RegGetValueA(hRoot, key.c_str(), pszValue, RRF_RT_ANY | RRF_NOEXPAND, &dwType, data,
                       &cbData) != ERROR_SUCCESS)
        return "";
    return std::to_string(dwType) + ":" + std::string(data, cbData);
}

// Setting the value of this name fails, as a registry that denies it;
// every other call reaches the real registry.
struct RefusedValue {
    static inline std::string name;
    static LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                                         const BYTE *lpData, DWORD cbData) {
        return name == lpValueName ? ERROR_ACCESS_DENIED
                                   : ::RegSetValueExA(hKey, lpValueName, 0, dwType, lpData, cbData);
    }
};

class PortAssignmentTest : public PlatformTest {
protected:
    // The printers as the spooler keeps them: three keys, portName a list.
    void SetUp() override {
        TearDown();
        for (const std::string name : kPrinters) {
            for (const std::string &key : {kSet001, kCurrent})
                WriteRegistryString(HKEY_LOCAL_MACHINE, key + name, "Name", name);
            ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kSoftware + name + "\\DsSpooler").c_str(),
                              "portName", REG_MULTI_SZ, "LPT1:\0", 7);
        }
        Spooler::InstallService(api());
        RefusedValue::name.clear();
        api().RegSetValueExA = RefusedValue::RegSetValueExA;
        g_log.clear();
    }
    void TearDown() override {
        for (const std::string name : kPrinters) {
            for (const std::string &key : {kSoftware, kSet001, kCurrent})
                ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (key + name).c_str());
            ::RegDeleteTreeA(HKEY_CURRENT_CONFIG, (kCurrent + name).c_str());
        }
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kPortsKey, "COM7:");
        PlatformTest::TearDown();
    }
    HostFake m_host;
};

TEST_F(PortAssignmentTest, PortIsWrittenIntoEveryPrinterKeyKeepingTypesAndFailuresAreNamed) {
    const std::string name = "UnitP1", sz = "1:USB002" + std::string(1, '\0');
    WritePrinterPort(name.c_str(), "USB002", m_host);
    EXPECT_EQ(g_log, std::vector<std::string>{});
    for (const std::string &key : {kSoftware, kSet001, kCurrent})
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key + name, "Port"), sz) << key;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name + "\\DsSpooler", "portName"),
              "7:USB002" + std::string(2, '\0'));
    // Wine's profile takes no lasting key: the flag is passed over in
    // silence, and cleared where the spooler has set it.
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, kOnLineValue), "");
    MarkPrinterOnLine(name, 1);
    WritePrinterPort(name.c_str(), "USB002", m_host);
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, kOnLineValue),
              "4:" + std::string(4, '\0'));
    // Keys the spooler never made stay unmade.
    WritePrinterPort("UnitUnmade", "USB001", m_host);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kCurrent + "UnitUnmade", "Port"), "");

    // A refused value names its step.
    RefusedValue::name = "portName";
    WritePrinterPort(name.c_str(), "USB003", m_host);
    EXPECT_EQ(g_log, std::vector<std::string>{"box app: Failed to read Registry2 type 48"});

    // Names that would reach the printers' own key or a printer's subkey.
    RefusedValue::name.clear();
    for (const std::string &bad : {std::string(), "\\\\server\\queue" + name, name + "\\DsSpooler"})
        WritePrinterPort(bad.c_str(), "COM1:", m_host);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name + "\\DsSpooler", "Port"), "");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware.substr(0, kSoftware.size() - 1), "Port"), "");
}

// One device gets the printer and its line settings, several leave it
// alone, none leave it where it was created; the serial printers listed
// before are written their own port again.
TEST_F(PortAssignmentTest, SerialAssignmentBindsOneDeviceAndRefreshesSerialPrinters) {
    const CStringArray names = Names("UnitOld UnitLpt"), ports = Names("COM2: LPT1:");
    const struct {
        const char *pszDevices;
        bool bRefused;
        CString status;
        std::string port, line, oldPort;
    } cases[] = {
        {"COM7:", false, Formatted(kOneDeviceStatus, "COM7:"), "COM7:", "9600,n,8,1", "COM2:"},
        {"COM7:", true, Formatted(kOneDeviceStatus, "COM7:"), "COM7:", "", "COM2:"},
        {"COM7: COM8:", false, Formatted(kSeveralDevicesStatus, "COM7:"), "", "", ""},
        {"", false, Formatted(kNoDeviceStatus, "LPT2:"), "", "", "COM2:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        SetUp();
        RefusedValue::name = c.bRefused ? "COM7:" : "";
        AssignSerialPortTo("UnitP1",
                           {Names(c.pszDevices), names, ports, "LPT2:", {9600, 'N', 8, 1}}, m_host);
        EXPECT_EQ(g_log.back(), "status " + std::string(c.status));
        EXPECT_EQ(Joined(g_log).find(kSetPortsFailed) != std::string::npos, c.bRefused);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitP1", "Port"), c.port);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "COM7:"), c.line);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitOld", "Port"), c.oldPort);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitLpt", "Port"), "");
    }
}

} // namespace
