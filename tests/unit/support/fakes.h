// Stand-ins that tests swap into the seam, one of each kind, and the
// helpers that arrange what the program reads.
#pragma once

#include "install/install_host.h"
#include "install/package_layout.h"
#include "support/win_helpers.h"
#include "system/platform.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

// The archive library's functions in place of its own: the unpack writes
// the catalogue text when there is one, and returns nResult once.
struct ArchiveFake {
    static inline std::string catalogue;
    static inline int nResult = 0;

    // The library's three names; others as the system has them.
    static FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR pszName);
};

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
    PortLists refreshed;
    bool bWizardAdds = false;

    void ShowStatus(LPCSTR lpszText) override { log.push_back("status " + std::string(lpszText)); }
    void SetProgress(Progress nPos) override { log.push_back("progress " + std::to_string(nPos)); }
    int ShowBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    PortChoice RunPortDialog(PortKind) override { return choice; }
    bool RunTcpipWizard() override { return bWizardAdds; }
    PortLists RefreshPorts() override { return refreshed; }
};

// The spooler's ports, name and description, at level 2 as the spooler lays
// them out: the records, then their strings.
using Ports = std::vector<std::pair<std::string, std::string>>;
struct PortsFake {
    static inline Ports ports;

    static BOOL WINAPI EnumPortsA(LPSTR, DWORD, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned);
};

// The "Standard TCP/IP Port" monitor behind the spooler's port calls, on
// PortsFake's ports: its wizard adds nextPort and keeps the ports in name
// order; configure and delete fail with the error set. Each call is recorded.
struct PortMonitorFake {
    static inline std::string nextPort;
    static inline DWORD dwConfigureError = 0, dwDeleteError = 0;
    static inline std::vector<std::string> calls;

    static void Install(PlatformApi &api);
    static BOOL WINAPI AddPortA(LPSTR, HWND, LPSTR pMonitorName);
    static BOOL WINAPI ConfigurePortA(LPSTR, HWND, LPSTR pPortName);
    static BOOL WINAPI DeletePortA(LPSTR, HWND, LPSTR pPortName);
};

// Answers the version query as a system of the given numbers would, the
// basic record only as far as it reaches.
struct VersionFake {
    static inline DWORD dwPlatformId = 0, dwMajor = 0, dwMinor = 0;
    static inline bool bExtendedFails = false, bBasicFails = false;
    static inline std::vector<DWORD> sizesAsked;

    static void Set(DWORD dwPlatform, DWORD dwMajorVersion, DWORD dwMinorVersion);
    static BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA pInfo);
};

// Setting a value of these names fails, as a registry that denies it;
// every other call reaches the real registry.
struct RefusedValues {
    static inline std::set<std::string> names;
    static void Install(PlatformApi &api, std::set<std::string> refused);
};

// The entries joined by "; ".
std::string Joined(const std::vector<std::string> &entries);

// A list of the program's own kind from names separated by blanks.
CStringArray Names(const std::string &names);

// The catalogue file with the given text.
inline void WriteCatalogue(const std::string &text) {
    WriteTextFile(kCatalogueFile, text);
}
