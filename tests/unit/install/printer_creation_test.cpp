// The port choice at the start of an installation and the printer creation
// at its end, with the spooler's printer calls recorded and failing on
// demand.
#include "install/install_fixture.h"

#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kDriver[] = "Receipt Model A04";
const char kPrinter[] = "Front Counter";
const DWORD kPause = 500;
const char kAddedStatus[] = "Added the printer Front Counter";
const char kDefaultStatus[] = "Set the printer Front Counter to default printer";
const char kNoUsefulPort[] = "There's no available useful port,please select other type of port";

// Runs only the shared halves, as a sequence does around its own stages.
class PrinterCreationDlg : public InstallTestDlg {
public:
    void InstallReceiptDriver() override {
        if (!ChoosePortForKind())
            return;
        SetProgress(20);
        CString strPrinter;
        GetDlgItem(IDC_PRINTER_NAME).GetWindowText(strPrinter);
        CreatePrinterAndFinish(kDriver, strPrinter, kPause);
    }
};

std::vector<DWORD> g_pauses;
void WINAPI RecordPause(DWORD dwMilliseconds) {
    g_pauses.push_back(dwMilliseconds);
}

LSTATUS WINAPI DeviceWriteFails(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                const BYTE *lpData, DWORD cbData) {
    if (lpValueName != nullptr && std::strcmp(lpValueName, "Device") == 0)
        return ERROR_ACCESS_DENIED;
    return ::RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
}

class PrinterCreationTest : public InstallTest {
protected:
    // The dialog ready to install kDriver as kPrinter on the given kind.
    PrinterCreationDlg &StartOn(int nPortKind) {
        PrinterCreationDlg &dlg = StartFor<PrinterCreationDlg>(kDriver, kPrinter, nPortKind);
        g_pauses.clear();
        api().Sleep = RecordPause;
        return dlg;
    }
    static bool Paused() {
        return std::find(g_pauses.begin(), g_pauses.end(), kPause) != g_pauses.end();
    }
};

// An existing namesake is purged and deleted before the add.
TEST_F(PrinterCreationTest, ReplacesTheNamesakeOnTheChosenPortAndFinishes) {
    PrinterFake::namesake = kPrinter;
    PrinterCreationDlg &dlg = StartOn(2);
    SetList(dlg.m_arrParallelPorts, {"LPT2:", "LPT3:"});
    PressInstall();

    EXPECT_EQ(PrinterFake::calls,
              (Texts{"OpenPrinter Front Counter RAW access 0xF000C",
                     "SetPrinter namesake level 0 command 3", "DeletePrinter namesake",
                     "ClosePrinter namesake", "AddPrinter Front Counter", "ClosePrinter added"}));
    ASSERT_EQ(PrinterFake::added.size(), 1u);
    const AddedPrinter &added = PrinterFake::added[0];
    EXPECT_EQ(added.printerName, kPrinter);
    EXPECT_EQ(added.portName, "LPT2:");
    EXPECT_EQ(added.driverName, kDriver);
    EXPECT_EQ(added.printProcessor, "WinPrint");
    EXPECT_EQ(added.datatype, "RAW");
    EXPECT_TRUE(added.bOtherFieldsZero);
    EXPECT_EQ(Shown().statuses,
              (Texts{"The printer Front Counter exists,Re-adding the printer...", kAddedStatus,
                     kDefaultStatus, "The installation is completed."}));
    EXPECT_EQ(Shown().positions, (std::vector<int>{20, 30, 40, 100}));
    EXPECT_TRUE(Paused());
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT2:");
    EXPECT_TRUE(BoxFake::boxes.empty());
}

