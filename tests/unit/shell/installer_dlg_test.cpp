// The main dialog as the user meets it: its state before and after start-up,
// the Install button's decisions, the port-kind row after enumeration, and
// closing it while start-up is still at work.
#include "install/package_layout.h"
#include "res/resource.h"
#include "res/texts.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

class RecordingDlg : public CInstallerDlg {
public:
    // Each installation asked for: its catalogue index, port kind and port,
    // and whether there is one.
    std::string m_strRuns;
    InstallOutcome Install(const InstallRequest &request) override {
        m_strRuns += std::to_string(request.nModelIndex) + " " + std::to_string(request.kind) +
                     " " + std::string(request.strPort) +
                     (request.bPortAvailable ? " available, " : " none, ");
        return InstallOutcome::kReady;
    }
    using CInstallerDlg::EnumeratePorts;
    using CInstallerDlg::m_ports;
};

// Start-up's first step, the spooler check, waits until the test lets it go
// and then finds no service manager.
struct HeldServiceManager {
    static inline const HANDLE hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static SC_HANDLE WINAPI Open(LPCSTR, LPCSTR, DWORD) {
        ::WaitForSingleObject(hRelease, INFINITE);
        return nullptr;
    }
};

class InstallerDlgTest : public PlatformTest {
protected:
    void SetUp() override {
        // The package beside the test program unpacks into this catalogue.
        char szFolder[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, szFolder, MAX_PATH);
        *std::strrchr(szFolder, '\\') = '\0';
        ::SetCurrentDirectoryA(szFolder);
        ArchiveFake::catalogue.clear();
        for (int i = 0; i < 40; ++i)
            ArchiveFake::catalogue +=
                "[S" + std::to_string(i) + "]\r\nPrintName1=Model " + std::to_string(i) + "\r\n";
        api().GetProcAddress = ArchiveFake::GetProcAddress;
        ::ResetEvent(HeldServiceManager::hRelease);
        api().OpenSCManagerA = HeldServiceManager::Open;
        BoxFake::Install(api());
    }
    void TearDown() override {
        ::SetEvent(HeldServiceManager::hRelease);
        m_pRunner.reset();
        ArchiveFake::catalogue.clear();
        PlatformTest::TearDown();
    }
    DialogRunner &Open(bool bStarted = true) {
        m_pRunner = std::make_unique<DialogRunner>(m_dlg);
        if (bStarted) {
            ::SetEvent(HeldServiceManager::hRelease);
            EXPECT_TRUE(m_pRunner->WaitStartup());
            BoxFake::boxes.clear();
        }
        return *m_pRunner;
    }
    // Presses Install on a dialog that may have disabled it.
    void Press(int nEntry, const char *pszCaption) const {
        m_pRunner->SelectEntry(IDC_DRIVER_LIST, nEntry);
        m_pRunner->SetText(IDC_INSTALL, pszCaption);
        ::EnableWindow(m_pRunner->Item(IDC_INSTALL), TRUE);
        m_pRunner->Press(IDC_INSTALL);
    }

    RecordingDlg m_dlg;
    std::unique_ptr<DialogRunner> m_pRunner;
};

