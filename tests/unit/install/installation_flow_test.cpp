// An installation from the port choice to the finished printer, for both
// families, run through a recording host: the files staged (copied for
// real), the records the spooler is handed, the printer created, its port
// assigned in the prefix's real registry, and what the user is shown. Then
// the spooler's own control.
#include "framework/win_app.h"
#include "install/installation_flow.h"
#include "install/spooler_service.h"
#include "res/texts.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
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
    return "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + name;
}

// What the host shows and the platform is handed, in order.
std::vector<std::string> g_log;

BOOL Log(const std::string &entry) {
    g_log.push_back(entry);
    return TRUE;
}

// A path in the driver directory by its name alone.
std::string Short(LPCSTR psz) {
    const std::string path = psz != nullptr ? psz : "<null>", directory = kDirectory;
    return path.rfind(directory + "\\", 0) == 0 ? path.substr(directory.size() + 1) : path;
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

CStringArray Names(const std::string &names) {
    std::istringstream in(names);
    CStringArray list;
    for (std::string name; in >> name;)
        list.Add(name.c_str());
    return list;
}

// The spooler as an installation meets it, each call logged; AddPrinter
// makes the printer's key as the spooler does, and a start marks the printer
// on line when it is on the attached port.
struct Spy {
    static inline std::string directory, systemDirectory, namesake, attachedPort;
    static inline DWORD dwDirectoryError, dwDriverError, dwPrinterError, dwMonitorError, dwOnLine;
    static inline BOOL bOldMonitor;
    static inline std::vector<std::string> record;

    // The Windows directory is the system directory here.
    static UINT WINAPI SystemDirectory(LPSTR pBuffer, UINT cch) {
        if (systemDirectory.size() >= cch)
            return static_cast<UINT>(systemDirectory.size() + 1);
        std::strcpy(pBuffer, systemDirectory.c_str());
        return static_cast<UINT>(systemDirectory.size());
    }
    static BOOL WINAPI DeleteFileA(LPCSTR lpPath) {
        return Log("delete " + Short(lpPath)) && ::DeleteFileA(lpPath);
    }
    // A source missing from the width's tree shows as a failed copy.
    static BOOL WINAPI CopyFileA(LPCSTR lpFrom, LPCSTR lpTo, BOOL bFailIfExists) {
        return Log("copy " + Short(lpTo) +
                   (::CopyFileA(lpFrom, lpTo, bFailIfExists) ? "" : " failed"));
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE h, DWORD nArgs, LPCSTR *pArgs) {
        const std::string key = PrinterKey(kPrinter);
        if (!attachedPort.empty() &&
            ReadRegistryString(HKEY_LOCAL_MACHINE, key, "Port") == attachedPort) {
            HKEY hKey = nullptr;
            ::RegCreateKeyExA(HKEY_CURRENT_CONFIG, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_SET_VALUE, nullptr, &hKey, nullptr);
            ::RegSetValueExA(hKey, "PrinterOnLine", 0, REG_DWORD,
                             reinterpret_cast<const BYTE *>(&dwOnLine), sizeof(dwOnLine));
            ::RegCloseKey(hKey);
        }
        return Log("spooler start") && ServiceFake::StartServiceA(h, nArgs, pArgs);
    }
    static BOOL WINAPI ControlService(SC_HANDLE h, DWORD dwControl, LPSERVICE_STATUS pStatus) {
        return Log("spooler stop") && ServiceFake::ControlService(h, dwControl, pStatus);
    }
    static BOOL WINAPI DeleteMonitorA(LPSTR, LPSTR pEnvironment, LPSTR pMonitor) {
        Log("DeleteMonitor " + std::string(pEnvironment) + "|" + pMonitor);
        return bOldMonitor;
    }
    static BOOL WINAPI AddMonitorA(LPSTR, DWORD, LPBYTE pMonitor) {
        const auto *p = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitor);
        Log("AddMonitor " + std::string(p->pName) + "|" + p->pEnvironment + "|" + p->pDLLName);
        ::SetLastError(dwMonitorError);
        return dwMonitorError == 0;
    }
    static BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR, LPSTR, DWORD, LPBYTE pBuf, DWORD cbBuf,
                                                  LPDWORD) {
        ::SetLastError(dwDirectoryError);
        return dwDirectoryError == 0 && directory.size() < cbBuf &&
               std::strcpy(reinterpret_cast<char *>(pBuf), directory.c_str());
    }
    static BOOL WINAPI AddPrinterDriverExA(LPSTR, DWORD, LPBYTE pInfo, DWORD) {
        const auto *p = reinterpret_cast<const DRIVER_INFO_3A *>(pInfo);
        record = {std::to_string(p->cVersion)};
        for (LPCSTR psz : {p->pName, p->pEnvironment, p->pDriverPath, p->pDataFile, p->pConfigFile,
                           p->pHelpFile, p->pMonitorName, p->pDefaultDataType})
            record.push_back(Short(psz));
        // Each dependent file is closed by its NUL, the list by one more.
        const LPCSTR pList = p->pDependentFiles;
        for (size_t cb = 0; cb < 500 && pList[cb] != '\0'; cb += std::strlen(pList + cb) + 1)
            record.push_back(pList + cb);
        std::string entry = "driver";
        for (const std::string &field : record)
            entry += (entry.size() > 6 ? "|" : " ") + field;
        ::SetLastError(dwDriverError);
        return Log(entry) && dwDriverError == 0;
    }
    static BOOL WINAPI OpenPrinterA(LPSTR pName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA) {
        *phPrinter = const_cast<char *>("namesake");
        return Log("OpenPrinter " + std::string(pName)) && namesake == pName;
    }
    static BOOL WINAPI SetPrinterA(HANDLE, DWORD, LPBYTE, DWORD Command) {
        return Log("SetPrinter " + std::to_string(Command));
    }
    static BOOL WINAPI DeletePrinter(HANDLE) { return Log("DeletePrinter"); }
    static BOOL WINAPI ClosePrinter(HANDLE) { return TRUE; }
    static HANDLE WINAPI AddPrinterA(LPSTR, DWORD, LPBYTE pPrinter) {
        const auto &info = *reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
        Log("AddPrinter " + std::string(info.pPrinterName) + ", " + info.pDriverName + ", " +
            info.pPortName);
        ::SetLastError(dwPrinterError);
        if (dwPrinterError != 0)
            return nullptr;
        WriteRegistryString(HKEY_LOCAL_MACHINE, PrinterKey(info.pPrinterName), "Port",
                            info.pPortName);
        return const_cast<char *>("added");
    }
};

