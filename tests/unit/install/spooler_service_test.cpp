// Starting and restarting a service: against a simulated service whose
// clock only moves when the caller pauses, and against Wine's own spooler.
#include "install/spooler_service.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

const SC_HANDLE kManager = reinterpret_cast<SC_HANDLE>(0x5C00);
constexpr DWORD kNever = INFINITE;

// A service whose start or stop takes dwTransitionMs of a clock that only
// the caller's pauses advance.
struct ServiceState {
    DWORD dwState = 0, dwTarget = 0, dwTransitionMs = 0, dwChangeAtMs = 0, dwClockMs = 0;
    bool bManagerOpens = true, bServiceExists = true;
    int nQueriesThatWork = -1, nQueries = 0, nSleeps = 0, nNextHandle = 0x5D00;
    std::set<SC_HANDLE> openHandles;
    Texts requests;
};
ServiceState g_service;

// Its manager and the pauses around it, through the seam.
struct FakeService {
    static void Reset(DWORD dwInitial, DWORD dwTransitionMs) {
        g_service = ServiceState();
        g_service.dwState = g_service.dwTarget = dwInitial;
        g_service.dwTransitionMs = dwTransitionMs;
    }
    static void Advance() {
        if (g_service.dwTransitionMs != kNever && g_service.dwClockMs >= g_service.dwChangeAtMs)
            g_service.dwState = g_service.dwTarget;
    }
    static BOOL Request(SC_HANDLE hService, const char *pszWhat, DWORD dwFrom, DWORD dwPending,
                        DWORD dwFinal) {
        EXPECT_EQ(g_service.openHandles.count(hService), 1u);
        Advance();
        g_service.requests.push_back(pszWhat);
        if (g_service.dwState != dwFrom)
            return FALSE;
        g_service.dwState = dwPending;
        g_service.dwTarget = dwFinal;
        g_service.dwChangeAtMs = g_service.dwClockMs + g_service.dwTransitionMs;
        return TRUE;
    }
    static SC_HANDLE WINAPI OpenSCManagerA(LPCSTR, LPCSTR, DWORD) {
        if (!g_service.bManagerOpens)
            return nullptr;
        g_service.openHandles.insert(kManager);
        return kManager;
    }
    static SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hManager, LPCSTR, DWORD) {
        EXPECT_EQ(hManager, kManager);
        if (!g_service.bServiceExists)
            return nullptr;
        const SC_HANDLE hService = reinterpret_cast<SC_HANDLE>(g_service.nNextHandle++);
        g_service.openHandles.insert(hService);
        return hService;
    }
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS pStatus) {
        EXPECT_EQ(g_service.openHandles.count(hService), 1u);
        if (++g_service.nQueries > g_service.nQueriesThatWork && g_service.nQueriesThatWork >= 0)
            return FALSE;
        Advance();
        *pStatus = {};
        pStatus->dwCurrentState = g_service.dwState;
        return TRUE;
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD, LPCSTR *) {
        return Request(hService, "start", SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_RUNNING);
    }
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS) {
        EXPECT_EQ(dwControl, static_cast<DWORD>(SERVICE_CONTROL_STOP));
        return Request(hService, "stop", SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED);
    }
    static BOOL WINAPI CloseServiceHandle(SC_HANDLE hHandle) {
        EXPECT_EQ(g_service.openHandles.erase(hHandle), 1u);
        return TRUE;
    }
    static void WINAPI Sleep(DWORD dwMs) {
        ++g_service.nSleeps;
        g_service.dwClockMs += dwMs;
    }
    // Starts far from zero so that a wait across the counter's wrap is covered.
    static DWORD WINAPI GetTickCount() { return g_service.dwClockMs + 0xFFFFF000u; }
};

class ServiceControlTest : public PlatformTest {
protected:
    void SetUp() override {
        api().OpenSCManagerA = FakeService::OpenSCManagerA;
        api().OpenServiceA = FakeService::OpenServiceA;
        api().QueryServiceStatus = FakeService::QueryServiceStatus;
        api().StartServiceA = FakeService::StartServiceA;
        api().ControlService = FakeService::ControlService;
        api().CloseServiceHandle = FakeService::CloseServiceHandle;
        api().Sleep = FakeService::Sleep;
        api().GetTickCount = FakeService::GetTickCount;
    }
};

