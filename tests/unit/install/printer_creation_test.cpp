// The port choice at the start of an installation and the printer creation
// at its end, with the spooler's printer calls recorded and failing on
// demand.
#include "install/printer_creation_fixture.h"

#include "framework/win_app.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kDriver[] = "Receipt Model A04";
const char kPrinter[] = "Front Counter";
const DWORD kPause = 500;
const int kRegisteredPosition = 20;

// Runs only the shared halves, as a sequence does around its own stages.
class PrinterCreationDlg : public InstallTestDlg {
public:
    void InstallReceiptDriver() override {
        if (!ChoosePortForKind())
            return;
        m_progress.SetPos(kRegisteredPosition);
        CString strPrinter;
        GetDlgItem(IDC_PRINTER_NAME).GetWindowText(strPrinter);
        CreatePrinterAndFinish(kDriver, strPrinter, kPause);
    }
};

struct PauseFake {
    static std::vector<DWORD> pauses;
    static void WINAPI Sleep(DWORD dwMilliseconds) {
        pauses.push_back(dwMilliseconds);
        ::Sleep(dwMilliseconds);
    }
};
std::vector<DWORD> PauseFake::pauses;

// A spooler whose port list now holds a USB port.
BOOL WINAPI PortsWithUsb(LPSTR, DWORD, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                         LPDWORD pcReturned) {
    static const char *const names[] = {"LPT1:", "USB001"};
    const DWORD cPorts = 2;
    DWORD cbNeeded = cPorts * sizeof(PORT_INFO_2A);
    for (const char *pszName : names)
        cbNeeded += static_cast<DWORD>(std::strlen(pszName) + 1);
    *pcbNeeded = cbNeeded;
    *pcReturned = 0;
    if (pPorts == nullptr || cbBuf < cbNeeded) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto *pInfo = reinterpret_cast<PORT_INFO_2A *>(pPorts);
    char *pText = reinterpret_cast<char *>(pPorts + cPorts * sizeof(PORT_INFO_2A));
    for (DWORD i = 0; i < cPorts; ++i) {
        std::strcpy(pText, names[i]);
        pInfo[i] = {};
        pInfo[i].pPortName = pText;
        pInfo[i].pDescription = pText;
        pText += std::strlen(names[i]) + 1;
    }
    *pcReturned = cPorts;
    return TRUE;
}

struct DeviceWriteFailure {
    static LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE *lpData, DWORD cbData) {
        if (lpValueName != nullptr && std::strcmp(lpValueName, "Device") == 0)
            return ERROR_ACCESS_DENIED;
        return ::RegSetValueExA(hKey, lpValueName, Reserved, dwType, lpData, cbData);
    }
};

void SetList(CStringArray &list, const std::vector<std::string> &entries) {
    list.RemoveAll();
    for (const std::string &entry : entries)
        list.Add(entry.c_str());
}

class PrinterCreationTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        PrinterFake::Install(api());
        PauseFake::pauses.clear();
        api().Sleep = PauseFake::Sleep;
    }

    // The dialog ready to install kDriver as kPrinter on the given kind.
    PrinterCreationDlg &StartFor(int nPortKind) {
        PrinterCreationDlg &dlg = Start<PrinterCreationDlg>();
        SelectModel(kDriver);
        SetPrinterName(kPrinter);
        SelectPortKind(nPortKind);
        return dlg;
    }

    bool Paused() const {
        return std::find(PauseFake::pauses.begin(), PauseFake::pauses.end(), kPause) !=
               PauseFake::pauses.end();
    }
    int AddCalls() const { return static_cast<int>(PrinterFake::added.size()); }
};