TEST_F(PrinterCreationTest, FailedCreationShowsItsBoxAndLeavesInstallReady) {
    struct Case {
        const char *pszName;
        int nKind;
        DWORD dwError;
        const char *pszText, *pszCaption, *pszInstallCaption;
        size_t cSpoolerCalls;
    };
    const char kRefused[] = "Error AddPrinter 1801";
    const Case cases[] = {
        {kPrinter, 2, 1796, kNoUsefulPort, "Prompt", "Reinstall", 2},
        {kPrinter, 2, 126, "Missing system flies,please repair system", "Prompt", "Reinstall", 2},
        {kPrinter, 2, 1801, kRefused, "Error prompt", "&Install", 2},
        // Names the spooler refuses never reach it, so no print server or
        // port monitor is purged and deleted as a namesake.
        {"", 2, 0, kRefused, "Error prompt", "&Install", 0},
        {"Front,Counter", 2, 0, kRefused, "Error prompt", "&Install", 0},
        {"Back\\Office", 2, 0, kRefused, "Error prompt", "&Install", 0},
        {",XcvMonitor Local Port", 2, 0, kRefused, "Error prompt", "&Install", 0},
        // No parallel port to fall back on: no printer on an invented port.
        {kPrinter, 0, 0, kNoUsefulPort, "Prompt", "Reinstall", 1},
        {kPrinter, 1, 0, kNoUsefulPort, "Prompt", "Reinstall", 1},
    };
    PrinterCreationDlg &dlg = StartOn(2);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pszName << " " << c.nKind << " " << c.dwError);
        Runner().SetText(IDC_PRINTER_NAME, c.pszName);
        Runner().SelectPortKind(c.nKind);
        SetList(dlg.m_arrSerialPorts, {});
        SetList(dlg.m_arrUsbPorts, {});
        SetList(dlg.m_arrParallelPorts, c.nKind == 2 ? Texts{"LPT1:"} : Texts{});
        PrinterFake::dwAddError = c.dwError;
        PrinterFake::calls.clear();
        BoxFake::boxes.clear();
        g_pauses.clear();
        PressInstall();

        ASSERT_EQ(BoxFake::boxes.size(), 1u);
        EXPECT_EQ(BoxFake::boxes[0].text, c.pszText);
        EXPECT_EQ(BoxFake::boxes[0].caption, c.pszCaption);
        EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_OK));
        EXPECT_EQ(BoxFake::boxes[0].hOwner, Runner().Window());
        EXPECT_EQ(PrinterFake::calls.size(), c.cSpoolerCalls);
        EXPECT_EQ(InstallCaption(), c.pszInstallCaption);
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(Runner().Progress(), 0);
        EXPECT_FALSE(Paused());
        EXPECT_TRUE(Runner().Open());
    }
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_FALSE(Shown().Showed(kDefaultStatus));
}

TEST_F(PrinterCreationTest, DefaultPrinterUntickedLeavesTheRegistryButShowsTheStatus) {
    StartOn(2);
    ::SendMessageA(Runner().Item(IDC_SET_DEFAULT), BM_SETCHECK, BST_UNCHECKED, 0);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    PressInstall();

    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_TRUE(Shown().Showed(kDefaultStatus));
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, FailedDefaultPrinterWriteIsReportedAndTheInstallationGoesOn) {
    api().RegSetValueExA = DeviceWriteFails;
    StartOn(2);
    PressInstall();

    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text, "Error\xA3\xBA"
                                      "Failed to set regist");
    EXPECT_EQ(BoxFake::boxes[0].caption, std::string(AfxGetAppTitle()));
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_EQ(Runner().Progress(), 100);
}

