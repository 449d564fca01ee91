// The main dialog as the user meets it: start-up naming the system, the
// Install button's decisions, and closing it while start-up is still at work.
#include "res/resource.h"
#include "shell/installer_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"
#include "support/system_width.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each installation asked for: its catalogue index, port kind, and port.
class RecordingDlg : public CInstallerDlg {
public:
    std::string m_strRuns;
    InstallOutcome Install(const InstallRequest &request) override {
        m_strRuns += std::to_string(request.nModelIndex) + " " + std::to_string(request.kind) +
                     " " + (request.bPortAvailable ? std::string(request.strPort) : "none") + ", ";
        return InstallOutcome::kReady;
    }
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
    // The package beside the test program unpacks into a catalogue of 40 models.
    void SetUp() override {
        ArchiveFake::catalogue.clear();
        for (int i = 0; i < 40; ++i)
            ArchiveFake::catalogue +=
                "[S" + std::to_string(i) + "]\r\nPrintName1=Model " + std::to_string(i) + "\r\n";
        api().GetProcAddress = ArchiveFake::GetProcAddress;
        ::ResetEvent(HeldServiceManager::hRelease);
        api().OpenSCManagerA = HeldServiceManager::Open;
        api().EnumPortsA = PortsFake::EnumPortsA;
        PortsFake::ports = {{"USB003", ""}};
        BoxFake::Install(api());
    }
};

// Start-up names the system and the first model; Install then takes the
// first port of the kind the enumeration preselected or the user chose, and
// runs nothing for no entry or one past the driver tables.
TEST_F(InstallerDlgTest, StartUpNamesTheSystemAndInstallRunsOnlyForAModelOfTheTables) {
    ::SetEvent(HeldServiceManager::hRelease);
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    ASSERT_TRUE(WaitFor([&] { return runner.Enabled(IDC_INSTALL); }));
    EXPECT_EQ(runner.Text(IDC_STATUS) + "; " + runner.Text(IDC_PRINTER_NAME),
              "Current System is Microsoft Windows 7  " + BitWidthText() + "; Model 0");
    // Driver entry, and the port kind row chosen or -1.
    const int presses[][2] = {{38, -1}, {-1, -1}, {32, -1}, {33, 3}};
    for (const auto &press : presses) {
        runner.SelectEntry(IDC_DRIVER_LIST, press[0]);
        if (press[1] >= 0)
            runner.SelectRow(runner.Item(IDC_PORT_KIND_LIST), press[1]);
        runner.Press(IDC_INSTALL);
    }
    EXPECT_EQ(dlg.m_strRuns, "32 1 USB003, 33 3 none, ");
    EXPECT_EQ(Joined(BoxFake::Texts()), "Service status is unknown; No installable driver is "
                                        "selected.; No installable driver is selected.");
}

// A close while start-up is at work waits for the worker's step.
TEST_F(InstallerDlgTest, ClosingDuringStartupWaitsForTheWorkerAndEndsCleanly) {
    RecordingDlg dlg;
    DialogRunner runner(dlg);
    runner.Close();
    ::Sleep(200);
    EXPECT_TRUE(runner.Open());
    ::SetEvent(HeldServiceManager::hRelease);
    EXPECT_EQ(runner.Join(), IDCANCEL);
}

} // namespace
