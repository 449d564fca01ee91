// The port lists and the preselected port kind, on spooler port sets that
// break naive classification, and the serial devices read from the registry.
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Names = std::vector<std::string>;

constexpr char kTcpip[] = "Standard TCP/IP Port";
constexpr char kTcpipCp936[] = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";
constexpr char kLocal[] = "Local Port";
constexpr int kPortKindList = 1004;

class PortsDlg : public CInstallerDlg {
public:
    using CInstallerDlg::EnumeratePorts;
    using CInstallerDlg::EnumerateSerialPorts;
    using CInstallerDlg::m_arrAllPorts;
    using CInstallerDlg::m_arrParallelPorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrTcpipPorts;
    using CInstallerDlg::m_arrUsbPorts;
};

Names ToNames(const CStringArray &list) {
    Names names;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        names.emplace_back(list[i]);
    return names;
}

// The spooler's ports at level 2, laid out as the spooler lays them out:
// the records, then their strings.
struct FakeSpooler {
    static std::vector<std::pair<std::string, std::string>> ports;
    static bool bGrowsBetweenCalls;
    static int nCalls;

    static BOOL WINAPI EnumPortsA(LPSTR pszServer, DWORD dwLevel, LPBYTE pBuffer, DWORD cbBuf,
                                  LPDWORD pcbNeeded, LPDWORD pcReturned) {
        EXPECT_EQ(pszServer, nullptr);
        EXPECT_EQ(dwLevel, 2u);
        ++nCalls;
        DWORD cbNeeded = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
        for (const auto &port : ports)
            cbNeeded += static_cast<DWORD>(port.first.size() + port.second.size() + 2);
        if (bGrowsBetweenCalls && nCalls > 1)
            cbNeeded += 64;
        *pcReturned = 0;
        *pcbNeeded = cbNeeded;
        if (cbBuf < cbNeeded) {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        auto *pRecords = reinterpret_cast<PORT_INFO_2A *>(pBuffer);
        char *pText = reinterpret_cast<char *>(pBuffer + ports.size() * sizeof(PORT_INFO_2A));
        for (size_t i = 0; i < ports.size(); ++i) {
            pRecords[i] = {};
            pRecords[i].pPortName = Store(pText, ports[i].first);
            pRecords[i].pMonitorName = nullptr;
            pRecords[i].pDescription = Store(pText, ports[i].second);
            pRecords[i].fPortType = PORT_TYPE_WRITE;
        }
        *pcReturned = static_cast<DWORD>(ports.size());
        return TRUE;
    }
    static LPSTR Store(char *&pText, const std::string &text) {
        std::memcpy(pText, text.c_str(), text.size() + 1);
        LPSTR psz = pText;
        pText += text.size() + 1;
        return psz;
    }
};
std::vector<std::pair<std::string, std::string>> FakeSpooler::ports;
bool FakeSpooler::bGrowsBetweenCalls = false;
int FakeSpooler::nCalls = 0;

int WINAPI AnswerOk(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

class PortEnumerationTest : public PlatformTest {
protected:
    void SetUp() override {
        FakeSpooler::ports.clear();
        FakeSpooler::bGrowsBetweenCalls = false;
        api().EnumPortsA = FakeSpooler::EnumPortsA;
        api().MessageBoxA = AnswerOk;
    }

    // Runs the dialog on the given ports; start-up enumerates them.
    void Start(std::vector<std::pair<std::string, std::string>> ports) {
        FakeSpooler::ports = std::move(ports);
        FakeSpooler::nCalls = 0;
        m_runner = std::make_unique<DialogRunner>(m_dlg);
        ASSERT_TRUE(DialogRunner::WaitFor([&] { return m_runner->Enabled(1012); }));
    }
    void TearDown() override {
        m_runner.reset();
        PlatformTest::TearDown();
    }

    HWND List() const { return m_runner->Item(kPortKindList); }
    // The one selected row, or -1; -2 when more than one is selected.
    int SelectedRow() const {
        const int nRow = static_cast<int>(
            ::SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (nRow >= 0 && ::SendMessageA(List(), LVM_GETNEXTITEM, nRow, LVNI_SELECTED) !=
                             static_cast<LRESULT>(-1))
            return -2;
        return nRow;
    }
    void SetRowState(int nRow, UINT nState, UINT nMask) const {
        LVITEMA item = {};
        item.state = nState;
        item.stateMask = nMask;
        ::SendMessageA(List(), LVM_SETITEMSTATE, nRow, reinterpret_cast<LPARAM>(&item));
    }

    PortsDlg m_dlg;
    std::unique_ptr<DialogRunner> m_runner;
};

TEST_F(PortEnumerationTest, NoSpoolerPortsSelectsUsb) {
    Start({});
    EXPECT_EQ(ToNames(m_dlg.m_arrAllPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{});
    EXPECT_EQ(SelectedRow(), 1);
}

TEST_F(PortEnumerationTest, SerialSpoolerPortsSelectSerialButListOnlyAmongAllPorts) {
    Start({{"COM1:", kLocal}, {"COM2:", kLocal}, {"FILE:", kLocal}, {"LPT1:", kLocal}});
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(ToNames(m_dlg.m_arrAllPorts), (Names{"COM1:", "COM2:", "FILE:", "LPT1:"}));
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{"LPT1:"});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{});
    // The serial list is the registry's devices: Wine has one, COM1.
    EXPECT_EQ(ToNames(m_dlg.m_arrSerialPorts), Names{"COM1:"});
}

TEST_F(PortEnumerationTest, FilePortWithATcpipPortSelectsTcpip) {
    Start({{"FILE:", kLocal}, {"IP_10.0.0.7", kTcpip}});
    EXPECT_EQ(SelectedRow(), 3);
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{"IP_10.0.0.7"});
    EXPECT_EQ(ToNames(m_dlg.m_arrAllPorts), (Names{"FILE:", "IP_10.0.0.7"}));
}

TEST_F(PortEnumerationTest, UsbNameWinsOverATcpipDescription) {
    Start({{"COM1:", kLocal}, {"USB001", kTcpip}, {"LPT1:", kLocal}});
    EXPECT_EQ(SelectedRow(), 1);
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{"USB001"});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{});
}