TEST_F(PrinterCreationTest, CreatesThePrinterOnTheChosenPortAndFinishes) {
    PrinterCreationDlg &dlg = StartFor(2);
    SetList(dlg.m_arrParallelPorts, {"LPT2:", "LPT3:"});
    PressInstall();

    ASSERT_EQ(AddCalls(), 1);
    const AddedPrinter &added = PrinterFake::added[0];
    EXPECT_EQ(added.dwLevel, 2u);
    EXPECT_EQ(added.printerName, kPrinter);
    EXPECT_EQ(added.portName, "LPT2:");
    EXPECT_EQ(added.driverName, kDriver);
    EXPECT_EQ(added.printProcessor, "WinPrint");
    EXPECT_EQ(added.datatype, "RAW");
    EXPECT_TRUE(added.bOtherFieldsZero);
    EXPECT_EQ(PrinterFake::calls.back(), "ClosePrinter added");

    EXPECT_EQ(Shown().statuses,
              (std::vector<std::string>{"Added the printer Front Counter",
                                        "Set the printer Front Counter to default printer",
                                        "The installation is completed."}));
    EXPECT_EQ(Shown().positions, (std::vector<int>{20, 30, 40, 100}));
    EXPECT_TRUE(Paused());
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_TRUE(InstallEnabled());
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT2:");
    EXPECT_TRUE(BoxFake::boxes.empty());
}

TEST_F(PrinterCreationTest, ExistingNamesakeIsPurgedAndDeletedBeforeTheAdd) {
    PrinterFake::namesake = kPrinter;
    StartFor(2);
    PressInstall();

    EXPECT_EQ(PrinterFake::calls,
              (std::vector<std::string>{"OpenPrinter Front Counter",
                                        "SetPrinter namesake level 0 no record command 3",
                                        "DeletePrinter namesake", "ClosePrinter namesake",
                                        "AddPrinter Front Counter", "ClosePrinter added"}));
    EXPECT_EQ(PrinterFake::openedDatatype, "RAW");
    EXPECT_TRUE(PrinterFake::bOpenedWithoutDevMode);
    EXPECT_EQ(PrinterFake::dwOpenedAccess, 0xF000Cu);
    ASSERT_FALSE(Shown().statuses.empty());
    EXPECT_EQ(Shown().statuses.front(),
              "The printer Front Counter exists,Re-adding the printer...");
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, AddPrinterFailuresShowTheirBoxAndLeaveInstallReady) {
    struct Case {
        DWORD dwError;
        const char *text;
        const char *caption;
        const char *installCaption;
    };
    const Case cases[] = {
        {1796, "There's no available useful port,please select other type of port", "Prompt",
         "Reinstall"},
        {126, "Missing system flies,please repair system", "Prompt", "Reinstall"},
        {1801, "Error AddPrinter 1801", "Error prompt", "&Install"},
    };
    StartFor(2);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    for (const Case &c : cases) {
        ::SetWindowTextA(Runner().Item(1012), "&Install");
        PrinterFake::dwAddError = c.dwError;
        BoxFake::boxes.clear();
        PauseFake::pauses.clear();
        PressInstall();

        ASSERT_EQ(BoxFake::boxes.size(), 1u) << c.dwError;
        EXPECT_EQ(BoxFake::boxes[0].text, c.text);
        EXPECT_EQ(BoxFake::boxes[0].caption, c.caption);
        EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_OK));
        EXPECT_EQ(BoxFake::boxes[0].hOwner, Window());
        EXPECT_EQ(InstallCaption(), c.installCaption);
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(Progress(), 0);
        EXPECT_FALSE(Paused());
    }
    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_FALSE(Shown().Showed("Set the printer Front Counter to default printer"));
}

TEST_F(PrinterCreationTest, PrinterNamesTheSpoolerRefusesEndInItsErrorBox) {
    StartFor(2);
    for (const char *pszName : {"", "Front,Counter", "Back\\Office", ",XcvMonitor Local Port"}) {
        SetPrinterName(pszName);
        BoxFake::boxes.clear();
        PressInstall();

        ASSERT_EQ(BoxFake::boxes.size(), 1u) << pszName;
        EXPECT_EQ(BoxFake::boxes[0].text, "Error AddPrinter 1801");
        EXPECT_EQ(BoxFake::boxes[0].caption, "Error prompt");
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(InstallCaption(), "&Install");
        EXPECT_TRUE(Runner().Open());
    }
    // Nothing reached the spooler, so no print server or port monitor was deleted.
    EXPECT_TRUE(PrinterFake::calls.empty());

    SetPrinterName(kPrinter);
    PressInstall();
    EXPECT_EQ(AddCalls(), 1);
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, DefaultPrinterUntickedLeavesTheRegistryButShowsTheStatus) {
    StartFor(2);
    SetDefaultTicked(false);
    SetDefaultPrinterDevice("Untouched,winspool,LPT9:");
    PressInstall();

    EXPECT_EQ(DefaultPrinterDevice(), "Untouched,winspool,LPT9:");
    EXPECT_TRUE(Shown().Showed("Set the printer Front Counter to default printer"));
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, FailedDefaultPrinterWriteIsReportedAndTheInstallationGoesOn) {
    api().RegSetValueExA = DeviceWriteFailure::RegSetValueExA;
    StartFor(2);
    PressInstall();

    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text, "Error\xA3\xBA"
                                      "Failed to set regist");
    EXPECT_EQ(BoxFake::boxes[0].caption, std::string(AfxGetAppTitle()));
    EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_OK));
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_EQ(Progress(), 100);
}

