// Binding a printer to a port: the registry values written and read back,
// the USB detection's pass over its candidates, and the serial assignment's
// three cases, with the registry and the spooler's printers faked.
#include "install/printer_creation.h"
#include "ports/printer_port_registry.h"
#include "ports/serial_assignment.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

const std::string kSoftwareKey =
    "hklm\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kSet001Key = "hklm\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::string kCurrentKey = "hklm\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const std::string kProfileKey =
    "hklm\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\"
    "Control\\Print\\Printers\\";
const std::string kPortsKey = "hklm\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

std::string Data(const std::string &key, const std::string &value) {
    const RegistryFake::Value *pValue = RegistryFake::Find(key, value);
    return pValue ? std::to_string(pValue->dwType) + ":" + pValue->data : "none";
}

std::string Dword(DWORD dw) {
    return std::to_string(REG_DWORD) + ":" + std::string(reinterpret_cast<const char *>(&dw), 4);
}

class PortAssignmentTest : public PlatformTest {
protected:
    void SetUp() override {
        RegistryFake::Install(api());
        ServiceFake::Install(api());
        api().EnumPrintersA = PrintersFake::EnumPrintersA;
        PrintersFake::bFails = false;
    }
    void TearDown() override {
        EXPECT_EQ(RegistryFake::nOpen, 0) << "keys left open";
        PlatformTest::TearDown();
    }
    // A printer as the spooler keeps it: its four keys, portName a list.
    static void AddPrinterKeys(const std::string &name) {
        for (const std::string &key : {kSoftwareKey, kSet001Key, kCurrentKey})
            RegistryFake::AddKey(key + name);
        RegistryFake::Set(kSoftwareKey + name + "\\DsSpooler", "portName", REG_MULTI_SZ,
                          std::string("LPT1:\0\0", 7));
    }
    Texts m_log;
    HostFake m_host{m_log};
};

TEST_F(PortAssignmentTest, PortIsWrittenIntoEveryPrinterKeyKeepingTypesAndFailuresAreNamed) {
    AddPrinterKeys("P1");
    EXPECT_EQ(WritePrinterPortValues("P1", "USB002"), std::vector<int>{});
    const std::string sz = "1:USB002" + std::string(1, '\0');
    EXPECT_EQ(Data(kSoftwareKey + "P1", "Port"), sz);
    EXPECT_EQ(Data(kSoftwareKey + "P1\\DsSpooler", "portName"), "7:USB002" + std::string(2, '\0'));
    EXPECT_EQ(Data(kSet001Key + "P1", "Port"), sz);
    EXPECT_EQ(Data(kCurrentKey + "P1", "Port"), sz);
    EXPECT_EQ(Data(kProfileKey + "P1", "PrinterOnLine"), Dword(0));

    // Keys the spooler never made stay unmade, but the flag's key is created.
    const std::string longName(300, 'L');
    EXPECT_EQ(WritePrinterPortValues(longName.c_str(), "USB001"), std::vector<int>{});
    EXPECT_EQ(RegistryFake::Find(kCurrentKey + longName, "Port"), nullptr);
    EXPECT_EQ(Data(kProfileKey + longName, "PrinterOnLine"), Dword(0));

    RegistryFake::failingSets = {"port", "portname", "printeronline"};
    WritePrinterPort("P1", "USB003", m_host);
    std::string expected;
    for (const char *pszStep : {"1", "2", "3", "4", "5"})
        expected += "; box app: Failed to read Registry" + std::string(pszStep) + " type 48";
    EXPECT_EQ(Joined(m_log), expected.substr(2));
    // A profile that takes no lasting key is passed over in silence.
    RegistryFake::failingSets.clear();
    RegistryFake::volatileRoots = {kProfileKey};
    EXPECT_EQ(WritePrinterPortValues("P2", "USB003"), std::vector<int>{});

    // Names that would reach the printers' own key or a printer's subkey.
    const auto before = RegistryFake::keys;
    RegistryFake::volatileRoots.clear();
    for (const char *pszName : {"", "P1\\DsSpooler", "\\\\server\\queue"})
        EXPECT_EQ(WritePrinterPortValues(pszName, "COM1:"), std::vector<int>{}) << pszName;
    EXPECT_EQ(RegistryFake::keys, before);
}