// Without a port of their kind serial and USB printers start on the first
// parallel port, and the default printer names that port. After the
// spooler's restart a USB printer goes to detection if a USB port came.
TEST_F(PrinterCreationTest, PrinterStartsOnTheFallbackPortOnlyWithoutAPortOfItsKind) {
    struct Case {
        const char *pszWhat;
        int nKind;
        Texts kindPorts;
        bool bUsbAfterRestart;
        const char *pszPort, *pszStatus;
        int nRestarts;
        Texts detections;
    };
    const Case cases[] = {
        {"serial, none", 0, Texts{}, false,
         "LPT1:", "There's no serial port,the current port isLPT1:", 0, Texts{}},
        {"usb port", 1, Texts{"USB002", "USB003"}, false, "USB002", kAddedStatus, 0,
         Texts{kPrinter}},
        {"usb, none before or after the restart", 1, Texts{}, false,
         "LPT1:", "There's no USB port,the current port isLPT1:", 1, Texts{}},
        {"usb, one after the restart", 1, Texts{}, true, "LPT1:", kAddedStatus, 1, Texts{kPrinter}},
    };
    PrinterCreationDlg &dlg = StartOn(1);
    // The spooler's ports after its restart: none, or one USB port.
    api().EnumPortsA = PortsFake::EnumPortsA;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pszWhat);
        SetList(c.nKind == 0 ? dlg.m_arrSerialPorts : dlg.m_arrUsbPorts, c.kindPorts);
        SetList(dlg.m_arrParallelPorts, {"LPT1:", "LPT2:"});
        Runner().SelectPortKind(c.nKind);
        PortsFake::ports = c.bUsbAfterRestart ? Ports{{"USB001", ""}} : Ports{};
        dlg.m_usbDetections.clear();
        PrinterFake::added.clear();
        ServiceFake::requests.clear();
        PressInstall();

        ASSERT_EQ(PrinterFake::added.size(), 1u);
        EXPECT_EQ(PrinterFake::added[0].portName, c.pszPort);
        EXPECT_EQ(std::string(dlg.m_strPort), c.pszPort);
        EXPECT_EQ(DefaultPrinterDevice(), std::string("Front Counter,winspool,") + c.pszPort);
        EXPECT_TRUE(Shown().Showed(c.pszStatus));
        EXPECT_EQ(ServiceFake::requests, (c.nRestarts ? Texts{"stop", "start"} : Texts{}));
        EXPECT_EQ(dlg.m_usbDetections, c.detections);
        EXPECT_EQ(InstallCaption(), "&Finish");
        EXPECT_EQ(Runner().Progress(), 100);
    }
}

// A choice picks its row of the list; a cancelled one, or one that names no
// row, only re-enables Install.
TEST_F(PrinterCreationTest, PortChoiceResultsPickTheirRowOrAbandonTheInstallation) {
    struct Case {
        int nKind;
        PortChoice choice;
        Texts ports, tcpipAfterChoice;
        const char *pszPort;
    };
    const Texts two = {"P1", "P2"};
    const PortChoice kCancelled = {PortChoice::kCancelled, 0};
    const PortChoice kAdded = {PortChoice::kAdded, 0};
    const Case cases[] = {
        {2, {PortChoice::kRow, 1}, two, Texts{}, "P2"},
        {3, {PortChoice::kRow, 1}, two, Texts{}, "P2"},
        // A port added by the wizard is entry 0 of the refreshed list.
        {3, kAdded, two, Texts{"IP_10.0.0.7", "P1"}, "IP_10.0.0.7"},
        {2, kCancelled, two, Texts{}, nullptr},
        {3, kCancelled, two, Texts{}, nullptr},
        {2, {PortChoice::kRow, 0}, Texts{}, Texts{}, nullptr},
        {2, {PortChoice::kRow, 2}, two, Texts{}, nullptr},
        {2, {PortChoice::kRow, -1}, two, Texts{}, nullptr},
        {2, kAdded, two, Texts{}, nullptr},
        {3, kAdded, Texts{}, Texts{}, nullptr},
        {3, {PortChoice::kRow, 0}, Texts{}, Texts{}, nullptr},
    };
    PrinterCreationDlg &dlg = StartOn(2);
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.nKind << " choice " << c.choice.outcome
                                          << " row " << c.choice.nRow);
        SetList(dlg.m_arrParallelPorts, c.ports);
        SetList(dlg.m_arrTcpipPorts, c.ports);
        dlg.m_parallelChoice = dlg.m_tcpipChoice = c.choice;
        dlg.m_tcpipPortsAfterChoice = c.tcpipAfterChoice;
        Runner().SelectPortKind(c.nKind);
        PrinterFake::calls.clear();
        PrinterFake::added.clear();
        const std::string statusBefore = Runner().Text(IDC_STATUS);
        PressInstall();

        EXPECT_TRUE(InstallEnabled());
        if (c.pszPort != nullptr) {
            ASSERT_EQ(PrinterFake::added.size(), 1u);
            EXPECT_EQ(PrinterFake::added[0].portName, c.pszPort);
            continue;
        }
        EXPECT_TRUE(PrinterFake::calls.empty());
        EXPECT_EQ(InstallCaption(), "&Install");
        EXPECT_EQ(Runner().Text(IDC_STATUS), statusBefore);
        EXPECT_TRUE(Shown().positions.empty());
        EXPECT_TRUE(BoxFake::boxes.empty());
    }
}

} // namespace
