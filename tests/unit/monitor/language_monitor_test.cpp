// The language monitor of the package, loaded as the spooler loads it: port
// calls handed down to a port monitor below, what
// it refuses, and its shutdown.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace {

const FARPROC g_pfnInit =
    ::GetProcAddress(::LoadLibraryA(MONITOR_TEST_DLL), "InitializePrintMonitor2");

// The port monitor below: each call notes its letter and, on its own port
// only, answers with that letter.
int g_portBelow;
std::string g_calls;
template <char Tag, class R, class... Rest> R WINAPI Below(HANDLE hPort, Rest...) {
    g_calls += Tag;
    return hPort == &g_portBelow ? R(Tag) : R(0);
}
BOOL WINAPI OpenBelow(HANDLE, LPWSTR, PHANDLE pHandle) {
    *pHandle = &g_portBelow;
    return Below<'o', BOOL>(&g_portBelow);
}
const MONITOR2 kBelow = {sizeof(MONITOR2), nullptr,    OpenBelow,  nullptr, Below<'s'>, Below<'w'>,
                         Below<'r'>,       Below<'e'>, Below<'c'>, nullptr, nullptr,    nullptr,
                         nullptr,          Below<'g'>, nullptr,    nullptr, nullptr,    nullptr,
                         nullptr,          Below<'b'>, nullptr,    nullptr};

// The monitor under test, and a call of its port entry nEntry (of kEntries,
// the bidi ones 3 and 4): the error it ends with.
LPMONITOR2 m;
HANDLE g_hMonitor;
constexpr int kEntries = 7;
DWORD g_cb;
PBIDI_RESPONSE_CONTAINER g_pResponse;
DWORD Call(int nEntry, HANDLE h) {
    if (nEntry == 4)
        return m->pfnSendRecvBidiDataFromPort(h, 0, BIDI_ACTION_GET, nullptr, &g_pResponse);
    const BOOL bDone =
        nEntry == 0   ? m->pfnStartDocPort(h, nullptr, 7, 1, nullptr)
        : nEntry == 1 ? m->pfnWritePort(h, nullptr, 0, &g_cb)
        : nEntry == 2 ? m->pfnReadPort(h, nullptr, 0, &g_cb)
        : nEntry == 3 ? m->pfnGetPrinterDataFromPort(h, 1, nullptr, nullptr, 0, nullptr, 0, &g_cb)
        : nEntry == 5 ? m->pfnEndDocPort(h)
                      : m->pfnClosePort(h);
    return bDone ? ERROR_SUCCESS : ::GetLastError();
}
HANDLE Open(MONITOR2 *pBelow, HANDLE hMonitor = g_hMonitor) {
    HANDLE h = nullptr;
    wchar_t szPort[] = L"LPT1:";
    return m->pfnOpenPortEx(hMonitor, nullptr, szPort, nullptr, &h, pBelow) ? h : nullptr;
}

class LanguageMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        MONITORINIT init = {sizeof(MONITORINIT), nullptr, nullptr, nullptr, TRUE, nullptr};
        m_nHeaps = ::GetProcessHeaps(0, nullptr);
        ASSERT_NE(g_pfnInit, nullptr);
        m = reinterpret_cast<LPMONITOR2(WINAPI *)(PMONITORINIT, PHANDLE)>(
            reinterpret_cast<void (*)()>(g_pfnInit))(&init, &g_hMonitor);
    }
    void TearDown() override { m->pfnShutdown(g_hMonitor); }
    DWORD m_nHeaps = 0;
};

// Bidi and printer-data calls reach a port monitor that has them, and its
// answer comes back; one that lacks them, or whose older table ends before
// them, is not called and the caller hears ERROR_NOT_SUPPORTED.
TEST_F(LanguageMonitorTest, HandsEveryPortCallToThePortMonitorThatHasIt) {
    MONITOR2 rows[] = {kBelow, kBelow, kBelow};
    rows[1].pfnGetPrinterDataFromPort = nullptr;
    rows[1].pfnSendRecvBidiDataFromPort = nullptr;
    rows[2].cbSize = offsetof(MONITOR2, pfnAddPort);
    for (MONITOR2 &below : rows) {
        const bool bBidi = &below == rows;
        g_calls.clear();
        const HANDLE hPort = Open(&below);
        for (int nEntry = 0; nEntry < kEntries; ++nEntry)
            EXPECT_EQ(Call(nEntry, hPort), nEntry == 4 && bBidi ? 'b'
                                           : nEntry < 3 || nEntry > 4 || bBidi
                                               ? 0
                                               : ERROR_NOT_SUPPORTED);
        EXPECT_EQ(g_calls, std::string("oswr") + (bBidi ? "gb" : "") + "ec");
    }
}

// A monitor handle not its own, a port closed or never its own are refused,
// and nothing reaches the port monitor. Shutdown lets go of the monitor's
// heap with the port the spooler left open, which is refused after it.
TEST_F(LanguageMonitorTest, RefusesWhatIsNotItsOwnAndLetsGoOnShutdown) {
    MONITOR2 below = kBelow;
    const HANDLE hClosed = Open(&below), hLeftOpen = Open(&below);
    ASSERT_EQ(Call(kEntries - 1, hClosed), DWORD(ERROR_SUCCESS));
    g_calls.clear();
    EXPECT_EQ(Open(&below, &g_portBelow), nullptr);
    for (HANDLE hForeign : {HANDLE(nullptr), HANDLE(&g_portBelow), hClosed})
        for (int nEntry = 0; nEntry < kEntries; ++nEntry)
            EXPECT_EQ(Call(nEntry, hForeign), DWORD(ERROR_INVALID_HANDLE)) << nEntry;
    m->pfnShutdown(g_hMonitor);
    EXPECT_EQ(::GetProcessHeaps(0, nullptr), m_nHeaps);
    for (int nEntry = 0; nEntry < kEntries; ++nEntry)
        EXPECT_EQ(Call(nEntry, hLeftOpen), DWORD(ERROR_INVALID_HANDLE)) << nEntry;
    EXPECT_EQ(g_calls, "");
}

} // namespace