// A process whose code page is 936.
LPSTR WINAPI CharNextExA936(WORD, LPCSTR lpsz, DWORD dwFlags) {
    return ::CharNextExA(936, lpsz, dwFlags);
}

// In code page 936 a double-byte character whose second byte is 0x5C is one
// character, not a backslash: such a name is accepted and its port written.
TEST_F(PortAssignmentTest, CodePage936NamesAreCheckedByCharacter) {
    api().CharNextExA = CharNextExA936;
    const struct {
        const char *pszName;
        bool bAccepted, bWritten;
    } rows[] = {
        {"\xB1\x5C\xC7\xA9", true, true}, {"\xB1\x5C\\x", false, false},
        {"\xB1\x5C,x", false, true},      {"x\\\xB1\x5C", false, false},
        {"\xB1\x5C", true, true},
    };
    for (const auto &row : rows) {
        AddPrinterKeys(row.pszName);
        EXPECT_EQ(IsPrinterNameAccepted(row.pszName), row.bAccepted) << row.pszName;
        WritePrinterPortValues(row.pszName, "USB001");
        EXPECT_EQ(Data(kCurrentKey + row.pszName, "Port") != "none", row.bWritten) << row.pszName;
    }
}

TEST_F(PortAssignmentTest, SerialAssignmentBindsOneDeviceAndRefreshesSerialPrinters) {
    PrintersFake::printers = {{"P1", "COM1:"},
                              {"Old", "COM2:"},
                              {"Lpt", "LPT1:"},
                              {"Low", "com3:"},
                              {"\\\\srv\\q", "COM4:"}};
    CStringArray names, ports;
    ASSERT_TRUE(EnumeratePrinterList(names, ports));
    EXPECT_EQ(PrintersFake::dwFlagsAsked,
              static_cast<DWORD>(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS));
    EXPECT_EQ(PrintersFake::dwLevelAsked, 2u);
    PrintersFake::bFails = true;
    EXPECT_FALSE(EnumeratePrinterList(names, ports));
    EXPECT_EQ(names.GetSize(), 5);

    const std::string kSet = "status The current printer port is COM1:,you can configure after "
                             "the installation";
    const struct {
        Texts devices;
        bool bSettingsFail;
        std::string log;
        const char *pszOldPort;
    } cases[] = {
        {{"COM1:"}, false, "progress 50; progress 90; " + kSet, "COM2:"},
        {{"COM1:"},
         true,
         "progress 50; box app: Error\xA3\xBA"
         "Failed to set Registry type 48; progress 90; " +
             kSet,
         "COM2:"},
        {{"COM1:", "COM2:"},
         false,
         "progress 50; status The current printer port is COM1: ,you can set that after the "
         "installation",
         nullptr},
        {{},
         false,
         "progress 50; progress 90; status Unable to detect available printer.The current "
         "printer port is LPT2:",
         "COM2:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        RegistryFake::Install(api());
        RegistryFake::AddKey(kPortsKey);
        RegistryFake::AddKey(kCurrentKey + "Old");
        RegistryFake::failingSets =
            c.bSettingsFail ? std::set<std::string>{"com1:"} : std::set<std::string>{};
        m_log.clear();
        AssignSerialPortTo("P1", {List(c.devices), names, ports, "LPT2:", {9600, 'N', 8, 1}},
                           m_host);
        EXPECT_EQ(Joined(m_log), c.log);
        EXPECT_EQ(Data(kPortsKey, "COM1:"), c.devices.size() == 1 && !c.bSettingsFail
                                                ? "1:9600,n,8,1" + std::string(1, '\0')
                                                : "none");
        // Serial printers are written their own port again; others are not.
        EXPECT_EQ(Data(kCurrentKey + "Old", "Port"),
                  c.pszOldPort ? "1:" + std::string(c.pszOldPort) + std::string(1, '\0') : "none");
    }
}

} // namespace