TEST_F(PortEnumerationTest, ParallelNameWithATcpipDescriptionIsTcpipButStillCountsAsParallel) {
    Start({{"FILE:", kLocal}, {"LPT2:", kTcpip}});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{"LPT2:"});
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{});
    EXPECT_EQ(SelectedRow(), 2);
}

TEST_F(PortEnumerationTest, NamesAreComparedCaseSensitively) {
    Start({{"usb001", kLocal}, {"lpt1:", kLocal}, {"com1:", kLocal}, {"FILE:", kLocal}});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{});
    EXPECT_EQ(SelectedRow(), 3);
    EXPECT_EQ(m_dlg.m_arrAllPorts.GetSize(), 4);
}

TEST_F(PortEnumerationTest, ShortAndOddNamesMatchNoPrefix) {
    Start({{"US", kLocal}, {"LP", kLocal}, {"FIL", kLocal}, {"", kLocal}, {"XUSB1", kLocal}});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{});
    EXPECT_EQ(m_dlg.m_arrAllPorts.GetSize(), 5);
    EXPECT_EQ(SelectedRow(), 1);
}

TEST_F(PortEnumerationTest, DescriptionsAreComparedWhole) {
    Start({{"IP_1", kTcpipCp936},
           {"IP_2", "standard tcp/ip port"},
           {"IP_3", "Standard TCP/IP Port "},
           {"IP_4", "Standard TCP/IP"},
           {"LPT3:", "STANDARD TCP/IP PORT"},
           {"IP_5", kTcpip}});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), (Names{"IP_1", "IP_5"}));
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{"LPT3:"});
}

TEST_F(PortEnumerationTest, OnlyTheFirst256PortsCount) {
    std::vector<std::pair<std::string, std::string>> ports;
    for (int i = 0; i < 300; ++i)
        ports.emplace_back("NE" + std::to_string(i) + ":", kLocal);
    ports[5].first = "FILE:";
    ports[255].first = "LPT9:";
    ports[280].first = "USB001";
    ports[290].first = "IP_9";
    ports[290].second = kTcpip;
    Start(ports);
    ASSERT_EQ(m_dlg.m_arrAllPorts.GetSize(), 256);
    EXPECT_EQ(std::string(m_dlg.m_arrAllPorts[255]), "LPT9:");
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{"LPT9:"});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{});
    EXPECT_EQ(SelectedRow(), 2);
}

