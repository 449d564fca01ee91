// The port lists and the preselected port kind, on spooler port sets that
// break naive classification, and the serial devices read from the registry.
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using Ports = std::vector<std::pair<std::string, std::string>>;

constexpr char kTcpip[] = "Standard TCP/IP Port";
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

std::string Joined(const CStringArray &list) {
    std::string text;
    for (INT_PTR i = 0; i < list.GetSize(); ++i)
        text += (i > 0 ? " " : "") + std::string(list[i]);
    return text;
}

// The spooler's ports at level 2 as the spooler lays them out: the records,
// then their strings. A growing spooler gains a port before every call.
struct FakeSpooler {
    static inline Ports ports;
    static inline bool bGrowing = false;
    static inline DWORD nCalls = 0;

    static BOOL WINAPI EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
        DWORD cbNeeded = static_cast<DWORD>(ports.size() * sizeof(PORT_INFO_2A));
        for (const auto &port : ports)
            cbNeeded += static_cast<DWORD>(port.first.size() + port.second.size() + 2);
        *pcbNeeded = cbNeeded + (bGrowing ? 64 * ++nCalls : 0);
        // A failed call's count describes nothing in the buffer.
        *pcReturned = static_cast<DWORD>(ports.size());
        if (cbBuf < *pcbNeeded)
            return FALSE;
        auto *pRecords = reinterpret_cast<PORT_INFO_2A *>(pBuffer);
        char *pText = reinterpret_cast<char *>(pBuffer + ports.size() * sizeof(PORT_INFO_2A));
        const auto store = [&](const std::string &text) {
            LPSTR psz = std::strcpy(pText, text.c_str());
            pText += text.size() + 1;
            return psz;
        };
        for (size_t i = 0; i < ports.size(); ++i) {
            pRecords[i] = {};
            pRecords[i].pPortName = store(ports[i].first);
            pRecords[i].pDescription = store(ports[i].second);
        }
        return TRUE;
    }
};

int WINAPI AnswerOk(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}

class PortEnumerationTest : public PlatformTest {
protected:
    void SetUp() override { api().MessageBoxA = AnswerOk; }
    void TearDown() override {
        m_runner.reset();
        PlatformTest::TearDown();
    }

    // Runs the dialog, whose start-up enumerates the ports.
    void Start() {
        m_runner = std::make_unique<DialogRunner>(m_dlg);
        ASSERT_TRUE(DialogRunner::WaitFor([&] { return m_runner->Enabled(1012); }));
    }
    HWND List() const { return m_runner->Item(kPortKindList); }
    // The list allows one selected row at most; -1 for none.
    int SelectedRow() const {
        return static_cast<int>(
            ::SendMessageA(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }

    PortsDlg m_dlg;
    std::unique_ptr<DialogRunner> m_runner;
};

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
        int nRow;
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
    FakeSpooler::ports.clear();
    api().EnumPortsA = FakeSpooler::EnumPortsA;
    Start();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        FakeSpooler::ports = c.ports;
        FakeSpooler::bGrowing = c.bGrowing;
        std::string all;
        for (size_t i = 0; i < c.ports.size() && i < 256 && !c.bGrowing; ++i)
            all += (i > 0 ? " " : "") + c.ports[i].first;
        // Enumerating twice gives the same lists, not doubled ones.
        for (int nPass = 0; nPass < 2; ++nPass) {
            m_dlg.EnumeratePorts();
            EXPECT_EQ(Joined(m_dlg.m_arrAllPorts), all);
            EXPECT_EQ(Joined(m_dlg.m_arrUsbPorts), c.pszUsb);
            EXPECT_EQ(Joined(m_dlg.m_arrParallelPorts), c.pszParallel);
            EXPECT_EQ(Joined(m_dlg.m_arrTcpipPorts), c.pszTcpip);
            // The registry's serial devices: Wine has one, COM1.
            EXPECT_EQ(Joined(m_dlg.m_arrSerialPorts), "COM1:");
            EXPECT_EQ(SelectedRow(), c.nRow);
        }
    }
}

// Wine's own spooler lists COM1: to COM4:, FILE: and LPT1: to LPT3:.
TEST_F(PortEnumerationTest, WinePortsSelectSerialAndReplaceTheUsersOtherRow) {
    Start();
    ASSERT_EQ(SelectedRow(), 0);
    LVITEMA item = {};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(List(), LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&item));
    item.state = item.stateMask = LVIS_FOCUSED;
    ::SendMessageA(List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ASSERT_EQ(SelectedRow(), 3);
    ::SendMessageA(List(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_TRACKSELECT | LVS_EX_LABELTIP);

    m_dlg.EnumeratePorts();
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(::SendMessageA(List(), LVM_GETITEMSTATE, 0, LVIS_FOCUSED), 0);
    EXPECT_EQ(::SendMessageA(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_LABELTIP | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(Joined(m_dlg.m_arrParallelPorts).rfind("LPT1:", 0), 0u);
    EXPECT_EQ(Joined(m_dlg.m_arrUsbPorts), "");
}

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: Wine starts with \Device\Serial0 =
// COM1, and the test's values are removed afterwards.
TEST_F(PortEnumerationTest, SerialDevicesGiveComNamesAndValuesTooLongAreSkipped) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    std::vector<std::string> added;
    const auto add = [&](const std::string &name, const std::string &data,
                         bool bTerminated = true) {
        EXPECT_EQ(::RegSetValueExA(hKey, name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE *>(data.c_str()),
                                   static_cast<DWORD>(data.size() + (bTerminated ? 1 : 0))),
                  ERROR_SUCCESS);
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
    add("\\Device\\Serial4", "COM4", false);
    add("\\Device\\Serial5", "COM" + std::string(125, '9'));
    // A name of 127 characters fits beside its terminator; 128 do not.
    add("\\Device\\Serial7" + std::string(127 - 15, 'y'), "COM8");
    add("\\Device\\Serial8" + std::string(128 - 15, 'z'), "COM9");
    CStringArray list;
    list.Add("stale");
    EXPECT_TRUE(m_dlg.EnumerateSerialPorts(list));
    EXPECT_EQ(Joined(list), "COM1: COM2: " + longest + ": COM4: COM8:");
    for (const std::string &name : added)
        ::RegDeleteValueA(hKey, name.c_str());
    ::RegCloseKey(hKey);
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
        EXPECT_FALSE(m_dlg.EnumerateSerialPorts(list));
        EXPECT_EQ(list.GetSize(), 0);
        EXPECT_EQ(FakeRegistry::nEnums, nOpened);
        EXPECT_EQ(FakeRegistry::nCloses, nOpened);
    }
}

} // namespace
