// The width of the Windows the program under test runs on, and what the
// program should make of it. A 64-bit test program runs on 64-bit Windows
// only; a 32-bit one finds a 64-bit Windows through WOW64.
#pragma once

#include <windows.h>

inline bool SystemIs64Bit() {
    BOOL bWow64 = FALSE;
    return sizeof(void *) == 8 || (::IsWow64Process(::GetCurrentProcess(), &bWow64) && bWow64);
}

inline const char *DriverEnvironment() {
    return SystemIs64Bit() ? "Windows x64" : "Windows NT x86";
}