std::string Added(const std::string &port) {
    return "AddPrinter Front Counter, Receipt Model A04, " + port;
}

class InstallationFlowTest : public PlatformTest {
protected:
    void SetUp() override {
        ::CreateDirectoryA("C:\\Ticket", nullptr);
        ::CreateDirectoryA(ReceiptSourceTree().c_str(), nullptr);
        for (const std::string &name : kStaged)
            WriteTextFile(ReceiptSourceTree() + "\\" + name, name);
        ::CreateDirectoryA(kDirectory, nullptr);
        Spy::directory = kDirectory;
        Spy::systemDirectory = "C:\\sys";
        Spy::namesake = Spy::attachedPort = "";
        Spy::dwDirectoryError = Spy::dwDriverError = Spy::dwPrinterError = Spy::dwMonitorError = 0;
        Spy::dwOnLine = 1;
        Spy::bOldMonitor = FALSE;
        ServiceFake::Install(api());
        ServiceFake::InstallClock(api());
        PlatformApi &seam = api();
        seam.CopyFileA = Spy::CopyFileA;
        seam.DeleteFileA = Spy::DeleteFileA;
        seam.GetSystemDirectoryA = seam.GetWindowsDirectoryA = Spy::SystemDirectory;
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
        PortsFake::ports = {};
        m_request.ports.arrParallel = Names("LPT1:");
        m_request.bWow64 = SystemIs64Bit();
        m_default = ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device");
        // The key Windows keeps the default in, which a fresh prefix lacks.
        WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", m_default);
    }
    void TearDown() override {
        for (const char *pszTree : {"C:\\Ticket", "C:\\Barcode", "C:\\sys", kDirectory})
            RemoveTree(pszTree);
        RemovePrinterKeys();
        if (m_default.empty())
            DeleteRegistryValue(HKEY_CURRENT_USER, kDefaultKey, "Device");
        else
            WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", m_default);
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
        return RunInstallation(m_request, m_host);
    }

