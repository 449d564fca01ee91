// The parallel and TCP/IP port choices through the window: the installer
// started from the release folder, its port dialogs and the dialogs of a
// "Standard TCP/IP Port" monitor stand-in worked as a user works them, then
// the spooler asked where the printer went.
#include "support/black_box.h"
#include "support/system_width.h"
#include "tcpip_monitor/tcpip_monitor_keys.h"

#include <gtest/gtest.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kPrinter[] = "Port Counter";
const char kModel[] = "Receipt Model A04";
const char kLocalPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kWizardCaption[] = "Add Standard TCP/IP Printer Port Wizard";
const char kChinese[] = "\xE6\xA0\x87\xE5\x87\x86 TCP/IP \xE7\xAB\xAF\xE5\x8F\xA3";
const int kParallelKind = 2;
const int kTcpipKind = 3;

std::wstring Wide(const std::string &text) {
    return std::wstring(text.begin(), text.end());
}

// The spooler's local ports LPT1: to LPTn:.
void SetParallelPorts(int nPorts) {
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "LPT" + std::to_string(i) + ":";
        if (i <= nPorts)
            WriteRegistryString(HKEY_LOCAL_MACHINE, kLocalPortsKey, name, "");
        else
            DeleteRegistryValue(HKEY_LOCAL_MACHINE, kLocalPortsKey, name);
    }
}

void SetMonitorSwitch(const wchar_t *pszValue, DWORD dwData) {
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitorKey, pszValue, REG_DWORD, &dwData,
                      sizeof(dwData));
}

// The stand-in's ports, the Chinese-described ones marked with a "*" at the end.
void SetTcpipPorts(const std::vector<std::string> &names) {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPortsKey);
    for (std::string name : names) {
        const DWORD dwChinese = name.back() == '*';
        if (dwChinese)
            name.pop_back();
        const std::wstring key = std::wstring(kPortsKey) + L"\\" + Wide(name);
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), kAddressValue, REG_SZ, L"", sizeof(L""));
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), kChineseValue, REG_DWORD, &dwChinese,
                          sizeof(dwChinese));
    }
}

std::vector<std::string> TcpipPortsLeft() {
    DWORD cbNeeded = 0, cPorts = 0;
    ::EnumPortsA(nullptr, 1, nullptr, 0, &cbNeeded, &cPorts);
    std::vector<BYTE> buffer(cbNeeded + 1);
    ::EnumPortsA(nullptr, 1, buffer.data(), cbNeeded, &cbNeeded, &cPorts);
    const auto *pPorts = reinterpret_cast<const PORT_INFO_1A *>(buffer.data());
    std::vector<std::string> names;
    for (DWORD i = 0; i < cPorts; ++i) {
        if (std::string(pPorts[i].pName).rfind("IP_", 0) == 0)
            names.push_back(pPorts[i].pName);
    }
    return names;
}

class PortDialogsE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string dll = WinePath(E2E_TCPIP_MONITOR);
        MONITOR_INFO_2A info = {const_cast<LPSTR>("Standard TCP/IP Port"), nullptr, &dll[0]};
        if (!::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
            EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
        }
    }
    void SetUp() override {
        SetDefaultPrinterDevice("");
        DeletePrinterNamed(kPrinter);
        SetParallelPorts(3);
        SetTcpipPorts({});
        SetMonitorSwitch(kConfigureErrorValue, 0);
        SetMonitorSwitch(kDeleteErrorValue, 0);
    }
    void TearDown() override { SetParallelPorts(3); }

    // Starts the installer with the model as kPrinter on the port kind, and presses Install.
    std::unique_ptr<InstallerWindow> Start(int nKind, const char *pszModel = kModel) {
        auto window = std::make_unique<InstallerWindow>(kReleaseProgram, kReleaseDir);
        EXPECT_TRUE(window->Found());
        EXPECT_TRUE(window->WaitInstallEnabled());
        const std::vector<std::string> models = window->DriverList();
        const auto itModel = std::find(models.begin(), models.end(), pszModel);
        EXPECT_NE(itModel, models.end());
        window->SelectDriver(static_cast<int>(itModel - models.begin()));
        window->SetPrinterName(kPrinter);
        PressInstall(*window, nKind);
        return window;
    }

    // The port lists' refresh after a choice preselects a kind again.
    static void PressInstall(const InstallerWindow &window, int nKind) {
        EXPECT_TRUE(window.WaitInstallEnabled());
        window.SelectPortKind(nKind);
        window.Click(IDC_INSTALL);
    }

    // Waits for the monitor's or the program's box, checks it and answers it.
    static void Answer(const InstallerWindow &window, const std::string &caption, HWND hOwner,
                       int nButton, const std::string &text = "") {
        const MessageBoxSeen box = window.WaitMessageBox(20000);
        ASSERT_NE(box.hWnd, nullptr) << caption;
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(::GetWindow(box.hWnd, GW_OWNER), hOwner) << caption;
        if (!text.empty()) {
            EXPECT_EQ(box.text, text);
        }
        InstallerWindow::Answer(box, nButton);
        WaitFor([&] { return !::IsWindow(box.hWnd); });
    }

    static bool NoBoxFor(const InstallerWindow &window, DWORD dwMs) {
        return window.WaitMessageBox(dwMs).hWnd == nullptr;
    }
};

