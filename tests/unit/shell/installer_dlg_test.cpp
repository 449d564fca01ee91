// The main dialog as the user meets it: its state at start, the Install
// button's decisions, the port-kind row after enumeration, the boxes of
// the spooler control, and closing it while start-up is still at work.
#include "install/package_layout.h"
#include "install/spooler_service.h"
#include "res/resource.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace {

class RecordingDlg : public CInstallerDlg {
public:
    int m_nReceiptCalls = 0;
    int m_nLabelCalls = 0;
    int m_nIndexSeen = -100;

    void InstallReceiptDriver() override {
        ++m_nReceiptCalls;
        m_nIndexSeen = m_nDriverIndex;
    }
    void InstallLabelDriver() override {
        ++m_nLabelCalls;
        m_nIndexSeen = m_nDriverIndex;
    }

    using CInstallerDlg::EnumeratePorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrUsbPorts;
    using CInstallerDlg::m_nPortKind;
    using CInstallerDlg::m_strPort;
    using CInstallerDlg::StartOrRestartService;
};

// Holds the start-up worker at its start until the test lets it go, and
// tells when it has ended.
struct WorkerGate {
    static inline HANDLE hRelease = nullptr;
    static inline LPTHREAD_START_ROUTINE pfnReal = nullptr;
    static inline LPVOID pParam = nullptr;
    static inline std::atomic<bool> bEnded{false};

    static DWORD WINAPI Proc(LPVOID) {
        ::WaitForSingleObject(hRelease, INFINITE);
        const DWORD dwResult = pfnReal(pParam);
        bEnded = true;
        return dwResult;
    }
    static HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES pSec, SIZE_T nStack,
                                      LPTHREAD_START_ROUTINE pfn, LPVOID pArg, DWORD dwFlags,
                                      LPDWORD pId) {
        pfnReal = pfn;
        pParam = pArg;
        bEnded = false;
        return ::CreateThread(pSec, nStack, Proc, nullptr, dwFlags, pId);
    }
};

SC_HANDLE WINAPI NoServiceManager(LPCSTR, LPCSTR, DWORD) {
    return nullptr;
}

std::string Catalogue(int nSections) {
    std::string text;
    for (int i = 0; i < nSections; ++i)
        text += "[S" + std::to_string(i) + "]\r\nPrintName1=Model " + std::to_string(i) + "\r\n";
    return text;
}

class InstallerDlgTest : public PlatformTest {
protected:
    void SetUp() override {
        WriteCatalogue(Catalogue(38));
        WorkerGate::hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        api().CreateThread = WorkerGate::CreateThread;
        BoxFake::Install(api());
    }
    void TearDown() override {
        ::SetEvent(WorkerGate::hRelease);
        m_pRunner.reset();
        ::CloseHandle(WorkerGate::hRelease);
        ::DeleteFileA(kCatalogueFile);
        PlatformTest::TearDown();
    }

    // The dialog, its start-up held, or let go and finished.
    DialogRunner &Open(bool bFinishStartup = true) {
        m_pRunner.reset();
        m_pDlg = std::make_unique<RecordingDlg>();
        m_pRunner = std::make_unique<DialogRunner>(*m_pDlg);
        if (bFinishStartup) {
            ::SetEvent(WorkerGate::hRelease);
            EXPECT_TRUE(m_pRunner->WaitStartup());
        }
        return *m_pRunner;
    }
    // Presses Install on a dialog that may have disabled it.
    void PressInstall() const {
        ::EnableWindow(m_pRunner->Item(IDC_INSTALL), TRUE);
        m_pRunner->PressInstall();
    }

    RecordingDlg &Dlg() { return *m_pDlg; }

    std::unique_ptr<RecordingDlg> m_pDlg;
    std::unique_ptr<DialogRunner> m_pRunner;
};