TEST_F(PortEnumerationTest, EnumeratingAgainRebuildsTheSameLists) {
    Start({{"COM1:", kLocal}, {"USB001", kLocal}, {"LPT1:", kLocal}, {"IP_1", kTcpip}});
    const Names all = ToNames(m_dlg.m_arrAllPorts);
    m_dlg.EnumeratePorts();
    m_dlg.EnumeratePorts();
    EXPECT_EQ(ToNames(m_dlg.m_arrAllPorts), all);
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{"USB001"});
    EXPECT_EQ(ToNames(m_dlg.m_arrParallelPorts), Names{"LPT1:"});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{"IP_1"});
    EXPECT_EQ(ToNames(m_dlg.m_arrSerialPorts), Names{"COM1:"});
    EXPECT_EQ(FakeSpooler::nCalls, 6);
}

TEST_F(PortEnumerationTest, EnumeratingAgainFollowsChangedPorts) {
    Start({{"USB001", kLocal}});
    EXPECT_EQ(SelectedRow(), 1);
    FakeSpooler::ports = {{"FILE:", kLocal}, {"IP_1", kTcpip}};
    m_dlg.EnumeratePorts();
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrTcpipPorts), Names{"IP_1"});
    EXPECT_EQ(SelectedRow(), 3);
}

