// The port lists and the preselected port kind, on spooler port sets that
// break naive classification, and the serial devices read from the registry.
#include "ports/port_enumeration.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kTcpip[] = "Standard TCP/IP Port";
constexpr char kLocal[] = "Local Port";
constexpr char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string Joined(const CStringArray &list) {
    std::string text;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        text += (i > 0 ? " " : "") + std::string(list[i]);
    return text;
}

using PortEnumerationTest = PlatformTest;

TEST_F(PortEnumerationTest, PortSetsGiveTheirListsAndPortKindRow) {
    Ports many;
    for (int i = 0; i < 300; ++i)
        many.emplace_back("NE" + std::to_string(i) + ":", kLocal);
    many[5].first = "FILE:";
    many[255].first = "LPT9:";
    many[280].first = "USB001";
    many[290] = {"IP_9", kTcpip};

    // The lists other than all ports, their names joined by blanks.
    struct Case {
        const char *pszWhat;
        Ports ports;
        const char *pszUsb, *pszParallel, *pszTcpip;
        int nKind;
        bool bGrowing = false;
    };
    const Case cases[] = {
        {"no ports", Ports{}, "", "", "", 1},
        {"serial only among all ports",
         Ports{{"COM1:", kLocal}, {"COM2:", kLocal}, {"FILE:", kLocal}, {"LPT1:", kLocal}}, "",
         "LPT1:", "", 0},
        {"file with tcp/ip", Ports{{"FILE:", kLocal}, {"IP_1", kTcpip}}, "", "", "IP_1", 3},
        {"usb name before a tcp/ip description",
         Ports{{"COM1:", kLocal}, {"USB001", kTcpip}, {"LPT1:", kLocal}}, "USB001", "LPT1:", "", 1},
        {"parallel name with a tcp/ip description still counts as parallel",
         Ports{{"FILE:", kLocal}, {"LPT2:", kTcpip}}, "", "", "LPT2:", 2},
        {"names compared case-sensitively",
         Ports{{"usb001", kLocal}, {"lpt1:", kLocal}, {"com1:", kLocal}, {"FILE:", kLocal}}, "", "",
         "", 3},
        {"short and odd names",
         Ports{{"US", kLocal}, {"LP", kLocal}, {"FIL", kLocal}, {"", kLocal}, {"XUSB1", kLocal}},
         "", "", "", 1},
        {"descriptions compared whole, also in code page 936",
         Ports{{"IP_1", "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA"},
               {"IP_2", "standard tcp/ip port"},
               {"IP_3", "Standard TCP/IP Port "},
               {"IP_4", "Standard TCP/IP"},
               {"LPT3:", "STANDARD TCP/IP PORT"},
               {"IP_5", kTcpip}},
         "", "LPT3:", "IP_1 IP_5", 2},
        {"only the first 256 count", many, "", "LPT9:", "", 2},
        {"port added between the two queries", Ports{{"USB001", kLocal}, {"COM1:", kLocal}}, "", "",
         "", 1, true},
    };
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        PortsFake::ports = c.ports;
        PortsFake::bGrowing = c.bGrowing;
        std::string all;
        for (size_t i = 0; i < c.ports.size() && i < 256 && !c.bGrowing; ++i)
            all += (i > 0 ? " " : "") + c.ports[i].first;
        const PortLists lists = EnumeratePortLists();
        EXPECT_EQ(Joined(lists.arrAll), all);
        EXPECT_EQ(Joined(lists.arrUsb), c.pszUsb);
        EXPECT_EQ(Joined(lists.arrParallel), c.pszParallel);
        EXPECT_EQ(Joined(lists.arrTcpip), c.pszTcpip);
        // The registry's serial devices: Wine has one, COM1.
        EXPECT_EQ(Joined(lists.arrSerial), "COM1:");
        EXPECT_EQ(lists.kind, c.nKind);
    }
}

