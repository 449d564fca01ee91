// The TCP/IP port dialog on the spooler's ports, worked as a user works it;
// the parallel one is worked end to end.
#include "ports/tcpip_port_dlg.h"
#include "res/resource.h"
#include "support/dialog_runner.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kTcpip[] = "Standard TCP/IP Port";

class PortDialogsTest : public PlatformTest {
protected:
    void SetUp() override {
        BoxFake::Install(api());
        PortMonitorFake::Install(api());
    }
};

// The port the wizard adds is selected wherever the monitor's name order
// puts it. Configure and Delete get the selected row's whole name, though
// other ports bear its first 127 and 255 characters; only the failures they
// name get a box. With no row chosen OK does nothing.
TEST_F(PortDialogsTest, TcpipDialogWorksOnThePortAddedWhereverItSortsByItsWholeName) {
    const std::string longName = "IP_" + std::string(297, '7');
    PortsFake::ports = {
        {longName.substr(0, 127), kTcpip}, {longName.substr(0, 255), kTcpip}, {"IP_8", kTcpip}};
    CTcpipPortDlg dlg(nullptr);
    DialogRunner runner(dlg);
    PortMonitorFake::nextPort = longName;
    runner.Press(IDC_ADD_PORT);
    EXPECT_EQ(runner.SelectedRow(runner.Item(IDC_PORT_LIST)), 2);
    for (const DWORD dwError : {0u, 50u, 57u, 5u}) {
        PortMonitorFake::dwConfigureError = dwError;
        runner.Press(IDC_CONFIGURE_PORT);
    }
    PortMonitorFake::dwDeleteError = ERROR_NOT_SUPPORTED;
    runner.Press(IDC_DELETE_PORT);
    std::string captions;
    for (const BoxFake::Box &box : BoxFake::boxes)
        captions += box.caption + "; ";
    EXPECT_EQ(captions, "Configure Port; Configure Por; Delete Port; ");
    std::vector<std::string> calls(5, "ConfigurePort " + longName);
    calls.front() = std::string("AddPort ") + kTcpip;
    calls.push_back("DeletePort " + longName);
    EXPECT_EQ(PortMonitorFake::calls, calls);
    const HWND hList = runner.Item(IDC_PORT_LIST);
    runner.SelectRow(hList, -1, false);
    runner.Press(IDC_PORT_OK);
    EXPECT_TRUE(runner.Open());
    runner.SelectRow(hList, 2);
    runner.Press(IDC_PORT_OK);
    EXPECT_EQ(runner.Join(), PORTDLG_INDEX_BASE + 2);
    EXPECT_EQ(std::string(dlg.m_strChosenPort), longName);
}

} // namespace