TEST_F(ServiceControlTest, ModesActOnTheServiceAndWaitPacedAndBounded) {
    using Outcome = ServiceOutcome;
    const ServiceMode kEnsure = ServiceMode::EnsureRunning;
    const ServiceMode kRestart = ServiceMode::Restart;
    struct Case {
        DWORD dwInitial;
        ServiceMode mode;
        DWORD dwTransitionMs;
        int nQueriesThatWork;
        Texts requests;
        Outcome outcome;
        DWORD dwFinal, dwMinClockMs, dwMaxClockMs;
    };
    const Case cases[] = {
        {SERVICE_RUNNING, kEnsure, 300, -1, {}, Outcome::Done, SERVICE_RUNNING, 0, 0},
        {SERVICE_START_PENDING, kEnsure, 300, -1, {}, Outcome::Done, SERVICE_START_PENDING, 0, 0},
        {SERVICE_PAUSED, kEnsure, 300, -1, {}, Outcome::Done, SERVICE_PAUSED, 0, 0},
        {SERVICE_STOP_PENDING, kEnsure, 300, -1, {}, Outcome::Done, SERVICE_STOP_PENDING, 0, 0},
        {SERVICE_STOPPED, kEnsure, 300, -1, {"start"}, Outcome::Done, SERVICE_RUNNING, 300, 400},
        {SERVICE_RUNNING,
         kRestart,
         300,
         -1,
         {"stop", "start"},
         Outcome::Done,
         SERVICE_RUNNING,
         600,
         800},
        {SERVICE_STOPPED, kRestart, 300, -1, {"start"}, Outcome::Done, SERVICE_RUNNING, 300, 400},
        // A state never reached ends the wait after about a minute, and a
        // service that never stops is not started.
        {SERVICE_STOPPED,
         kEnsure,
         kNever,
         -1,
         {"start"},
         Outcome::NotRunning,
         SERVICE_START_PENDING,
         50000,
         70000},
        {SERVICE_RUNNING,
         kRestart,
         kNever,
         -1,
         {"stop"},
         Outcome::NotStopped,
         SERVICE_STOP_PENDING,
         50000,
         70000},
        // A status lost during a wait ends it at once.
        {SERVICE_STOPPED,
         kEnsure,
         kNever,
         3,
         {"start"},
         Outcome::NotRunning,
         SERVICE_START_PENDING,
         0,
         1000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "state " << c.dwInitial << " restart " << (c.mode == kRestart)
                     << " transition " << c.dwTransitionMs);
        FakeService::Reset(c.dwInitial, c.dwTransitionMs);
        g_service.nQueriesThatWork = c.nQueriesThatWork;
        EXPECT_EQ(StartOrRestart("Spooler", c.mode), c.outcome);
        EXPECT_EQ(g_service.requests, c.requests);
        EXPECT_EQ(g_service.dwState, c.dwFinal);
        EXPECT_GE(g_service.dwClockMs, c.dwMinClockMs);
        EXPECT_LE(g_service.dwClockMs, c.dwMaxClockMs);
        // Paced: a pause between queries, never a spin on them.
        EXPECT_LE(g_service.nQueries, g_service.nSleeps + 3);
        EXPECT_TRUE(g_service.openHandles.empty()) << "a handle was left open";
    }
}

TEST_F(ServiceControlTest, UnknownStatusStartsOrStopsNothing) {
    struct Case {
        const char *pszWhat;
        bool bManager, bService;
        int nQueriesThatWork;
    };
    const Case cases[] = {
        {"query fails", true, true, 0},
        {"service absent", true, false, -1},
        {"manager not opened", false, true, -1},
    };
    for (const Case &c : cases) {
        for (ServiceMode mode : {ServiceMode::EnsureRunning, ServiceMode::Restart}) {
            SCOPED_TRACE(c.pszWhat);
            FakeService::Reset(SERVICE_STOPPED, 300);
            g_service.bManagerOpens = c.bManager;
            g_service.bServiceExists = c.bService;
            g_service.nQueriesThatWork = c.nQueriesThatWork;
            EXPECT_EQ(StartOrRestart("Spooler", mode), ServiceOutcome::StatusUnknown);
            EXPECT_EQ(g_service.requests, Texts{});
            EXPECT_EQ(g_service.nSleeps, 0);
            EXPECT_TRUE(g_service.openHandles.empty());
        }
    }
}

// Every mode code but ensure-running restarts; each outcome but success has its box.
TEST(ServiceOutcomeTest, ModeCodesAndOutcomeTexts) {
    EXPECT_EQ(ServiceModeOf(16), ServiceMode::EnsureRunning);
    for (DWORD dwMode : {0UL, 7UL, 0xFFFFFFFFUL})
        EXPECT_EQ(ServiceModeOf(dwMode), ServiceMode::Restart) << dwMode;
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::Done, "Spooler")), "");
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::NotRunning, "Spooler")),
              "The service Spooler did not reach the running state.");
    EXPECT_EQ(std::string(DescribeServiceOutcome(ServiceOutcome::NotStopped, "Spooler")),
              "The service Spooler did not reach the stopped state.");
    EXPECT_EQ(ServiceOutcomeIcon(ServiceOutcome::NotStopped), static_cast<UINT>(MB_ICONWARNING));
}

// Wine's own spooler, started and stopped through its service manager.
TEST(RealSpoolerTest, StoppedSpoolerIsStartedAndRestartedInANewProcess) {
    const SC_HANDLE hManager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    const SC_HANDLE hService = ::OpenServiceA(hManager, "Spooler", SERVICE_ALL_ACCESS);
    ASSERT_NE(hService, nullptr);
    SERVICE_STATUS_PROCESS status = {};
    const auto query = [&] {
        DWORD cbNeeded = 0;
        ::QueryServiceStatusEx(hService, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                               sizeof(status), &cbNeeded);
        return status.dwCurrentState;
    };
    SERVICE_STATUS stopped = {};
    ::ControlService(hService, SERVICE_CONTROL_STOP, &stopped);
    for (int i = 0; i < 200 && query() != SERVICE_STOPPED; ++i)
        ::Sleep(50);
    ASSERT_EQ(query(), static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_EQ(StartOrRestart("Spooler", ServiceMode::EnsureRunning), ServiceOutcome::Done);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD dwProcessBefore = status.dwProcessId;
    EXPECT_EQ(StartOrRestart("Spooler", ServiceMode::Restart), ServiceOutcome::Done);
    EXPECT_EQ(query(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_NE(status.dwProcessId, dwProcessBefore);
    // Later tests expect a running spooler.
    if (query() == SERVICE_STOPPED)
        ::StartServiceA(hService, 0, nullptr);
    ::CloseServiceHandle(hService);
    ::CloseServiceHandle(hManager);
}

} // namespace