// Cancel, the close box and Escape give up; the port chosen gets the printer.
TEST_F(PortDialogsE2E, SeveralParallelPortsAreChosenFromTheDialog) {
    auto window = Start(kParallelKind);
    for (int nWay = 0; nWay < 4; ++nWay) {
        if (nWay > 0)
            PressInstall(*window, kParallelKind);
        const HWND hDlg = window->WaitWindow(kParallelDialogCaption);
        ASSERT_NE(hDlg, nullptr);
        EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), window->Window());
        const HWND hList = ::GetDlgItem(hDlg, IDC_PORT_LIST);
        EXPECT_EQ(
            window->ListRows(hList),
            (std::vector<std::string>{"LPT1:|Local Port", "LPT2:|Local Port", "LPT3:|Local Port"}));
        EXPECT_EQ(window->ListColumns(hList), "Port 125|Description 300");
        EXPECT_EQ(InstallerWindow::SelectedRow(hList), 0);
        if (nWay == 0)
            InstallerWindow::Press(hDlg, IDC_PORT_CANCEL);
        else if (nWay == 1)
            ::PostMessageW(hDlg, WM_CLOSE, 0, 0);
        else if (nWay == 2)
            ::PostMessageW(hList, WM_KEYDOWN, VK_ESCAPE, 0);
        if (nWay < 3) {
            EXPECT_TRUE(WaitFor([&] { return !::IsWindow(hDlg); })) << nWay;
            EXPECT_EQ(PrintersNamed(kPrinter), 0);
            continue;
        }
        window->SelectRow(hList, 2);
        InstallerWindow::Press(hDlg, IDC_PORT_OK);
    }
    EXPECT_TRUE(window->WaitInstallCaption("&Finish"));
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW LPT3:");
}

// Both descriptions in an installer whose ANSI code page is 936, as on a
// Simplified Chinese Windows; the port added is the one selected though name
// order puts it first; configure and delete with their boxes; Enter installs
// on the port chosen. Wine takes the code page from the locale, so this test
// runs on its own with LC_ALL=zh_CN.UTF-8.
TEST_F(PortDialogsE2E, TcpipDialogInACodePage936Installer) {
    ASSERT_EQ(::GetACP(), 936u);
    SetTcpipPorts({"IP_10.0.0.9", "IP_10.0.0.20*"});
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMonitorKey, kNextAddressValue, REG_SZ, L"10.0.0.10",
                      sizeof(L"10.0.0.10"));
    auto window = Start(kTcpipKind);
    const HWND hDlg = window->WaitWindow(kTcpipDialogCaption);
    ASSERT_NE(hDlg, nullptr);
    EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), window->Window());
    const HWND hList = ::GetDlgItem(hDlg, IDC_PORT_LIST);
    const std::string standard = "|Standard TCP/IP Port";
    EXPECT_EQ(window->ListRows(hList),
              (std::vector<std::string>{"IP_10.0.0.20|" + std::string(kChinese),
                                        "IP_10.0.0.9" + standard}));
    EXPECT_EQ(window->ListColumns(hList), "Port 125|Description 300");

    InstallerWindow::Press(hDlg, IDC_ADD_PORT);
    Answer(*window, kWizardCaption, hDlg, IDOK);
    WaitFor([&] { return window->ListRows(hList).size() == 3; });
    EXPECT_EQ(window->ListRows(hList).at(0), "IP_10.0.0.10" + standard);
    EXPECT_EQ(InstallerWindow::SelectedRow(hList), 0);

    window->SelectRow(hList, 2);
    InstallerWindow::Press(hDlg, IDC_DELETE_PORT);
    Answer(*window, "Delete Standard TCP/IP Port", hDlg, IDOK);
    WaitFor([&] { return window->ListRows(hList).size() == 2; });
    EXPECT_EQ(TcpipPortsLeft(), (std::vector<std::string>{"IP_10.0.0.10", "IP_10.0.0.20"}));

    const struct {
        DWORD dwError;
        const char *pszCaption, *pszText;
    } failures[] = {
        {50, "Configure Port",
         "Failed to configure printer port.\r\nThe request is not supported."},
        {57, "Configure Por", "Failed to configure printer port.\r\nA hardware error occurred. "},
        {1223, nullptr, nullptr}};
    for (const auto &failure : failures) {
        SetMonitorSwitch(kConfigureErrorValue, failure.dwError);
        InstallerWindow::Press(hDlg, IDC_CONFIGURE_PORT);
        Answer(*window, "Configure Standard TCP/IP Port Monitor", hDlg, IDOK);
        if (failure.pszCaption != nullptr)
            Answer(*window, failure.pszCaption, hDlg, IDOK, failure.pszText);
        else
            EXPECT_TRUE(NoBoxFor(*window, 500));
    }
    SetMonitorSwitch(kDeleteErrorValue, ERROR_NOT_SUPPORTED);
    InstallerWindow::Press(hDlg, IDC_DELETE_PORT);
    Answer(*window, "Delete Standard TCP/IP Port", hDlg, IDOK);
    Answer(*window, "Delete Port", hDlg, IDOK,
           "Failed to delete port.The request is not supported.");
    EXPECT_EQ(TcpipPortsLeft().size(), 2u);

    // Enter in the list acts as OK.
    window->SelectRow(hList, 1);
    ::PostMessageW(hList, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(window->WaitInstallCaption("&Finish"));
    EXPECT_EQ(Printer(kPrinter), std::string(kModel) + " WinPrint RAW IP_10.0.0.20");
}

} // namespace
