// The port lists and the preselected port kind, on spooler port sets that
// break naive classification, and the serial devices read from the registry.
#include "ports/port_enumeration.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kTcpip[] = "Standard TCP/IP Port";
constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string Joined(const CStringArray &list) {
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
        EXPECT_EQ(Joined(lists.arrUsb) + "|" + Joined(lists.arrParallel) + "|" +
                      Joined(lists.arrTcpip) + "|" + std::to_string(lists.kind),
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
    EXPECT_EQ(Joined(list), "COM1: " + longest + ": COM4: ");
    for (const auto &value : values)
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSerialCommKey, value.first);
}

} // namespace
