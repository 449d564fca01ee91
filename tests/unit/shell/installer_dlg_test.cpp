// The main dialog as the user meets it: its state at start, the Install
// button's decisions, and closing it while start-up is still at work.
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/platform_scope.h"
#include "support/wine_files.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

const char kCatalogue[] = "C:\\DriverName.cfg";

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

    using CInstallerDlg::m_arrParallelPorts;
    using CInstallerDlg::m_arrSerialPorts;
    using CInstallerDlg::m_arrUsbPorts;
    using CInstallerDlg::m_nBaudRate;
    using CInstallerDlg::m_nPortKind;
    using CInstallerDlg::m_strPort;
};

// Holds the start-up worker at its start until the test lets it go, and
// tells when it has ended.
struct WorkerGate {
    static HANDLE hRelease;
    static LPTHREAD_START_ROUTINE pfnReal;
    static LPVOID pParam;
    static std::atomic<bool> bEnded;

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
HANDLE WorkerGate::hRelease = nullptr;
LPTHREAD_START_ROUTINE WorkerGate::pfnReal = nullptr;
LPVOID WorkerGate::pParam = nullptr;
std::atomic<bool> WorkerGate::bEnded{false};

struct BoxRecorder {
    static std::string text;
    static int nCalls;
    static int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR, UINT) {
        text = lpText;
        ++nCalls;
        return IDOK;
    }
};
std::string BoxRecorder::text;
int BoxRecorder::nCalls = 0;

std::string Catalogue(int nSections) {
    std::string text;
    for (int i = 0; i < nSections; ++i)
        text += "[S" + std::to_string(i) + "]\r\nPrintName1=Model " + std::to_string(i) + "\r\n";
    return text;
}

class InstallerDlgTest : public PlatformTest {
protected:
    void SetUp() override {
        WriteTextFile(kCatalogue, Catalogue(38));
        WorkerGate::hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        api().CreateThread = WorkerGate::CreateThread;
        BoxRecorder::nCalls = 0;
        api().MessageBoxA = BoxRecorder::MessageBoxA;
    }
    void TearDown() override {
        ::SetEvent(WorkerGate::hRelease);
        ::CloseHandle(WorkerGate::hRelease);
        ::DeleteFileA(kCatalogue);
        PlatformTest::TearDown();
    }

    static void FinishStartup(const DialogRunner &runner) {
        ::SetEvent(WorkerGate::hRelease);
        ASSERT_TRUE(DialogRunner::WaitFor([&] { return runner.Enabled(1012); }));
    }
    static void SelectDriver(const DialogRunner &runner, int nEntry) {
        ::SendMessageA(runner.Item(1000), CB_SETCURSEL, nEntry, 0);
    }
    static void SelectPortKind(const DialogRunner &runner, int nRow, UINT nState) {
        LVITEMA item = {};
        item.state = nState;
        item.stateMask = LVIS_SELECTED;
        ::SendMessageA(runner.Item(1004), LVM_SETITEMSTATE, nRow, reinterpret_cast<LPARAM>(&item));
    }
    static bool RowSelected(const DialogRunner &runner, int nRow) {
        return ::SendMessageA(runner.Item(1004), LVM_GETITEMSTATE, nRow, LVIS_SELECTED) != 0;
    }
    // Presses Install and returns when the handler has run to its end; the
    // message boxes are recorded, so nothing waits for a user.
    static void PressInstall(const DialogRunner &runner) {
        ::SendMessageA(runner.Window(), WM_COMMAND, MAKEWPARAM(1012, BN_CLICKED),
                       reinterpret_cast<LPARAM>(runner.Item(1012)));
    }
};