    InstallRequest m_request = {kModelA04, "Receipt Model A04",
                                kPrinter,  kPortKindParallel,
                                "LPT1:",   true,
                                true,      FALSE,
                                false,     false,
                                {}};
    HostFake m_host{g_log};
    std::string m_default;
};

TEST_F(InstallationFlowTest, ReceiptStagesStartsTheSpoolerRegistersAndReplacesThePrinterInOrder) {
    Spy::namesake = kPrinter;
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
    expected += "; OpenPrinter Front Counter; SetPrinter 3; DeletePrinter; " + Added("LPT1:") +
                "; status The installation is completed.";
    EXPECT_EQ(Logged({"copy", "spooler", "driver", "delete", "OpenPrinter", "SetPrinter",
                      "DeletePrinter", "AddPrinter", "status The installation"}),
              expected);
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device"),
              "Front Counter,winspool,LPT1:");

    // A default that cannot be written is reported; the installation ends well.
    RefusedValues::Install(api(), {"Device"});
    EXPECT_EQ(Install(), InstallOutcome::kFinished);
    EXPECT_EQ(Logged({"box"}), "box app: " + std::string(kSetRegistryFailed) + " type 0");
}

// The group decides the DLL; catalogue index 19 has one of its own only when
// the list shows its name; 30 to 32 carry the plug-in; NT 4.0 takes version
// 2. Unticked, the default printer stays.
TEST_F(InstallationFlowTest, EachReceiptModelIsRegisteredWithItsGpdGroupDllAndVersion) {
    m_request.bSetDefault = false;
    WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", "Untouched,winspool,LPT9:");
    const char kPlugin[] = " \\XOEMUNI.ini \\XOEMUNI.dll";
    const struct {
        int nIndex;
        const char *pszShown;
        bool bWindowsNt;
        std::string record;
    } cases[] = {
        {14, "Receipt Model A15", true, "2 RMA15.GPD RMGRP1.DLL"},
        {15, "Receipt Model B01", false, "3 RMB01.GPD RMGRP2.DLL"},
        {19, "Receipt Model B05", false, "3 RMB05.GPD RMGRP2W.DLL"},
        {19, "Receipt Model B05 Alias", false, "3 RMB05.GPD RMGRP2.DLL"},
        {22, "Receipt Model C01", false, "3 RMC01.GPD RMGRP3.DLL"},
        {29, "Receipt Model D03", false, "3 RMD03.GPD RMGRP4.DLL"},
        {30, "Receipt Model D04", false, "3 RMD04.GPD" + std::string(kPlugin) + " RMGRP4.DLL"},
        {32, "Receipt Model D06", false, "3 RMD06.GPD" + std::string(kPlugin) + " RMGRP4.DLL"},
    };
    for (const auto &c : cases) {
        m_request.nModelIndex = c.nIndex;
        m_request.strShownName = c.pszShown;
        m_request.bWindowsNt = c.bWindowsNt;
        Install();
        std::string record = Spy::record[0] + " " + Spy::record[4];
        for (size_t i = 12; i < Spy::record.size(); ++i)
            record += " " + Spy::record[i];
        EXPECT_EQ(record, c.record) << c.nIndex;
    }
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device"),
              "Untouched,winspool,LPT9:");
}

// A failure shows its code; Retry leaves Install as "Reinstall", Cancel
// ends the dialog. A driver directory that is missing or too long to
// hold a path stops before anything is copied; a refused record after.
TEST_F(InstallationFlowTest, DriverFailuresOfBothFamiliesOfferRetryOrCancel) {
    const std::string kLong = "C:\\" + std::string(250, 'd');
    const auto kRetry = InstallOutcome::kReinstall, kEnd = InstallOutcome::kEnd;
    const struct {
        int nIndex;
        DWORD dwDirectoryError;
        std::string directory, systemDirectory;
        DWORD dwDriverError;
        int nCode, nAnswer;
        InstallOutcome outcome;
    } cases[] = {
        {kModelA04, ERROR_INVALID_ENVIRONMENT, kDirectory, "C:\\sys", 0, 1805, IDRETRY, kRetry},
        {kModelA04, 0, "", "C:\\sys", 0, 3, IDRETRY, kRetry},
        {kModelA04, 0, kLong, "C:\\sys", 0, 206, IDRETRY, kRetry},
        {kModelA04, 0, kDirectory, "C:\\sys", 1797, 1797, IDCANCEL, kEnd},
        {kLabelL02, 0, kDirectory, kLong, 0, 206, IDRETRY, kRetry},
        {kLabelL02, 0, kDirectory, "C:\\sys", 1797, 1797, IDCANCEL, kEnd},
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
        EXPECT_EQ(Logged({"box"}),
                  "box " + std::string(bReceipt ? kReceiptFailureCaption : AfxGetAppTitle()) +
                      ": " +
                      std::string(
                          Formatted(bReceipt ? kReceiptFailureText : kLabelFailureText, c.nCode)) +
                      " type 5");
        EXPECT_EQ(Logged({"copy"}).empty(), c.dwDriverError == 0);
        EXPECT_EQ(Logged({"delete", "OpenPrinter"}), "");
        EXPECT_TRUE(c.outcome != kRetry || g_log.back() == "progress 0");
    }
}

