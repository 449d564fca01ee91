// Stand-ins that tests swap into the seam, one of each kind, and the
// helpers that arrange what the program reads.
#pragma once

#include "support/win_helpers.h"
#include "system/platform.h"

#include <string>
#include <vector>

// Message boxes, recorded and answered without a user.
struct BoxFake {
    struct Box {
        HWND hOwner;
        std::string text, caption;
        UINT uType;
    };
    static inline std::vector<Box> boxes;
    static inline int nAnswer = IDOK;

    static void Install(PlatformApi &api);
    static int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
    static std::vector<std::string> Texts();
};

// The spooler service, answering at once: Wine's own may take a minute to
// start in a new prefix.
struct ServiceFake {
    static inline DWORD dwState = SERVICE_RUNNING;
    static inline int nStops = 0, nStarts = 0;

    static void Install(PlatformApi &api);
    static BOOL WINAPI QueryServiceStatus(SC_HANDLE, LPSERVICE_STATUS lpStatus);
    static BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl,
                                      LPSERVICE_STATUS lpStatus);
    static BOOL WINAPI StartServiceA(SC_HANDLE, DWORD, LPCSTR *);
};

// The pauses of the program only make the tests slow.
void WINAPI NoPause(DWORD);

// The catalogue file with the given text, or with one section per model of
// the driver tables and a second name of the model with a DLL of its own.
void WriteCatalogue(const std::string &text);
void WriteTablesCatalogue();
constexpr char kAliasOfOwnDllModel[] = "Receipt Model B05 Alias";
