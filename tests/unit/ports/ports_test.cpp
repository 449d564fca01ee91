// The ports: the lists and the preselected kind on spooler port sets that
// break naive classification, the serial devices read from the registry,
// the TCP/IP dialog worked as a user works it (the parallel one is worked
// end to end), and the binding of a printer to its port in the prefix's
// real registry, where only a refused value set is injected.
#include "ports/port_enumeration.h"
#include "install/printer_port_registry.h"
#include "install/serial_assignment.h"
#include "ports/tcpip_port_dlg.h"
#include "res/resource.h"
#include "res/texts.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/spooler_stand_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr char kTcpip[] = "Standard TCP/IP Port";
constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

using Texts = std::vector<std::string>;

Texts Listed(const CStringArray &list) {
    Texts texts;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        texts.emplace_back(list[i]);
    return texts;
}

using PortEnumerationTest = PlatformTest;

// Names sort by their exact prefix, TCP/IP ports by their exact description
// in either edition; the kind follows the names alone.
TEST_F(PortEnumerationTest, PortSetsGiveTheirListsAndPortKindRow) {
    const PortKind kCom = kPortKindSerial, kUsb = kPortKindUsb, kLpt = kPortKindParallel,
                   kIp = kPortKindTcpip;
    const struct {
        Ports ports;
        Texts usb, parallel, tcpip;
        PortKind kind;
    } cases[] = {
        {{{"COM1:", ""}, {"FILE:", ""}, {"LPT1:", ""}}, {}, {"LPT1:"}, {}, kCom},
        {{{"FILE:", ""}, {"IP_1", kTcpip}}, {}, {}, {"IP_1"}, kIp},
        {{{"COM1:", ""}, {"USB001", kTcpip}, {"LPT1:", ""}}, {"USB001"}, {"LPT1:"}, {}, kUsb},
        {{{"FILE:", ""}, {"LPT2:", kTcpip}}, {}, {}, {"LPT2:"}, kLpt},
        {{{"usb001", ""}, {"lpt1:", ""}, {"com1:", ""}, {"FILE:", ""}}, {}, {}, {}, kIp},
        {{{"IP_1", "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA"},
          {"IP_2", "standard tcp/ip port"},
          {"IP_3", "Standard TCP/IP Port "},
          {"LPT3:", "Standard TCP/IP"},
          {"IP_5", kTcpip}},
         {},
         {"LPT3:"},
         {"IP_1", "IP_5"},
         kLpt},
    };
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        PortsFake::ports = c.ports;
        const PortLists lists = EnumeratePortLists();
        EXPECT_EQ(Listed(lists.arrUsb), c.usb);
        EXPECT_EQ(Listed(lists.arrParallel), c.parallel);
        EXPECT_EQ(Listed(lists.arrTcpip), c.tcpip);
        EXPECT_EQ(lists.kind, c.kind);
    }
}

// Wine's device manager fills SERIALCOMM with \Device\Serial0 = COM1 soon
// after its start; the test's values, none with a terminator, follow it.
TEST_F(PortEnumerationTest, SerialDevicesGiveComNamesAndValuesTooLongAreSkipped) {
    ASSERT_TRUE(WaitFor([] {
        return ReadRegistryString(HKEY_LOCAL_MACHINE, kSerialCommKey, "\\Device\\Serial0") ==
               "COM1";
    }));
    const std::string longest = "COM" + std::string(124, '7');
    const Ports values = {{"Serial9", "COM9"},
                          {"\\Device\\Serial2", longest},
                          {"\\Device\\Serial3", longest + "7"},
                          {"\\Device\\Serial7" + std::string(127 - 15, 'y'), "COM4"},
                          {"\\Device\\Serial8" + std::string(128 - 15, 'z'), "COM5"}};
    for (const auto &value : values)
        ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSerialCommKey, value.first.c_str(), REG_SZ,
                          value.second.data(), static_cast<DWORD>(value.second.size()));
    CStringArray list;
    EXPECT_TRUE(EnumerateSerialPorts(list));
    EXPECT_EQ(Listed(list), (Texts{"COM1:", longest + ":", "COM4:"}));
    for (const auto &value : values)
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSerialCommKey, value.first.c_str());
}