// A refused or impossible printer shows its box; names the spooler refuses
// never reach it, so no print server or port monitor is purged as a namesake.
TEST_F(InstallationFlowTest, FailedPrinterCreationShowsItsBoxAndLeavesTheDefaultAlone) {
    const char kRefused[] = "Error prompt: Error AddPrinter 1801";
    const std::string kNoPort = "Prompt: " + std::string(kNoUsefulPort);
    const auto kReady = InstallOutcome::kReady, kRetry = InstallOutcome::kReinstall;
    const auto kPar = kPortKindParallel;
    const struct {
        const char *pszName;
        PortKind kind;
        DWORD dwError;
        std::string box;
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
    WriteRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device", "Untouched,winspool,LPT9:");
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.strPrinterName = c.pszName;
        m_request.kind = c.kind;
        m_request.bPortAvailable = c.kind == kPar;
        m_request.ports.arrParallel = Names(c.kind == kPar ? "LPT1:" : "");
        Spy::dwPrinterError = c.dwError;
        EXPECT_EQ(Install(), c.outcome);
        EXPECT_EQ(Logged({"box"}), "box " + c.box + " type 0");
        EXPECT_EQ(Logged({"OpenPrinter"}).empty(), c.box == kRefused);
        EXPECT_EQ(g_log.back(), "progress 0");
    }
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kDefaultKey, "Device"),
              "Untouched,winspool,LPT9:");
}

// A choice picks its port in the fresh list, at its new row if it moved; a
// cancelled one only leaves Install ready, and one that names no port of
// the list says why, before anything is staged.
TEST_F(InstallationFlowTest, PortChoicesPickTheirPortOrAbandonTheInstallation) {
    const PortChoice kSecond = {PortChoice::kRow, 1, "P2"};
    const PortChoice kCancel = {PortChoice::kCancelled, 0, ""};
    const auto kPar = kPortKindParallel, kTcp = kPortKindTcpip;
    const struct {
        PortKind kind;
        const char *pszPorts;
        PortChoice choice;
        const char *pszRefreshed;
        bool bWizardAdds;
        const char *pszPort;
        std::string box;
    } cases[] = {
        {kPar, "P1 P2", kSecond, "P1 P2", false, "P2", ""},
        {kPar, "P1", kCancel, "", false, "P1", ""},
        {kPar, "", kCancel, "", false, nullptr, kNoParallelPortText},
        {kPar, "P1 P2", kCancel, "P1 P2", false, nullptr, ""},
        {kTcp, "P1 P2", kSecond, "P0 P1 P2", false, "P2", ""},
        {kTcp, "P1 P2", kSecond, "P1", false, nullptr, std::string(Formatted(kPortGoneText, "P2"))},
        // Without a port the wizard is asked; the port it added is row 0.
        {kTcp, "", kCancel, "IP_10.0.0.7 P1", true, "IP_10.0.0.7", ""},
        {kTcp, "", kCancel, "", false, nullptr, ""},
        {kTcp, "", kCancel, "", true, nullptr, kAddedPortNotTcpip},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        m_request.ports.arrParallel = m_request.ports.arrTcpip = Names(c.pszPorts);
        m_host.choice = c.choice;
        m_host.refreshed.arrParallel = m_host.refreshed.arrTcpip = Names(c.pszRefreshed);
        m_host.bWizardAdds = c.bWizardAdds;
        EXPECT_EQ(Install(), c.pszPort ? InstallOutcome::kFinished : InstallOutcome::kReady);
        EXPECT_EQ(Logged({"AddPrinter"}), c.pszPort ? Added(c.pszPort) : "");
        EXPECT_EQ(Logged({"box"}), c.box.empty() ? "" : "box app: " + c.box + " type 48");
        EXPECT_TRUE(c.pszPort || Logged({"copy"}).empty());
    }
}

