// The language monitor of the package, loaded from the laid-out package as
// the spooler loads it: the table it hands over, a job driven through it to
// a port monitor below, the handles it refuses, and the spooler adding it.
#include "install/driver_tables.h"
#include "install/package_layout.h"
#include "support/system_width.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// This width's monitor DLL in a package tree.
std::string MonitorDll(const char *pszTree) {
    const bool bX64 = sizeof(void *) == 8;
    return std::string(pszTree) + "\\" + kLabelFolder + "\\" + (bX64 ? kX64Folder : kX86Folder) +
           "\\" + (bX64 ? LabelFilesX64 : LabelFilesX86)[0];
}

// The port monitor below: its one port, and what reached it.
int g_portMonitor, g_portBelow;
std::wstring g_opened;
std::string g_calls, g_written;

BOOL Reached(HANDLE hPort, const char *pszCall) {
    g_calls += pszCall;
    return hPort == &g_portBelow;
}
BOOL WINAPI OpenPort(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle) {
    g_opened = pName;
    *pHandle = &g_portBelow;
    return Reached(hMonitor == &g_portMonitor ? &g_portBelow : nullptr, "open ");
}
BOOL WINAPI StartDocPort(HANDLE hPort, LPWSTR, DWORD, DWORD, LPBYTE) {
    return Reached(hPort, "start ");
}
BOOL WINAPI WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten) {
    g_written.append(reinterpret_cast<char *>(pBuffer), cbBuf);
    *pcbWritten = cbBuf;
    return Reached(hPort, "write ");
}
BOOL WINAPI ReadPort(HANDLE hPort, LPBYTE, DWORD, LPDWORD) {
    return Reached(hPort, "read ");
}
BOOL WINAPI EndDocPort(HANDLE hPort) {
    return Reached(hPort, "end ");
}
BOOL WINAPI ClosePort(HANDLE hPort) {
    return Reached(hPort, "close ");
}

MONITOR2 Below() {
    MONITOR2 below = {};
    below.cbSize = sizeof(MONITOR2);
    below.pfnOpenPort = OpenPort;
    below.pfnStartDocPort = StartDocPort;
    below.pfnWritePort = WritePort;
    below.pfnReadPort = ReadPort;
    below.pfnEndDocPort = EndDocPort;
    below.pfnClosePort = ClosePort;
    return below;
}

class LanguageMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_opened.clear();
        g_calls.clear();
        g_written.clear();
        m_hDll = ::LoadLibraryA(MonitorDll(MONITOR_TEST_TREE).c_str());
        ASSERT_NE(m_hDll, nullptr) << ::GetLastError();
        auto pfnInit = reinterpret_cast<LPMONITOR2(WINAPI *)(PMONITORINIT, PHANDLE)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(m_hDll, "InitializePrintMonitor2")));
        ASSERT_NE(pfnInit, nullptr);
        MONITORINIT init = {sizeof(MONITORINIT), nullptr, nullptr, nullptr, TRUE, nullptr};
        m = pfnInit(&init, &m_hMonitor);
        ASSERT_NE(m, nullptr);
    }
    void TearDown() override { ::FreeLibrary(m_hDll); }

    BOOL Open(PHANDLE phPort) {
        wchar_t szPort[] = L"LPT1:", szPrinter[] = L"Label Printer";
        return m->pfnOpenPortEx(m_hMonitor, &g_portMonitor, szPort, szPrinter, phPort, &m_below);
    }

    HMODULE m_hDll = nullptr;
    HANDLE m_hMonitor = nullptr;
    LPMONITOR2 m = nullptr;
    MONITOR2 m_below = Below();
};

TEST_F(LanguageMonitorTest, HandsTheSpoolerEveryCallALanguageMonitorMustHave) {
    EXPECT_EQ(m->cbSize, sizeof(MONITOR2));
    EXPECT_TRUE(m->pfnOpenPortEx && m->pfnStartDocPort && m->pfnWritePort && m->pfnReadPort &&
                m->pfnEndDocPort && m->pfnClosePort);
}

TEST_F(LanguageMonitorTest, HandsAJobToThePortBelowByteForByte) {
    HANDLE hPort = nullptr;
    ASSERT_TRUE(Open(&hPort));
    EXPECT_EQ(g_opened, L"LPT1:");
    EXPECT_TRUE(m->pfnStartDocPort(hPort, nullptr, 7, 1, nullptr));
    BYTE data[] = {'^', 'X', 'A', 0x00, 0xFF, '\r', '\n'};
    DWORD cbDone = 0;
    EXPECT_TRUE(m->pfnWritePort(hPort, data, sizeof(data), &cbDone));
    EXPECT_EQ(cbDone, sizeof(data));
    EXPECT_TRUE(m->pfnReadPort(hPort, data, sizeof(data), &cbDone));
    EXPECT_TRUE(m->pfnEndDocPort(hPort));
    EXPECT_TRUE(m->pfnClosePort(hPort));
    EXPECT_EQ(g_calls, "open start write read end close ");
    EXPECT_EQ(g_written, std::string(reinterpret_cast<char *>(data), sizeof(data)));
}

TEST_F(LanguageMonitorTest, RefusesHandlesAndArgumentsNotItsOwn) {
    HANDLE hPort = nullptr;
    wchar_t szPort[] = L"LPT1:";
    EXPECT_FALSE(m->pfnOpenPortEx(&g_portMonitor, nullptr, szPort, nullptr, &hPort, &m_below));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(m->pfnOpenPortEx(m_hMonitor, nullptr, szPort, nullptr, &hPort, nullptr));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    BYTE data[] = {'x'};
    DWORD cbWritten = 0;
    for (HANDLE hForeign : {HANDLE(nullptr), HANDLE(&g_portBelow)}) {
        EXPECT_FALSE(m->pfnWritePort(hForeign, data, sizeof(data), &cbWritten));
        EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(m->pfnClosePort(hForeign));
    }
    ASSERT_TRUE(Open(&hPort));
    EXPECT_FALSE(m->pfnWritePort(hPort, data, sizeof(data), nullptr));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(m->pfnClosePort(hPort));
    EXPECT_EQ(g_calls, "open close ");
}

// Wine loads a monitor in the calling process, as the spooler does on Windows.
TEST(LanguageMonitorSpoolerTest, TheSpoolerAddsTheMonitorButNotOneWithoutItsEntry) {
    char szName[] = "Language Monitor Test", szEnvironment[32];
    lstrcpynA(szEnvironment, DriverEnvironment(), sizeof(szEnvironment));
    std::string strDll = MonitorDll(MONITOR_TEST_TREE);
    MONITOR_INFO_2A info = {szName, szEnvironment, &strDll[0]};
    ASSERT_TRUE(::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << ::GetLastError();
    EXPECT_FALSE(::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
    EXPECT_TRUE(::DeleteMonitorA(nullptr, szEnvironment, szName));

    std::string strBroken = MonitorDll(MONITOR_TEST_BROKEN_TREE);
    info.pDLLName = &strBroken[0];
    EXPECT_FALSE(::AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
}

} // namespace