TEST_F(InstallerDlgTest, StartsWithEmptyStatusTickedDefaultSerialRowAndInstallDisabled) {
    DialogRunner &runner = Open(false);
    EXPECT_EQ(runner.Text(IDC_STATUS), "");
    EXPECT_EQ(::SendMessageA(runner.Item(IDC_SET_DEFAULT), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(runner.SelectedPortKind(), 0);
    EXPECT_EQ(::SendMessageA(runner.Item(IDC_PORT_KIND_LIST), LVM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_FALSE(runner.Enabled(IDC_INSTALL));
    EXPECT_TRUE(runner.Enabled(IDCANCEL));
    EXPECT_TRUE(runner.Enabled(IDC_DRIVER_LIST));
    ::SetEvent(WorkerGate::hRelease);
    ASSERT_TRUE(runner.WaitStartup());
    EXPECT_EQ(runner.Text(IDC_PRINTER_NAME), "Model 0");
}

// Only the exact caption "&Finish" ends the dialog; any other runs an installation.
TEST_F(InstallerDlgTest, FinishCaptionEndsTheDialogAndAnyOtherRunsAnInstallation) {
    DialogRunner &runner = Open();
    int nExpected = 0;
    for (const char *pszCaption : {"Finish", "&finish", "&Finish ", "Reinstall"}) {
        runner.SetText(IDC_INSTALL, pszCaption);
        PressInstall();
        EXPECT_EQ(Dlg().m_nReceiptCalls, ++nExpected) << pszCaption;
        EXPECT_TRUE(runner.Open());
    }
    runner.SetText(IDC_INSTALL, kFinishCaption);
    runner.Click(IDC_INSTALL);
    EXPECT_EQ(runner.Join(), IDOK);
    EXPECT_EQ(Dlg().m_nReceiptCalls, nExpected);
}

TEST_F(InstallerDlgTest, IndexDecidesTheSequenceAndCancelIsDisabledAfterwards) {
    DialogRunner &runner = Open();
    runner.SelectDriver(32);
    PressInstall();
    EXPECT_EQ(Dlg().m_nReceiptCalls, 1);
    EXPECT_EQ(Dlg().m_nIndexSeen, 32);
    EXPECT_FALSE(runner.Enabled(IDCANCEL));

    runner.SelectDriver(33);
    PressInstall();
    EXPECT_EQ(Dlg().m_nLabelCalls, 1);
    EXPECT_EQ(Dlg().m_nIndexSeen, 33);
}

// Past the driver tables, or with an empty list, no sequence runs.
TEST_F(InstallerDlgTest, IndexOutsideTheTablesRunsNoSequence) {
    for (int nSections : {40, 0}) {
        SCOPED_TRACE(nSections);
        WriteCatalogue(Catalogue(nSections));
        DialogRunner &runner = Open();
        runner.SelectDriver(nSections > 0 ? 38 : 0);
        BoxFake::boxes.clear();
        PressInstall();
        EXPECT_EQ(Dlg().m_nReceiptCalls + Dlg().m_nLabelCalls, 0);
        EXPECT_EQ(BoxFake::Texts(), std::vector<std::string>{"No installable driver is selected."});
        EXPECT_TRUE(runner.Enabled(IDC_INSTALL));
        EXPECT_TRUE(runner.Enabled(IDCANCEL));
        runner.Close();
        runner.Join();
    }
}

TEST_F(InstallerDlgTest, PortComesFromTheChosenKindAndAvailabilityIsSetOnEveryPress) {
    DialogRunner &runner = Open();
    Dlg().m_arrSerialPorts.RemoveAll();
    Dlg().m_arrUsbPorts.RemoveAll();
    Dlg().m_arrUsbPorts.Add("USB003");
    Dlg().m_arrUsbPorts.Add("USB004");

    runner.SelectPortKind(0);
    PressInstall();
    EXPECT_EQ(Dlg().m_nPortKind, 0);
    EXPECT_FALSE(g_bPortAvailable);
    EXPECT_EQ(std::string(Dlg().m_strPort), "");

    runner.SelectPortKind(1);
    PressInstall();
    EXPECT_EQ(Dlg().m_nPortKind, 1);
    EXPECT_TRUE(g_bPortAvailable);
    EXPECT_EQ(std::string(Dlg().m_strPort), "USB003");

    // With no row selected the previous kind holds.
    runner.SelectPortKind(1, false);
    PressInstall();
    EXPECT_EQ(Dlg().m_nPortKind, 1);
}

// Wine's own spooler lists COM1: to COM4:, FILE: and LPT1: to LPT3:.
TEST_F(InstallerDlgTest, EnumerationSelectsItsRowInPlaceOfTheUsersAndKeepsTheListStyle) {
    DialogRunner &runner = Open();
    const HWND hList = runner.Item(IDC_PORT_KIND_LIST);
    runner.SelectPortKind(0, false);
    runner.SelectPortKind(3);
    LVITEMA item = {};
    item.state = item.stateMask = LVIS_FOCUSED;
    ::SendMessageA(hList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ::SendMessageA(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_TRACKSELECT | LVS_EX_LABELTIP);

    Dlg().EnumeratePorts();
    // Lists of a second enumeration replace those of the first.
    EXPECT_EQ(Dlg().m_arrSerialPorts.GetSize(), 1);
    EXPECT_EQ(runner.SelectedPortKind(), 0);
    EXPECT_EQ(::SendMessageA(hList, LVM_GETITEMSTATE, 0, LVIS_FOCUSED), 0);
    EXPECT_EQ(::SendMessageA(hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_LABELTIP | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

// The application's box, captioned with the program's name.
TEST_F(InstallerDlgTest, UnknownServiceStatusIsReportedInTheApplicationsBox) {
    api().OpenSCManagerA = NoServiceManager;
    RecordingDlg().StartOrRestartService("Spooler", SVC_RESTART);
    ASSERT_EQ(BoxFake::boxes.size(), 1u);
    EXPECT_EQ(BoxFake::boxes[0].text, "Service status is unknown");
    EXPECT_EQ(BoxFake::boxes[0].caption, "installer_dlg_test");
    EXPECT_EQ(BoxFake::boxes[0].uType, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(InstallerDlgTest, ClosingOrCancellingDuringStartupWaitsForTheWorkerAndEndsCleanly) {
    for (bool bCloseBox : {true, false}) {
        SCOPED_TRACE(bCloseBox ? "close box" : "Cancel");
        ::ResetEvent(WorkerGate::hRelease);
        DialogRunner &runner = Open(false);
        if (bCloseBox)
            runner.Close();
        else
            runner.Click(IDCANCEL);
        ::Sleep(200);
        EXPECT_TRUE(runner.Open());
        ::SetEvent(WorkerGate::hRelease);
        EXPECT_EQ(runner.Join(), IDCANCEL);
        EXPECT_TRUE(WorkerGate::bEnded);
    }
}

TEST_F(InstallerDlgTest, CloseBoxEndsTheDialogEvenWithCancelDisabled) {
    DialogRunner &runner = Open();
    PressInstall();
    ASSERT_FALSE(runner.Enabled(IDCANCEL));
    runner.Close();
    EXPECT_EQ(runner.Join(), IDCANCEL);
}

} // namespace
