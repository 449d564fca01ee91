// Starting and restarting a service: against a simulated service whose
// clock only moves when the caller pauses, and against Wine's own spooler.
#include "shell/installer_dlg.h"
#include "support/platform_scope.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

class ServiceDlg : public CInstallerDlg {
public:
    using CInstallerDlg::StartOrRestartService;
};

const SC_HANDLE kManager = reinterpret_cast<SC_HANDLE>(0x5C00);
constexpr DWORD kNever = INFINITE;

// A service as the service control manager shows it: a start or stop takes
// dwTransitionMs of a clock that only the caller's pauses advance.
struct FakeService {
    static DWORD dwState;
    static DWORD dwTarget;
    static DWORD dwChangeAtMs;
    static DWORD dwTransitionMs;
    static DWORD dwClockMs;
    static bool bManagerOpens;
    static bool bServiceExists;
    static int nQueriesThatWork;
    static int nQueries;
    static int nSleeps;
    static int nNextHandle;
    static std::set<SC_HANDLE> openHandles;
    static std::vector<std::string> requests;
    static std::vector<std::string> boxes;
    static std::vector<UINT> boxTypes;
    static std::string caption;

    static void Reset(DWORD dwInitial, DWORD dwTransition) {
        dwState = dwInitial;
        dwTarget = dwInitial;
        dwChangeAtMs = 0;
        dwTransitionMs = dwTransition;
        dwClockMs = 0;
        bManagerOpens = true;
        bServiceExists = true;
        nQueriesThatWork = -1;
        nQueries = 0;
        nSleeps = 0;
        nNextHandle = 0x5D00;
        openHandles.clear();
        requests.clear();
        boxes.clear();
        boxTypes.clear();
    }
    static void Advance() {
        if (dwState != dwTarget && dwTransitionMs != kNever && dwClockMs >= dwChangeAtMs)
            dwState = dwTarget;
    }
    static void BeginTransition(DWORD dwPending, DWORD dwFinal) {
        dwState = dwPending;
        dwTarget = dwFinal;
        dwChangeAtMs = dwClockMs + (dwTransitionMs == kNever ? 0 : dwTransitionMs);
    }

