// The TCP/IP port dialog in an installer whose ANSI code page is 936, as on
// a Simplified Chinese Windows, over the stand-in of the "Standard TCP/IP
// Port" monitor: both descriptions are listed, the port the wizard adds is
// selected though it sorts into the middle, and Enter installs on it. Wine
// takes the code page from the locale: this test runs with LC_ALL=zh_CN.UTF-8.
#include "support/black_box.h"
#include "tcpip_monitor/tcpip_monitor_keys.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

const char kPrinter[] = "Port Counter";
const char kChinese[] = "\xE6\xA0\x87\xE5\x87\x86 TCP/IP \xE7\xAB\xAF\xE5\x8F\xA3";

TEST(PortDialogsE2E, TcpipDialogInACodePage936Installer) {
    ASSERT_EQ(::GetACP(), 936u);
    std::string dll = WinePath(E2E_TCPIP_MONITOR);
    MONITOR_INFO_2A info = {const_cast<LPSTR>("Standard TCP/IP Port"), nullptr, &dll[0]};
    if (!::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
        ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
    }
    DeletePrinterNamed(kPrinter);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPortsKey);
    for (const DWORD dwChinese : {0u, 1u}) {
        const std::wstring key =
            std::wstring(kPortsKey) + (dwChinese ? L"\\IP_10.0.0.2" : L"\\IP_10.0.0.1");
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), kChineseValue, REG_DWORD, &dwChinese,
                          sizeof(dwChinese));
    }
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kNextAddressValue, REG_SZ, L"10.0.0.10",
                      sizeof(L"10.0.0.10"));

    InstallerWindow window(kReleaseProgram, kReleaseDir);
    ASSERT_TRUE(window.StartInstall("Receipt Model A04", kPrinter, kTcpipRow));
    const HWND hDlg = window.WaitWindow("Configure TCP/IP PrinterPort");
    ASSERT_NE(hDlg, nullptr);
    const HWND hList = ::GetDlgItem(hDlg, IDC_PORT_LIST);
    EXPECT_EQ(window.ListRows(hList),
              (std::vector<std::string>{"IP_10.0.0.1|Standard TCP/IP Port",
                                        "IP_10.0.0.2|" + std::string(kChinese)}));
    InstallerWindow::ClickIn(hDlg, IDC_ADD_PORT);
    const MessageBoxSeen wizard = window.WaitMessageBox();
    EXPECT_EQ(wizard.caption, "Add Standard TCP/IP Printer Port Wizard");
    InstallerWindow::ClickIn(wizard.hWnd, IDOK);
    EXPECT_TRUE(WaitFor([&] { return window.ListRows(hList).size() == 3; }));
    // Enter in the list acts as OK.
    ::PostMessageW(hList, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(window.WaitFinish()) << window.WaitMessageBox(0).text;
    EXPECT_EQ(Printer(kPrinter), "Receipt Model A04 WinPrint RAW IP_10.0.0.10");
}

} // namespace