TEST_F(InstallerDlgTest, StartsWithEmptyStatusTickedDefaultSerialRowAndInstallDisabled) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    EXPECT_EQ(runner.Text(1011), "");
    EXPECT_EQ(::SendMessageA(runner.Item(1002), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(RowSelected(runner, 0));
    EXPECT_EQ(::SendMessageA(runner.Item(1004), LVM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_FALSE(runner.Enabled(1012));
    EXPECT_TRUE(runner.Enabled(2));
    EXPECT_TRUE(runner.Enabled(1000));
    EXPECT_EQ(dlg.m_nBaudRate, 9600);
    FinishStartup(runner);
    EXPECT_EQ(runner.Text(1001), "Model 0");
}

TEST_F(InstallerDlgTest, FinishCaptionEndsTheDialog) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    ::SetWindowTextA(runner.Item(1012), "&Finish");
    runner.Click(1012);
    EXPECT_EQ(runner.Join(), IDOK);
    EXPECT_EQ(dlg.m_nReceiptCalls + dlg.m_nLabelCalls, 0);
}

TEST_F(InstallerDlgTest, AnyOtherCaptionRunsAnInstallation) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    int nExpected = 0;
    for (const char *pszCaption : {"Finish", "&finish", "&Finish ", "Reinstall"}) {
        ::SetWindowTextA(runner.Item(1012), pszCaption);
        ::EnableWindow(runner.Item(1012), TRUE);
        PressInstall(runner);
        EXPECT_EQ(dlg.m_nReceiptCalls, ++nExpected) << pszCaption;
        EXPECT_TRUE(runner.Open());
    }
}

TEST_F(InstallerDlgTest, IndexDecidesTheSequenceAndCancelIsDisabledAfterwards) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    SelectDriver(runner, 32);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nReceiptCalls, 1);
    EXPECT_EQ(dlg.m_nIndexSeen, 32);
    EXPECT_FALSE(runner.Enabled(2));

    ::EnableWindow(runner.Item(1012), TRUE);
    SelectDriver(runner, 33);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nLabelCalls, 1);
    EXPECT_EQ(dlg.m_nIndexSeen, 33);
}

TEST_F(InstallerDlgTest, IndexOutsideTheTablesRunsNoSequence) {
    WriteTextFile(kCatalogue, Catalogue(40));
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    SelectDriver(runner, 38);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nReceiptCalls + dlg.m_nLabelCalls, 0);
    EXPECT_EQ(BoxRecorder::nCalls, 1);
    EXPECT_EQ(BoxRecorder::text, "No installable driver is selected.");
    EXPECT_TRUE(runner.Enabled(1012));
    EXPECT_TRUE(runner.Enabled(2));
}

TEST_F(InstallerDlgTest, EmptyDriverListRunsNoSequence) {
    ::DeleteFileA(kCatalogue);
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nReceiptCalls + dlg.m_nLabelCalls, 0);
    EXPECT_EQ(BoxRecorder::nCalls, 1);
    EXPECT_TRUE(runner.Enabled(1012));
}

TEST_F(InstallerDlgTest, PortComesFromTheChosenKindAndAvailabilityIsSetOnEveryPress) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    dlg.m_arrSerialPorts.RemoveAll();
    dlg.m_arrUsbPorts.RemoveAll();
    dlg.m_arrUsbPorts.Add("USB003");
    dlg.m_arrUsbPorts.Add("USB004");

    SelectPortKind(runner, 0, LVIS_SELECTED);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nPortKind, 0);
    EXPECT_FALSE(g_bPortAvailable);
    EXPECT_EQ(std::string(dlg.m_strPort), "");

    SelectPortKind(runner, 1, LVIS_SELECTED);
    ::EnableWindow(runner.Item(1012), TRUE);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nPortKind, 1);
    EXPECT_TRUE(g_bPortAvailable);
    EXPECT_EQ(std::string(dlg.m_strPort), "USB003");

    // With no row selected the previous kind holds.
    SelectPortKind(runner, 1, 0);
    ::EnableWindow(runner.Item(1012), TRUE);
    PressInstall(runner);
    EXPECT_EQ(dlg.m_nPortKind, 1);
}

TEST_F(InstallerDlgTest, ClosingDuringStartupWaitsForTheWorkerAndEndsCleanly) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    runner.Close();
    ::Sleep(200);
    EXPECT_TRUE(runner.Open());
    ::SetEvent(WorkerGate::hRelease);
    EXPECT_EQ(runner.Join(), IDCANCEL);
    EXPECT_TRUE(WorkerGate::bEnded);
}

TEST_F(InstallerDlgTest, CancelDuringStartupEndsCleanly) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    runner.Click(2);
    ::SetEvent(WorkerGate::hRelease);
    EXPECT_EQ(runner.Join(), IDCANCEL);
    EXPECT_TRUE(WorkerGate::bEnded);
}

TEST_F(InstallerDlgTest, CloseBoxEndsTheDialogEvenWithCancelDisabled) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    FinishStartup(runner);
    PressInstall(runner);
    ASSERT_FALSE(runner.Enabled(2));
    runner.Close();
    EXPECT_EQ(runner.Join(), IDCANCEL);
}

} // namespace
