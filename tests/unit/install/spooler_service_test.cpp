// Starting and restarting a service: against a simulated service whose
// clock only moves when the caller pauses, and against Wine's own spooler.
#include "install/spooler_service.h"
#include "support/fakes.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

constexpr DWORD kNever = ServiceFake::kNever;

class ServiceControlTest : public PlatformTest {
protected:
    // The service in a state, its transitions taking dwTransitionMs.
    void Arrange(DWORD dwState, DWORD dwTransitionMs) {
        ServiceFake::Install(api(), dwState, dwTransitionMs);
        ServiceFake::InstallClock(api());
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
        Arrange(c.dwInitial, c.dwTransitionMs);
        ServiceFake::nQueriesThatWork = c.nQueriesThatWork;
        EXPECT_EQ(StartOrRestart("Spooler", c.mode), c.outcome);
        EXPECT_EQ(ServiceFake::requests, c.requests);
        EXPECT_EQ(ServiceFake::dwState, c.dwFinal);
        EXPECT_GE(ServiceFake::dwClockMs, c.dwMinClockMs);
        EXPECT_LE(ServiceFake::dwClockMs, c.dwMaxClockMs);
        // Paced: a pause between queries, never a spin on them.
        EXPECT_LE(ServiceFake::nQueries, ServiceFake::nSleeps + 3);
        EXPECT_TRUE(ServiceFake::openHandles.empty()) << "a handle was left open";
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
            Arrange(SERVICE_STOPPED, 300);
            ServiceFake::bManagerOpens = c.bManager;
            ServiceFake::bServiceExists = c.bService;
            ServiceFake::nQueriesThatWork = c.nQueriesThatWork;
            EXPECT_EQ(StartOrRestart("Spooler", mode), ServiceOutcome::StatusUnknown);
            EXPECT_EQ(ServiceFake::requests, Texts{});
            EXPECT_EQ(ServiceFake::nSleeps, 0);
            EXPECT_TRUE(ServiceFake::openHandles.empty());
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
