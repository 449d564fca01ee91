// Binding a printer to a port in the prefix's real registry: the values
// written and the serial assignment's three cases. Only a refused value
// set is injected.
#include "ports/printer_port_registry.h"
#include "ports/serial_assignment.h"
#include "res/texts.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kSoftware = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::string kSet001 = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::string kCurrent = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
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
    }
    void TearDown() override {
        for (const std::string name : kPrinters) {
            for (const std::string &key : {kSoftware, kSet001, kCurrent})
                ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (key + name).c_str());
            ::RegDeleteTreeA(HKEY_CURRENT_CONFIG, (kCurrent + name).c_str());
        }
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, "COM7:");
        PlatformTest::TearDown();
    }
    std::vector<std::string> m_log;
    HostFake m_host{m_log};
};

TEST_F(PortAssignmentTest, PortIsWrittenIntoEveryPrinterKeyKeepingTypesAndFailuresAreNamed) {
    const std::string name = "UnitP1", sz = "1:USB002" + std::string(1, '\0');
    EXPECT_EQ(WritePrinterPortValues(name.c_str(), "USB002"), std::vector<int>{});
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name, "Port"), sz);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSoftware + name + "\\DsSpooler", "portName"),
              "7:USB002" + std::string(2, '\0'));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kSet001 + name, "Port"), sz);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kCurrent + name, "Port"), sz);
    // Wine's profile takes no lasting key: the flag is passed over in
    // silence, and cleared where the spooler has set it.
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, "PrinterOnLine"), "");
    HKEY hKey = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_CONFIG, (kCurrent + name).c_str(), 0, nullptr,
                      REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &hKey, nullptr);
    ::RegCloseKey(hKey);
    WritePrinterPortValues(name.c_str(), "USB002");
    EXPECT_EQ(Value(HKEY_CURRENT_CONFIG, kCurrent + name, "PrinterOnLine"),
              "4:" + std::string(4, '\0'));
    // Keys the spooler never made stay unmade.
    WritePrinterPortValues("UnitUnmade", "USB001");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kCurrent + "UnitUnmade", "Port"), "");

    RefusedValues::Install(api(), {"Port", "portName", "PrinterOnLine"});
    WritePrinterPort(name.c_str(), "USB003", m_host);
    std::string boxes;
    for (const char *pszStep : {"1", "2", "3", "4", "5"})
        boxes += "; box app: Failed to read Registry" + std::string(pszStep) + " type 48";
    EXPECT_EQ(Joined(m_log), boxes.substr(2));

    // Names that would reach the printers' own key or a printer's subkey.
    RefusedValues::names.clear();
    for (const std::string &bad : {std::string(), "\\\\server\\queue" + name, name + "\\DsSpooler"})
        WritePrinterPortValues(bad.c_str(), "COM1:");
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
        RefusedValues::Install(api(), {c.bRefused ? "COM7:" : ""});
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
