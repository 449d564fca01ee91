// Stand-ins that more than one test program swaps into the seam, and the
// helpers that arrange what the program reads.
#pragma once

#include "install/install_host.h"
#include "support/win_helpers.h"
#include "system/platform.h"

#include <string>
#include <utility>
#include <vector>

// Message boxes, recorded and answered OK without a user.
struct BoxFake {
    struct Box {
        std::string text, caption;
    };
    static inline std::vector<Box> boxes;

    static void Install(PlatformApi &api);
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
    static std::vector<std::string> Texts();
};

// The service control manager with one service, whose start or stop takes
// 300 ms of a clock that only the caller's pauses advance, or never ends
// when the service is stuck.
struct ServiceFake {
    static inline DWORD dwState, dwTarget, dwReadyAtMs, dwClockMs;
    static inline bool bStuck;
    static inline int nQueries, nSleeps, nOpen;
    static inline std::vector<std::string> requests;

    // Puts the manager and the clock in place of the real ones.
    static void Install(PlatformApi &api, DWORD dwInitial = SERVICE_RUNNING,
                        bool bStuckService = false);
    static BOOL WINAPI StartServiceA(SC_HANDLE, DWORD, LPCSTR *);
    static BOOL WINAPI ControlService(SC_HANDLE, DWORD, LPSERVICE_STATUS);
};

// The window an installation runs in: what it shows, into log, and boxes
// answered in turn from answers, then with Cancel or OK.
struct HostFake : IInstallHost {
    explicit HostFake(std::vector<std::string> &logTo) : log(logTo) {}
    std::vector<std::string> &log;
    std::vector<int> answers;
    PortChoice choice;
    bool bWizardAdds = false;

    void ShowStatus(LPCSTR lpszText) override { log.push_back("status " + std::string(lpszText)); }
    void SetProgress(Progress nPos) override { log.push_back("progress " + std::to_string(nPos)); }
    int ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    PortChoice RunPortDialog(PortKind, CPortSource &) override { return choice; }
    bool RunTcpipWizard() override { return bWizardAdds; }
    void ShowPortKind(PortKind) override {}
};

// The spooler's ports, name and description, at level 2 as the spooler lays
// them out: the records, then their strings.
using Ports = std::vector<std::pair<std::string, std::string>>;
struct PortsFake {
    static inline Ports ports;

    static BOOL WINAPI EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned);
};

// The entries joined by "; ".
std::string Joined(const std::vector<std::string> &entries);

// A list of the program's own kind from names separated by blanks.
CStringArray Names(const std::string &names);