TEST_F(PortEnumerationTest, UsersOtherRowIsReplacedAndTheStyleRestored) {
    Start({{"COM1:", kLocal}, {"FILE:", kLocal}});
    ASSERT_EQ(SelectedRow(), 0);
    SetRowState(3, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SetRowState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    ASSERT_EQ(SelectedRow(), 3);
    ::SendMessageA(List(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_TRACKSELECT | LVS_EX_LABELTIP);

    m_dlg.EnumeratePorts();
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(::SendMessageA(List(), LVM_GETITEMSTATE, 0, LVIS_FOCUSED), 0);
    EXPECT_EQ(::SendMessageA(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_LABELTIP | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

TEST_F(PortEnumerationTest, PortAddedBetweenTheTwoQueriesYieldsNoPortsNotGarbage) {
    FakeSpooler::bGrowsBetweenCalls = true;
    Start({{"USB001", kLocal}, {"COM1:", kLocal}});
    EXPECT_EQ(ToNames(m_dlg.m_arrAllPorts), Names{});
    EXPECT_EQ(ToNames(m_dlg.m_arrUsbPorts), Names{});
    EXPECT_EQ(SelectedRow(), 1);
}

// Wine's own spooler lists COM1: to COM4:, FILE: and LPT1: to LPT3:.
class RealPortEnumerationTest : public PlatformTest {
protected:
    void SetUp() override { api().MessageBoxA = AnswerOk; }
};

TEST_F(RealPortEnumerationTest, WineDefaultPortsSelectSerial) {
    PortsDlg dlg;
    {
        DialogRunner runner(dlg);
        ASSERT_TRUE(DialogRunner::WaitFor([&] { return runner.Enabled(1012); }));
        EXPECT_EQ(::SendMessageA(runner.Item(kPortKindList), LVM_GETNEXTITEM,
                                 static_cast<WPARAM>(-1), LVNI_SELECTED),
                  0);
    }
    const Names all = ToNames(dlg.m_arrAllPorts);
    for (const char *pszPort : {"COM1:", "FILE:", "LPT1:"})
        EXPECT_NE(std::find(all.begin(), all.end(), pszPort), all.end()) << pszPort;
    const Names parallel = ToNames(dlg.m_arrParallelPorts);
    EXPECT_NE(std::find(parallel.begin(), parallel.end(), "LPT1:"), parallel.end());
    EXPECT_EQ(ToNames(dlg.m_arrUsbPorts), Names{});
}

// The serial devices under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM; Wine starts
// with \Device\Serial0 = COM1, and the test's values are removed afterwards.
class SerialDeviceTest : public PlatformTest {
protected:
    void SetUp() override {
        ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                    nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_hKey,
                                    nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        for (const std::string &name : m_added)
            ::RegDeleteValueA(m_hKey, name.c_str());
        ::RegCloseKey(m_hKey);
        PlatformTest::TearDown();
    }
    void Add(const std::string &name, const std::string &data, bool bTerminated = true) {
        ASSERT_EQ(::RegSetValueExA(m_hKey, name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>(data.c_str()),
                                   static_cast<DWORD>(data.size() + (bTerminated ? 1 : 0))),
                  ERROR_SUCCESS);
        m_added.push_back(name);
    }

    HKEY m_hKey = nullptr;
    std::vector<std::string> m_added;
};

TEST_F(SerialDeviceTest, DevicesGiveTheirComNamesInRegistryOrder) {
    Add("\\Device\\Serial1", "COM2");
    Add("\\Device\\Serial2", "COM3");
    Add("Serial9", "COM9");
    Add("\\device\\Serial8", "COM8");
    PortsDlg dlg;
    CStringArray list;
    list.Add("stale");
    EXPECT_TRUE(dlg.EnumerateSerialPorts(list));
    EXPECT_EQ(ToNames(list), (Names{"COM1:", "COM2:", "COM3:"}));
}

TEST_F(SerialDeviceTest, ValueTooLongForItsBufferIsSkippedAndTheWalkGoesOn) {
    Add("\\Device\\Serial1", "COM2");
    Add("\\Device\\Serial1" + std::string(150, 'x'), "COM5");
    Add("\\Device\\Serial2", "COM" + std::string(200, '6'));
    // 128 bytes with the terminator fit; 129 do not.
    const std::string longest = "COM" + std::string(124, '7');
    Add("\\Device\\Serial3", longest);
    Add("\\Device\\Serial4", "COM4", false);
    Add("\\Device\\Serial5", "COM" + std::string(125, '9'));
    Add("\\Device\\Serial6", "COM7");
    // A name of 127 characters fits beside its terminator; 128 do not.
    Add("\\Device\\Serial7" + std::string(127 - 15, 'y'), "COM8");
    Add("\\Device\\Serial8" + std::string(128 - 15, 'z'), "COM9");
    PortsDlg dlg;
    CStringArray list;
    EXPECT_TRUE(dlg.EnumerateSerialPorts(list));
    EXPECT_EQ(ToNames(list), (Names{"COM1:", "COM2:", longest + ":", "COM4:", "COM7:", "COM8:"}));
}

struct FakeRegistry {
    static LONG lOpenResult;
    static LONG lEnumResult;
    static int nEnums;
    static int nCloses;
    static LONG WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY phKey) {
        *phKey = reinterpret_cast<HKEY>(0x7E00);
        return lOpenResult;
    }
    static LONG WINAPI RegEnumValueA(HKEY, DWORD, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE,
                                     LPDWORD) {
        ++nEnums;
        return lEnumResult;
    }
    static LONG WINAPI RegCloseKey(HKEY) {
        ++nCloses;
        return ERROR_SUCCESS;
    }
};
LONG FakeRegistry::lOpenResult = ERROR_SUCCESS;
LONG FakeRegistry::lEnumResult = ERROR_SUCCESS;
int FakeRegistry::nEnums = 0;
int FakeRegistry::nCloses = 0;

TEST_F(SerialDeviceTest, MissingKeyGivesAnEmptyList) {
    api().RegOpenKeyExA = FakeRegistry::RegOpenKeyExA;
    FakeRegistry::lOpenResult = ERROR_FILE_NOT_FOUND;
    PortsDlg dlg;
    CStringArray list;
    list.Add("COM1:");
    EXPECT_FALSE(dlg.EnumerateSerialPorts(list));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST_F(SerialDeviceTest, KeyThatCannotBeReadEndsTheWalk) {
    api().RegOpenKeyExA = FakeRegistry::RegOpenKeyExA;
    api().RegEnumValueA = FakeRegistry::RegEnumValueA;
    api().RegCloseKey = FakeRegistry::RegCloseKey;
    FakeRegistry::lOpenResult = ERROR_SUCCESS;
    FakeRegistry::lEnumResult = ERROR_KEY_DELETED;
    FakeRegistry::nEnums = 0;
    FakeRegistry::nCloses = 0;
    PortsDlg dlg;
    CStringArray list;
    EXPECT_FALSE(dlg.EnumerateSerialPorts(list));
    EXPECT_EQ(FakeRegistry::nEnums, 1);
    EXPECT_EQ(FakeRegistry::nCloses, 1);
}

} // namespace