    static SC_HANDLE WINAPI OpenSCManagerA(LPCSTR pszMachine, LPCSTR pszDatabase, DWORD dwAccess) {
        EXPECT_EQ(pszMachine, nullptr);
        EXPECT_STREQ(pszDatabase, "ServicesActive");
        EXPECT_EQ(dwAccess, 0xF003Fu);
        if (!bManagerOpens)
            return nullptr;
        openHandles.insert(kManager);
        return kManager;
    }
    static SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hManager, LPCSTR pszName, DWORD dwAccess) {
        EXPECT_EQ(hManager, kManager);
        EXPECT_STREQ(pszName, "Spooler");
        EXPECT_EQ(dwAccess, 0xF01FFu);
        if (!bServiceExists)
            return nullptr;
        const SC_HANDLE hService = reinterpret_cast<SC_HANDLE>(nNextHandle++);
        openHandles.insert(hService);
        return hService;
    }
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS pStatus) {
        EXPECT_EQ(openHandles.count(hService), 1u);
        ++nQueries;
        if (nQueriesThatWork >= 0 && nQueries > nQueriesThatWork)
            return FALSE;
        Advance();
        *pStatus = {};
        pStatus->dwCurrentState = dwState;
        return TRUE;
    }
    static BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD nArgs, LPCSTR *ppArgs) {
        EXPECT_EQ(openHandles.count(hService), 1u);
        EXPECT_EQ(nArgs, 0u);
        EXPECT_EQ(ppArgs, nullptr);
        Advance();
        requests.push_back("start while " + StateName(dwState));
        if (dwState != SERVICE_STOPPED)
            return FALSE;
        BeginTransition(SERVICE_START_PENDING, SERVICE_RUNNING);
        return TRUE;
    }
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                      LPSERVICE_STATUS pStatus) {
        EXPECT_EQ(openHandles.count(hService), 1u);
        EXPECT_EQ(dwControl, static_cast<DWORD>(SERVICE_CONTROL_STOP));
        Advance();
        requests.push_back("stop while " + StateName(dwState));
        if (dwState != SERVICE_RUNNING)
            return FALSE;
        BeginTransition(SERVICE_STOP_PENDING, SERVICE_STOPPED);
        *pStatus = {};
        pStatus->dwCurrentState = dwState;
        return TRUE;
    }
    static BOOL WINAPI CloseServiceHandle(SC_HANDLE hHandle) {
        EXPECT_EQ(openHandles.erase(hHandle), 1u);
        return TRUE;
    }
    static void WINAPI Sleep(DWORD dwMs) {
        ++nSleeps;
        dwClockMs += dwMs;
    }
    // Starts far from zero so that a wait across the counter's wrap is covered.
    static DWORD WINAPI GetTickCount() { return dwClockMs + 0xFFFFF000u; }
    static int WINAPI MessageBoxA(HWND, LPCSTR pszText, LPCSTR pszCaption, UINT uType) {
        caption = pszCaption;
        boxes.push_back(pszText);
        boxTypes.push_back(uType);
        return IDOK;
    }

    static std::string StateName(DWORD dwValue) {
        switch (dwValue) {
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "starting";
        case SERVICE_STOP_PENDING:
            return "stopping";
        case SERVICE_RUNNING:
            return "running";
        default:
            return std::to_string(dwValue);
        }
    }
};
DWORD FakeService::dwState = 0;
DWORD FakeService::dwTarget = 0;
DWORD FakeService::dwChangeAtMs = 0;
DWORD FakeService::dwTransitionMs = 0;
DWORD FakeService::dwClockMs = 0;
bool FakeService::bManagerOpens = true;
bool FakeService::bServiceExists = true;
int FakeService::nQueriesThatWork = -1;
int FakeService::nQueries = 0;
int FakeService::nSleeps = 0;
int FakeService::nNextHandle = 0;
std::set<SC_HANDLE> FakeService::openHandles;
std::vector<std::string> FakeService::requests;
std::vector<std::string> FakeService::boxes;
std::vector<UINT> FakeService::boxTypes;
std::string FakeService::caption;

using Requests = std::vector<std::string>;

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
        api().MessageBoxA = FakeService::MessageBoxA;
    }
    void TearDown() override {
        EXPECT_TRUE(FakeService::openHandles.empty()) << "a handle was left open";
        PlatformTest::TearDown();
    }

    static void Run(DWORD dwInitial, DWORD dwMode, DWORD dwTransitionMs = 300) {
        FakeService::Reset(dwInitial, dwTransitionMs);
        ServiceDlg dlg;
        dlg.StartOrRestartService("Spooler", dwMode);
    }
    // Pacing: the caller pauses between queries instead of spinning on them.
    static void ExpectPacedWaits() {
        EXPECT_LE(FakeService::nQueries, FakeService::nSleeps + 3);
        EXPECT_LE(FakeService::dwClockMs, 2 * 300u + 2 * 100u);
    }
};

TEST_F(ServiceControlTest, EnsureRunningLeavesARunningOrPendingServiceAlone) {
    for (DWORD dwState :
         {SERVICE_RUNNING, SERVICE_START_PENDING, SERVICE_STOP_PENDING, SERVICE_PAUSED}) {
        Run(dwState, SVC_ENSURE_RUNNING);
        EXPECT_EQ(FakeService::requests, Requests{}) << FakeService::StateName(dwState);
        EXPECT_EQ(FakeService::dwState, dwState);
        EXPECT_EQ(FakeService::nQueries, 1);
        EXPECT_TRUE(FakeService::boxes.empty());
        EXPECT_TRUE(FakeService::openHandles.empty());
    }
}