// The "Standard TCP/IP Port" monitor behind the spooler's port calls, on
// PortsFake's ports: its wizard adds nextPort and keeps the ports in name
// order; each call fails with its error set and is recorded.
struct PortMonitorFake {
    enum Call { kAdd, kConfigure, kDelete };
    static inline std::string nextPort;
    static constexpr const char *kNames[] = {"AddPort ", "ConfigurePort ", "DeletePort "};
    static inline DWORD errors[3];
    static inline Texts calls;

    template <Call call> static BOOL WINAPI Answer(LPSTR, HWND, LPSTR pszName) {
        calls.push_back(std::string(kNames[call]) + pszName);
        if (call == kAdd) {
            PortsFake::ports.push_back({nextPort, kTcpip});
            std::sort(PortsFake::ports.begin(), PortsFake::ports.end());
        }
        ::SetLastError(errors[call]);
        return errors[call] == 0;
    }
};

using PortDialogsTest = PlatformTest;

// The port the wizard adds is selected wherever the monitor's name order
// puts it. Configure and Delete get the selected row's whole name, though
// other ports bear its first 127 and 255 characters; only the failures they
// name get a box, each its own. With no row chosen OK does nothing.
TEST_F(PortDialogsTest, TcpipDialogWorksOnThePortAddedWhereverItSortsByItsWholeName) {
    BoxFake::Install(api());
    api().EnumPortsA = PortsFake::EnumPortsA;
    api().AddPortA = PortMonitorFake::Answer<PortMonitorFake::kAdd>;
    api().ConfigurePortA = PortMonitorFake::Answer<PortMonitorFake::kConfigure>;
    api().DeletePortA = PortMonitorFake::Answer<PortMonitorFake::kDelete>;
    const std::string longName = "IP_" + std::string(297, '7');
    PortsFake::ports = {
        {longName.substr(0, 127), kTcpip}, {longName.substr(0, 255), kTcpip}, {"IP_8", kTcpip}};
    CPortSource source;
    source.Read();
    CTcpipPortDlg dlg(nullptr, source);
    DialogRunner runner(dlg);
    const HWND hList = runner.Item(IDC_PORT_LIST);
    PortMonitorFake::nextPort = longName;
    runner.Press(IDC_ADD_PORT);
    EXPECT_EQ(::SendMessageW(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    // The caption of the box a press brought, empty for none.
    const auto boxOf = [&](int nID) {
        const size_t nBoxes = BoxFake::boxes.size();
        runner.Press(nID);
        return BoxFake::boxes.size() > nBoxes ? BoxFake::boxes.back().caption : "";
    };
    Texts captions;
    for (const DWORD dwError : {0u, 50u, 57u, 5u}) {
        PortMonitorFake::errors[PortMonitorFake::kConfigure] = dwError;
        captions.push_back(boxOf(IDC_CONFIGURE_PORT));
    }
    PortMonitorFake::errors[PortMonitorFake::kDelete] = ERROR_NOT_SUPPORTED;
    captions.push_back(boxOf(IDC_DELETE_PORT));
    EXPECT_EQ(captions, (Texts{"", "Configure Port", "Configure Por", "", "Delete Port"}));
    const std::string configure = "ConfigurePort " + longName;
    EXPECT_EQ(PortMonitorFake::calls, (Texts{std::string("AddPort ") + kTcpip, configure, configure,
                                             configure, configure, "DeletePort " + longName}));
    runner.SelectRow(hList, -1, false);
    runner.Press(IDC_PORT_OK);
    EXPECT_TRUE(runner.Open());
    runner.SelectRow(hList, 2);
    runner.Press(IDC_PORT_OK);
    EXPECT_EQ(runner.Join(), PORTDLG_INDEX_BASE + 2);
    EXPECT_EQ(std::string(dlg.m_strChosenPort), longName);
}

const std::string kSoftware = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kSet001 = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::string kCurrent = std::string(kSpoolerPrintersKey) + "\\";
const char kPortsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char *const kPrinters[] = {"UnitP1", "UnitOld", "UnitLpt"};

// A value as "type:data", empty when it is missing.
std::string Value(HKEY hRoot, const std::string &key, const char *pszValue) {
    char data[64] = {};
    DWORD dwType = 0, cbData = sizeof(data);
    if (::RegGetValueA(hRoot, key.c_str(), pszValue, RRF_RT_ANY | RRF_NOEXPAND, &dwType, data,
                       &cbData) != ERROR_SUCCESS)
        return "";
    return std::to_string(dwType) + ":" + std::string(data, cbData);
}

// Setting a value of these names fails, as a registry that denies it;
// every other call reaches the real registry.
struct RefusedValues {
    static inline std::set<std::string> names;
    static LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                                         const BYTE *lpData, DWORD cbData) {
        return names.count(lpValueName) != 0
                   ? ERROR_ACCESS_DENIED
                   : ::RegSetValueExA(hKey, lpValueName, 0, dwType, lpData, cbData);
    }
};

// The steps of binding a printer to a port whose value could not be set.
std::vector<int> FailedSteps(const std::string &printer, LPCSTR pszPort) {
    std::vector<int> steps;
    for (int nStep = 1; nStep <= kPrinterPortSteps; ++nStep)
        if (!WritePrinterPortValue(printer.c_str(), pszPort, nStep).Succeeded())
            steps.push_back(nStep);
    return steps;
}

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
        ServiceFake::Install(api());
        RefusedValues::names.clear();
        api().RegSetValueExA = RefusedValues::RegSetValueExA;
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
    std::vector<std::string> m_log;
    HostFake m_host{m_log};
};

