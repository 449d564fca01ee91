// What start-up tells the user about the machine, through the window only:
// the status line names the Windows version Wine is set to report, and the
// port-kind row preselected matches the ports the spooler lists.
#include "common/system_width.h"
#include "support/black_box.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults\\" E2E_PROGRAM;
const char kPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const int kSerialKind = 0;
const int kUsbKind = 1;

// Starts the program, waits for start-up and returns its status line and
// preselected port kind, then closes it.
struct StartupView {
    std::string status;
    int nPortKind = -1;
};

StartupView RunStartup() {
    StartupView view;
    InstallerWindow window(kReleaseProgram, kReleaseDir);
    EXPECT_TRUE(window.Found());
    if (!window.Found())
        return view;
    EXPECT_TRUE(window.WaitInstallEnabled());
    view.status = window.Status();
    view.nPortKind = window.SelectedPortKind();
    window.Click(2);
    EXPECT_TRUE(window.WaitExit());
    return view;
}

// Makes Wine report the given version to the installer alone.
class ReportedVersion {
public:
    explicit ReportedVersion(const char *pszVersion) {
        HKEY hKey = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaultsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &hKey, nullptr);
        ::RegSetValueExA(hKey, "Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(pszVersion),
                         static_cast<DWORD>(std::string(pszVersion).size() + 1));
        ::RegCloseKey(hKey);
    }
    ~ReportedVersion() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaultsKey); }
    ReportedVersion(const ReportedVersion &) = delete;
    ReportedVersion &operator=(const ReportedVersion &) = delete;
};

// A local port of the spooler's local monitor, there while the object lives.
class LocalPort {
public:
    explicit LocalPort(const char *pszName) : m_name(pszName) {
        HKEY hKey = nullptr;
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_SET_VALUE, &hKey);
        ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE *>(""), 1);
        ::RegCloseKey(hKey);
    }
    ~LocalPort() {
        HKEY hKey = nullptr;
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_SET_VALUE, &hKey);
        ::RegDeleteValueA(hKey, m_name.c_str());
        ::RegCloseKey(hKey);
    }
    LocalPort(const LocalPort &) = delete;
    LocalPort &operator=(const LocalPort &) = delete;

private:
    std::string m_name;
};

TEST(SystemPortsE2E, StatusLineNamesTheReportedWindowsVersion) {
    const struct {
        const char *pszWineVersion;
        const char *pszName;
    } cases[] = {
        {"winxp", "Microsoft Windows XP "},     {"win7", "Microsoft Windows 7 "},
        {"win10", "Microsoft Windows 10 "},     {"win2k", "Microsoft Windows 2000 "},
        {"win2003", "Microsoft Windows 2003 "}, {"vista", "Microsoft Windows Vista "},
        {"win8", "Microsoft Windows 8 "},       {"win81", "Microsoft Windows 8.1 "},
        {"nt40", "Microsoft Windows NT "},      {"win95", "Microsoft Windows 95 "},
        {"win98", "Microsoft Windows 98 "},     {"winme", "Microsoft Windows Me "},
    };
    for (const auto &c : cases) {
        ReportedVersion version(c.pszWineVersion);
        EXPECT_EQ(RunStartup().status,
                  "Current System is " + std::string(c.pszName) + " " + BitWidthText())
            << c.pszWineVersion;
    }
}

TEST(SystemPortsE2E, DefaultPrefixPreselectsTheSerialRow) {
    EXPECT_EQ(RunStartup().nPortKind, kSerialKind);
}

TEST(SystemPortsE2E, UsbPortPreselectsTheUsbRow) {
    LocalPort usb("USB001");
    EXPECT_EQ(RunStartup().nPortKind, kUsbKind);
}

} // namespace