TEST_F(PrinterCreationTest, SerialPrinterWithoutSerialPortStartsOnTheFirstParallelPort) {
    PrinterCreationDlg &dlg = StartFor(0);
    SetList(dlg.m_arrSerialPorts, {});
    SetList(dlg.m_arrParallelPorts, {"LPT1:", "LPT2:"});
    PressInstall();

    ASSERT_EQ(AddCalls(), 1);
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_TRUE(Shown().Showed("There's no serial port,the current port isLPT1:"));
    // The default printer names the port the printer was created on.
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT1:");
    EXPECT_EQ(std::string(dlg.m_strPort), "LPT1:");
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_EQ(Progress(), 100);
    EXPECT_TRUE(Paused());
}

TEST_F(PrinterCreationTest, UsbPrinterIsHandedToDetection) {
    PrinterCreationDlg &dlg = StartFor(1);
    SetList(dlg.m_arrUsbPorts, {"USB002", "USB003"});
    PressInstall();

    ASSERT_EQ(AddCalls(), 1);
    EXPECT_EQ(PrinterFake::added[0].portName, "USB002");
    EXPECT_EQ(dlg.m_usbDetections, std::vector<std::string>{kPrinter});
    EXPECT_EQ(ServiceFake::nStops, 0);
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, UsbPrinterWithoutUsbPortStaysOnTheFallbackPortWhenNoneAppears) {
    PrinterCreationDlg &dlg = StartFor(1);
    SetList(dlg.m_arrUsbPorts, {});
    SetList(dlg.m_arrParallelPorts, {"LPT1:"});
    PressInstall();

    ASSERT_EQ(AddCalls(), 1);
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_EQ(ServiceFake::nStops, 1);
    EXPECT_EQ(ServiceFake::nStarts, 1);
    EXPECT_TRUE(dlg.m_usbDetections.empty());
    EXPECT_TRUE(Shown().Showed("There's no USB port,the current port isLPT1:"));
    EXPECT_EQ(DefaultPrinterDevice(), "Front Counter,winspool,LPT1:");
    EXPECT_EQ(InstallCaption(), "&Finish");
    EXPECT_EQ(Progress(), 100);
}

TEST_F(PrinterCreationTest, UsbPrinterWithoutUsbPortGoesToDetectionWhenOneAppears) {
    PrinterCreationDlg &dlg = StartFor(1);
    SetList(dlg.m_arrUsbPorts, {});
    SetList(dlg.m_arrParallelPorts, {"LPT1:"});
    api().EnumPortsA = PortsWithUsb;
    PressInstall();

    ASSERT_EQ(AddCalls(), 1);
    EXPECT_EQ(PrinterFake::added[0].portName, "LPT1:");
    EXPECT_EQ(dlg.m_usbDetections, std::vector<std::string>{kPrinter});
    EXPECT_TRUE(Shown().Showed("Added the printer Front Counter"));
    EXPECT_EQ(InstallCaption(), "&Finish");
}

TEST_F(PrinterCreationTest, NoParallelPortToFallBackOnAddsNoPrinter) {
    PrinterCreationDlg &dlg = StartFor(0);
    for (int nKind : {0, 1}) {
        SelectPortKind(nKind);
        SetList(dlg.m_arrSerialPorts, {});
        SetList(dlg.m_arrUsbPorts, {});
        SetList(dlg.m_arrParallelPorts, {});
        ::SetWindowTextA(Runner().Item(1012), "&Install");
        BoxFake::boxes.clear();
        PressInstall();

        EXPECT_EQ(AddCalls(), 0) << nKind;
        ASSERT_EQ(BoxFake::boxes.size(), 1u) << nKind;
        EXPECT_EQ(BoxFake::boxes[0].text,
                  "There's no available useful port,please select other type of port");
        EXPECT_EQ(BoxFake::boxes[0].caption, "Prompt");
        EXPECT_EQ(InstallCaption(), "Reinstall");
        EXPECT_TRUE(InstallEnabled());
        EXPECT_EQ(Progress(), 0);
    }
}