TEST_F(PortAssignmentTest, PortIsWrittenIntoEveryPrinterKeyKeepingTypesAndFailuresAreNamed) {
    const std::string name = "UnitP1", sz = "1:USB002" + std::string(1, '\0');
    EXPECT_EQ(FailedSteps(name, "USB002"), std::vector<int>{});
    for (const std::string &key : {kSoftware, kSet001, kCurrent})
        EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key + name, "Port"), sz) << key;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name + "\\DsSpooler", "portName"),
              "7:USB002" + std::string(2, '\0'));
    // Wine's profile takes no lasting key: the flag is passed over in
    // silence, and cleared where the spooler has set it.
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, kOnLineValue), "");
    MarkPrinterOnLine(name, 1);
    FailedSteps(name, "USB002");
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, kOnLineValue),
              "4:" + std::string(4, '\0'));
    // Keys the spooler never made stay unmade.
    FailedSteps("UnitUnmade", "USB001");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kCurrent + "UnitUnmade", "Port"), "");

    // A refused value names its step.
    RefusedValues::names = {"portName"};
    WritePrinterPort(name.c_str(), "USB003", m_host);
    EXPECT_EQ(Joined(m_log), "box app: Failed to read Registry2 type 48");

    // Names that would reach the printers' own key or a printer's subkey.
    RefusedValues::names.clear();
    for (const std::string &bad : {std::string(), "\\\\server\\queue" + name, name + "\\DsSpooler"})
        FailedSteps(bad, "COM1:");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name + "\\DsSpooler", "Port"), "");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware.substr(0, kSoftware.size() - 1), "Port"), "");
}

// One device gets the printer and its line settings, several leave it
// alone, none leave it where it was created; the serial printers listed
// before are written their own port again.
TEST_F(PortAssignmentTest, SerialAssignmentBindsOneDeviceAndRefreshesSerialPrinters) {
    const auto status = [](LPCSTR pszFormat, LPCSTR pszPort) {
        return "status " + std::string(Formatted(pszFormat, pszPort));
    };
    const std::string kOne = status(kOneDeviceStatus, "COM7:");
    const CStringArray names = Names("UnitOld UnitLpt"), ports = Names("COM2: LPT1:");
    const struct {
        const char *pszDevices;
        bool bRefused;
        std::string status, port, line, oldPort;
    } cases[] = {
        {"COM7:", false, kOne, "COM7:", "9600,n,8,1", "COM2:"},
        {"COM7:", true, kOne, "COM7:", "", "COM2:"},
        {"COM7: COM8:", false, status(kSeveralDevicesStatus, "COM7:"), "", "", ""},
        {"", false, status(kNoDeviceStatus, "LPT2:"), "", "", "COM2:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        SetUp();
        RefusedValues::names = {c.bRefused ? "COM7:" : ""};
        m_log.clear();
        AssignSerialPortTo("UnitP1",
                           {Names(c.pszDevices), names, ports, "LPT2:", {9600, 'N', 8, 1}}, m_host);
        EXPECT_EQ(m_log.back(), c.status);
        EXPECT_EQ(Joined(m_log).find(kSetPortsFailed) != std::string::npos, c.bRefused);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitP1", "Port"), c.port);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kPortsKey, "COM7:"), c.line);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitOld", "Port"), c.oldPort);
        EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrent + "UnitLpt", "Port"), "");
    }
}

} // namespace