// Without a port of their kind serial and USB printers start on the first
// parallel port. A USB printer restarts the spooler then and detects its
// port among those the restart brought; Retry reads them again, so a
// printer plugged in meanwhile is found; Cancel leaves it where it is.
// A row's road: "@" the port the printer is created on, each port checked,
// "found" or the box, and "=" the port the printer ends on.
TEST_F(InstallationFlowTest, UsbAndSerialPrintersFindTheirPortAfterCreation) {
    const auto kUsb = kPortKindUsb;
    const struct {
        PortKind kind;
        const char *pszPorts, *pszAfterRestart, *pszPlugged, *pszAttached;
        int nAnswer;
        const char *pszRoad;
        bool bWindows7 = false;
        DWORD dwOnLine = 1;
    } cases[] = {
        // The answering port first of two: detection stops there.
        {kUsb, "USB001 USB002", "", "", "USB001", 0, "@USB001 USB001 found =USB001"},
        {kUsb, "", "USB003", "", "USB003", 0, "@LPT1: USB003 found =USB003"},
        {kUsb, "", "", "", "", 0, "@LPT1: box =LPT1:"},
        {kUsb, "", "", "USB004", "USB004", IDRETRY, "@LPT1: box USB004 found =USB004"},
        // The last flag read, though not 1, ends the detection; Windows 7 is
        // not asked and keeps the last port.
        {kUsb, "USB001 USB002", "", "", "USB002", 0, "@USB001 USB001 USB002 =USB002", false, 2},
        {kUsb, "USB001 USB002", "", "", "USB001", 0, "@USB001 USB001 USB002 =USB002", true},
        {kPortKindSerial, "", "", "", "", 0, "@LPT1: =LPT1:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_request.kind = c.kind;
        m_request.ports.arrUsb = Names(c.pszPorts);
        m_request.bPortAvailable = m_request.ports.arrUsb.GetSize() > 0;
        m_request.strPort = m_request.bPortAvailable ? m_request.ports.arrUsb[0] : CString();
        m_request.bWindows7 = c.bWindows7;
        m_host.refreshed.arrUsb = Names(c.pszAfterRestart);
        m_host.answers = {c.nAnswer};
        PortsFake::ports = *c.pszPlugged ? Ports{{c.pszPlugged, ""}} : Ports{};
        Spy::attachedPort = c.pszAttached;
        Spy::dwOnLine = c.dwOnLine;
        ServiceFake::requests.clear();
        EXPECT_EQ(Install(), InstallOutcome::kFinished);
        EXPECT_EQ(ServiceFake::requests.empty(), c.bWindows7);
        std::string road;
        for (const std::string &entry : g_log) {
            if (entry.rfind("AddPrinter", 0) == 0)
                road += " @" + entry.substr(entry.rfind(' ') + 1);
            else if (entry.rfind("status Checking  ", 0) == 0)
                road += " " + entry.substr(17, entry.size() - 22);
            else if (entry == "progress 70" || entry.rfind("box", 0) == 0)
                road += entry[0] == 'p' ? " found" : " box";
        }
        EXPECT_EQ(road.substr(1) + " =" +
                      ReadRegistryString(HKEY_LOCAL_MACHINE, PrinterKey(kPrinter), "Port"),
                  c.pszRoad);
    }
}

// The label installation: the monitor copied where the width puts it and
// registered, the driver's files staged and registered with it, the
// printer named as the driver list shows it.
TEST_F(InstallationFlowTest, LabelModelAddsItsMonitorThenItsDriverThenThePrinter) {
    const bool b64 = SystemIs64Bit(), bNative64 = sizeof(void *) == 8;
    const std::string tree = b64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";
    const std::string monitorFile = b64 ? "zkvNLM64.dll" : "zkvNLMNT.dll";
    for (const std::string folder :
         {"C:\\Barcode", "C:\\Barcode\\Common", tree.c_str(), "C:\\sys", "C:\\sys\\SysWOW64"})
        ::CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string name : {"THERMAL.chm", "LMDL02.BA0", "LMDL02.DAT", "LMDL02.PP0"})
        WriteTextFile("C:\\Barcode\\Common\\" + name, name);
    WriteTextFile(tree + monitorFile, monitorFile);
    m_request.nModelIndex = kLabelL02;
    m_request.strShownName = kLabelModel;
    Spy::bOldMonitor = TRUE;
    EXPECT_EQ(Install(), InstallOutcome::kFinished);

    // The 64-bit program puts it in the system directory and names its file;
    // the 32-bit one on 64-bit Windows, in SysWOW64 by its full path.
    const std::string monitor =
        "C:\\sys\\" + std::string(b64 && !bNative64 ? "SysWOW64\\" : "") + monitorFile;
    const std::string env = DriverEnvironment();
    const std::string driver = b64 ? "QLMDRV56.DLL" : "QLMDRV50.DLL";
    const std::string ui = b64 ? "QLMUI56.DLL" : "QLMUI50.DLL";
    const std::string log = Logged({"copy C:", "spooler", "DeleteMonitor", "AddMonitor", "driver",
                                    "AddPrinter", "delete THERMAL"});
    EXPECT_EQ(log.substr(0, log.find("|\\")),
              "copy " + monitor + "; DeleteMonitor " + env +
                  "|Advanced Language Monitor; spooler stop; spooler start; AddMonitor Advanced "
                  "Language Monitor|" +
                  env + "|" + (bNative64 ? monitorFile : monitor) + "; driver 3|Label Model L02|" +
                  env + "|" + driver + "|LMDL02.DAT|" + ui +
                  "|THERMAL.chm|Advanced Language Monitor|RAW");
    EXPECT_EQ(log.substr(log.rfind(".BA0")),
              ".BA0|\\LMDL02.PP0; delete THERMAL.chm; AddPrinter Label Model L02, Label Model L02, "
              "LPT1:");
    EXPECT_EQ(std::count_if(g_log.begin(), g_log.end(),
                            [](const std::string &entry) { return entry.rfind("delete", 0) == 0; }),
              34);

    // A monitor the spooler refuses ends the dialog before any driver file.
    Spy::dwMonitorError = ERROR_MOD_NOT_FOUND;
    EXPECT_EQ(Install(), InstallOutcome::kEnd);
    EXPECT_EQ(Logged({"status Failed", "box", "driver"}),
              "status Failed to add Monitor, error 126; box " + std::string(AfxGetAppTitle()) +
                  ": Failed to add Monitor\r\n type 0");
}

