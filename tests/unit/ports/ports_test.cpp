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

} // namespace
