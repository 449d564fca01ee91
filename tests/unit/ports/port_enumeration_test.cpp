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

// Fails with ERROR_MORE_DATA at the first index and with another error at any other.
struct FailingEnum {
    static inline int nCalls = 0, nCloses = 0;
    static LONG WINAPI RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE,
                                     LPDWORD) {
        return ++nCalls == 1 ? ERROR_MORE_DATA
               : nCalls < 9  ? ERROR_KEY_DELETED
                             : ERROR_NO_MORE_ITEMS;
    }
    static LONG WINAPI RegCloseKey(HKEY hKey) { return ++nCloses, ::RegCloseKey(hKey); }
};

using PortEnumerationTest = PlatformTest;

// The names of all ports, then the USB, parallel and TCP/IP lists, then the kind.
TEST_F(PortEnumerationTest, PortSetsGiveTheirListsAndPortKindRow) {
    Ports many(300, {"NE:", ""});
    many[5].first = "FILE:";
    many[255].first = "LPT9:";
    many[280].first = "USB001";
    many[290] = {"IP_9", kTcpip};
    const struct {
        Ports ports;
        const char *pszLists;
        bool bGrowing = false;
    } cases[] = {{{{"COM1:", ""}, {"COM2:", ""}, {"FILE:", ""}, {"LPT1:", ""}}, "||LPT1: ||0"},
                 {{{"FILE:", ""}, {"IP_1", kTcpip}}, "|||IP_1 |3"},
                 {{{"COM1:", ""}, {"USB001", kTcpip}, {"LPT1:", ""}}, "|USB001 |LPT1: ||1"},
                 {{{"FILE:", ""}, {"LPT2:", kTcpip}}, "|||LPT2: |2"},
                 {{{"usb001", ""}, {"lpt1:", ""}, {"com1:", ""}, {"FILE:", ""}}, "||||3"},
                 {{{"US", ""}, {"LP", ""}, {"FIL", ""}, {"", ""}, {"XUSB1", ""}}, "||||1"},
                 {{{"IP_1", "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA"},
                   {"IP_2", "standard tcp/ip port"},
                   {"IP_3", "Standard TCP/IP Port "},
                   {"LPT3:", "Standard TCP/IP"},
                   {"IP_5", kTcpip}},
                  "||LPT3: |IP_1 IP_5 |2"},
                 {many, "||LPT9: ||2"},
                 // A port added between the two queries leaves nothing to classify.
                 {{{"USB001", ""}, {"COM1:", ""}}, "||||1", true}};
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const auto &c : cases) {
        PortsFake::ports = c.ports;
        PortsFake::bGrowing = c.bGrowing;
        std::string all;
        for (size_t i = 0; i < c.ports.size() && i < 256 && !c.bGrowing; ++i)
            all += c.ports[i].first + " ";
        const PortLists lists = EnumeratePortLists();
        EXPECT_EQ(Joined(lists.arrAll) + "|" + Joined(lists.arrUsb) + "|" +
                      Joined(lists.arrParallel) + "|" + Joined(lists.arrTcpip) + "|" +
                      std::to_string(lists.kind),
                  all + c.pszLists);
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
                          {"\\device\\Serial8", "COM8"},
                          {"\\Device\\Serial2", longest},
                          {"\\Device\\Serial3", longest + "7"},
                          {"\\Device\\Serial7" + std::string(127 - 15, 'y'), "COM4"},
                          {"\\Device\\Serial8" + std::string(128 - 15, 'z'), "COM5"}};
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_SET_VALUE, &hKey);
    for (const auto &value : values)
        ::RegSetValueExA(hKey, value.first.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE *>(value.second.data()),
                         static_cast<DWORD>(value.second.size()));
    CStringArray list;
    EXPECT_TRUE(EnumerateSerialPorts(list));
    const std::string expected = "COM1: " + longest + ": COM4: ";
    EXPECT_EQ(Joined(list), expected);
    // Wine's own spooler lists COM1: to COM4:, FILE: and LPT1: to LPT3:.
    const PortLists lists = EnumeratePortLists();
    EXPECT_EQ(Joined(lists.arrSerial) + std::to_string(lists.kind), expected + "0");
    for (const auto &value : values)
        ::RegDeleteValueA(hKey, value.first.c_str());
    ::RegCloseKey(hKey);
    // A value too long is passed over; any other failure ends the walk.
    api().RegEnumValueA = FailingEnum::RegEnumValueA;
    api().RegCloseKey = FailingEnum::RegCloseKey;
    EXPECT_FALSE(EnumerateSerialPorts(list));
    EXPECT_EQ(list.GetSize() + FailingEnum::nCalls, 2);
    // The key is let go however the walk ends.
    EXPECT_EQ(FailingEnum::nCloses, 1);
}

} // namespace