class ServiceControlTest : public PlatformTest {};

TEST_F(ServiceControlTest, ModesActOnTheServiceAndWaitPacedAndBounded) {
    const ServiceMode kEnsure = ServiceMode::EnsureRunning, kRestart = ServiceMode::Restart;
    const DWORD kNever = ServiceFake::kNever;
    using Outcome = ServiceOutcome;
    const struct {
        DWORD dwState;
        ServiceMode mode;
        DWORD dwTransitionMs;
        int nQueriesThatWork;
        std::vector<std::string> requests;
        ServiceOutcome outcome;
        DWORD dwMinClockMs, dwMaxClockMs;
    } cases[] = {
        {SERVICE_RUNNING, kEnsure, 300, -1, {}, Outcome::Done, 0, 0},
        {SERVICE_STOPPED, kEnsure, 300, -1, {"start"}, Outcome::Done, 300, 400},
        {SERVICE_RUNNING, kRestart, 300, -1, {"stop", "start"}, Outcome::Done, 600, 800},
        // A state never reached ends the wait after about a minute, and a
        // service that never stops is not started.
        {SERVICE_STOPPED, kEnsure, kNever, -1, {"start"}, Outcome::NotRunning, 50000, 70000},
        {SERVICE_RUNNING, kRestart, kNever, -1, {"stop"}, Outcome::NotStopped, 50000, 70000},
        // A status lost during a wait ends it at once; with none at all,
        // starting or stopping would be a guess.
        {SERVICE_STOPPED, kEnsure, kNever, 3, {"start"}, Outcome::NotRunning, 0, 1000},
        {SERVICE_RUNNING, kRestart, 300, 0, {}, Outcome::StatusUnknown, 0, 0},
    };
    for (const auto &c : cases) {
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
        EXPECT_EQ(ServiceFake::nOpen, 0) << "a handle was left open";
    }
}

} // namespace
