// The ports: the lists and the preselected kind on spooler port sets that
// break naive classification, the serial devices read from the registry,
// and the TCP/IP dialog worked as a user works it (the parallel one is
// worked end to end).
#include "ports/port_enumeration.h"
#include "ports/tcpip_port_dlg.h"
#include "res/resource.h"
#include "res/texts.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char kTcpip[] = "Standard TCP/IP Port";
constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string Words(const CStringArray &list) {
    std::string text;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        text += std::string(list[i]) + " ";
    return text;
}

using PortEnumerationTest = PlatformTest;

// The USB, parallel and TCP/IP lists, then the kind row: names by their
// exact prefix, TCP/IP ports by their exact description in either edition.
TEST_F(PortEnumerationTest, PortSetsGiveTheirListsAndPortKindRow) {
    const struct {
        Ports ports;
        const char *pszLists;
    } cases[] = {
        {{{"COM1:", ""}, {"FILE:", ""}, {"LPT1:", ""}}, "|LPT1: ||0"},
        {{{"FILE:", ""}, {"IP_1", kTcpip}}, "||IP_1 |3"},
        {{{"COM1:", ""}, {"USB001", kTcpip}, {"LPT1:", ""}}, "USB001 |LPT1: ||1"},
        {{{"FILE:", ""}, {"LPT2:", kTcpip}}, "||LPT2: |2"},
        {{{"usb001", ""}, {"lpt1:", ""}, {"com1:", ""}, {"FILE:", ""}}, "|||3"},
        {{{"IP_1", "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA"},
          {"IP_2", "standard tcp/ip port"},
          {"IP_3", "Standard TCP/IP Port "},
          {"LPT3:", "Standard TCP/IP"},
          {"IP_5", kTcpip}},
         "|LPT3: |IP_1 IP_5 |2"},
    };
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const auto &c : cases) {
        PortsFake::ports = c.ports;
        const PortLists lists = EnumeratePortLists();
        EXPECT_EQ(Words(lists.arrUsb) + "|" + Words(lists.arrParallel) + "|" +
                      Words(lists.arrTcpip) + "|" + std::to_string(lists.kind),
                  c.pszLists);
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
    EXPECT_EQ(Words(list), "COM1: " + longest + ": COM4: ");
    for (const auto &value : values)
        ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSerialCommKey, value.first.c_str());
}

// The "Standard TCP/IP Port" monitor behind the spooler's port calls, on
// PortsFake's ports: its wizard adds nextPort and keeps the ports in name
// order; configure and delete fail with the error set. Each call is recorded.
struct PortMonitorFake {
    static inline std::string nextPort;
    static inline DWORD dwConfigureError = 0, dwDeleteError = 0;
    static inline std::vector<std::string> calls;

    static BOOL WINAPI AddPortA(LPSTR, HWND, LPSTR pMonitorName) {
        calls.push_back(std::string("AddPort ") + pMonitorName);
        PortsFake::ports.push_back({nextPort, kTcpip});
        std::sort(PortsFake::ports.begin(), PortsFake::ports.end());
        return TRUE;
    }
    static BOOL Answer(const std::string &call, DWORD dwError) {
        calls.push_back(call);
        ::SetLastError(dwError);
        return dwError == 0;
    }
    static BOOL WINAPI ConfigurePortA(LPSTR, HWND, LPSTR pPortName) {
        return Answer(std::string("ConfigurePort ") + pPortName, dwConfigureError);
    }
    static BOOL WINAPI DeletePortA(LPSTR, HWND, LPSTR pPortName) {
        return Answer(std::string("DeletePort ") + pPortName, dwDeleteError);
    }
};

using PortDialogsTest = PlatformTest;

// The port the wizard adds is selected wherever the monitor's name order
// puts it. Configure and Delete get the selected row's whole name, though
// other ports bear its first 127 and 255 characters; only the failures they
// name get a box. With no row chosen OK does nothing.
TEST_F(PortDialogsTest, TcpipDialogWorksOnThePortAddedWhereverItSortsByItsWholeName) {
    BoxFake::Install(api());
    api().EnumPortsA = PortsFake::EnumPortsA;
    api().AddPortA = PortMonitorFake::AddPortA;
    api().ConfigurePortA = PortMonitorFake::ConfigurePortA;
    api().DeletePortA = PortMonitorFake::DeletePortA;
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
    EXPECT_EQ(runner.SelectedRow(hList), 2);
    for (const DWORD dwError : {0u, 50u, 57u, 5u}) {
        PortMonitorFake::dwConfigureError = dwError;
        runner.Press(IDC_CONFIGURE_PORT);
    }
    PortMonitorFake::dwDeleteError = ERROR_NOT_SUPPORTED;
    runner.Press(IDC_DELETE_PORT);
    std::string captions;
    for (const BoxFake::Box &box : BoxFake::boxes)
        captions += box.caption + "; ";
    EXPECT_EQ(captions, "Configure Port; Configure Por; Delete Port; ");
    std::vector<std::string> calls(5, "ConfigurePort " + longName);
    calls.front() = std::string("AddPort ") + kTcpip;
    calls.push_back("DeletePort " + longName);
    EXPECT_EQ(PortMonitorFake::calls, calls);
    runner.SelectRow(hList, -1, false);
    runner.Press(IDC_PORT_OK);
    EXPECT_TRUE(runner.Open());
    runner.SelectRow(hList, 2);
    runner.Press(IDC_PORT_OK);
    EXPECT_EQ(runner.Join(), PORTDLG_INDEX_BASE + 2);
    EXPECT_EQ(std::string(dlg.m_strChosenPort), longName);
}

} // namespace
