// The parallel and TCP/IP port dialogs on the spooler's ports, worked as a
// user works them.
#include "ports/parallel_port_dlg.h"
#include "ports/tcpip_port_dlg.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

const char kTcpip[] = "Standard TCP/IP Port";
const char kTcpipCp936[] = "\xB1\xEA\xD7\xBC TCP/IP \xB6\xCB\xBF\xDA";

// The rows, then the selected one.
std::string Rows(const DialogRunner &runner) {
    const HWND hList = runner.Item(IDC_PORT_LIST);
    return Joined(runner.ListRows(hList)) + "; selected " +
           std::to_string(WindowDriver::SelectedRow(hList));
}

// Selects one row, or no row for -1.
void Select(const DialogRunner &runner, int nRow) {
    runner.SelectRow(runner.Item(IDC_PORT_LIST), -1, false);
    if (nRow >= 0)
        runner.SelectRow(runner.Item(IDC_PORT_LIST), nRow);
}

class PortDialogsTest : public PlatformTest {
protected:
    void SetUp() override {
        BoxFake::Install(api());
        PortMonitorFake::Install(api());
    }
};

// The rows are the parallel port list, so an LPT port with a TCP/IP
// description is not among them; no row chosen, OK does nothing.
TEST_F(PortDialogsTest, ParallelDialogEndsWithTheChosenRow) {
    PortsFake::ports = {{"COM1:", "Local Port"},
                        {"LPT1:", "Local Port"},
                        {"FILE:", "Local Port"},
                        {"LPT2:", "Printer Port"},
                        {"LPT3:", kTcpip}};
    CParallelPortDlg dlg(nullptr);
    DialogRunner runner(dlg);
    EXPECT_EQ(Rows(runner), "LPT1:|Local Port; LPT2:|Printer Port; selected 0");
    EXPECT_EQ(runner.ListColumns(runner.Item(IDC_PORT_LIST)), "Port 125|Description 300");
    Select(runner, -1);
    runner.Press(IDC_PORT_OK);
    EXPECT_TRUE(runner.Open());
    Select(runner, 1);
    runner.Press(IDC_PORT_OK);
    EXPECT_EQ(runner.Join(), PORTDLG_INDEX_BASE + 1);
    EXPECT_EQ(std::string(dlg.m_strChosenPort), "LPT2:");
}

// Both descriptions are listed and nothing else; the port the wizard adds is
// selected wherever the monitor's name order puts it.
TEST_F(PortDialogsTest, TcpipDialogListsItsPortsAndSelectsTheOneAdded) {
    PortsFake::ports = {{"IP_10.0.0.9", kTcpip},
                        {"LPT1:", "Local Port"},
                        {"IP_cn", kTcpipCp936},
                        {"IP_lower", "standard tcp/ip port"}};
    CTcpipPortDlg dlg(nullptr);
    DialogRunner runner(dlg);
    EXPECT_EQ(Rows(runner), "IP_10.0.0.9|Standard TCP/IP Port; IP_cn|" + std::string(kTcpipCp936) +
                                "; selected 0");
    runner.Press(IDC_ADD_PORT);
    PortMonitorFake::nextPort = "IP_10.0.0.95";
    Select(runner, 0);
    runner.Press(IDC_ADD_PORT);
    EXPECT_EQ(Rows(runner), "IP_10.0.0.9|Standard TCP/IP Port; IP_10.0.0.95|Standard TCP/IP "
                            "Port; IP_cn|" +
                                std::string(kTcpipCp936) + "; selected 1");
    EXPECT_EQ(PortMonitorFake::calls, std::vector<std::string>(2, "AddPort Standard TCP/IP Port"));
    EXPECT_EQ(PortMonitorFake::owners, std::vector<HWND>(2, runner.Window()));
    runner.Press(IDOK);
    EXPECT_EQ(runner.Join(), PORTDLG_INDEX_BASE + 1);
    EXPECT_EQ(std::string(dlg.m_strChosenPort), "IP_10.0.0.95");
    EXPECT_TRUE(BoxFake::boxes.empty());
}

// Configure and delete get the whole name, though ports bear its first 127
// and 255 characters, and report only the failures they name; without a
// selected row they do nothing, but Delete still refills the list.
TEST_F(PortDialogsTest, ConfigureAndDeleteWorkOnTheWholeName) {
    const std::string longName = "IP_" + std::string(297, '7');
    PortsFake::ports = {
        {longName.substr(0, 127), kTcpip}, {longName, kTcpip}, {longName.substr(0, 255), kTcpip}};
    CTcpipPortDlg dlg(nullptr);
    DialogRunner runner(dlg);
    Select(runner, 1);
    for (const DWORD dwError : {0u, 50u, 57u, 1223u, 5u}) {
        PortMonitorFake::dwConfigureError = dwError;
        runner.Press(IDC_CONFIGURE_PORT);
    }
    PortMonitorFake::dwDeleteError = ERROR_NOT_SUPPORTED;
    runner.Press(IDC_DELETE_PORT);
    PortMonitorFake::dwDeleteError = 0;
    Select(runner, 1);
    runner.Press(IDC_DELETE_PORT);
    std::string boxes;
    for (const BoxFake::Box &box : BoxFake::boxes)
        boxes += box.caption + ": " + box.text + "; ";
    EXPECT_EQ(boxes, "Configure Port: Failed to configure printer port.\r\nThe request is not "
                     "supported.; Configure Por: Failed to configure printer port.\r\nA hardware "
                     "error occurred. ; Delete Port: Failed to delete port.The request is not "
                     "supported.; ");
    std::vector<std::string> calls(5, "ConfigurePort " + longName);
    calls.insert(calls.end(), 2, "DeletePort " + longName);
    EXPECT_EQ(PortMonitorFake::calls, calls);
    EXPECT_EQ(PortsFake::ports,
              (Ports{{longName.substr(0, 127), kTcpip}, {longName.substr(0, 255), kTcpip}}));

    Select(runner, -1);
    runner.Press(IDC_CONFIGURE_PORT);
    PortsFake::ports.pop_back();
    runner.Press(IDC_DELETE_PORT);
    EXPECT_EQ(PortMonitorFake::calls.size(), 7u);
    EXPECT_EQ(Rows(runner), longName.substr(0, 127) + "|Standard TCP/IP Port; selected 0");
    runner.Close();
    EXPECT_EQ(runner.Join(), PORTDLG_CANCELLED);
}

} // namespace
