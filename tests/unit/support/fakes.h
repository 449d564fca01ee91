// Stand-ins that more than one test program swaps into the seam, and the
// helpers that arrange what the program reads.
#pragma once

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
