// Binding a printer to a port: the registry values written and read back,
// the USB detection's pass over its candidates, and the serial assignment's
// three cases, with the registry and the spooler's printers faked.
#include "install/printer_creation.h"
#include "ports/printer_port_registry.h"
#include "ports/serial_assignment.h"
#include "ports/usb_detection.h"
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

void SetList(CStringArray &list, const Texts &entries) {
    list.RemoveAll();
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
}

// The window's side, logged; restarting the spooler puts the flag on the
// printer whose current port is the attached one, as a spooler does.
struct HostFake : IPortAssignmentHost {
    Texts log;
    std::string attached;
    DWORD dwFlag = 1;

    void ShowStatus(LPCSTR lpszText) override { log.push_back("status " + std::string(lpszText)); }
    void SetProgress(int nPos) override { log.push_back("progress " + std::to_string(nPos)); }
    void ShowMessage(LPCSTR lpszText) override { log.push_back("box " + std::string(lpszText)); }
    void WritePrinterPort(LPCSTR lpszPrinterName, CString strPortName) override {
        log.push_back("write " + std::string(lpszPrinterName) + " " + std::string(strPortName));
        for (int nStep : WritePrinterPortValues(lpszPrinterName, strPortName))
            ShowMessage(DescribePortWriteFailure(nStep));
    }
    void RestartSpooler() override {
        log.push_back("restart");
        if (Data(kCurrentKey + "P1", "Port") == "1:" + attached + std::string(1, '\0'))
            SetFlag("P1", std::string(reinterpret_cast<const char *>(&dwFlag), 4));
    }
    static void SetFlag(const std::string &printer, const std::string &data) {
        RegistryFake::Set(kProfileKey + printer, "PrinterOnLine", REG_DWORD, data);
    }
};

class PortAssignmentTest : public PlatformTest {
protected:
    void SetUp() override {
        RegistryFake::Install(api());
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
    HostFake m_host;
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
    Texts texts;
    for (int nStep : WritePrinterPortValues("P1", "USB003"))
        texts.push_back(std::string(DescribePortWriteFailure(nStep)));
    EXPECT_EQ(texts, (Texts{"Failed to read Registry1", "Failed to read Registry2",
                            "Failed to read Registry3", "Failed to read Registry4",
                            "Failed to read Registry5"}));
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

TEST_F(PortAssignmentTest, OnLineFlagCountsItsFirstByteOnlyWhenOneCameBack) {
    BYTE nFlag = 7;
    EXPECT_FALSE(ReadPrinterOnLine("P1", nFlag));
    HostFake::SetFlag("P1", "");
    EXPECT_FALSE(ReadPrinterOnLine("P1", nFlag));
    EXPECT_EQ(nFlag, 7);
    HostFake::SetFlag("P1", std::string("\x02\x01\0\0", 4));
    EXPECT_TRUE(ReadPrinterOnLine("P1", nFlag));
    EXPECT_EQ(nFlag, 2);
}

// Each candidate: its status, its write, 50; then the restart, 60 and the
// flag, 70 for the first port on line.
TEST_F(PortAssignmentTest, UsbPassTriesEachPortUntilTheSpoolerReportsThePrinterOnLine) {
    const Texts kChecking = {"status Checking  USB001 ....", "write P1 USB001", "progress 50"};
    const Texts kChecking2 = {"status Checking  USB002 ....", "write P1 USB002", "progress 50"};
    CStringArray ports;
    SetList(ports, {"USB001", "USB002"});
    AddPrinterKeys("P1");
    const struct {
        bool bWindows7;
        std::string attached;
        DWORD dwFlag;
        BYTE nFound;
        Texts tail;
    } cases[] = {
        {false, "USB002", 1, 1, {"restart", "progress 60", "progress 70"}},
        {false, "USB002", 2, 2, {"restart", "progress 60"}},
        {false, "USB009", 1, 0, {"restart", "progress 60"}},
        {true, "USB009", 1, 1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_host.log.clear();
        m_host.attached = c.attached;
        m_host.dwFlag = c.dwFlag;
        EXPECT_EQ(TryUsbPorts("P1", ports, c.bWindows7, m_host), c.nFound);
        Texts expected = {"status Checking USB ports..."};
        expected.insert(expected.end(), kChecking.begin(), kChecking.end());
        if (!c.bWindows7)
            expected.insert(expected.end(), {"restart", "progress 60"});
        expected.insert(expected.end(), kChecking2.begin(), kChecking2.end());
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(m_host.log, expected);
        EXPECT_EQ(Data(kCurrentKey + "P1", "Port"), "1:USB002" + std::string(1, '\0'));
    }
    m_host.log.clear();
    EXPECT_EQ(TryUsbPorts("P1", CStringArray(), false, m_host), 0);
    EXPECT_EQ(m_host.log, Texts{"status Checking USB ports..."});
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
    const Texts kRefresh = {"write Old COM2:", "write \\\\srv\\q COM4:"};

    const struct {
        Texts devices;
        bool bSettingsFail;
        Texts log;
    } cases[] = {
        {{"COM1:"},
         false,
         {"write P1 COM1:", "restart",
          "write P1 COM1:", "write Old COM2:", "write \\\\srv\\q COM4:", "progress 90", "restart",
          "status The current printer port is COM1:,you can configure after the installation"}},
        {{"COM1:"},
         true,
         {"write P1 COM1:", "restart",
          "box Error\xA3\xBA"
          "Failed to set Registry",
          "write P1 COM1:", "write Old COM2:", "write \\\\srv\\q COM4:", "progress 90", "restart",
          "status The current printer port is COM1:,you can configure after the installation"}},
        {{"COM1:", "COM2:"},
         false,
         {"status The current printer port is COM1: ,you can set that after the installation"}},
        {{},
         false,
         {"write P1 COM1:", "write Old COM2:", "write \\\\srv\\q COM4:", "progress 90", "restart",
          "status Unable to detect available printer.The current printer port is LPT2:"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        RegistryFake::Install(api());
        RegistryFake::AddKey(kPortsKey);
        RegistryFake::failingSets =
            c.bSettingsFail ? std::set<std::string>{"com1:"} : std::set<std::string>{};
        m_host.log = {};
        CStringArray devices;
        SetList(devices, c.devices);
        AssignSerialPortTo("P1", {devices, names, ports, "LPT2:", {9600, 'N', 8, 1}}, m_host);
        Texts expected = {"progress 50"};
        expected.insert(expected.end(), c.log.begin(), c.log.end());
        EXPECT_EQ(m_host.log, expected);
        EXPECT_EQ(Data(kPortsKey, "COM1:"), c.devices.size() == 1 && !c.bSettingsFail
                                                ? "1:9600,n,8,1" + std::string(1, '\0')
                                                : "none");
    }
}

} // namespace