// Install stays disabled until the last step has named the system; the
// close box ends the dialog although an installation disabled Cancel.
TEST_F(InstallerDlgTest, StartUpRunsItsStepsInOrderAndThenEnablesInstall) {
    DialogRunner &runner = Open(false);
    EXPECT_EQ(::SendMessageA(runner.Item(IDC_SET_DEFAULT), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(WindowDriver::SelectedRow(runner.PortKinds()), 0);
    EXPECT_EQ(::SendMessageA(runner.Item(IDC_PORT_KIND_LIST), LVM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_EQ(runner.Text(IDC_STATUS), "");
    EXPECT_TRUE(!runner.Enabled(IDC_INSTALL) && runner.Enabled(IDCANCEL) &&
                runner.Enabled(IDC_DRIVER_LIST));
    ::SetEvent(HeldServiceManager::hRelease);
    ASSERT_TRUE(runner.WaitStartup());
    EXPECT_EQ(runner.Text(IDC_STATUS), "Current System is Microsoft Windows 7  " + BitWidthText());
    EXPECT_EQ(runner.Text(IDC_PRINTER_NAME), "Model 0");
    // The application's box, captioned with the program's name.
    ASSERT_EQ(BoxFake::Texts(), std::vector<std::string>{"Service status is unknown"});
    EXPECT_EQ(BoxFake::boxes[0].caption + " " + std::to_string(BoxFake::boxes[0].uType),
              "installer_dlg_test " + std::to_string(MB_OK | MB_ICONINFORMATION));
    Press(32, "&Install");
    EXPECT_FALSE(runner.Enabled(IDCANCEL));
    runner.Close();
    EXPECT_EQ(runner.Join(), IDCANCEL);
}

// The enumeration's row replaces the user's; each press takes the first port
// of the selected kind, or keeps the kind when no row is selected. Past the
// driver tables, or with no entry selected, no sequence runs. Only the exact
// caption "&Finish" ends the dialog.
TEST_F(InstallerDlgTest, InstallTakesTheKindsFirstPortAndTheIndexsSequenceUntilFinish) {
    api().EnumPortsA = PortsFake::EnumPortsA;
    PortsFake::ports = {{"USB003", ""}, {"USB004", ""}};
    DialogRunner &runner = Open();
    const HWND hList = runner.Item(IDC_PORT_KIND_LIST);
    runner.SelectRow(runner.PortKinds(), 3);
    LVITEMA item = {};
    item.state = item.stateMask = LVIS_FOCUSED;
    ::SendMessageA(hList, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
    ::SendMessageA(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_TRACKSELECT | LVS_EX_LABELTIP);
    m_dlg.EnumeratePorts();
    EXPECT_EQ(m_dlg.m_ports.arrUsb.GetSize(), 2);
    EXPECT_EQ(WindowDriver::SelectedRow(runner.PortKinds()), 1);
    EXPECT_EQ(::SendMessageA(hList, LVM_GETITEMSTATE, 1, LVIS_FOCUSED), 0);
    EXPECT_EQ(::SendMessageA(hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0),
              LVS_EX_LABELTIP | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    Press(38, "Finish");
    Press(-1, "&finish");
    EXPECT_EQ(BoxFake::Texts(), std::vector<std::string>(2, "No installable driver is selected."));
    EXPECT_TRUE(runner.Enabled(IDC_INSTALL) && runner.Enabled(IDCANCEL));
    Press(32, "&Finish ");
    runner.SelectRow(runner.PortKinds(), 3);
    Press(33, "Reinstall");
    runner.SelectRow(runner.PortKinds(), 3, false);
    Press(31, "&Install");
    runner.SetText(IDC_INSTALL, kFinishCaption);
    runner.Click(IDC_INSTALL);
    EXPECT_EQ(runner.Join(), IDOK);
    EXPECT_EQ(m_dlg.m_strRuns, "32 1 USB003 available, 33 3 USB003 none, 31 3 USB003 none, ");
}

TEST_F(InstallerDlgTest, ClosingOrCancellingDuringStartupWaitsForTheWorkerAndEndsCleanly) {
    for (bool bCloseBox : {true, false}) {
        ::ResetEvent(HeldServiceManager::hRelease);
        RecordingDlg dlg;
        DialogRunner runner(dlg);
        bCloseBox ? runner.Close() : runner.Click(IDCANCEL);
        ::Sleep(200);
        EXPECT_TRUE(runner.Open()) << bCloseBox;
        ::SetEvent(HeldServiceManager::hRelease);
        EXPECT_EQ(runner.Join(), IDCANCEL) << bCloseBox;
    }
}

} // namespace