TEST_F(PrinterCreationTest, CancelledPortChoiceOnlyReenablesInstall) {
    PrinterCreationDlg &dlg = StartFor(2);
    dlg.m_nParallelChoice = PORTDLG_CANCELLED;
    dlg.m_nTcpipChoice = PORTDLG_CANCELLED;
    SetList(dlg.m_arrParallelPorts, {"LPT1:"});
    SetList(dlg.m_arrTcpipPorts, {"IP_10.0.0.9"});
    const std::string statusBefore = Runner().Text(1011);
    for (int nKind : {2, 3}) {
        SelectPortKind(nKind);
        PressInstall();
        EXPECT_TRUE(InstallEnabled()) << nKind;
    }
    EXPECT_EQ(dlg.m_nPortChoices, 2);
    EXPECT_TRUE(PrinterFake::calls.empty());
    EXPECT_EQ(InstallCaption(), "&Install");
    EXPECT_EQ(Runner().Text(1011), statusBefore);
    EXPECT_TRUE(Shown().positions.empty());
    EXPECT_TRUE(BoxFake::boxes.empty());
}

TEST_F(PrinterCreationTest, PortChoiceResultsPickTheirRow) {
    struct Case {
        int nKind;
        int nChoice;
        std::vector<std::string> tcpipAfterChoice;
        const char *port;
    };
    const Case cases[] = {
        {2, PORTDLG_INDEX_BASE + 1, {}, "LPT2:"},
        {3, PORTDLG_INDEX_BASE + 1, {}, "IP_10.0.0.2"},
        // A port added by the wizard is entry 0 of the refreshed list.
        {3, PORTDLG_ADDED, {"IP_10.0.0.7", "IP_10.0.0.1"}, "IP_10.0.0.7"},
    };
    PrinterCreationDlg &dlg = StartFor(2);
    for (const Case &c : cases) {
        SetList(dlg.m_arrParallelPorts, {"LPT1:", "LPT2:"});
        SetList(dlg.m_arrTcpipPorts, {"IP_10.0.0.1", "IP_10.0.0.2"});
        dlg.m_nParallelChoice = c.nChoice;
        dlg.m_nTcpipChoice = c.nChoice;
        dlg.m_tcpipPortsAfterChoice = c.tcpipAfterChoice;
        PrinterFake::added.clear();
        ::SetWindowTextA(Runner().Item(1012), "&Install");
        SelectPortKind(c.nKind);
        PressInstall();

        ASSERT_EQ(AddCalls(), 1) << c.port;
        EXPECT_EQ(PrinterFake::added[0].portName, c.port);
    }
}

TEST_F(PrinterCreationTest, ChoiceResultsThatNameNoRowAbandonTheChoice) {
    struct Case {
        int nKind;
        int nChoice;
        std::vector<std::string> ports;
    };
    const Case cases[] = {
        {2, PORTDLG_INDEX_BASE, {}},
        {2, PORTDLG_INDEX_BASE + 2, {"LPT1:", "LPT2:"}},
        {2, PORTDLG_INDEX_BASE - 1, {"LPT1:"}},
        {2, PORTDLG_ADDED, {"LPT1:"}},
        {3, PORTDLG_ADDED, {}},
        {3, PORTDLG_INDEX_BASE, {}},
    };
    PrinterCreationDlg &dlg = StartFor(2);
    for (const Case &c : cases) {
        SetList(dlg.m_arrParallelPorts, c.ports);
        SetList(dlg.m_arrTcpipPorts, c.ports);
        dlg.m_nParallelChoice = c.nChoice;
        dlg.m_nTcpipChoice = c.nChoice;
        SelectPortKind(c.nKind);
        PressInstall();
        EXPECT_TRUE(InstallEnabled()) << c.nChoice;
    }
    EXPECT_EQ(AddCalls(), 0);
    EXPECT_EQ(InstallCaption(), "&Install");
    EXPECT_TRUE(BoxFake::boxes.empty());
}

} // namespace