// Wine's own spooler lists COM1: to COM4:, FILE: and LPT1: to LPT3:.
TEST(RealPortEnumerationTest, WinePortsGiveTheSerialKind) {
    const PortLists lists = EnumeratePortLists();
    EXPECT_EQ(lists.kind, kPortKindSerial);
    EXPECT_EQ(Joined(lists.arrParallel).rfind("LPT1:", 0), 0u);
    EXPECT_EQ(Joined(lists.arrUsb), "");
}

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: Wine starts with \Device\Serial0 =
// COM1, and the test's values are removed afterwards.
TEST_F(PortEnumerationTest, SerialDevicesGiveComNamesAndValuesTooLongAreSkipped) {
    std::vector<std::string> added;
    const auto add = [&](const std::string &name, const std::string &data) {
        WriteRegistryString(HKEY_LOCAL_MACHINE, kSerialCommKey, name, data, REG_OPTION_VOLATILE);
        added.push_back(name);
    };
    add("\\Device\\Serial1", "COM2");
    add("Serial9", "COM9");
    add("\\device\\Serial8", "COM8");
    add("\\Device\\Serial1" + std::string(150, 'x'), "COM5");
    add("\\Device\\Serial2", "COM" + std::string(200, '6'));
    // 128 bytes with the terminator fit; 129 do not.
    const std::string longest = "COM" + std::string(124, '7');
    add("\\Device\\Serial3", longest);
    // The data need not carry its terminator.
    HKEY hKey = nullptr;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_SET_VALUE, &hKey);
    ::RegSetValueExA(hKey, "\\Device\\Serial4", 0, REG_SZ, reinterpret_cast<const BYTE *>("COM4"),
                     4);
    ::RegCloseKey(hKey);
    added.push_back("\\Device\\Serial4");
    add("\\Device\\Serial5", "COM" + std::string(125, '9'));
    // A name of 127 characters fits beside its terminator; 128 do not.
    add("\\Device\\Serial7" + std::string(127 - 15, 'y'), "COM8");
    add("\\Device\\Serial8" + std::string(128 - 15, 'z'), "COM9");
    CStringArray list;
    list.Add("stale");
    EXPECT_TRUE(EnumerateSerialPorts(list));
    EXPECT_EQ(Joined(list), "COM1: COM2: " + longest + ": COM4: COM8:");
    for (const std::string &name : added)
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kSerialCommKey, name);
}

// A key that may not open, and whose values can never be read.
struct FakeRegistry {
    static inline LONG lOpenResult;
    static inline int nEnums, nCloses;
    static LONG WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY phKey) {
        *phKey = reinterpret_cast<HKEY>(0x7E00);
        return lOpenResult;
    }
    static LONG WINAPI RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE,
                                     LPDWORD) {
        return ++nEnums < 5 ? ERROR_KEY_DELETED : ERROR_NO_MORE_ITEMS;
    }
    static LONG WINAPI RegCloseKey(HKEY) {
        ++nCloses;
        return ERROR_SUCCESS;
    }
};

TEST_F(PortEnumerationTest, MissingOrUnreadableSerialKeyGivesAnEmptyListAndEndsTheWalk) {
    api().RegOpenKeyExA = FakeRegistry::RegOpenKeyExA;
    api().RegEnumValueA = FakeRegistry::RegEnumValueA;
    api().RegCloseKey = FakeRegistry::RegCloseKey;
    for (int nOpened : {0, 1}) {
        SCOPED_TRACE(nOpened);
        FakeRegistry::lOpenResult = nOpened ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        FakeRegistry::nEnums = FakeRegistry::nCloses = 0;
        CStringArray list;
        list.Add("COM1:");
        EXPECT_FALSE(EnumerateSerialPorts(list));
        EXPECT_EQ(list.GetSize(), 0);
        EXPECT_EQ(FakeRegistry::nEnums, nOpened);
        EXPECT_EQ(FakeRegistry::nCloses, nOpened);
    }
}

} // namespace