TEST_F(ServiceControlTest, EnsureRunningStartsAStoppedServiceAndReturnsOnceItRuns) {
    Run(SERVICE_STOPPED, SVC_ENSURE_RUNNING);
    EXPECT_EQ(FakeService::requests, Requests{"start while stopped"});
    EXPECT_EQ(FakeService::dwState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_GE(FakeService::dwClockMs, 300u);
    EXPECT_TRUE(FakeService::boxes.empty());
    ExpectPacedWaits();
}

TEST_F(ServiceControlTest, RestartStopsWaitsStartsAndWaits) {
    Run(SERVICE_RUNNING, SVC_RESTART);
    EXPECT_EQ(FakeService::requests, (Requests{"stop while running", "start while stopped"}));
    EXPECT_EQ(FakeService::dwState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_GE(FakeService::dwClockMs, 600u);
    EXPECT_TRUE(FakeService::boxes.empty());
    ExpectPacedWaits();
}

TEST_F(ServiceControlTest, RestartOfAStoppedServiceOnlyStartsIt) {
    Run(SERVICE_STOPPED, SVC_RESTART);
    EXPECT_EQ(FakeService::requests, Requests{"start while stopped"});
    EXPECT_EQ(FakeService::dwState, static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceControlTest, EveryOtherModeRestarts) {
    for (DWORD dwMode : {7UL, 1UL, 15UL, 17UL, 0xFFFFFFFFUL}) {
        Run(SERVICE_RUNNING, dwMode);
        EXPECT_EQ(FakeService::requests, (Requests{"stop while running", "start while stopped"}))
            << dwMode;
        EXPECT_EQ(FakeService::dwState, static_cast<DWORD>(SERVICE_RUNNING));
    }
}

TEST_F(ServiceControlTest, ServiceThatNeverRunsEndsTheWaitAfterAboutAMinute) {
    Run(SERVICE_STOPPED, SVC_ENSURE_RUNNING, kNever);
    EXPECT_EQ(FakeService::requests, Requests{"start while stopped"});
    EXPECT_GE(FakeService::dwClockMs, 50000u);
    EXPECT_LE(FakeService::dwClockMs, 70000u);
    EXPECT_LE(FakeService::nQueries, FakeService::nSleeps + 2);
    ASSERT_EQ(FakeService::boxes.size(), 1u);
    EXPECT_EQ(FakeService::boxes[0], "The service Spooler did not reach the running state.");
    EXPECT_EQ(FakeService::boxTypes[0], static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST_F(ServiceControlTest, ServiceThatNeverStopsIsNotStarted) {
    Run(SERVICE_RUNNING, SVC_RESTART, kNever);
    EXPECT_EQ(FakeService::requests, Requests{"stop while running"});
    EXPECT_GE(FakeService::dwClockMs, 50000u);
    EXPECT_LE(FakeService::dwClockMs, 70000u);
    EXPECT_EQ(FakeService::boxes, Requests{"The service Spooler did not reach the stopped state."});
}

TEST_F(ServiceControlTest, StatusLostDuringAWaitEndsItAtOnce) {
    FakeService::Reset(SERVICE_STOPPED, kNever);
    FakeService::nQueriesThatWork = 3;
    ServiceDlg dlg;
    dlg.StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    EXPECT_EQ(FakeService::requests, Requests{"start while stopped"});
    EXPECT_LE(FakeService::dwClockMs, 1000u);
    EXPECT_EQ(FakeService::boxes, Requests{"The service Spooler did not reach the running state."});
}

TEST_F(ServiceControlTest, UnknownStatusIsReportedAndNothingIsStartedOrStopped) {
    struct Case {
        const char *pszWhat;
        bool bManager;
        bool bService;
        int nQueriesThatWork;
    };
    const Case cases[] = {
        {"query fails", true, true, 0},
        {"service absent", true, false, -1},
        {"manager not opened", false, true, -1},
    };
    for (const Case &c : cases) {
        for (DWORD dwMode : {SVC_ENSURE_RUNNING, SVC_RESTART}) {
            FakeService::Reset(SERVICE_STOPPED, 300);
            FakeService::bManagerOpens = c.bManager;
            FakeService::bServiceExists = c.bService;
            FakeService::nQueriesThatWork = c.nQueriesThatWork;
            ServiceDlg dlg;
            dlg.StartOrRestartService("Spooler", dwMode);
            EXPECT_EQ(FakeService::requests, Requests{}) << c.pszWhat;
            EXPECT_EQ(FakeService::nSleeps, 0) << c.pszWhat;
            EXPECT_EQ(FakeService::boxes, Requests{"Service status is unknown"}) << c.pszWhat;
            ASSERT_EQ(FakeService::boxTypes.size(), 1u);
            EXPECT_EQ(FakeService::boxTypes[0], static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
            EXPECT_TRUE(FakeService::openHandles.empty()) << c.pszWhat;
        }
    }
}

TEST_F(ServiceControlTest, UnknownStatusBoxCarriesTheApplicationTitle) {
    FakeService::Reset(SERVICE_RUNNING, 300);
    FakeService::bServiceExists = false;
    ServiceDlg dlg;
    dlg.StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    EXPECT_EQ(FakeService::caption, "spooler_service_test");
}

// Wine's own spooler, started and stopped through its service manager.
class RealSpoolerTest : public PlatformTest {
protected:
    void SetUp() override {
        m_hManager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(m_hManager, nullptr);
        m_hService = ::OpenServiceA(m_hManager, "Spooler", SERVICE_ALL_ACCESS);
        ASSERT_NE(m_hService, nullptr);
        api().ControlService = CountingControlService;
        api().StartServiceA = CountingStartService;
        api().MessageBoxA = FakeService::MessageBoxA;
        FakeService::boxes.clear();
        nStops = 0;
        nStarts = 0;
    }
    void TearDown() override {
        // Later tests expect a running spooler.
        if (State() == SERVICE_STOPPED)
            ::StartServiceA(m_hService, 0, nullptr);
        ::CloseServiceHandle(m_hService);
        ::CloseServiceHandle(m_hManager);
        PlatformTest::TearDown();
    }

    DWORD State() const {
        SERVICE_STATUS status = {};
        return ::QueryServiceStatus(m_hService, &status) ? status.dwCurrentState : 0;
    }
    DWORD ProcessId() const {
        SERVICE_STATUS_PROCESS status = {};
        DWORD cbNeeded = 0;
        ::QueryServiceStatusEx(m_hService, SC_STATUS_PROCESS_INFO,
                               reinterpret_cast<LPBYTE>(&status), sizeof(status), &cbNeeded);
        return status.dwProcessId;
    }
    void StopAndWait() {
        SERVICE_STATUS status = {};
        ::ControlService(m_hService, SERVICE_CONTROL_STOP, &status);
        for (int i = 0; i < 200 && State() != SERVICE_STOPPED; ++i)
            ::Sleep(50);
        ASSERT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
    }

    static BOOL WINAPI CountingControlService(SC_HANDLE h, DWORD dwControl, LPSERVICE_STATUS p) {
        ++nStops;
        return ::ControlService(h, dwControl, p);
    }
    static BOOL WINAPI CountingStartService(SC_HANDLE h, DWORD nArgs, LPCSTR *ppArgs) {
        ++nStarts;
        return ::StartServiceA(h, nArgs, ppArgs);
    }

    static int nStops;
    static int nStarts;
    SC_HANDLE m_hManager = nullptr;
    SC_HANDLE m_hService = nullptr;
};
int RealSpoolerTest::nStops = 0;
int RealSpoolerTest::nStarts = 0;

TEST_F(RealSpoolerTest, EnsureRunningStartsTheStoppedSpooler) {
    StopAndWait();
    ServiceDlg dlg;
    dlg.StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(nStarts, 1);
    EXPECT_EQ(nStops, 0);

    dlg.StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    EXPECT_EQ(nStarts, 1);
    EXPECT_TRUE(FakeService::boxes.empty());
}

TEST_F(RealSpoolerTest, RestartBringsTheSpoolerBackInANewProcess) {
    ServiceDlg dlg;
    dlg.StartOrRestartService("Spooler", SVC_ENSURE_RUNNING);
    ASSERT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));
    const DWORD dwBefore = ProcessId();
    dlg.StartOrRestartService("Spooler", SVC_RESTART);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(nStops, 1);
    EXPECT_EQ(nStarts, 1);
    EXPECT_NE(ProcessId(), dwBefore);
    EXPECT_TRUE(FakeService::boxes.empty());
}

TEST_F(RealSpoolerTest, UnknownServiceShowsTheBox) {
    ServiceDlg dlg;
    dlg.StartOrRestartService("NoSuchService", SVC_RESTART);
    EXPECT_EQ(FakeService::boxes, Requests{"Service status is unknown"});
    EXPECT_EQ(nStops + nStarts, 0);
}

} // namespace
